#include <ktrt/keys/KTPartAnimation.h>

#include <memory>
#include <string>

#include <ktrt/keys/KTAnimationState.h>

#include <gtest/gtest.h>

namespace {

KTAnimationState* keyAt(double key) {
    return new KTAnimationState(key, KTVector3(key, 0, 0), KTAngle(0, 0, key));
}

// The track's name, flags and keys, an invalid key marked with '!'.
std::string describe(KTPartAnimation& track) {
    std::string text = track.getPartName().std() + " " + std::to_string(track.useOrientations()) +
                       std::to_string(track.usePositions()) + ":";
    for (unsigned int i = 0; i < track.getNumStates(); ++i)
        text += " " + std::to_string(track[i]->getKey()).substr(0, 4) +
                (track[i]->isValid() ? "" : "!");
    return text;
}

KTPartAnimation trackWithKeys(const char* name, std::initializer_list<double> keys) {
    KTPartAnimation track;
    track.setPartName(name);
    for (double key : keys)
        track.appendState(keyAt(key));
    return track;
}

} // namespace

TEST(KTPartAnimationValidity,
     OutOfRangeIndexesGetOneInvalidSentinelThatOutlivesClearAndAssignment) {
    KTPartAnimation track = trackWithKeys("arm", {1});
    KTAnimationState* const sentinel = track[1];
    EXPECT_EQ(sentinel->isValid() + sentinel->getKey(), 0.0);
    EXPECT_TRUE(sentinel->getPosition() == KTVector3());
    EXPECT_EQ(track[4000000000u], sentinel);
    track.setUseOrientations(1);
    track.setUsePositions(5);
    track.setPartName(nullptr);
    EXPECT_EQ(describe(track), "arm 15: 1.00");
    track.clear();
    EXPECT_EQ(describe(track), " 00:");
    EXPECT_EQ(track[0], sentinel);
    track = trackWithKeys("leg", {2});
    EXPECT_EQ(track[1], sentinel);
    EXPECT_EQ(sentinel->isValid(), 0);
}

TEST(PartAnimation, InsertTakesValidKeysBeforeAnExistingOneRemoveClosesTheGap) {
    KTPartAnimation track;
    auto refused = std::make_unique<KTAnimationState>(9.0, KTTransform());
    EXPECT_EQ(track.insertState(0, refused.get()), 0); // only before an existing key
    track.appendState(keyAt(1));
    track.appendState(keyAt(2));
    EXPECT_EQ(track.insertState(2, refused.get()), 0);
    refused->setValidity(0);
    EXPECT_EQ(track.insertState(0, refused.get()), 0);
    // `refused` is still ours: ASan reports a double delete if the track took it.

    EXPECT_EQ(track.insertState(1, keyAt(1.5)), 1);
    EXPECT_EQ(track.insertState(0, keyAt(0.5)), 1);
    KTAnimationState* oddValidity = keyAt(1.75);
    oddValidity->setValidity(2); // only 0 counts as invalid
    EXPECT_EQ(track.insertState(3, oddValidity), 1);
    EXPECT_EQ(describe(track), " 00: 0.50 1.00 1.50 1.75 2.00");

    EXPECT_EQ(track.removeState(5), 0);
    EXPECT_EQ(track.removeState(1) + track.removeState(3), 2);
    EXPECT_EQ(describe(track), " 00: 0.50 1.50 1.75");
    KTAnimationState* invalid = keyAt(4);
    invalid->setValidity(0); // appended all the same
    track.appendState(invalid);
    EXPECT_EQ(describe(track), " 00: 0.50 1.50 1.75 4.00!");
}

TEST(PartAnimation, CopiesOwnTheirKeysKeepTheirValidityAndCompareNamesIgnoringCase) {
    auto source = std::make_unique<KTPartAnimation>(trackWithKeys("Arm", {1, 2, 3}));
    source->setUseOrientations(1);
    source->setUsePositions(3);
    (*source)[1]->setValidity(0);

    KTPartAnimation copy(*source);
    KTPartAnimation assigned = trackWithKeys("old", {7, 8});
    assigned = *source;
    const KTPartAnimation& itself = assigned;
    assigned = itself;
    for (KTPartAnimation* track : {&copy, &assigned}) {
        EXPECT_EQ(describe(*track), "Arm 13: 1.00 2.00! 3.00");
        EXPECT_NE((*track)[0], (*source)[0]);
    }
    (*source)[0]->setKey(100);
    source.reset();
    EXPECT_EQ(describe(assigned), "Arm 13: 1.00 2.00! 3.00");

    EXPECT_TRUE(copy == trackWithKeys("aRM", {5}));
    EXPECT_FALSE(copy == trackWithKeys("Leg", {1, 2, 3}));
}
