#include <ktrt/snapshot/KTBehaviorState.h>

KTBehaviorState::KTBehaviorState() : activeFlag(0), activatedAtStartupFlag(0) {}

KTBehaviorState::~KTBehaviorState() = default;

int KTBehaviorState::operator==(const KTBehaviorState& other) const {
    return name.compareTo(other.name, RWCString::ignoreCase) == 0 ? 1 : 0;
}

void KTBehaviorState::setName(const char* text) {
    if (text != nullptr)
        name = text;
}
