#include <ktrt/animation/KTAnimationState.h>
#include <ktrt/animation/KTPartAnimation.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

KTAnimationState* keyAt(double key) {
    return new KTAnimationState(key, KTVector3(key, 0, 0), KTAngle(0, 0, key));
}

void expectSentinel(KTAnimationState* state) {
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->isValid(), 0);
    EXPECT_EQ(state->getKey(), 0.0);
    EXPECT_TRUE(state->getPosition() == KTVector3());
}

std::vector<double> keysOf(KTPartAnimation& track) {
    std::vector<double> keys;
    for (unsigned int i = 0; i < track.getNumStates(); ++i)
        keys.push_back(track[i]->getKey());
    return keys;
}

KTPartAnimation trackWithKeys(const char* name, std::initializer_list<double> keys) {
    KTPartAnimation track;
    track.setPartName(name);
    for (double key : keys)
        track.appendState(keyAt(key));
    return track;
}

} // namespace

TEST(AnimationState, CopyMakesValidAssignmentKeepsValidityAndEqualityComparesKeysOnly) {
    KTAnimationState invalid(2.0, KTVector3(1, 2, 3), KTAngle(4, 5, 6));
    invalid.setValidity(0);
    const KTAnimationState copied(invalid);
    EXPECT_EQ(copied.isValid(), 1);
    EXPECT_TRUE(copied.getPosition() == KTVector3(1, 2, 3));
    KTAnimationState assigned;
    EXPECT_EQ(assigned.isValid(), 1);
    assigned = invalid;
    EXPECT_EQ(assigned.isValid(), 0);
    EXPECT_TRUE(assigned.getOrientation() == KTAngle(4, 5, 6));

    EXPECT_TRUE(KTAnimationState(1.5, KTVector3(1, 1, 1), KTAngle()) ==
                KTAnimationState(1.5, KTVector3(9, 9, 9), KTAngle(9, 9, 9)));
    EXPECT_FALSE(KTAnimationState(1.5, KTTransform()) == KTAnimationState(2.5, KTTransform()));
}

TEST(PartAnimationIndex, OutOfRangeGetsTheSentinelBeforeAndAfterClear) {
    KTPartAnimation track;
    expectSentinel(track[0]);
    KTAnimationState* const sentinel = track[0];
    track.setPartName("arm");
    track.setUseOrientations(1);
    track.setUsePositions(5);
    track.appendState(keyAt(1));
    EXPECT_NE(track[0], sentinel);
    EXPECT_EQ(track[1], sentinel);
    EXPECT_EQ(track[4000000000u], sentinel);

    track.clear();
    EXPECT_EQ(track.getNumStates(), 0u);
    EXPECT_EQ(track.getPartName(), "");
    EXPECT_EQ(track.useOrientations() + track.usePositions(), 0);
    EXPECT_EQ(track[0], sentinel);
    expectSentinel(track[0]);
}

TEST(PartAnimationInsert, RefusesInvalidKeyAndBadIndexLeavingOwnershipWithCaller) {
    KTPartAnimation track;
    auto key = std::make_unique<KTAnimationState>(9.0, KTTransform());
    EXPECT_EQ(track.insertState(0, key.get()), 0); // only before an existing key
    track.appendState(keyAt(1));
    track.appendState(keyAt(2));
    EXPECT_EQ(track.insertState(2, key.get()), 0);
    key->setValidity(0);
    EXPECT_EQ(track.insertState(0, key.get()), 0);
    EXPECT_EQ(keysOf(track), (std::vector<double>{1, 2}));
    // `key` is still ours: ASan reports a double delete if the track took it.

    EXPECT_EQ(track.insertState(1, keyAt(1.5)), 1);
    EXPECT_EQ(track.insertState(0, keyAt(0.5)), 1);
    KTAnimationState* oddValidity = keyAt(1.75);
    oddValidity->setValidity(2); // only 0 counts as invalid
    EXPECT_EQ(track.insertState(3, oddValidity), 1);
    EXPECT_EQ(keysOf(track), (std::vector<double>{0.5, 1, 1.5, 1.75, 2}));
}

TEST(PartAnimationRemoveAndAppend, RemoveClosesTheGapAndAppendTakesInvalidKeys) {
    KTPartAnimation track = trackWithKeys("arm", {1, 2, 3});
    EXPECT_EQ(track.removeState(3), 0);
    EXPECT_EQ(track.removeState(1), 1);
    EXPECT_EQ(keysOf(track), (std::vector<double>{1, 3}));
    EXPECT_EQ(track.removeState(0) + track.removeState(0), 2);
    EXPECT_EQ(track.removeState(0), 0);

    KTAnimationState* invalid = keyAt(4);
    invalid->setValidity(0); // appended all the same
    track.appendState(invalid);
    EXPECT_EQ(track[0], invalid);
}

TEST(PartAnimationCopy, CopiesOwnTheirKeysAndAssignmentKeepsTheSentinel) {
    auto source = std::make_unique<KTPartAnimation>(trackWithKeys("Arm", {1, 2, 3}));
    source->setUseOrientations(1);
    source->setUsePositions(3);
    (*source)[1]->setValidity(0);

    KTPartAnimation copy(*source);
    KTPartAnimation assigned = trackWithKeys("old", {7, 8});
    KTAnimationState* const assignedSentinel = assigned[99];
    assigned = *source;
    for (KTPartAnimation* t : {&copy, &assigned}) {
        EXPECT_EQ(t->getPartName(), "Arm");
        EXPECT_EQ(t->useOrientations(), 1);
        EXPECT_EQ(t->usePositions(), 3);
        EXPECT_EQ(keysOf(*t), (std::vector<double>{1, 2, 3}));
        EXPECT_EQ((*t)[1]->isValid(), 0);
        EXPECT_NE((*t)[0], (*source)[0]);
        expectSentinel((*t)[3]);
    }
    EXPECT_EQ(assigned[99], assignedSentinel);

    (*source)[0]->setKey(100);
    source.reset();
    EXPECT_EQ(keysOf(assigned), (std::vector<double>{1, 2, 3}));
    const KTPartAnimation& itself = assigned;
    assigned = itself;
    EXPECT_EQ(keysOf(assigned), (std::vector<double>{1, 2, 3}));
    assigned = KTPartAnimation();
    EXPECT_EQ(assigned.getNumStates(), 0u);
    EXPECT_EQ(assigned[0], assignedSentinel);
}

TEST(PartAnimationEquality, ComparesPartNamesIgnoringCaseAndIgnoresANullName) {
    EXPECT_TRUE(trackWithKeys("LeftArm", {1}) == trackWithKeys("leftarm", {2, 3}));
    EXPECT_FALSE(trackWithKeys("LeftArm", {1}) == trackWithKeys("RightArm", {1}));
    KTPartAnimation track = trackWithKeys("arm", {});
    track.setPartName(nullptr);
    EXPECT_EQ(track.getPartName(), "arm");
}
