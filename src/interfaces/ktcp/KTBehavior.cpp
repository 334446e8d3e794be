#include <ktcp/KTBehavior.h>

KTBehavior::KTBehavior(const RWCString& behaviorName, int isActiveNow, int startup)
    : name(behaviorName), valid(1), active(isActiveNow ? 1 : 0),
      activatedAtStartup(startup ? 1 : 0) {}
