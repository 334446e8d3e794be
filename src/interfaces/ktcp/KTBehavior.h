#pragma once

#include <rw/RWCString.h>

#include <ktcp/ktcpdefs.h>

/// A snapshot of one named behavior of a component: its name and its two
/// flags. A default-constructed behavior is invalid (what a component answers
/// for a name it does not have).
class KTCP_API KTBehavior {
public:
    /// Invalid, unnamed, inactive, not activated at start-up.
    KTBehavior() = default;
    /// A valid behavior with the given name and flags.
    KTBehavior(const RWCString& name, int active, int activatedAtStartup);

    /// 1 when the component had the behavior asked for, else 0.
    int isValid() const { return valid; }
    const RWCString& getName() const { return name; }
    /// 1 while the behavior runs.
    int isActive() const { return active; }
    /// 1 when starting the world activates the behavior.
    int isActivatedAtStartup() const { return activatedAtStartup; }

private:
    RWCString name;
    int valid = 0;
    int active = 0;
    int activatedAtStartup = 0;
};
