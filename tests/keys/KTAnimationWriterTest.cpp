// The animation writer against the reader: what the reader made, written and
// read again, is the same animation; keys set as Euler angles read back
// within their bound; names the file cannot carry are refused.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTAnimationWriter.h>
#include <ktrt/keys/KTAxisAngle.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>

#include "AnimationFileFixture.h"

namespace {

using ktrt_test::load;

constexpr double degreesToRadians = 0.017453292519943295;

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameBits(const KTAngle& a, const KTAngle& b) {
    return sameBits(a[0], b[0]) && sameBits(a[1], b[1]) && sameBits(a[2], b[2]);
}

// The unit quaternion of Euler angles in degrees, in double.
void quaternionOf(const KTAngle& a, double q[4]) {
    const double h = degreesToRadians / 2;
    const double sx = std::sin(a[0] * h), cx = std::cos(a[0] * h);
    const double sy = std::sin(a[1] * h), cy = std::cos(a[1] * h);
    const double sz = std::sin(a[2] * h), cz = std::cos(a[2] * h);
    q[0] = cz * cy * sx - sz * sy * cx;
    q[1] = cz * sy * cx + sz * cy * sx;
    q[2] = sz * cy * cx - cz * sy * sx;
    q[3] = cz * cy * cx + sz * sy * sx;
}

// The angle in radians of the turn from rotation `a` to rotation `b`.
double turnBetween(const KTAngle& a, const KTAngle& b) {
    double p[4], q[4];
    quaternionOf(a, p);
    quaternionOf(b, q);
    const double w = p[3] * q[3] + p[0] * q[0] + p[1] * q[1] + p[2] * q[2];
    const double x = p[3] * q[0] - p[0] * q[3] - p[1] * q[2] + p[2] * q[1];
    const double y = p[3] * q[1] - p[1] * q[3] - p[2] * q[0] + p[0] * q[2];
    const double z = p[3] * q[2] - p[2] * q[3] - p[0] * q[1] + p[1] * q[0];
    return 2.0 * std::atan2(std::sqrt(x * x + y * y + z * z), std::fabs(w));
}

// How far a key set as Euler angles may read back from its rotation, away
// from the reader's snapping.
double boundFor(const KTAngle& a) {
    return 1e-6 / std::fabs(std::cos(a[1] * degreesToRadians));
}

// One track "Arm" of keys with these orientations.
void fill(KTComponentAnimation& animation, const std::vector<KTAnimationState>& keys) {
    auto* track = new KTPartAnimation;
    track->setPartName("Arm");
    track->setUseOrientations(1);
    for (const KTAnimationState& key : keys)
        track->appendState(new KTAnimationState(key));
    animation.addPartAnimation(track);
}

TEST(AnimationWriterValidity, RefusesNamesTheFileCannotCarryAndANullPath) {
    for (const char* name : {"left arm", "a,b", "tab\there", "line\nfeed"}) {
        KTComponentAnimation animation;
        auto* track = new KTPartAnimation;
        track->setPartName(name);
        ASSERT_EQ(animation.addPartAnimation(track), 1);
        KTAnimationWriter writer;
        std::string text = "kept";
        EXPECT_EQ(writer.write(animation, text), 0) << name;
        EXPECT_EQ(text, "kept");
        EXPECT_NE(std::string(writer.getErrorMessage().data()).find(name), std::string::npos);
    }
    // A track renamed after it was added would come back under its new name.
    KTComponentAnimation animation;
    auto* track = new KTPartAnimation;
    track->setPartName("Lid");
    animation.addPartAnimation(track);
    track->setPartName("Hinge");
    KTAnimationWriter writer;
    const std::string path = (std::filesystem::path(::testing::TempDir()) / "renamed.kta").string();
    EXPECT_EQ(writer.writeToFile(animation, path.c_str()), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_NE(std::string(writer.getErrorMessage().data()).find("Hinge"), std::string::npos);
    EXPECT_EQ(writer.writeToFile(animation, nullptr), 0);
    EXPECT_STREQ(writer.getErrorMessage().data(), "no path");
}

// A random animation file: tracks with odd names, no keys or a few, either
// interpolator or both, numbers as short decimals or as any float.
std::string randomFile(std::mt19937& random) {
    static const char nameCharacters[] = "abcXYZ_09-#\"{}[]";
    std::uniform_int_distribution<int> pick(0, 1 << 20);
    std::uniform_real_distribution<float> anyFloat(-8.0f, 8.0f);
    const bool shortDecimals = pick(random) % 2;
    const auto number = [&] {
        char buffer[32];
        if (shortDecimals)
            std::snprintf(buffer, sizeof buffer, "%.3f", (pick(random) % 2001 - 1000) / 250.0);
        else
            std::snprintf(buffer, sizeof buffer, "%.9g", anyFloat(random));
        return std::string(buffer) + " ";
    };
    std::string file = "KTAnimation {\n Children [\n";
    const int trackCount = pick(random) % 6;
    for (int t = 0; t < trackCount; ++t) {
        std::string name;
        for (int c = pick(random) % 6; c > 0; --c)
            name += nameCharacters[pick(random) % (sizeof nameCharacters - 1)];
        file += "  KTPartTransform {\n   Name \"" + name + "\"\n";
        const int keyCount = pick(random) % 4;
        const int kinds = pick(random) % 3; // 0 orientations, 1 positions, 2 both
        for (int kind = 0; kind < 2; ++kind) {
            if (kinds != 2 && kinds != kind)
                continue;
            file += kind == 0 ? "   OrientationInterpolator {\n" : "   PositionInterpolator {\n";
            file += "    Key [ ";
            for (int k = 0; k < keyCount; ++k)
                file += number();
            file += "]\n    KeyValue [ ";
            for (int n = keyCount * (kind == 0 ? 4 : 3); n > 0; --n)
                file += number();
            file += "]\n   }\n";
        }
        file += "  }\n";
    }
    return file + " ]\n}\n";
}

// Compares two animations track by track and key by key. Orientations that
// differ are counted (the writer counts those it wrote inexactly) and must
// be within the bound of a key set as Euler angles.
unsigned int compare(KTComponentAnimation& a, KTComponentAnimation& b) {
    unsigned int differing = 0;
    EXPECT_EQ(a.getNumPartAnimations(), b.getNumPartAnimations());
    for (unsigned int t = 0; t < a.getNumPartAnimations(); ++t) {
        KTPartAnimation& x = *a[t];
        KTPartAnimation& y = *b[t];
        EXPECT_EQ(x.getPartName(), y.getPartName());
        EXPECT_EQ(x.useOrientations(), y.useOrientations());
        EXPECT_EQ(x.usePositions(), y.usePositions());
        EXPECT_EQ(x.getNumStates(), y.getNumStates());
        for (unsigned int k = 0; k < x.getNumStates() && k < y.getNumStates(); ++k) {
            EXPECT_TRUE(sameBits(x[k]->getKey(), y[k]->getKey()));
            for (unsigned int i = 0; i < 3; ++i)
                EXPECT_TRUE(sameBits(x[k]->getPosition()[i], y[k]->getPosition()[i]));
            const KTAngle& p = x[k]->getOrientation();
            const KTAngle& q = y[k]->getOrientation();
            if (sameBits(p, q))
                continue;
            ++differing;
            EXPECT_LE(turnBetween(p, q), boundFor(p)) << "track " << t << " key " << k;
        }
    }
    return differing;
}

// Keys read from a file go out with the numbers they were read from, so they
// read back exactly, also after being given the same angles again; given
// other angles they go out as the nearest axis and angle.
TEST(AnimationWriter, WhatTheReaderMadeReadsBackTheSame) {
    std::mt19937 random(16);
    unsigned int eulerKeys = 0;
    for (int round = 0; round < 300; ++round) {
        const std::string file = randomFile(random);
        KTComponentAnimation first;
        ASSERT_EQ(load(first, file), 1) << file;
        KTAnimationWriter writer;
        std::string written;
        ASSERT_EQ(writer.write(first, written), 1) << writer.getErrorMessage().data();
        EXPECT_EQ(writer.getInexactCount(), 0u);
        KTComponentAnimation second;
        ASSERT_EQ(load(second, written), 1) << written;
        EXPECT_EQ(compare(first, second), 0u) << file << written;

        // The same angles set again: the keys keep their numbers, and the
        // text is the same bytes.
        for (unsigned int t = 0; t < second.getNumPartAnimations(); ++t) {
            KTPartAnimation& track = *second[t];
            for (unsigned int k = 0; k < track.getNumStates(); ++k)
                track[k]->setOrientation(KTAngle(track[k]->getOrientation()));
        }
        std::string again;
        ASSERT_EQ(KTAnimationWriter().write(second, again), 1);
        EXPECT_EQ(again, written);

        // Angles of turning tracks one unit in the last place off: the keys
        // forget.
        for (unsigned int t = 0; t < first.getNumPartAnimations(); ++t) {
            KTPartAnimation& track = *first[t];
            for (unsigned int k = 0; k < track.getNumStates() && track.useOrientations(); ++k) {
                const KTAngle a = track[k]->getOrientation();
                track[k]->setOrientation(KTAngle(std::nextafter(a[0], 1e9), a[1], a[2]));
                ++eulerKeys;
            }
        }
        written.clear();
        ASSERT_EQ(writer.write(first, written), 1);
        KTComponentAnimation third;
        ASSERT_EQ(load(third, written), 1) << written;
        EXPECT_EQ(compare(first, third), writer.getInexactCount()) << file << written;
    }
    EXPECT_GT(eulerKeys, 300u);
}

// Keys set as Euler angles, near and away from the reader's snapping.
TEST(AnimationWriter, EulerKeysReadBackWithinTheirBound) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        const char* name;
        KTAngle angles;
        bool exact;     // reads back bit for bit, not counted
        double allowed; // radians off the rotation; 0: boundFor(angles)
    };
    const std::vector<Row> rows = {
        {"no turn", KTAngle(0, 0, 0), true, 0},
        {"a general turn", KTAngle(10, 20, 30), false, 0},
        {"a quarter turn about X", KTAngle(90, 0, 0), true, 0},
        {"a quarter turn about Y, the gimbal lock", KTAngle(0, 90, 0), true, 0},
        {"a half turn about Z", KTAngle(0, 0, 180), true, 0},
        {"5 degrees off the lock", KTAngle(30, 85, 40), false, 0},
        {"0.5 degrees off the lock", KTAngle(30, -89.5, 40), false, 0},
        // The reader snaps these wherever they come from.
        {"0.07 degrees off a turn about X", KTAngle(30, 0.05, 0.05), false, 1.3e-3},
        {"0.05 degrees off the lock", KTAngle(30, 89.95, 40), false, 1e-3},
        {"angles that are no numbers", KTAngle(nan, 0, 0), false, nan},
        {"-0 for 0, no turn either way", KTAngle(-0.0, 0, 0), false, 0},
    };
    for (const Row& row : rows) {
        KTComponentAnimation animation;
        fill(animation, {KTAnimationState(0, KTVector3(), row.angles)});
        KTAnimationWriter writer;
        std::string written;
        ASSERT_EQ(writer.write(animation, written), 1) << row.name;
        EXPECT_EQ(writer.getInexactCount(), row.exact ? 0u : 1u) << row.name;
        KTComponentAnimation back;
        ASSERT_EQ(load(back, written), 1) << written;
        const KTAngle& read = (*back[0])[0]->getOrientation();
        EXPECT_EQ(sameBits(read, row.angles), row.exact) << row.name;
        if (!std::isnan(row.allowed))
            EXPECT_LE(turnBetween(row.angles, read),
                      row.allowed ? row.allowed : boundFor(row.angles))
                << row.name;
        else
            EXPECT_TRUE(sameBits(read, KTAngle(0, 0, 0))) << row.name;
    }
}

// Remembered numbers go out as they are, infinities too, among Euler keys.
TEST(AnimationWriter, WritesRememberedNumbersAsTheyAre) {
    const float inf = std::numeric_limits<float>::infinity();
    const KTAxisAngle made(0.25f, -1e-3f, 3.0f, 2.5f);
    KTAnimationState remembered, infinite, euler(0, KTVector3(), KTAngle(10, 20, 30));
    remembered.setOrientation(made);
    infinite.setOrientation(KTAxisAngle(inf, 0, 1, -inf));
    KTComponentAnimation animation;
    fill(animation, {euler, remembered, euler, infinite, euler});
    KTAnimationWriter writer;
    std::string written;
    ASSERT_EQ(writer.write(animation, written), 1);
    EXPECT_EQ(writer.getInexactCount(), 3u); // the Euler keys
    EXPECT_NE(written.find("0.25 -0.001 3 2.5\n"), std::string::npos) << written;
    EXPECT_NE(written.find("inf 0 1 -inf\n"), std::string::npos) << written;

    KTComponentAnimation back;
    ASSERT_EQ(load(back, written), 1);
    EXPECT_EQ(compare(animation, back), 3u) << written;
    KTAxisAngle read;
    ASSERT_EQ((*back[0])[1]->getAxisAngle(read), 1);
    EXPECT_TRUE(read == made);
}

TEST(AnimationWriter, SavesAnAnimationBuiltInMemory) {
    KTComponentAnimation animation;
    fill(animation, {KTAnimationState(0.5, KTVector3(1, 2.5, -3), KTAngle(10, 20, 30)),
                     KTAnimationState(0.1, KTVector3(0.1, 0, 0), KTAngle(0, 0, 0))});
    const std::string path = (std::filesystem::path(::testing::TempDir()) / "saved.kta").string();
    KTAnimationWriter writer;
    ASSERT_EQ(writer.writeToFile(animation, path.c_str()), 1) << writer.getErrorMessage().data();
    // (10, 20, 30) as an axis and angle; 0.1 is no float, as a key value in
    // both interpolators and as a position.
    EXPECT_EQ(writer.getInexactCount(), 4u);
    KTComponentAnimation back;
    KTRegistryLoader::RegisterAnimation("saved-by-writer", path.c_str());
    ASSERT_EQ(back.loadAnimationFromFile("saved-by-writer"), 1);
    std::filesystem::remove(path);
    KTPartAnimation* arm = nullptr;
    ASSERT_EQ(back.getPartAnimation("Arm", arm), 1);
    ASSERT_EQ(arm->getNumStates(), 2u);
    EXPECT_EQ((*arm)[0]->getPosition()[1], 2.5);
    EXPECT_LE(turnBetween((*arm)[0]->getOrientation(), KTAngle(10, 20, 30)), 1e-6);
}

} // namespace
