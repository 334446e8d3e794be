#include <ktrt/snapshot/KTWorldState.h>

#include <ktcp/ktcp.h>
#include <ktrt/snapshot/detail/NameLists.h>
#include <ktrt/binding/detail/SceneAccess.h>

KTWorldState::KTWorldState() : world(nullptr) {}

KTWorldState::KTWorldState(const KTWorldState& other) = default;

KTWorldState& KTWorldState::operator=(const KTWorldState& other) = default;

KTWorldState::~KTWorldState() = default;

int KTWorldState::operator==(const KTWorldState& other) const {
    return world == other.world ? 1 : 0;
}

void KTWorldState::makeSnapshot(KTComponentDB* db) {
    if (db == nullptr)
        return;
    world = db;

    // Each component is captured straight into its entry, which ends up as the
    // copy of a working state filled for that component would: name, behaviors
    // and attributes are replaced, and a component without a transform part
    // keeps the transform of the one before (of a new state for the first).
    // Entries of an earlier snapshot are overwritten in place, keeping their
    // transform nodes and their room; those left over are removed at the end.
    const KTObjectState initial;
    const KTObjectState* previous = &initial;
    ktrt::detail::NameLists names;
    const SbName transformName("transform");
    std::size_t count = 0;
    KTComponentIterator components(db, 0, "");
    while (components++) {
        KTComponent* component = components.getValue();
        if (count == objectStates.size())
            objectStates.emplace_back();
        KTObjectState& entry = objectStates[count++];
        entry.setName(component->getName().getString());
        if (SoTransform* part = ktrt::detail::transformPartOf(component, transformName))
            entry.setTransform(part);
        else {
            entry.transform = previous->transform;
            entry.transformIsSet = previous->transformIsSet;
        }
        entry.captureBehaviors(*component, names);
        entry.captureAttributes(*component, names);
        previous = &entry;
    }
    objectStates.erase(objectStates.begin() + static_cast<std::ptrdiff_t>(count),
                       objectStates.end());
}

void KTWorldState::restoreFromSnapshot(KTComponentDB* db) {
    if (db == nullptr || db != world)
        return;
    const SbName transformName("transform");
    for (KTObjectState& entry : objectStates) {
        KTComponent* component = db->getComponent(entry.getName());
        if (component == nullptr)
            continue;
        entry.restoreTransform(ktrt::detail::transformPartOf(component, transformName));

        // Values only: the scene follow-up of KTObjectState::restoreAttributes
        // is not part of a world restore.
        for (KTAttributeState& attributeState : entry.attributeStates)
            attributeState.restoreValue(component->getAttribute(attributeState.getName()));

        entry.restoreBehaviorFlags(*component, db, entry.getName());
    }
}
