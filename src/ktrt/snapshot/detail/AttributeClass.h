#pragma once

#include <ktcp/ktcp.h>
#include <ktrt/snapshot/KTAttributeState.h>

namespace ktrt::detail {

/// The type code of the first of the nine typed attribute classes (in code
/// order) that is exactly the attribute's class; NO_TYPE when none is. A class
/// derived from a typed class matches none.
inline KTAttributeState::AttributeType attributeClassCode(const KTAttribute& attribute) {
    const SoType type = attribute.getTypeId();
    if (type == KTBoolAttribute::getClassTypeId())
        return KTAttributeState::BOOL_TYPE;
    if (type == KTColorAttribute::getClassTypeId())
        return KTAttributeState::COLOR_TYPE;
    if (type == KTFloatAttribute::getClassTypeId())
        return KTAttributeState::FLOAT_TYPE;
    if (type == KTMFStringAttribute::getClassTypeId())
        return KTAttributeState::MFSTRING_TYPE;
    if (type == KTRotationAttribute::getClassTypeId())
        return KTAttributeState::ROTATION_TYPE;
    if (type == KTStringAttribute::getClassTypeId())
        return KTAttributeState::STRING_TYPE;
    if (type == KTTimeAttribute::getClassTypeId())
        return KTAttributeState::TIME_TYPE;
    if (type == KTVec3fAttribute::getClassTypeId())
        return KTAttributeState::VEC3F_TYPE;
    if (type == KTVoidPointerAttribute::getClassTypeId())
        return KTAttributeState::VOID_POINTER_TYPE;
    return KTAttributeState::NO_TYPE;
}

} // namespace ktrt::detail
