#pragma once

#include <ktcp/ktcp.h>
#include <ktrt/snapshot/KTAttributeState.h>

namespace ktrt::detail {

/// The type code of the first of the nine typed attribute classes (in code
/// order) that is exactly the attribute's class; NO_TYPE when none is. A class
/// derived from a typed class matches none.
inline KTAttributeState::AttributeType attributeClassCode(const KTAttribute& attribute) {
    // Asked for once: every getClassTypeId() is a call into the component
    // library, and a capture or restore classifies each attribute it meets.
    // The codes run from BOOL_TYPE to VOID_POINTER_TYPE in this order.
    static const SoType classTypes[] = {
        KTBoolAttribute::getClassTypeId(),       KTColorAttribute::getClassTypeId(),
        KTFloatAttribute::getClassTypeId(),      KTMFStringAttribute::getClassTypeId(),
        KTRotationAttribute::getClassTypeId(),   KTStringAttribute::getClassTypeId(),
        KTTimeAttribute::getClassTypeId(),       KTVec3fAttribute::getClassTypeId(),
        KTVoidPointerAttribute::getClassTypeId()};
    const SoType type = attribute.getTypeId();
    for (int i = 0; i < 9; ++i) {
        if (type == classTypes[i])
            return static_cast<KTAttributeState::AttributeType>(KTAttributeState::BOOL_TYPE + i);
    }
    return KTAttributeState::NO_TYPE;
}

} // namespace ktrt::detail
