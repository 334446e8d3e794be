#include <cmath>

#include <ktrt/pose/KTPose.h>
#include <ktrt/pose/KTPoseBlend.h>

#include <gtest/gtest.h>

TEST(PoseValidity, PastTheEndReadsTheIdentityAndIgnoresWrites) {
    KTPose pose(1);
    const KTPose before = pose;
    pose.setTranslation(1, SbVec3f(1, 2, 3));
    pose.setRotation(5, SbRotation(SbVec3f(0, 0, 1), 1.0f));
    pose.setPart(1, SbVec3f(1, 2, 3), SbRotation::identity(), KTPose::TRANSLATION);
    EXPECT_EQ(pose, before);
    EXPECT_EQ(pose.getTranslation(1), SbVec3f(0, 0, 0));
    EXPECT_EQ(pose.getRotation(1), SbRotation::identity());
    EXPECT_EQ(pose.getChannels(1), 0);
}

// setPart sets exactly the channels given, the others back to the identity;
// equality compares the set channels bit for bit (a NaN equals its copy, 0
// and -0 differ); clear() keeps the parts and drops the channels.
TEST(PoseParts, SetPartGrowEqualityAndClear) {
    const SbRotation turn(SbVec3f(0, 0, 1), 1.0f);
    KTPose pose(1);
    pose.setTranslation(0, SbVec3f(NAN, 0, 0));
    pose.setRotation(0, turn);
    EXPECT_EQ(pose.getChannels(0), KTPose::TRANSLATION | KTPose::ROTATION);
    EXPECT_EQ(KTPose(pose), pose);
    pose.setNumParts(2);
    pose.setPart(1, SbVec3f(4, 5, 6), turn, KTPose::ROTATION | 8);
    EXPECT_EQ(pose.getChannels(1), KTPose::ROTATION);
    EXPECT_EQ(pose.getTranslation(1), SbVec3f(0, 0, 0));
    KTPose negativeZero(pose);
    negativeZero.setTranslation(1, SbVec3f(-0.0f, 0, 0));
    pose.setTranslation(1, SbVec3f(0, 0, 0));
    EXPECT_FALSE(negativeZero == pose);
    pose.clear();
    EXPECT_EQ(pose.getNumParts(), 2u);
    EXPECT_EQ(pose.getChannels(0), 0);
    EXPECT_EQ(pose.getRotation(0), SbRotation::identity());
}

// Growing past the room the pose had keeps its parts. Parts cut off by
// shrinking are gone: grown back, or read past the end by a blend (here the
// rest pose's parts 3 to 19, which must weigh in as the identity), they are
// the identity with no channel.
TEST(PoseParts, GrowingKeepsPartsAndShrinkingForgetsThem) {
    const SbRotation turn(SbVec3f(0, 0, 1), 1.0f);
    KTPose pose(3), rest(20), layer(20);
    pose.setPart(2, SbVec3f(1, 2, 3), turn, KTPose::TRANSLATION | KTPose::ROTATION);
    pose.setNumParts(40);
    EXPECT_EQ(pose.getTranslation(2), SbVec3f(1, 2, 3));
    EXPECT_EQ(pose.getRotation(2), turn);
    pose.setNumParts(2);
    pose.setNumParts(3);
    EXPECT_EQ(pose.getChannels(2), 0);
    EXPECT_EQ(pose.getTranslation(2), SbVec3f(0, 0, 0));
    for (unsigned int p = 0; p < 20; ++p) {
        rest.setRotation(p, turn.inverse());
        layer.setRotation(p, turn);
    }
    rest.setNumParts(3);
    KTPose result;
    ASSERT_EQ(KTPoseBlend::blend({{&layer, 0.5}}, {}, rest, result), 1);
    for (unsigned int p = 3; p < 20; ++p)
        EXPECT_TRUE(result.getRotation(p).equals(SbRotation(SbVec3f(0, 0, 1), 0.5f), 1e-6f)) << p;
}
