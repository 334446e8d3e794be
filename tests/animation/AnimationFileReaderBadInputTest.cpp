#include <random>
#include <string>

#include <gtest/gtest.h>

#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

#include "AnimationFileFixture.h"

using namespace std::string_literals;
using ktrt_test::closePart;
using ktrt_test::load;
using ktrt_test::openPart;

namespace {

// Whatever a read did, the table and its index order must agree.
void expectConsistent(KTComponentAnimation& animation) {
    const unsigned int count = animation.getNumPartAnimations();
    for (unsigned int i = 0; i < count; ++i) {
        KTPartAnimation* track = animation[i];
        ASSERT_NE(track, animation[count]) << i;
        KTPartAnimation* found = nullptr;
        ASSERT_EQ(animation.getPartAnimation(track->getPartName(), found), 1) << i;
    }
    EXPECT_EQ(animation[count]->getNumStates(), 0u);
}

TEST(AnimationFileReaderBadInput, NulBytesAreOrdinaryBytesOfTheirTokens) {
    KTComponentAnimation animation;
    // "KTAnimation\0" is no keyword; "1\0x" reads as 1; "[\0" is no bracket.
    std::string text = openPart("Z") + "PositionInterpolator { Key [ 0 1";
    text += "\0x ] KeyValue [ 1 2 3 4 5 6 ] }\n"s;
    text += "KeyValue [\0 1 ]\n"s;
    EXPECT_EQ(load(animation, text), 0);
    EXPECT_STREQ(animation.getErrorMessage(), "Unexpected key value field.");
    EXPECT_EQ(animation.getLineNumber(), 6);
    EXPECT_EQ(animation.getLineText().length(), 15u); // the NUL byte is kept

    KTComponentAnimation skipped;
    EXPECT_EQ(load(skipped, "KTAnimation\0 { Children [ ] }\n"s), 1);
    EXPECT_EQ(skipped.getNumPartAnimations(), 0u);
}

TEST(AnimationFileReaderBadInput, RandomBytesAndShuffledKeywordsGiveZeroOrOne) {
    const std::string words[] = {"KTAnimation",
                                 "{",
                                 "}",
                                 "[",
                                 "]",
                                 "Children",
                                 "Key",
                                 "KeyValue",
                                 "Name",
                                 "OrientationInterpolator",
                                 "KTPartTransform",
                                 "PositionInterpolator",
                                 "\"P\"",
                                 "\"",
                                 "1",
                                 "-2.5e3",
                                 "nan",
                                 "#",
                                 "\n",
                                 "\r\n",
                                 ",",
                                 "\t",
                                 "\0"s};
    std::mt19937 random(1234);
    for (int round = 0; round < 40; ++round) {
        std::string text;
        for (int i = 0; i < 4000; ++i) {
            if (round % 2 == 0) {
                text += static_cast<char>(random() & 0xff);
            } else {
                text += words[random() % (sizeof(words) / sizeof(words[0]))];
                text += ' ';
            }
        }
        KTComponentAnimation animation;
        const int result = load(animation, text);
        EXPECT_TRUE(result == 0 || result == 1);
        EXPECT_EQ(animation.isLoaded(), result);
        EXPECT_EQ(result == 1, animation.getErrorMessage().isNull()) << round;
        expectConsistent(animation);
    }
}

TEST(AnimationFileReaderBadInput, AMillionTokensOnOneLine) {
    const int keys = 250000;
    std::string text = openPart("Long") + "PositionInterpolator { Key [";
    for (int i = 0; i < keys; ++i)
        text += " 0";
    text += " ] KeyValue [";
    for (int i = 0; i < keys; ++i)
        text += " 1 2 " + std::to_string(i);
    text += " ] }" + std::string(closePart());
    KTComponentAnimation animation;
    ASSERT_EQ(load(animation, text), 1);
    KTPartAnimation* track = nullptr;
    ASSERT_EQ(animation.getPartAnimation("Long", track), 1);
    ASSERT_EQ(track->getNumStates(), static_cast<unsigned int>(keys));
    EXPECT_TRUE((*track)[keys - 1]->getPosition() == KTVector3(1, 2, keys - 1));
}

TEST(AnimationFileReaderBadInput, MegabyteTokensAreReadAndKeptInTheErrorLine) {
    const std::string digits(3 << 20, '9');
    const std::string letters(3 << 20, 'x');
    KTComponentAnimation animation;
    // Three megabytes of nines overflow to inf but are a number.
    ASSERT_EQ(load(animation, openPart("Big") + "PositionInterpolator { Key [ " + digits +
                                  " ] KeyValue [ 0 0 " + digits + " ] }" + closePart()),
              1);
    KTPartAnimation* track = nullptr;
    ASSERT_EQ(animation.getPartAnimation("Big", track), 1);
    EXPECT_TRUE((*track)[0]->getPosition()[2] > 1e300);

    const std::string line = "Key [ " + letters + " ]";
    EXPECT_EQ(load(animation, openPart("Big") + "PositionInterpolator { " + line + "\n"), 0);
    EXPECT_STREQ(animation.getErrorMessage(), "Illegal or missing value in key field.");
    EXPECT_EQ(animation.getLineText().std(), "PositionInterpolator { " + line);
}

} // namespace
