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

void expectTransform(const SoTransform* node, const SbVec3f& translation, const SbVec3f& scale) {
    EXPECT_EQ(node->translation.getValue(), translation);
    EXPECT_TRUE(node->rotation.getValue() == SbRotation::identity());
    EXPECT_EQ(node->scaleFactor.getValue(), scale);
    EXPECT_TRUE(node->scaleOrientation.getValue() == SbRotation::identity());
    EXPECT_EQ(node->center.getValue(), SbVec3f(0, 0, 0));
}

} // namespace

TEST_F(ObjectState, LookupsMissLeavingTheOutputAndNamesDifferingInCaseAreOneEntry) {
    KTObjectState state;
    KTAttributeState attribute = attributeNamed("keep", 3.0f);
    KTBehaviorState behavior;
    behavior.setName("keep");
    EXPECT_FALSE(state.getAttributeStateAt(0, attribute) || state.getBehaviorStateAt(0, behavior));
    EXPECT_FALSE(state.getAttributeState("keep", attribute) ||
                 state.getBehaviorState("keep", behavior));
    EXPECT_FALSE(state.removeAttributeState("keep") || state.removeBehaviorState("keep"));
    EXPECT_EQ(attribute.getFloatValue(), 3.0f);
    EXPECT_EQ(behavior.getName(), "keep");

    state.addAttributeState(attributeNamed("Speed", 1.0f));
    state.addAttributeState(attributeNamed("speed", 2.0f));
    state.addAttributeState(attributeNamed("other", 3.0f));
    EXPECT_FALSE(state.getAttributeStateAt(3, attribute));
    ASSERT_TRUE(state.getAttributeState("SPEED", attribute));
    EXPECT_EQ(attribute.getFloatValue(), 1.0f);
    ASSERT_TRUE(state.removeAttributeState("speed"));
    ASSERT_TRUE(state.getAttributeStateAt(0, attribute));
    EXPECT_EQ(attribute.getName(), "speed");

    KTBehaviorState walk;
    walk.setName("Walk");
    walk.setActive(1);
    state.addBehaviorState(walk);
    walk.setName("WALK");
    walk.setActive(2);
    state.addBehaviorState(walk);
    ASSERT_TRUE(state.getBehaviorState("walk", behavior));
    EXPECT_EQ(behavior.active(), 1);
    ASSERT_TRUE(state.removeBehaviorState("walk"));
    EXPECT_EQ(state.numBehaviorStates(), 1u);
    ASSERT_TRUE(state.getBehaviorStateAt(0, behavior));
    EXPECT_EQ(behavior.active(), 2);

    KTObjectState same;
    same.setName("WALKER");
    same.setName(nullptr);
    state.setName("walker");
    EXPECT_EQ(state == same, 1);
}

TEST_F(ObjectState, CopiesOwnTheirOwnTransformNodeAndClearZeroesTheScale) {
    KTObjectState empty;
    EXPECT_FALSE(empty.transformSet());
    expectTransform(empty.getTransform(), SbVec3f(0, 0, 0), SbVec3f(1, 1, 1));
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
        EXPECT_EQ(state->getTransform()->center.getValue(), SbVec3f(1, 1, 1));
        EXPECT_EQ(state->numAttributeStates(), 1u);
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
    copy = empty;
    EXPECT_FALSE(copy.transformSet());
    EXPECT_EQ(copy.getTransform()->translation.getValue(), SbVec3f(0, 0, 0));

    assigned.clear();
    EXPECT_FALSE(assigned.transformSet());
    EXPECT_EQ(assigned.numAttributeStates(), 0u);
    expectTransform(assigned.getTransform(), SbVec3f(0, 0, 0), SbVec3f(0, 0, 0));
    assigned.restoreTransform(live);
    assigned.restoreTransform(nullptr);
    expectTransform(live, SbVec3f(0, 0, 0), SbVec3f(0, 0, 0));
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
    KTBehaviorState gone;
    gone.setName("gone");
    gone.setActive(1);
    state.addBehaviorState(gone);
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
    EXPECT_TRUE(world.calls.empty());
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
}
