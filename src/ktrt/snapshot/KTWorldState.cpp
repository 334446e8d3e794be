#include <ktrt/snapshot/KTWorldState.h>

#include <ktcp/ktcp.h>
#include <ktrt/snapshot/detail/SceneSearch.h>

KTWorldState::KTWorldState() : world(nullptr) {}

KTWorldState::KTWorldState(const KTWorldState& other) : world(nullptr) {
    copy(other);
}

KTWorldState& KTWorldState::operator=(const KTWorldState& other) {
    if (this != &other)
        copy(other);
    return *this;
}

KTWorldState::~KTWorldState() = default;

int KTWorldState::operator==(const KTWorldState& other) const {
    return world == other.world ? 1 : 0;
}

void KTWorldState::makeSnapshot(KTComponentDB* db) {
    if (db == nullptr)
        return;
    world = db;
    objectStates.clear();

    // One working state is filled per component and copied in; its
    // collections keep their room from one component to the next.
    KTObjectState working;
    KTComponentIterator components(db, 0, "");
    while (components++) {
        KTComponent* component = components.getValue();
        working.setName(component->getName().getString());
        working.setTransform(ktrt::detail::transformPartOf(component));
        working.setBehaviors(component);
        working.setAttributes(component);
        objectStates.push_back(working);
    }
}

void KTWorldState::restoreFromSnapshot(KTComponentDB* db) {
    if (db == nullptr || db != world)
        return;
    KTAttributeState attributeState;
    KTBehaviorState behaviorState;
    for (KTObjectState& entry : objectStates) {
        KTComponent* component = db->getComponent(entry.getName());
        if (component == nullptr)
            continue;
        entry.restoreTransform(ktrt::detail::transformPartOf(component));

        // Values only: the scene follow-up of KTObjectState::restoreAttributes
        // is not part of a world restore.
        const unsigned int attributeCount = entry.numAttributeStates();
        for (unsigned int i = 0; i < attributeCount; ++i) {
            entry.getAttributeStateAt(i, attributeState);
            attributeState.restoreValue(component->getAttribute(attributeState.getName()));
        }

        const unsigned int behaviorCount = entry.numBehaviorStates();
        for (unsigned int i = 0; i < behaviorCount; ++i) {
            entry.getBehaviorStateAt(i, behaviorState);
            if (!component->getBehavior(behaviorState.getName()).isValid())
                continue;
            if (behaviorState.active() != 0)
                db->activateBehavior(entry.getName(), behaviorState.getName(), 0);
            component->setActivatedAtStartup(behaviorState.getName(),
                                             behaviorState.activatedAtStartup());
        }
    }
}

void KTWorldState::copy(const KTWorldState& other) {
    name = other.name;
    objectStates = other.objectStates;
    world = other.world;
}
