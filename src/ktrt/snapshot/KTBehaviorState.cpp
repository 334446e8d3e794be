#include <ktrt/snapshot/KTBehaviorState.h>

KTBehaviorState::KTBehaviorState() : activeFlag(0), activatedAtStartupFlag(0) {}

KTBehaviorState::KTBehaviorState(const KTBehaviorState& other) {
    copy(other);
}

KTBehaviorState& KTBehaviorState::operator=(const KTBehaviorState& other) {
    if (this != &other)
        copy(other);
    return *this;
}

KTBehaviorState::~KTBehaviorState() = default;

int KTBehaviorState::operator==(const KTBehaviorState& other) const {
    return name.compareTo(other.name, RWCString::ignoreCase) == 0 ? 1 : 0;
}

void KTBehaviorState::setName(const char* text) {
    if (text != nullptr)
        name = text;
}

void KTBehaviorState::copy(const KTBehaviorState& other) {
    activeFlag = other.activeFlag;
    activatedAtStartupFlag = other.activatedAtStartupFlag;
    name = other.name;
}
