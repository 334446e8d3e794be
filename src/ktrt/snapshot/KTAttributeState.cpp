#include <ktrt/snapshot/KTAttributeState.h>

#include <ktcp/ktcp.h>
#include <ktrt/snapshot/detail/AttributeClass.h>

KTAttributeState::KTAttributeState()
    : boolValue(0), colorValue(0.0f, 0.0f, 0.0f), floatValue(0.0f),
      rotValue(SbRotation::identity()), timeValue(SbTime::zero()), type(NO_TYPE),
      vec3fValue(0.0f, 0.0f, 0.0f), voidPtrValue(nullptr) {}

KTAttributeState::KTAttributeState(const KTAttributeState& other) {
    copy(other);
}

KTAttributeState& KTAttributeState::operator=(const KTAttributeState& other) {
    if (this != &other)
        copy(other);
    return *this;
}

KTAttributeState::~KTAttributeState() = default;

int KTAttributeState::operator==(const KTAttributeState& other) const {
    return name.compareTo(other.name, RWCString::ignoreCase) == 0 ? 1 : 0;
}

void KTAttributeState::setName(const char* text) {
    if (text != nullptr)
        name = text;
}

void KTAttributeState::restoreValue(KTAttribute* attribute) {
    if (attribute == nullptr)
        return;
    const AttributeType classCode = ktrt::detail::attributeClassCode(*attribute);
    // No conversion between types: only the class the code names is written.
    if (classCode == NO_TYPE || classCode != type)
        return;
    switch (classCode) {
    case BOOL_TYPE:
        static_cast<KTBoolAttribute*>(attribute)->setValue(boolValue);
        break;
    case COLOR_TYPE:
        static_cast<KTColorAttribute*>(attribute)->setValue(colorValue);
        break;
    case FLOAT_TYPE:
        static_cast<KTFloatAttribute*>(attribute)->setValue(floatValue);
        break;
    case MFSTRING_TYPE:
        // Only element 0 travels; the later strings stay as they are.
        static_cast<KTMFStringAttribute*>(attribute)->getActualValue().set1Value(
            0, SbString(stringValue.data()));
        break;
    case ROTATION_TYPE:
        static_cast<KTRotationAttribute*>(attribute)->setValue(rotValue);
        break;
    case STRING_TYPE:
        static_cast<KTStringAttribute*>(attribute)->setValue(stringValue);
        break;
    case TIME_TYPE:
        static_cast<KTTimeAttribute*>(attribute)->setValue(timeValue);
        break;
    case VEC3F_TYPE:
        static_cast<KTVec3fAttribute*>(attribute)->setValue(vec3fValue);
        break;
    case VOID_POINTER_TYPE:
        static_cast<KTVoidPointerAttribute*>(attribute)->setValue(voidPtrValue);
        break;
    case NO_TYPE:
        break;
    }
}

void KTAttributeState::copy(const KTAttributeState& other) {
    name = other.name;
    boolValue = other.boolValue;
    colorValue = other.colorValue;
    floatValue = other.floatValue;
    rotValue = other.rotValue;
    stringValue = other.stringValue;
    timeValue = other.timeValue;
    type = other.type;
    vec3fValue = other.vec3fValue;
    voidPtrValue = other.voidPtrValue;
}
