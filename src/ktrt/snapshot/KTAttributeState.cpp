#include <ktrt/snapshot/KTAttributeState.h>

#include <ktrt/snapshot/detail/AttributeTable.h>

KTAttributeState::KTAttributeState()
    : boolValue(0), colorValue(0.0f, 0.0f, 0.0f), floatValue(0.0f),
      rotValue(SbRotation::identity()), timeValue(SbTime::zero()), type(NO_TYPE),
      vec3fValue(0.0f, 0.0f, 0.0f), voidPtrValue(nullptr) {}

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
    const ktrt::detail::AttributeKind& kind = ktrt::detail::attributeKindOf(*attribute);
    // No conversion between types: only the class the code names is written.
    if (kind.code != NO_TYPE && kind.code == type)
        kind.restore(*this, *attribute);
}
