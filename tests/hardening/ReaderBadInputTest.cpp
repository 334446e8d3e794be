#include <filesystem>
#include <fstream>
#include <string>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

#include <gtest/gtest.h>

#include "../animation/AnimationFileFixture.h"

using ktrt_test::AnimationFile;
using ktrt_test::closePart;
using ktrt_test::openPart;

namespace {

const char* const positionTrack = "PositionInterpolator { Key [ 0 1 ] KeyValue [ 1 2 3 4 5 6 ] }\n";

// The track "Kept" read from a good file: bad reads afterwards must leave it
// as it is.
void expectKeptTrack(KTComponentAnimation& animation) {
    KTPartAnimation* track = nullptr;
    ASSERT_EQ(animation.getPartAnimation("Kept", track), 1);
    ASSERT_EQ(track->getNumStates(), 2u);
    EXPECT_TRUE((*track)[1]->getPosition() == KTVector3(4, 5, 6));
    EXPECT_EQ(animation[animation.getNumPartAnimations()]->getNumStates(), 0u);
}

TEST(ReaderBadInput, PathsThatCannotBeReadGiveZeroWithoutMessageAndKeepTheTracks) {
    KTComponentAnimation animation;
    ASSERT_EQ(AnimationFile(openPart("Kept") + positionTrack + closePart()).loadInto(animation), 1);

    {
        AnimationFile deleted("KTAnimation { Children [ ] }\n");
        std::filesystem::remove(deleted.path());
        EXPECT_EQ(deleted.loadInto(animation), 0);
    }
    KTRegistryLoader::RegisterAnimation("hardening-directory", ::testing::TempDir().c_str());
    EXPECT_EQ(animation.loadAnimationFromFile("hardening-directory"), 0);

    EXPECT_STREQ(animation.getErrorMessage(), "");
    EXPECT_EQ(animation.getLineNumber(), 0);
    EXPECT_EQ(animation.isLoaded(), 1); // from the good read, never reset
    EXPECT_EQ(animation.getNumPartAnimations(), 1u);
    expectKeptTrack(animation);
}

TEST(ReaderBadInput, FiftyMegabyteLineOfTenMillionTokensIsReadAndKeptOnError) {
    // One line: the part's opening, ten million ignored tokens, a 30 MB
    // token, then the track and the closing braces.
    std::string line = "KTAnimation { Children [ KTPartTransform { Name \"Wide\" ";
    line.reserve(52u << 20);
    for (int i = 0; i < 10'000'000; ++i)
        line += "x ";
    line.append(30u << 20, 'y');
    const std::string track = " PositionInterpolator { Key [ 0 ] KeyValue [ 7 8 9 ] }";

    KTComponentAnimation animation;
    ASSERT_EQ(AnimationFile(openPart("Kept") + positionTrack + closePart()).loadInto(animation), 1);
    ASSERT_EQ(AnimationFile(line + track + " } ] }\n").loadInto(animation), 1);
    EXPECT_EQ(animation.getLineNumber(), 1);
    KTPartAnimation* wide = nullptr;
    ASSERT_EQ(animation.getPartAnimation("Wide", wide), 1);
    EXPECT_TRUE((*wide)[0]->getPosition() == KTVector3(7, 8, 9));

    // The same line with a stray "Key" before the part's end.
    ASSERT_EQ(AnimationFile(line + track + " Key } ] }").loadInto(animation), 0);
    EXPECT_STREQ(animation.getErrorMessage(), "Unexpected key field.");
    EXPECT_EQ(animation.getLineNumber(), 1);
    EXPECT_EQ(animation.getLineText().length(), line.size() + track.size() + 10);
    EXPECT_EQ(animation.getNumPartAnimations(), 2u);
    expectKeptTrack(animation);
}

} // namespace
