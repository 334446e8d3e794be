#pragma once

#include <rw/RWCString.h>
#include <ktrt/visibility.h>

/// The snapshot of one behavior of a component: its name, whether it was
/// active and whether it is activated when its world starts. Equality
/// compares the names, ignoring letter case; the flags are stored as given.
class KTRT_API KTBehaviorState {
public:
    /// Empty name, both flags 0.
    KTBehaviorState();
    /// Copies both flags and the name.
    KTBehaviorState(const KTBehaviorState& other) = default;
    /// Copies both flags and the name; assigning a state to itself changes
    /// nothing.
    KTBehaviorState& operator=(const KTBehaviorState& other) = default;
    /// Releases the name.
    ~KTBehaviorState();

    /// 1 when the names are equal ignoring letter case, else 0.
    int operator==(const KTBehaviorState& other) const;

    /// The behavior's name in its component.
    const RWCString& getName() const { return name; }
    /// Copies the text; a null pointer keeps the previous name.
    void setName(const char* text);

    /// Non-zero: the behavior was active. Stored as given, not normalised.
    int active() const { return activeFlag; }
    /// Stores the flag as given.
    void setActive(int value) { activeFlag = value; }
    /// Non-zero: the behavior is activated when its world starts running.
    int activatedAtStartup() const { return activatedAtStartupFlag; }
    /// Stores the flag as given.
    void setActivatedAtStartup(int value) { activatedAtStartupFlag = value; }

private:
    int activeFlag;
    int activatedAtStartupFlag;
    RWCString name;
};
