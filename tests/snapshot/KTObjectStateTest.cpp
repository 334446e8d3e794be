#include <ktrt/snapshot/KTObjectState.h>

#include <memory>

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

void expectTransform(const SoTransform* node, const SbVec3f& translation, const SbVec3f& scale) {
    EXPECT_EQ(node->translation.getValue(), translation);
    EXPECT_TRUE(node->rotation.getValue() == SbRotation::identity());
    EXPECT_EQ(node->scaleFactor.getValue(), scale);
    EXPECT_TRUE(node->scaleOrientation.getValue() == SbRotation::identity());
    EXPECT_EQ(node->center.getValue(), SbVec3f(0, 0, 0));
}

} // namespace

TEST_F(ObjectState, LookupsFailOnEmptyAndOutOfRangeAndLeaveTheOutputAlone) {
    KTObjectState state;
    KTAttributeState attribute = attributeNamed("keep", 3.0f);
    KTBehaviorState behavior;
    behavior.setName("keep");
    EXPECT_FALSE(state.getAttributeStateAt(0, attribute));
    EXPECT_FALSE(state.getBehaviorStateAt(0, behavior));
    EXPECT_FALSE(state.getAttributeState("keep", attribute));
    EXPECT_FALSE(state.getBehaviorState("keep", behavior));
    EXPECT_FALSE(state.removeAttributeState("keep"));
    EXPECT_FALSE(state.removeBehaviorState("keep"));
    EXPECT_EQ(attribute.getFloatValue(), 3.0f);
    EXPECT_EQ(behavior.getName(), "keep");

    state.addAttributeState(attributeNamed("a", 1.0f));
    EXPECT_FALSE(state.getAttributeStateAt(state.numAttributeStates(), attribute));
    EXPECT_EQ(attribute.getName(), "keep");
}

TEST_F(ObjectState, NamesDifferingInCaseAreOneEntryForLookupAndRemoval) {
    KTObjectState state;
    state.addAttributeState(attributeNamed("Speed", 1.0f));
    state.addAttributeState(attributeNamed("speed", 2.0f));
    state.addAttributeState(attributeNamed("other", 3.0f));
    EXPECT_EQ(state.numAttributeStates(), 3u);
    KTAttributeState found;
    ASSERT_TRUE(state.getAttributeState("SPEED", found));
    EXPECT_EQ(found.getFloatValue(), 1.0f);
    ASSERT_TRUE(state.removeAttributeState("speed"));
    ASSERT_TRUE(state.getAttributeStateAt(0, found));
    EXPECT_EQ(found.getName(), "speed");
    ASSERT_TRUE(state.getAttributeStateAt(1, found));
    EXPECT_EQ(found.getName(), "other");

    KTBehaviorState walk, walkAgain;
    walk.setName("Walk");
    walk.setActive(1);
    walkAgain.setName("WALK");
    walkAgain.setActive(2);
    state.addBehaviorState(walk);
    state.addBehaviorState(walkAgain);
    KTBehaviorState behavior;
    ASSERT_TRUE(state.getBehaviorState("walk", behavior));
    EXPECT_EQ(behavior.active(), 1);
    ASSERT_TRUE(state.removeBehaviorState("walk"));
    EXPECT_EQ(state.numBehaviorStates(), 1u);
    ASSERT_TRUE(state.getBehaviorStateAt(0, behavior));
    EXPECT_EQ(behavior.active(), 2);

    // The collections hand out copies: editing one changes nothing inside.
    behavior.setActive(9);
    state.getBehaviorStateAt(0, behavior);
    EXPECT_EQ(behavior.active(), 2);

    KTObjectState same;
    same.setName("WALKER");
    state.setName("walker");
    EXPECT_EQ(state == same, 1);
    same.setName(nullptr);
    same.setOldName("before");
    same.setOldName(nullptr);
    EXPECT_EQ(same.getName(), "WALKER");
    EXPECT_EQ(same.getOldName(), "before");
}

TEST_F(ObjectState, TransformStartsAtDefaultsAndClearZeroesTheScale) {
    KTObjectState state;
    EXPECT_FALSE(state.transformSet());
    EXPECT_EQ(state.numAttributeStates(), 0u);
    EXPECT_EQ(state.numBehaviorStates(), 0u);
    expectTransform(state.getTransform(), SbVec3f(0, 0, 0), SbVec3f(1, 1, 1));

    SoTransform* live = new SoTransform;
    live->ref();
    live->translation.setValue(1, 2, 3);
    live->scaleFactor.setValue(2, 2, 2);
    state.setTransform(live);
    state.setTransform(nullptr);
    EXPECT_TRUE(state.transformSet());
    EXPECT_EQ(state.getTransform()->translation.getValue(), SbVec3f(1, 2, 3));

    state.addAttributeState(attributeNamed("a", 1.0f));
    state.setName("n");
    state.setOldName("o");
    state.clear();
    EXPECT_FALSE(state.transformSet());
    EXPECT_EQ(state.numAttributeStates(), 0u);
    EXPECT_EQ(state.getName(), "");
    EXPECT_EQ(state.getOldName(), "");
    expectTransform(state.getTransform(), SbVec3f(0, 0, 0), SbVec3f(0, 0, 0));
    state.restoreTransform(live);
    state.restoreTransform(nullptr);
    expectTransform(live, SbVec3f(0, 0, 0), SbVec3f(0, 0, 0));
    live->unref();
}

TEST_F(ObjectState, CopiesOwnTheirOwnTransformNode) {
    SoTransform* live = new SoTransform;
    live->ref();
    live->translation.setValue(4, 5, 6);
    live->center.setValue(1, 1, 1);

    auto source = std::make_unique<KTObjectState>();
    source->setName("source");
    source->setTransform(live);
    source->addAttributeState(attributeNamed("a", 1.0f));
    EXPECT_EQ(source->getTransform()->getRefCount(), 1);

    KTObjectState copy(*source);
    KTObjectState assigned;
    assigned = *source;
    for (const KTObjectState* state : {&copy, &assigned}) {
        EXPECT_NE(state->getTransform(), source->getTransform());
        EXPECT_EQ(state->getTransform()->getRefCount(), 1);
        EXPECT_TRUE(state->transformSet());
        EXPECT_EQ(state->getTransform()->translation.getValue(), SbVec3f(4, 5, 6));
        EXPECT_EQ(state->getTransform()->center.getValue(), SbVec3f(1, 1, 1));
        EXPECT_EQ(state->numAttributeStates(), 1u);
        EXPECT_EQ(state->getName(), "source");
    }
    EXPECT_EQ(source->getTransform()->getRefCount(), 1);

    // Changing the copy leaves the source alone, and the copy outlives it.
    live->translation.setValue(7, 8, 9);
    copy.setTransform(live);
    EXPECT_EQ(source->getTransform()->translation.getValue(), SbVec3f(4, 5, 6));
    const KTObjectState& alias = assigned;
    assigned = alias;
    EXPECT_EQ(assigned.getTransform()->getRefCount(), 1);
    EXPECT_EQ(assigned.numAttributeStates(), 1u);

    // A host reference keeps the node alive past its state.
    const SoTransform* kept = source->getTransform();
    kept->ref();
    source.reset();
    EXPECT_EQ(kept->getRefCount(), 1);
    EXPECT_EQ(kept->translation.getValue(), SbVec3f(4, 5, 6));
    kept->unref();

    // Assigning a state that never captured a transform takes its flag too.
    KTObjectState fresh;
    copy = fresh;
    EXPECT_FALSE(copy.transformSet());
    EXPECT_EQ(copy.getTransform()->translation.getValue(), SbVec3f(0, 0, 0));
    live->unref();
}

TEST_F(ObjectState, BehaviorCaptureListsEveryBehaviorSortedWithExactFlags) {
    KTComponentDB world;
    KTComponent* component = world.addComponent("robot");
    component->addBehavior("b", 1);
    component->addBehavior("a", 0);
    component->activateBehavior("a", 0);

    KTObjectState state;
    state.setBehaviors(component);
    ASSERT_EQ(state.numBehaviorStates(), 2u);
    KTBehaviorState behavior;
    state.getBehaviorStateAt(0, behavior);
    EXPECT_EQ(behavior.getName(), "a");
    EXPECT_EQ(behavior.active(), 1);
    EXPECT_EQ(behavior.activatedAtStartup(), 0);
    state.getBehaviorStateAt(1, behavior);
    EXPECT_EQ(behavior.getName(), "b");
    EXPECT_EQ(behavior.active(), 0);
    EXPECT_EQ(behavior.activatedAtStartup(), 1);

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
    state.setAttributes(other);
    ASSERT_EQ(state.numBehaviorStates(), 1u);
    state.getBehaviorStateAt(0, behavior);
    EXPECT_EQ(behavior.getName(), "c");
    EXPECT_TRUE(state.transformSet());
    EXPECT_EQ(state.getTransform()->translation.getValue(), SbVec3f(1, 2, 3));
    first->unref();
}

TEST_F(ObjectState, BehaviorRestoreActivatesThroughTheWorldOrTheComponent) {
    RecordingWorld world;
    KTComponent* component = world.addComponent("robot");
    component->addBehavior("walk", 0);
    component->addBehavior("wave", 1);
    component->addBehavior("idle", 0);

    KTObjectState state;
    KTBehaviorState walk, wave, gone, idle;
    walk.setName("walk");
    walk.setActive(1);
    walk.setActivatedAtStartup(1);
    gone.setName("gone");
    gone.setActive(1);
    wave.setName("wave");
    wave.setActive(0);
    wave.setActivatedAtStartup(0);
    idle.setName("idle");
    idle.setActive(0);
    idle.setActivatedAtStartup(1);
    for (const KTBehaviorState* behavior : {&walk, &gone, &wave, &idle})
        state.addBehaviorState(*behavior);

    component->activateBehavior("wave", 0);
    state.restoreBehaviors(component, &world);
    EXPECT_EQ(world.calls, std::vector<std::string>{"robot.walk"});
    EXPECT_EQ(component->getBehavior("walk").isActive(), 1);
    EXPECT_EQ(component->getBehavior("walk").isActivatedAtStartup(), 1);
    // Recorded inactive: stays active, only the start-up flag changes.
    EXPECT_EQ(component->getBehavior("wave").isActive(), 1);
    EXPECT_EQ(component->getBehavior("wave").isActivatedAtStartup(), 0);
    EXPECT_EQ(component->getBehavior("idle").isActive(), 0);
    EXPECT_EQ(component->getBehavior("idle").isActivatedAtStartup(), 1);

    // Without a world the component activates the behavior itself.
    world.calls.clear();
    component->deactivateBehavior("walk", 0);
    state.restoreBehaviors(component, nullptr);
    EXPECT_TRUE(world.calls.empty());
    EXPECT_EQ(component->getBehavior("walk").isActive(), 1);

    component->deactivateBehavior("walk", 0);
    state.restoreBehaviors(nullptr, &world);
    KTObjectState().restoreBehaviors(component, &world);
    EXPECT_EQ(component->getBehavior("walk").isActive(), 0);
    EXPECT_TRUE(world.calls.empty());
}
