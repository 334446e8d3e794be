#pragma once

#include <rw/RWCString.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/ktcpdefs.h>

class KTComponent;

/// Walks the components of a world in the order they were added:
///
///     KTComponentIterator it(world, KTComponentIterator::AllComponents, "");
///     while (it++) use(it.getValue());
///
/// The world must outlive the iterator; components added during a walk are
/// visited, and removing one during a walk may skip the next.
class KTCP_API KTComponentIterator {
public:
    /// What the walk visits.
    typedef unsigned int Filter_t;
    /// Every component (the name is ignored).
    static constexpr Filter_t AllComponents = 0;
    /// Only components whose node name is exactly the name given.
    static constexpr Filter_t NamedComponents = 1;

    /// An iterator before the first component of `world`; a null world has
    /// none. Filter values other than the two above visit every component.
    KTComponentIterator(KTComponentDB* world, Filter_t filter, const RWCString& name);

    /// Moves to the next component; nonzero while there is one, 0 at the end.
    int operator++(int) {
        if (filter != NamedComponents) {
            if (world && position < world->components.size()) {
                current = world->components[position++].get();
                return 1;
            }
            current = nullptr;
            return 0;
        }
        return advanceToNamed();
    }
    /// The current component, never null while operator++ answered nonzero.
    KTComponent* getValue() const { return current; }
    /// Back to before the first component.
    void reset();

private:
    int advanceToNamed();

    KTComponentDB* world;
    Filter_t filter;
    RWCString name;
    std::size_t position = 0;
    KTComponent* current = nullptr;
};
