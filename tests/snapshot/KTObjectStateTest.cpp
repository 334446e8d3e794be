#include <ktrt/snapshot/KTObjectState.h>

#include <memory>
#include <string>

#include <Inventor/nodes/SoTransform.h>

#include "SnapshotTestSupport.h"

namespace {

using ObjectState = SnapshotTest;

KTAttributeState attributeNamed(const char* name, float value) {
    KTAttributeState state;
    state.setName(name);
    state.setType(KTAttributeState::FLOAT_TYPE);
    state.setFloatValue(value);
    return state;
}

KTBehaviorState behaviorNamed(const char* name, int active) {
    KTBehaviorState state;
    state.setName(name);
    state.setActive(active);
    return state;
}

// Translation and scale, and whether the three other fields are at rest.
std::string transformText(const SoTransform* node) {
    const SbVec3f& t = node->translation.getValue();
    const SbVec3f& s = node->scaleFactor.getValue();
    const bool rest = node->rotation.getValue() == SbRotation::identity() &&
                      node->scaleOrientation.getValue() == SbRotation::identity() &&
                      node->center.getValue() == SbVec3f(0, 0, 0);
    return std::to_string(int(t[0])) + std::to_string(int(t[1])) + std::to_string(int(t[2])) + " " +
           std::to_string(int(s[0])) + std::to_string(int(s[1])) + std::to_string(int(s[2])) +
           (rest ? "" : " moved");
}

} // namespace

TEST_F(ObjectState, LookupsIgnoreLetterCaseTakeTheFirstMatchAndMissesLeaveTheOutput) {
    KTObjectState state;
    KTAttributeState attribute = attributeNamed("keep", 3.0f);
    KTBehaviorState behavior = behaviorNamed("keep", 4);
    EXPECT_FALSE(state.getAttributeStateAt(0, attribute) || state.getBehaviorStateAt(0, behavior) ||
                 state.getAttributeState("keep", attribute) ||
                 state.getBehaviorState("keep", behavior) || state.removeAttributeState("keep") ||
                 state.removeBehaviorState("keep"));
    EXPECT_EQ(attribute.getFloatValue(), 3.0f);
    EXPECT_EQ(behavior.active(), 4);

    state.addAttributeState(attributeNamed("Speed", 1.0f));
    state.addAttributeState(attributeNamed("speed", 2.0f));
    state.addBehaviorState(behaviorNamed("Walk", 1));
    state.addBehaviorState(behaviorNamed("WALK", 2));
    EXPECT_FALSE(state.getAttributeStateAt(2, attribute));
    ASSERT_TRUE(state.getAttributeState("SPEED", attribute));
    EXPECT_EQ(attribute.getFloatValue(), 1.0f);
    ASSERT_TRUE(state.removeAttributeState("speed") && state.removeBehaviorState("walk"));
    ASSERT_TRUE(state.getAttributeStateAt(0, attribute) &&
                state.getBehaviorState("Walk", behavior));
    EXPECT_EQ(attribute.getFloatValue() + behavior.active(), 4.0f);
}

TEST_F(ObjectState, CopiesOwnTheirOwnTransformNodeAndClearZeroesTheScale) {
    KTObjectState empty;
    EXPECT_FALSE(empty.transformSet());
    EXPECT_EQ(transformText(empty.getTransform()), "000 111");
    SoTransform* live = new SoTransform;
    live->ref();
    live->translation.setValue(4, 5, 6);
    live->center.setValue(1, 1, 1);

    auto source = std::make_unique<KTObjectState>();
    source->setTransform(live);
    source->addAttributeState(attributeNamed("a", 1.0f));
    source->addBehaviorState(behaviorNamed("b", 1));
    KTObjectState copy(*source);
    KTObjectState assigned;
    assigned = *source;
    const KTObjectState& alias = assigned;
    assigned = alias;
    for (const KTObjectState* state : {source.get(), &copy, &assigned}) {
        EXPECT_EQ(state->getTransform()->getRefCount(), 1);
        EXPECT_TRUE(state->transformSet());
        EXPECT_EQ(transformText(state->getTransform()), "456 111 moved");
        EXPECT_EQ(state->numAttributeStates() + state->numBehaviorStates(), 2u);
    }
    EXPECT_NE(copy.getTransform(), source->getTransform());

    // Changing the copy leaves the source alone; a host reference keeps the
    // source's node alive past its state, which holds no other.
    live->translation.setValue(7, 8, 9);
    copy.setTransform(live);
    const SoTransform* kept = source->getTransform();
    kept->ref();
    source.reset();
    EXPECT_EQ(kept->getRefCount(), 1);
    EXPECT_EQ(kept->translation.getValue(), SbVec3f(4, 5, 6));
    kept->unref();

    // Assigning a state that never captured a transform takes its flag too.
    copy = empty;
    EXPECT_FALSE(copy.transformSet());
    EXPECT_EQ(transformText(copy.getTransform()), "000 111");

    assigned.clear();
    EXPECT_FALSE(assigned.transformSet());
    EXPECT_EQ(assigned.numAttributeStates() + assigned.numBehaviorStates(), 0u);
    assigned.restoreTransform(live);
    assigned.restoreTransform(nullptr);
    EXPECT_EQ(transformText(live), "000 000");
    live->unref();
}

TEST_F(ObjectState, BehaviorCaptureListsEveryBehaviorSortedAndRestoreGoesThroughTheWorld) {
    RecordingWorld world;
    KTComponent* component = world.addComponent("robot");
    component->addBehavior("walk", 1);
    component->addBehavior("wave", 0);
    component->addBehavior("idle", 0);
    component->activateBehavior("idle", 0);
    // Each behavior as name, activity and start-up flag.
    auto captured = [](KTObjectState& state) {
        std::string text;
        KTBehaviorState b;
        for (unsigned int i = 0; state.getBehaviorStateAt(i, b); ++i)
            text += b.getName().std() + std::to_string(b.active()) +
                    std::to_string(b.activatedAtStartup()) + " ";
        return text;
    };
    auto live = [component] {
        std::string text;
        for (const char* name : {"idle", "walk", "wave"})
            text += name + std::to_string(component->getBehavior(name).isActive()) +
                    std::to_string(component->getBehavior(name).isActivatedAtStartup()) + " ";
        return text;
    };
    KTObjectState state;
    state.setBehaviors(component);
    EXPECT_EQ(captured(state), "idle10 walk01 wave00 ");

    // Recorded active: activated through the world; recorded inactive: stays
    // as it is; start-up flags are written; unknown names are skipped.
    state.addBehaviorState(behaviorNamed("gone", 1));
    component->deactivateBehavior("idle", 0);
    component->activateBehavior("wave", 0);
    component->setActivatedAtStartup("walk", 0);
    component->setActivatedAtStartup("wave", 1);
    state.restoreBehaviors(component, &world);
    EXPECT_EQ(world.calls, std::vector<std::string>{"robot.idle"});
    EXPECT_EQ(live(), "idle10 walk01 wave10 ");
    // Without a world the component activates the behavior itself.
    world.calls.clear();
    component->deactivateBehavior("idle", 0);
    state.restoreBehaviors(component, nullptr);
    EXPECT_EQ(component->getBehavior("idle").isActive(), 1);
    component->deactivateBehavior("idle", 0);
    state.restoreBehaviors(nullptr, &world);
    KTObjectState().restoreBehaviors(component, &world);
    EXPECT_EQ(component->getBehavior("idle").isActive(), 0);
    EXPECT_TRUE(world.calls.empty());

    // Capturing a second component replaces the entries; a null transform
    // part keeps the first component's transform.
    KTComponent* other = world.addComponent("other");
    other->addBehavior("c", 0);
    SoTransform* first = new SoTransform;
    first->ref();
    first->translation.setValue(1, 2, 3);
    state.setTransform(first);
    state.setTransform(nullptr);
    state.setBehaviors(other);
    EXPECT_EQ(captured(state), "c00 ");
    EXPECT_EQ(state.getTransform()->translation.getValue(), SbVec3f(1, 2, 3));
    first->unref();
    state.setBehaviors(nullptr);
    EXPECT_EQ(captured(state), "");
}
