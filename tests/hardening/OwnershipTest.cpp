// Copy, assignment, self-assignment and destruction in awkward orders for
// every class that owns something. Most checks here are made by the
// sanitizer build: a double delete, a use after free or a leak fails it.

#include <memory>

#include <Inventor/SbTime.h>
#include <Inventor/SoDB.h>
#include <Inventor/nodes/SoSpotLight.h>
#include <Inventor/nodes/SoTransform.h>
#include <Inventor/sensors/SoSensorManager.h>

#include <ktcp/ktcp.h>

#include <ktrt/animation/KTAnimationInstance.h>
#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>
#include <ktrt/snapshot/KTLightState.h>
#include <ktrt/snapshot/KTViewpointState.h>
#include <ktrt/snapshot/KTWorldState.h>
#include <ktrt/world/KTWorldDriver.h>

#include <gtest/gtest.h>

namespace {

// Copies `filled` into a heap original, then copies, assigns and
// self-assigns around it (over a copy of `other`) and destroys the original
// first.
template <class T> void expectIndependentCopies(const T& filled, const T& other = T()) {
    auto original = std::make_unique<T>(filled);
    T copy(*original);
    T assigned(other);
    assigned = *original;
    T& alias = assigned;
    assigned = alias;
    copy = *original;
    original.reset();
    EXPECT_TRUE(copy == filled);
    EXPECT_TRUE(assigned == filled);
}

KTPartAnimation* trackFor(const char* part, int keys) {
    auto* track = new KTPartAnimation;
    track->setPartName(part);
    track->setUsePositions(1);
    for (int i = 0; i < keys; ++i)
        track->appendState(new KTAnimationState(i, KTVector3(i, 1, 2), KTAngle(0, 0, 10.0 * i)));
    return track;
}

struct Ownership : ::testing::Test {
    void SetUp() override {
        KTComponentLibrary::init();
        component = world.addComponent("Chest");
        lid =
            static_cast<SoTransform*>(component->addLogicalPart("Lid")->getPart("transform", TRUE));
        animation.addPartAnimation(trackFor("Lid", 3));
        animation.addPartAnimation(trackFor("Missing", 2));
    }
    KTComponentDB world;
    KTComponent* component = nullptr;
    SoTransform* lid = nullptr;
    KTComponentAnimation animation;
};

} // namespace

TEST_F(Ownership, EveryValueClassCopiesAssignsAndOutlivesItsSource) {
    expectIndependentCopies(KTAnimationState(1, KTVector3(1, 2, 3), KTAngle(0, 90, 0)));
    std::unique_ptr<KTPartAnimation> track(trackFor("Lid", 4));
    expectIndependentCopies(*track);
    expectIndependentCopies(animation);
    expectIndependentCopies(KTAnimationInstance(component, &animation),
                            KTAnimationInstance(nullptr, nullptr));

    KTAttributeState attribute;
    attribute.setName("speed");
    attribute.setStringValue("fast");
    expectIndependentCopies(attribute);
    KTBehaviorState behavior;
    behavior.setName("Open");
    expectIndependentCopies(behavior);
    KTLightState light;
    SoSpotLight* spot = new SoSpotLight;
    spot->ref();
    light.snapshotLight(spot);
    spot->unref();
    expectIndependentCopies(light);
    KTViewpointState viewpoint;
    viewpoint.setName("Front");
    expectIndependentCopies(viewpoint);
    KTWorldState worldState;
    component->addAttribute(new KTFloatAttribute("speed", 2.0f));
    worldState.makeSnapshot(&world);
    expectIndependentCopies(worldState);

    // The object state holds its node with exactly one reference, whatever
    // is done to it.
    KTObjectState object;
    object.setTransform(lid);
    object.setBehaviors(component);
    object.setAttributes(component);
    expectIndependentCopies(object);
    auto copy = std::make_unique<KTObjectState>(object);
    KTObjectState assigned;
    assigned = *copy;
    KTObjectState& alias = assigned;
    assigned = alias;
    copy->clear();
    for (const KTObjectState* state : {&object, copy.get(), &assigned})
        EXPECT_EQ(state->getTransform()->getRefCount(), 1);
    EXPECT_NE(assigned.getTransform(), object.getTransform());
}

TEST_F(Ownership, InstancesShareSavedTransformsAndLeaveThePartsAlone) {
    const int partReferences = lid->getRefCount();
    lid->translation.setValue(5, 6, 7);
    auto original = std::make_unique<KTAnimationInstance>(component, &animation);
    KTAnimationInstance copy(*original);
    KTAnimationInstance assigned(nullptr, nullptr);
    assigned = copy;
    KTAnimationInstance& alias = assigned;
    assigned = alias;
    assigned = KTAnimationInstance(component, &animation); // replaces its saved nodes
    original->update();
    original.reset();
    EXPECT_EQ(lid->getRefCount(), partReferences);
    EXPECT_EQ(lid->translation.getValue(), SbVec3f(0, 1, 2));

    // A copy that outlived its source still plays and resets.
    copy.update();
    copy.update();
    EXPECT_EQ(lid->translation.getValue(), SbVec3f(1, 1, 2));
    copy.resetState();
    EXPECT_EQ(lid->translation.getValue(), SbVec3f(5, 6, 7));
    assigned.resetState();
    EXPECT_EQ(lid->translation.getValue(), SbVec3f(5, 6, 7));
}

TEST_F(Ownership, RefusedInsertsAndOutOfRangeIndexesLeaveOwnershipWithTheCaller) {
    KTPartAnimation* lidTrack = animation[0]->getPartName() == "Lid" ? animation[0] : animation[1];
    auto invalid = std::make_unique<KTAnimationState>();
    invalid->setValidity(0);
    EXPECT_EQ(lidTrack->insertState(0, invalid.get()), 0);
    auto valid = std::make_unique<KTAnimationState>(9, KTVector3(), KTAngle());
    EXPECT_EQ(lidTrack->insertState(3, valid.get()), 0);
    EXPECT_EQ(lidTrack->removeState(3), 0);
    EXPECT_EQ((*lidTrack)[3], (*lidTrack)[~0u]); // the sentinel
    EXPECT_EQ((*lidTrack)[3]->isValid(), 0);

    std::unique_ptr<KTPartAnimation> duplicate(trackFor("Lid", 1));
    std::unique_ptr<KTPartAnimation> unnamed(trackFor("", 1));
    EXPECT_EQ(animation.addPartAnimation(duplicate.get()), 0);
    EXPECT_EQ(animation.addPartAnimation(unnamed.get()), 0);
    EXPECT_EQ(animation.addPartAnimation(nullptr), 0);
    EXPECT_EQ(animation.removePartAnimation(nullptr), 0);
    EXPECT_EQ(animation.removePartAnimation("Nobody"), 0);
    KTPartAnimation* untouched = lidTrack;
    EXPECT_EQ(animation.getPartAnimation(nullptr, untouched), 0);
    EXPECT_EQ(untouched, lidTrack);
    EXPECT_EQ(animation[2], animation[~0u]);
    EXPECT_EQ(animation[2]->getNumStates(), 0u);

    // Removing a track while the sentinel is in use, then clearing a track:
    // the sentinel pointers handed out stay valid.
    KTPartAnimation* sentinel = animation[5];
    ASSERT_EQ(animation.removePartAnimation("Missing"), 1);
    EXPECT_EQ(animation[1], sentinel);
    KTAnimationState* keySentinel = (*lidTrack)[7];
    lidTrack->clear();
    EXPECT_EQ((*lidTrack)[0], keySentinel);
    animation = KTComponentAnimation();
    EXPECT_EQ(animation[0], sentinel);
}

TEST_F(Ownership, DriversCopiedAssignedAndDestroyedInAnyOrderLeaveNoSensorQueued) {
    SoDB::enableRealTimeSensor(FALSE);
    auto original = std::make_unique<KTWorldDriver>();
    original->addWorld(&world);
    original->runWorld(&world);
    original->setInterval(0.5);
    KTWorldDriver copy(*original);
    KTWorldDriver assigned;
    assigned = copy;
    KTWorldDriver& alias = assigned;
    assigned = alias;
    original.reset();
    EXPECT_EQ(assigned.getInterval(), 0.5);
    EXPECT_EQ(assigned.containsWorld(&world), 1);
    EXPECT_EQ(copy.stopWorld(&world), 1);
    assigned = copy; // a stopped world: the target unschedules its own sensor
    SbTime when;
    EXPECT_FALSE(SoDB::getSensorManager()->isTimerSensorPending(when));
    EXPECT_EQ(assigned.removeWorld(&world), 1);
    EXPECT_EQ(assigned.removeWorld(&world), 0);
    EXPECT_EQ(assigned.addWorld(nullptr), 0);
    EXPECT_EQ(assigned.runWorld(nullptr), 0);
}
