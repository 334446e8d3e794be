#pragma once

#include <rw/RWCString.h>
#include <rw/RWTValSortedVector.h>

namespace ktrt::detail {

/// The name lists a capture asks a component for. A world snapshot keeps one
/// set for its whole walk so that the lists' room is reused.
struct NameLists {
    RWTValSortedVector<RWCString> activeBehaviors{0};
    RWTValSortedVector<RWCString> behaviors{0};
    RWTValSortedVector<RWCString> behaviorsAtStartup{0};
    RWTValSortedVector<RWCString> attributes{0};
};

} // namespace ktrt::detail
