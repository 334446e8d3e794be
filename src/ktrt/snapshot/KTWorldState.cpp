#include <ktrt/snapshot/KTWorldState.h>

#include <ktcp/ktcp.h>
#include <ktrt/snapshot/detail/SceneAccess.h>

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

    // One working state is filled per component and copied in; its
    // collections keep their room from one component to the next. Entries of
    // an earlier snapshot are overwritten in place rather than destroyed and
    // rebuilt, which keeps their transform nodes and their room: the result is
    // the same as removing them all first.
    KTObjectState working;
    const SbName transformName("transform");
    std::size_t count = 0;
    KTComponentIterator components(db, 0, "");
    while (components++) {
        KTComponent* component = components.getValue();
        working.setName(component->getName().getString());
        working.setTransform(ktrt::detail::transformPartOf(component, transformName));
        working.setBehaviors(component);
        working.setAttributes(component);
        if (count < objectStates.size())
            objectStates[count] = working;
        else
            objectStates.push_back(working);
        ++count;
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

        for (const KTBehaviorState& behaviorState : entry.behaviorStates) {
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
