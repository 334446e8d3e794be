#include <ktcp/KTComponentIterator.h>

#include <ktcp/KTComponent.h>

KTComponentIterator::KTComponentIterator(KTComponentDB* walkedWorld, Filter_t walkFilter,
                                         const RWCString& componentName)
    : world(walkedWorld), filter(walkFilter), name(componentName) {}

void KTComponentIterator::reset() {
    position = 0;
    current = nullptr;
}

int KTComponentIterator::advanceToNamed() {
    while (world && position < world->components.size()) {
        KTComponent* candidate = world->components[position++].get();
        if (candidate->getName() == name.data()) {
            current = candidate;
            return 1;
        }
    }
    current = nullptr;
    return 0;
}
