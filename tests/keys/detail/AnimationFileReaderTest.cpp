#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/keys/KTAnimationDiagnostics.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>

#include "../AnimationFileFixture.h"
#include "../AnimationSummary.h"
#include "ReaderErrorCases.h"

using namespace std::string_literals;
using ktrt_test::AnimationFile;
using ktrt_test::closePart;
using ktrt_test::load;
using ktrt_test::openPart;
using ktrt_test::summary;

namespace {

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
    for (const auto& row : ktrt_test::readerErrorCases)
        covered.insert(row.message);
    EXPECT_EQ(covered, messages);
}

TEST(AnimationFileReaderSyntax, EachValidFileGivesItsTracksAndLineCount) {
    const auto misplaced = [](const char* word) {
        return openPart("A") + "  }\n  KTPartTransform { Name \"B\"\n   PositionInterpolator { " +
               word + "\n   Key [ 0 ] KeyValue [ 1 2 3 ] } }\n] } ] } Key\n";
    };
    const struct {
        const char* name;
        std::string input;
        int lines;
        const char* tracks;
    } rows[] = {
        {"empty file", "", 0, ""},
        {"comments only", "# one\n\n   # three\r\n", 3, ""},
        {"no final line feed", openPart("Last") + "}", 5, "\"Last\""},
        {"comments end the line; text outside animations is skipped",
         "# KTAnimation { Children [ KTPartTransform {\n"
         "KTAnimation [ KTPartTransform { Name \"Skipped\" } ]\n"
         "} ] Key text outside any animation is ignored\n"
         "KTAnimation { # Children [\n"
         " Children [ KTPartTransform { Name \"A#B\" #\"Comment\"\n"
         "  PositionInterpolator { Key [ 0 ] KeyValue [ 1 2 3# ] }\n } ]\n}\n",
         8, "\"A#B\" (1 2 3|0 0 0)"},
        {"keywords in any letter case",
         "ktanimation { CHILDREN [ ktparttransform { name \"Lid\"\n"
         " orientationINTERPOLATOR { KEY [ 0 ] keyvalue [ 0 0 1 0.5 ] }\n"
         " POSITIONinterpolator { key [ 0 ] KEYVALUE [ 1 2 3 ] }\n} ] }\n",
         4, "\"Lid\" o (1 2 3|0 0 28.65)"},
        {"misplaced Children ends the reading", misplaced("Children"), 9, "\"A\""},
        {"misplaced Name ends the reading", misplaced("Name"), 9, "\"A\""},
        {"two animations", openPart("A") + closePart() + openPart("B") + closePart(), 14,
         "\"A\"; \"B\""},
        {"pending numbers carry over between lists and parts",
         "KTAnimation { Children [\n KTPartTransform { Name \"A\"\n"
         "  OrientationInterpolator { Key [ 0 ] KeyValue [ 0 1 0 0.5 0 0 ] }\n"
         "  PositionInterpolator { Key [ 0 ] KeyValue [ 1 2 3 4 ] }\n }\n"
         " KTPartTransform { Name \"B\"\n"
         "  OrientationInterpolator { Key [ 0 1 ] KeyValue [ 1 ]\n"
         "   KeyValue [ 0.25 1 0 0 0.75 ] }\n"
         "  PositionInterpolator { Key [ 0 ] KeyValue [ 5 ] Key [ 1 ]\n"
         "   KeyValue [ 6 7 8 9 ] }\n }\n] }\n",
         12, "\"A\" o (1 2 3|0 28.65 0); \"B\" o (4 5 6|0 0 14.32) (7 8 9|42.97 0 0)"},
        {"part name carries over; a later part replaces an earlier one",
         "KTAnimation { Children [\n"
         " KTPartTransform { PositionInterpolator { Key [ 0 ] KeyValue [ 0 0 0 ] } }\n"
         " KTPartTransform { Name \"A\" }\n"
         " KTPartTransform { PositionInterpolator { Key [ 0 1 ]\n"
         "  KeyValue [ 0 0 0 1 1 1 ] } }\n] }\n",
         6, "\"\" (0 0 0|0 0 0); \"A\" (0 0 0|0 0 0) (1 1 1|0 0 0)"},
        {"a missing kind gets defaults; only orientations set their flag",
         "KTAnimation { Children [\n KTPartTransform { Name \"Turn\"\n"
         "  OrientationInterpolator { Key [ 0 1 2 ] KeyValue [ 1 0 0 1 0 1 0 1 0 0 1 1 ] } }\n"
         " KTPartTransform { Name \"Move\"\n"
         "  PositionInterpolator { Key [ 0 1 ] KeyValue [ 1 2 3 4 5 6 ] } }\n"
         " KTPartTransform { Name \"Empty\" }\n] }\n",
         7,
         "\"Empty\"; \"Move\" (1 2 3|0 0 0) (4 5 6|0 0 0); "
         "\"Turn\" o (0 0 0|57.3 0 0) (0 0 0|0 57.3 0) (0 0 0|0 0 57.3)"},
        {"numbers read as the C library reads them",
         openPart("N") +
             "  PositionInterpolator { Key [ 1.5abc 0x1p1 +2 inf ]\n"
             "   KeyValue [ 1e39 -1e39 1e-50, 0x1p-3 +.5 -0, 7e0x 1. .25,"
             " -INFINITY 3e-40 1e ] }\n" +
             closePart(),
         9, "\"N\" (inf -inf 0|0 0 0) (0.125 0.5 -0|0 0 0) (7 1 0.25|0 0 0) (-inf 3e-40 1|0 0 0)"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        KTComponentAnimation animation;
        ASSERT_EQ(load(animation, row.input), 1);
        EXPECT_EQ(animation.isLoaded(), 1);
        EXPECT_STREQ(animation.getErrorMessage(), "");
        EXPECT_EQ(animation.getLineNumber(), row.lines);
        EXPECT_EQ(summary(animation), row.tracks);
    }
}

TEST(AnimationFileReaderResolve, UnknownNameOrUnreadableFileGivesZeroAndNoMessage) {
    KTComponentAnimation animation;
    ASSERT_EQ(load(animation, openPart("Lid") + closePart()), 1);
    ASSERT_EQ(load(animation, "KTAnimation {\n ]\n"), 0);
    const AnimationFile file(openPart("Other") + closePart());
    KTRegistryLoader::RegisterAnimation("missing", (file.path() + ".none").c_str());
    KTRegistryLoader::RegisterAnimation(
        "directory", std::filesystem::path(file.path()).parent_path().string().c_str());
    const std::string folder = std::filesystem::path(file.path()).parent_path().string();
    using D = KTAnimationDiagnostics;
    const auto why = [](D::Code code, const std::string& text, int error) {
        return std::to_string(code) + " 0:0 " + text + " " + std::strerror(error);
    };
    // The name is resolved, never opened as a path; only a receiver hears why
    // it failed.
    const std::pair<std::string, std::string> rows[] = {
        {"unregistered", why(D::notRegistered, "unregistered", 0)},
        {file.path(), why(D::notRegistered, file.path(), 0)},
        {"missing", why(D::openFailed, file.path() + ".none", ENOENT)},
        {"directory", why(D::openFailed, folder, EISDIR)}};
    for (const auto& [name, heard] : rows) {
        SCOPED_TRACE(name);
        EXPECT_EQ(animation.loadAnimationFromFile(name.c_str()), 0);
        struct : D {
            void report(const Report& r) override {
                reports.push_back(std::to_string(r.code) + " " + std::to_string(r.line) + ":" +
                                  std::to_string(r.column) + " " + std::string(r.text, r.length) +
                                  " " + std::strerror(static_cast<int>(r.count)));
            }
            std::vector<std::string> reports;
        } receiver;
        EXPECT_EQ(D::loadAnimationFromFile(animation, name.c_str(), receiver), 0);
        EXPECT_EQ(receiver.reports, std::vector<std::string>{heard});
        EXPECT_STREQ(animation.getErrorMessage(), "");
        EXPECT_EQ(animation.getLineNumber(), 0);
        EXPECT_STREQ(animation.getLineText(), " ]");
        EXPECT_EQ(animation.isLoaded(), 1);
        EXPECT_EQ(animation.getNumPartAnimations(), 1u);
    }
}

TEST(AnimationFileReaderTracks, CompletedTracksStayAfterAFailureAndLoadedIsNeverReset) {
    KTComponentAnimation animation;
    const std::string failing = openPart("A") + "  }\n  KTPartTransform { Name \"B\"\n" +
                                "   PositionInterpolator { Key [ 0 ] KeyValue [ 1 2 ] }\n";
    EXPECT_EQ(load(animation, failing), 0);
    EXPECT_EQ(animation.getLineNumber(), 7);
    EXPECT_EQ(animation.isLoaded(), 0);
    EXPECT_EQ(summary(animation), "\"A\"");
    // The pending numbers of the failed read do not reach the next one.
    ASSERT_EQ(
        load(animation,
             openPart("C") + "PositionInterpolator { Key [ 0 ] KeyValue [ 7 8 9 ] }" + closePart()),
        1);
    EXPECT_EQ(summary(animation), "\"A\"; \"C\" (7 8 9|0 0 0)");
    EXPECT_EQ(load(animation, failing), 0);
    EXPECT_EQ(animation.isLoaded(), 1);
}

TEST(AnimationFileReaderLines, LinesAcrossTheReadBlocksKeepTheirTokens) {
    // Some 600 kB: tokens straddle every block boundary of the reader.
    std::string text = "KTAnimation { Children [\n";
    const int parts = 3000;
    for (int part = 0; part < parts; ++part) {
        text += " KTPartTransform { Name \"P" + std::to_string(part) + "\"\r\n";
        text += "  PositionInterpolator { Key [ 0, 1, 2 ] KeyValue [";
        for (int key = 0; key < 3; ++key)
            text += " " + std::to_string(part) + ".25 " + std::to_string(key) + " -7.5e-1,";
        text += " ] } }\n";
    }
    KTComponentAnimation animation;
    ASSERT_EQ(load(animation, text + "] }"), 1);
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

TEST(AnimationFileReaderBadInput, NulBytesAreOrdinaryBytesOfTheirTokens) {
    KTComponentAnimation animation;
    // "KTAnimation\0" is no keyword; "1\0x" reads as 1; "[\0" is no bracket.
    std::string text = openPart("Z") + "PositionInterpolator { Key [ 0 1";
    text += "\0x ] KeyValue [ 1 2 3 4 5 6 ] }\n"s + "KeyValue [\0 1 ]\n"s;
    EXPECT_EQ(load(animation, text), 0);
    EXPECT_STREQ(animation.getErrorMessage(), "Unexpected key value field.");
    EXPECT_EQ(animation.getLineNumber(), 6);
    EXPECT_EQ(animation.getLineText().length(), 15u); // the NUL byte is kept
    KTComponentAnimation skipped;
    EXPECT_EQ(load(skipped, "KTAnimation\0 { Children [ ] }\n"s), 1);
    EXPECT_EQ(skipped.getNumPartAnimations(), 0u);
}

TEST(AnimationFileReaderBadInput, AMillionTokensOnALineAndMegabyteTokens) {
    const int keys = 250000;
    std::string text = openPart("Long") + "PositionInterpolator { Key [";
    for (int i = 0; i < keys; ++i)
        text += " 0";
    text += " ] KeyValue [";
    for (int i = 0; i < keys; ++i)
        text += " 1 2 " + std::to_string(i);
    KTComponentAnimation animation;
    ASSERT_EQ(load(animation, text + " ] }" + closePart()), 1);
    ASSERT_EQ(track(animation, "Long")->getNumStates(), static_cast<unsigned int>(keys));
    EXPECT_TRUE((*track(animation, "Long"))[keys - 1]->getPosition() == KTVector3(1, 2, keys - 1));

    // Three megabytes of nines overflow to inf but are a number.
    const std::string digits(3 << 20, '9'), letters(3 << 20, 'x');
    ASSERT_EQ(load(animation, openPart("Big") + "PositionInterpolator { Key [ " + digits +
                                  " ] KeyValue [ 0 0 " + digits + " ] }" + closePart()),
              1);
    EXPECT_TRUE((*track(animation, "Big"))[0]->getPosition()[2] > 1e300);
    const std::string line = "Key [ " + letters + " ]";
    EXPECT_EQ(load(animation, openPart("Big") + "PositionInterpolator { " + line + "\n"), 0);
    EXPECT_STREQ(animation.getErrorMessage(), "Illegal or missing value in key field.");
    EXPECT_EQ(animation.getLineText().std(), "PositionInterpolator { " + line);
}

TEST(AnimationFileReaderBadInput, AFiftyMegabyteLineOfTenMillionTokensIsReadAndKeptOnError) {
    // One line: the part's opening, ten million ignored tokens, a 30 MB
    // token, then the track and the closing braces.
    std::string line = "KTAnimation { Children [ KTPartTransform { Name \"Wide\" ";
    line.reserve(52u << 20);
    for (int i = 0; i < 10'000'000; ++i)
        line += "x ";
    line.append(30u << 20, 'y');
    const std::string interpolator = " PositionInterpolator { Key [ 0 ] KeyValue [ 7 8 9 ] }";

    KTComponentAnimation animation;
    ASSERT_EQ(load(animation, line + interpolator + " } ] }\n"), 1);
    EXPECT_EQ(animation.getLineNumber(), 1);
    EXPECT_EQ(summary(animation), "\"Wide\" (7 8 9|0 0 0)");

    // The same line with a stray "Key" before the part's end.
    ASSERT_EQ(load(animation, line + interpolator + " Key } ] }"), 0);
    EXPECT_STREQ(animation.getErrorMessage(), "Unexpected key field.");
    EXPECT_EQ(animation.getLineNumber(), 1);
    EXPECT_EQ(animation.getLineText().length(), line.size() + interpolator.size() + 10);
    EXPECT_EQ(summary(animation), "\"Wide\" (7 8 9|0 0 0)");
}

} // namespace
