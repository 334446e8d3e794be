#include <cmath>
#include <filesystem>
#include <limits>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

#include "AnimationFileFixture.h"
#include "ReaderErrorCases.h"

using ktrt_test::AnimationFile;
using ktrt_test::closePart;
using ktrt_test::load;
using ktrt_test::openPart;

namespace {

// The orientation the reader builds from an axis-angle key value.
KTAngle orientationOf(float x, float y, float z, float radians) {
    float q[4];
    SbRotation(SbVec3f(x, y, z), radians).getValue(q[0], q[1], q[2], q[3]);
    return KTAngle(q[0], q[1], q[2], q[3]);
}

// Line `number` (1-based) of `text`, without its line end.
std::string lineOf(const std::string& text, int number) {
    std::istringstream in(text);
    std::string line;
    for (int i = 0; i < number; ++i)
        std::getline(in, line);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

KTPartAnimation* track(KTComponentAnimation& animation, const char* part) {
    KTPartAnimation* found = nullptr;
    animation.getPartAnimation(part, found);
    return found;
}

std::string examplePath(const char* file) {
    return std::string(KTRT_SOURCE_DIR) + "/examples/" + file;
}

int loadExample(KTComponentAnimation& animation, const char* file) {
    const std::string name = std::string("example/") + file;
    KTRegistryLoader::RegisterAnimation(name.c_str(), examplePath(file).c_str());
    return animation.loadAnimationFromFile(name.c_str());
}

TEST(AnimationFileReaderErrors, EachCaseStopsWithItsMessageLineAndLineText) {
    for (const auto& row : ktrt_test::readerErrorCases) {
        SCOPED_TRACE(row.name);
        KTComponentAnimation animation;
        EXPECT_EQ(load(animation, row.input), 0);
        EXPECT_STREQ(animation.getErrorMessage(), row.message);
        EXPECT_EQ(animation.getLineNumber(), row.line);
        EXPECT_EQ(animation.getLineText().std(), lineOf(row.input, row.line));
        EXPECT_EQ(animation.isLoaded(), 0);
        EXPECT_EQ(animation.getNumPartAnimations(), 0u);
    }
}

TEST(AnimationFileReaderErrors, TableCoversEveryMessage) {
    const std::set<std::string> messages = {
        "Missing trailing \" in part name",
        "Illegal or missing value in key field.",
        "Illegal or missing value in position key value field",
        "Unexpected right brace.",
        "Illegal right brace.",
        "Unexpected key field.",
        "Unexpected key value field.",
        "Mismatch between number of interpolator keys and values.",
        "Discrepancy detected while constructing part transform.",
        "Illegally nested animations.",
        "OrientationInterpolator found outside of transform.",
        "PositionInterpolator found outside of transform.",
    };
    std::set<std::string> covered;
    for (const auto& row : ktrt_test::readerErrorCases) {
        EXPECT_EQ(messages.count(row.message), 1u) << row.name;
        covered.insert(row.message);
    }
    EXPECT_EQ(covered, messages);
}

TEST(AnimationFileReaderResolve, UnknownNameOrUnreadableFileGivesZeroAndNoMessage) {
    KTComponentAnimation animation;
    ASSERT_EQ(load(animation, openPart("Lid") + closePart()), 1);
    ASSERT_EQ(load(animation, "KTAnimation {\n ]\n"), 0);
    ASSERT_EQ(animation.getLineNumber(), 2);

    const AnimationFile file(openPart("Other") + closePart());
    const std::string directory = std::filesystem::path(file.path()).parent_path().string();
    KTRegistryLoader::RegisterAnimation("missing", (file.path() + ".none").c_str());
    KTRegistryLoader::RegisterAnimation("directory", directory.c_str());
    // The name is resolved, never opened as a path.
    for (const std::string& name : {std::string("unregistered"), file.path(),
                                    std::string("missing"), std::string("directory")}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(animation.loadAnimationFromFile(name.c_str()), 0);
        EXPECT_STREQ(animation.getErrorMessage(), "");
        EXPECT_EQ(animation.getLineNumber(), 0);
        EXPECT_STREQ(animation.getLineText(), " ]");
        EXPECT_EQ(animation.isLoaded(), 1);
        EXPECT_EQ(animation.getNumPartAnimations(), 1u);
    }
}

TEST(AnimationFileReaderExamples, ChestLidGetsThreeKeysOfOrientationAndPosition) {
    KTComponentAnimation animation;
    ASSERT_EQ(loadExample(animation, "chest.kta"), 1);
    EXPECT_EQ(animation.isLoaded(), 1);
    EXPECT_STREQ(animation.getErrorMessage(), "");
    EXPECT_EQ(animation.getLineNumber(), 15);
    ASSERT_EQ(animation.getNumPartAnimations(), 1u);
    KTPartAnimation* lid = animation[0];
    EXPECT_STREQ(lid->getPartName(), "Lid");
    EXPECT_EQ(lid->useOrientations(), 1);
    EXPECT_EQ(lid->usePositions(), 0); // positions are stored but not applied
    ASSERT_EQ(lid->getNumStates(), 3u);
    const float angles[] = {0.0f, 0.8f, 1.6f};
    const float heights[] = {0.0f, 0.1f, 0.2f};
    for (unsigned int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const KTAnimationState* key = (*lid)[i];
        EXPECT_EQ(key->isValid(), 1);
        EXPECT_EQ(key->getKey(), 0.0);
        EXPECT_TRUE(key->getOrientation() == orientationOf(1, 0, 0, angles[i]));
        EXPECT_TRUE(key->getPosition() == KTVector3(0, heights[i], 0));
    }
    double x, y, z;
    (*lid)[2]->getOrientation().getValue(x, y, z);
    EXPECT_NEAR(x, 1.6 * 180 / M_PI, 1e-4);
    EXPECT_EQ(y, 0.0);
    EXPECT_EQ(z, 0.0);
}

TEST(AnimationFileReaderExamples, DoorAndFigureGiveTheirNamedParts) {
    KTComponentAnimation door;
    ASSERT_EQ(loadExample(door, "door.kta"), 1);
    ASSERT_NE(track(door, "Door"), nullptr);
    EXPECT_EQ(track(door, "Door")->getNumStates(), 9u);
    EXPECT_TRUE((*track(door, "Door"))[4]->getOrientation() == orientationOf(0, 1, 0, 1.5708f));

    KTComponentAnimation figure;
    ASSERT_EQ(loadExample(figure, "figure.kta"), 1);
    EXPECT_EQ(figure.getNumPartAnimations(), 5u);
    for (const char* part : {"Head", "LeftArm", "RightArm", "LeftLeg", "RightLeg"}) {
        SCOPED_TRACE(part);
        ASSERT_NE(track(figure, part), nullptr);
        EXPECT_EQ(track(figure, part)->getNumStates(), 5u);
        EXPECT_EQ(track(figure, part)->useOrientations(), 1);
    }
    EXPECT_TRUE((*track(figure, "Head"))[1]->getPosition() == KTVector3(0, 1.72f, 0));
}

TEST(AnimationFileReaderSyntax, CommentsEndTheLineAndEscapesWorkOutsideAnimations) {
    KTComponentAnimation animation;
    const std::string text = "# KTAnimation { Children [ KTPartTransform {\n"
                             "KTAnimation [ KTPartTransform { Name \"Skipped\" } ]\n"
                             "} ] Key text outside any animation is ignored\n"
                             "KTAnimation { # Children [\n"
                             " Children [ KTPartTransform { Name \"A#B\" #\"Comment\"\n"
                             "  PositionInterpolator { Key [ 0 ] KeyValue [ 1 2 3# ] }\n"
                             " } ]\n"
                             "}\n";
    ASSERT_EQ(load(animation, text), 1);
    EXPECT_EQ(animation.getLineNumber(), 8);
    ASSERT_EQ(animation.getNumPartAnimations(), 1u);
    ASSERT_NE(track(animation, "A#B"), nullptr);
    EXPECT_TRUE((*track(animation, "A#B"))[0]->getPosition() == KTVector3(1, 2, 3));
}

TEST(AnimationFileReaderSyntax, KeywordsMatchInAnyLetterCase) {
    KTComponentAnimation animation;
    const std::string text = "ktanimation { CHILDREN [ ktparttransform { name \"Lid\"\n"
                             " orientationINTERPOLATOR { KEY [ 0 ] keyvalue [ 0 0 1 0.5 ] }\n"
                             " POSITIONinterpolator { key [ 0 ] KEYVALUE [ 1 2 3 ] }\n"
                             "} ] }\n";
    ASSERT_EQ(load(animation, text), 1);
    KTPartAnimation* lid = track(animation, "Lid");
    ASSERT_NE(lid, nullptr);
    ASSERT_EQ(lid->getNumStates(), 1u);
    EXPECT_TRUE((*lid)[0]->getOrientation() == orientationOf(0, 0, 1, 0.5f));
    EXPECT_TRUE((*lid)[0]->getPosition() == KTVector3(1, 2, 3));
}

TEST(AnimationFileReaderSyntax, MisplacedChildrenOrNameEndsTheReadingSuccessfully) {
    for (const char* misplaced : {"Children", "Name"}) {
        SCOPED_TRACE(misplaced);
        KTComponentAnimation animation;
        const std::string text = openPart("A") + "  }\n  KTPartTransform { Name \"B\"\n" +
                                 "   PositionInterpolator { " + misplaced + "\n" +
                                 "   Key [ 0 ] KeyValue [ 1 2 3 ] } }\n" + "] } ] } Key\n";
        EXPECT_EQ(load(animation, text), 1);
        EXPECT_EQ(animation.getLineNumber(), 9);
        EXPECT_EQ(animation.getNumPartAnimations(), 1u);
        EXPECT_NE(track(animation, "A"), nullptr);
    }
}

TEST(AnimationFileReaderSyntax, TwoAnimationsInOneFileAddTheTracksOfBoth) {
    KTComponentAnimation animation;
    ASSERT_EQ(load(animation, openPart("A") + closePart() + openPart("B") + closePart()), 1);
    EXPECT_EQ(animation.getNumPartAnimations(), 2u);
    EXPECT_NE(track(animation, "A"), nullptr);
    EXPECT_NE(track(animation, "B"), nullptr);
}

TEST(AnimationFileReaderValues, AccumulatorsCarryOverBetweenListsAndParts) {
    KTComponentAnimation animation;
    // Each list leaves numbers pending that the next list of its kind
    // completes, even in the next part transform.
    const std::string text = "KTAnimation { Children [\n"
                             " KTPartTransform { Name \"A\"\n"
                             "  OrientationInterpolator { Key [ 0 ] KeyValue [ 0 1 0 0.5 0 0 ] }\n"
                             "  PositionInterpolator { Key [ 0 ] KeyValue [ 1 2 3 4 ] }\n"
                             " }\n"
                             " KTPartTransform { Name \"B\"\n"
                             "  OrientationInterpolator { Key [ 0 1 ] KeyValue [ 1 ]\n"
                             "   KeyValue [ 0.25 1 0 0 0.75 ] }\n"
                             "  PositionInterpolator { Key [ 0 ] KeyValue [ 5 ] Key [ 1 ]\n"
                             "   KeyValue [ 6 7 8 9 ] }\n"
                             " }\n"
                             "] }\n";
    ASSERT_EQ(load(animation, text), 1);
    KTPartAnimation* a = track(animation, "A");
    KTPartAnimation* b = track(animation, "B");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(a->getNumStates(), 1u);
    EXPECT_TRUE((*a)[0]->getOrientation() == orientationOf(0, 1, 0, 0.5f));
    EXPECT_TRUE((*a)[0]->getPosition() == KTVector3(1, 2, 3));
    ASSERT_EQ(b->getNumStates(), 2u);
    EXPECT_TRUE((*b)[0]->getOrientation() == orientationOf(0, 0, 1, 0.25f));
    EXPECT_TRUE((*b)[1]->getOrientation() == orientationOf(1, 0, 0, 0.75f));
    EXPECT_TRUE((*b)[0]->getPosition() == KTVector3(4, 5, 6));
    EXPECT_TRUE((*b)[1]->getPosition() == KTVector3(7, 8, 9));
}

TEST(AnimationFileReaderValues, PartNameCarriesOverAndALaterPartReplacesAnEarlierOne) {
    KTComponentAnimation animation;
    const std::string text =
        "KTAnimation { Children [\n"
        " KTPartTransform { PositionInterpolator { Key [ 0 ] KeyValue [ 0 0 0 ] } }\n"
        " KTPartTransform { Name \"A\" }\n"
        " KTPartTransform { PositionInterpolator { Key [ 0 1 ]\n"
        "  KeyValue [ 0 0 0 1 1 1 ] } }\n"
        "] }\n";
    ASSERT_EQ(load(animation, text), 1);
    EXPECT_EQ(animation.getNumPartAnimations(), 2u);
    ASSERT_NE(track(animation, ""), nullptr); // stored even though unnamed
    EXPECT_EQ(track(animation, "")->getNumStates(), 1u);
    ASSERT_NE(track(animation, "A"), nullptr);
    EXPECT_EQ(track(animation, "A")->getNumStates(), 2u);
}

TEST(AnimationFileReaderValues, AMissingKindGetsDefaultsAndOnlyOrientationsSetTheirFlag) {
    KTComponentAnimation animation;
    const std::string text =
        "KTAnimation { Children [\n"
        " KTPartTransform { Name \"Turn\"\n"
        "  OrientationInterpolator { Key [ 0 1 2 ] KeyValue [ 1 0 0 1 0 1 0 1 0 0 1 1 ] } }\n"
        " KTPartTransform { Name \"Move\"\n"
        "  PositionInterpolator { Key [ 0 1 ] KeyValue [ 1 2 3 4 5 6 ] } }\n"
        " KTPartTransform { Name \"Empty\" }\n"
        "] }\n";
    ASSERT_EQ(load(animation, text), 1);
    KTPartAnimation* turn = track(animation, "Turn");
    ASSERT_NE(turn, nullptr);
    ASSERT_EQ(turn->getNumStates(), 3u);
    EXPECT_EQ(turn->useOrientations(), 1);
    EXPECT_TRUE((*turn)[2]->getOrientation() == orientationOf(0, 0, 1, 1));
    EXPECT_TRUE((*turn)[2]->getPosition() == KTVector3(0, 0, 0));
    KTPartAnimation* move = track(animation, "Move");
    ASSERT_NE(move, nullptr);
    ASSERT_EQ(move->getNumStates(), 2u);
    EXPECT_EQ(move->useOrientations(), 0);
    EXPECT_EQ(move->usePositions(), 0);
    EXPECT_TRUE((*move)[1]->getOrientation() == KTAngle(0, 0, 0));
    EXPECT_TRUE((*move)[1]->getPosition() == KTVector3(4, 5, 6));
    ASSERT_NE(track(animation, "Empty"), nullptr);
    EXPECT_EQ(track(animation, "Empty")->getNumStates(), 0u);
}

TEST(AnimationFileReaderValues, NumbersAreReadAsTheCLibraryReadsThem) {
    KTComponentAnimation animation;
    // Letters after a number are ignored; signs, hexadecimal, inf and values
    // that overflow or underflow float are numbers too.
    const std::string text = openPart("N") +
                             "  PositionInterpolator { Key [ 1.5abc 0x1p1 +2 inf ]\n"
                             "   KeyValue [ 1e39 -1e39 1e-50, 0x1p-3 +.5 -0, 7e0x 1. .25,"
                             " -INFINITY 3e-40 1e ] }\n" +
                             closePart();
    ASSERT_EQ(load(animation, text), 1);
    KTPartAnimation* n = track(animation, "N");
    ASSERT_NE(n, nullptr);
    ASSERT_EQ(n->getNumStates(), 4u);
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE((*n)[0]->getPosition() == KTVector3(inf, -inf, 0));
    EXPECT_TRUE((*n)[1]->getPosition() == KTVector3(0.125, 0.5, 0));
    EXPECT_TRUE(std::signbit((*n)[1]->getPosition()[2]));
    EXPECT_TRUE((*n)[2]->getPosition() == KTVector3(7, 1, 0.25));
    EXPECT_TRUE((*n)[3]->getPosition() == KTVector3(-inf, 3e-40f, 1));
}

TEST(AnimationFileReaderTracks, CompletedTracksStayAfterAFailureAndLoadedIsNeverReset) {
    KTComponentAnimation animation;
    const std::string failing = openPart("A") + "  }\n  KTPartTransform { Name \"B\"\n" +
                                "   PositionInterpolator { Key [ 0 ] KeyValue [ 1 2 ] }\n";
    EXPECT_EQ(load(animation, failing), 0);
    EXPECT_EQ(animation.getLineNumber(), 7);
    EXPECT_EQ(animation.isLoaded(), 0);
    EXPECT_EQ(animation.getNumPartAnimations(), 1u);
    EXPECT_NE(track(animation, "A"), nullptr);
    EXPECT_EQ(track(animation, "B"), nullptr);

    // The pending numbers of the failed read do not reach the next one.
    ASSERT_EQ(
        load(animation,
             openPart("C") + "PositionInterpolator { Key [ 0 ] KeyValue [ 7 8 9 ] }" + closePart()),
        1);
    EXPECT_TRUE((*track(animation, "C"))[0]->getPosition() == KTVector3(7, 8, 9));
    EXPECT_EQ(animation.isLoaded(), 1);
    EXPECT_EQ(load(animation, failing), 0);
    EXPECT_EQ(animation.isLoaded(), 1);
}

TEST(AnimationFileReaderTracks, ASecondFileAddsToAndReplacesTheTracksOfTheFirst) {
    KTComponentAnimation animation;
    auto* byHand = new KTPartAnimation();
    byHand->setPartName("Hand");
    ASSERT_EQ(animation.addPartAnimation(byHand), 1);
    const std::string oneKey = "PositionInterpolator { Key [ 0 ] KeyValue [ 0 0 0 ] }\n";
    const std::string twoKeys = "PositionInterpolator { Key [ 0 1 ] KeyValue [ 0 0 0 1 1 1 ] }\n";
    ASSERT_EQ(load(animation, openPart("A") + oneKey + "} KTPartTransform { Name \"B\"\n" + oneKey +
                                  closePart()),
              1);
    ASSERT_EQ(load(animation, openPart("B") + twoKeys + "} KTPartTransform { Name \"Hand\"\n" +
                                  twoKeys + "} KTPartTransform { Name \"C\"\n" + closePart()),
              1);
    EXPECT_EQ(animation.getNumPartAnimations(), 4u);
    EXPECT_EQ(track(animation, "A")->getNumStates(), 1u);
    EXPECT_EQ(track(animation, "B")->getNumStates(), 2u);
    EXPECT_EQ(track(animation, "C")->getNumStates(), 0u);
    EXPECT_NE(track(animation, "Hand"), byHand); // replaced and deleted
    EXPECT_EQ(track(animation, "Hand")->getNumStates(), 2u);
}

TEST(AnimationFileReaderLines, EmptyFilesCommentsAndAMissingFinalLineFeed) {
    KTComponentAnimation empty;
    EXPECT_EQ(load(empty, ""), 1);
    EXPECT_EQ(empty.isLoaded(), 1);
    EXPECT_EQ(empty.getLineNumber(), 0);
    EXPECT_EQ(empty.getNumPartAnimations(), 0u);

    KTComponentAnimation comments;
    EXPECT_EQ(load(comments, "# one\n\n   # three\r\n"), 1);
    EXPECT_EQ(comments.getLineNumber(), 3);
    EXPECT_EQ(comments.getNumPartAnimations(), 0u);

    KTComponentAnimation unterminated;
    EXPECT_EQ(load(unterminated, openPart("Last") + "}"), 1);
    EXPECT_EQ(unterminated.getLineNumber(), 5);
    EXPECT_NE(track(unterminated, "Last"), nullptr);
}

TEST(AnimationFileReaderLines, LinesAcrossTheReadBlocksKeepTheirTokens) {
    // Some 600 kB of lines: tokens straddle every block boundary of the reader.
    std::string text = "KTAnimation { Children [\n";
    const int parts = 3000;
    for (int part = 0; part < parts; ++part) {
        text += " KTPartTransform { Name \"P" + std::to_string(part) + "\"\r\n";
        text += "  PositionInterpolator { Key [ 0, 1, 2 ] KeyValue [";
        for (int key = 0; key < 3; ++key)
            text += " " + std::to_string(part) + ".25 " + std::to_string(key) + " -7.5e-1,";
        text += " ] } }\n";
    }
    text += "] }";
    KTComponentAnimation animation;
    ASSERT_EQ(load(animation, text), 1);
    EXPECT_EQ(animation.getLineNumber(), 2 * parts + 2);
    ASSERT_EQ(animation.getNumPartAnimations(), static_cast<unsigned int>(parts));
    for (int part = 0; part < parts; ++part) {
        KTPartAnimation* p = track(animation, ("P" + std::to_string(part)).c_str());
        ASSERT_NE(p, nullptr) << part;
        ASSERT_EQ(p->getNumStates(), 3u) << part;
        for (unsigned int key = 0; key < 3; ++key)
            ASSERT_TRUE((*p)[key]->getPosition() == KTVector3(part + 0.25f, key, -0.75f)) << part;
    }
}

} // namespace
