// The animation writer against the reader: what the reader made, written and
// read again, is the same animation; names the file cannot carry are refused.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include <ktrt/animation/KTAnimationState.h>
#include <ktrt/animation/KTAnimationWriter.h>
#include <ktrt/animation/KTAxisAngle.h>
#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

#include "AnimationFileFixture.h"

namespace {

using ktrt_test::load;

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
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
// differ are counted (the writer counts those it could not write exactly)
// and must still be the same rotation to single-precision accuracy.
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
            if (sameBits(p[0], q[0]) && sameBits(p[1], q[1]) && sameBits(p[2], q[2]))
                continue;
            ++differing;
            float u[4], v[4];
            p.getValue(u);
            q.getValue(v);
            const float dot = u[0] * v[0] + u[1] * v[1] + u[2] * v[2] + u[3] * v[3];
            EXPECT_GT(std::fabs(dot), 1.0f - 1e-6f) << "track " << t << " key " << k;
        }
    }
    return differing;
}

// Keys read from a file go out with the numbers they were read from, so they
// read back exactly; keys whose orientation was set by hand go through the
// search for an exact axis and angle.
TEST(AnimationWriter, WhatTheReaderMadeReadsBackTheSame) {
    std::mt19937 random(16);
    unsigned int searched = 0, inexact = 0;
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
        // Written again, the same bytes.
        std::string again;
        ASSERT_EQ(KTAnimationWriter().write(second, again), 1);
        EXPECT_EQ(again, written);

        // The same orientations set by hand: the keys forget their numbers.
        for (unsigned int t = 0; t < first.getNumPartAnimations(); ++t) {
            KTPartAnimation& track = *first[t];
            for (unsigned int k = 0; k < track.getNumStates(); ++k)
                track[k]->setOrientation(KTAngle(track[k]->getOrientation()));
            searched += track.useOrientations() ? track.getNumStates() : 0;
        }
        written.clear();
        ASSERT_EQ(writer.write(first, written), 1);
        KTComponentAnimation third;
        ASSERT_EQ(load(third, written), 1) << written;
        EXPECT_EQ(compare(first, third), writer.getInexactCount()) << file << written;
        inexact += writer.getInexactCount();
    }
    // The search finds the exact numbers of more than 99 orientations in 100.
    EXPECT_LT(inexact * 100, searched) << inexact << " of " << searched;
}

// Which keys remember an axis and angle, and what the writer makes of it.
TEST(AnimationWriter, KeysRememberTheAxisAndAngleTheyWereMadeFrom) {
    const KTAxisAngle made(0.25f, -1e-3f, 3.0f, 2.5f);
    KTAnimationState key;
    KTAxisAngle remembered;
    EXPECT_EQ(KTAxisAngle::ofKey(key, remembered), 0);
    made.applyTo(key);
    ASSERT_EQ(KTAxisAngle::ofKey(key, remembered), 1);
    EXPECT_TRUE(remembered == made);
    const KTAngle orientation = made.getOrientation();
    EXPECT_TRUE(key.getOrientation() == orientation);

    KTAnimationState copied(key), assigned;
    assigned = key;
    EXPECT_EQ(KTAxisAngle::ofKey(copied, remembered) + KTAxisAngle::ofKey(assigned, remembered), 2);
    copied.setOrientation(orientation);
    assigned.setTransform(key.getTransform());
    EXPECT_EQ(KTAxisAngle::ofKey(copied, remembered) + KTAxisAngle::ofKey(assigned, remembered), 0);
    key.setPosition(KTVector3(1, 2, 3)); // the position leaves the orientation alone
    EXPECT_EQ(KTAxisAngle::ofKey(key, remembered), 1);

    // Written with its own numbers, which the reader turns into the same
    // orientation and remembers; infinities too, which give NaN angles.
    KTComponentAnimation animation;
    auto* track = new KTPartAnimation;
    track->setPartName("Arm");
    track->setUseOrientations(1);
    track->appendState(new KTAnimationState(key));
    auto* infinite = new KTAnimationState;
    KTAxisAngle(INFINITY, 0, 1, -INFINITY).applyTo(*infinite);
    track->appendState(infinite);
    animation.addPartAnimation(track);
    KTAnimationWriter writer;
    std::string written;
    ASSERT_EQ(writer.write(animation, written), 1);
    EXPECT_EQ(writer.getInexactCount(), 0u);
    EXPECT_NE(written.find("0.25 -0.001 3 2.5\n"), std::string::npos) << written;
    EXPECT_NE(written.find("inf 0 1 -inf\n"), std::string::npos) << written;
    KTComponentAnimation back;
    ASSERT_EQ(load(back, written), 1);
    ASSERT_EQ(back[0]->getNumStates(), 2u);
    EXPECT_EQ(compare(animation, back), 0u) << written;
    ASSERT_EQ(KTAxisAngle::ofKey(*(*back[0])[0], remembered), 1);
    EXPECT_TRUE(remembered == made);
}

TEST(AnimationWriter, RefusesNamesTheFileCannotCarry) {
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
}

TEST(AnimationWriter, SavesAnAnimationBuiltInMemory) {
    KTComponentAnimation animation;
    auto* track = new KTPartAnimation;
    track->setPartName("Arm");
    track->setUseOrientations(1);
    track->appendState(new KTAnimationState(0.5, KTVector3(1, 2.5, -3), KTAngle(10, 20, 30)));
    track->appendState(new KTAnimationState(0.1, KTVector3(0.1, 0, 0), KTAngle(0, 0, 0)));
    animation.addPartAnimation(track);
    auto* still = new KTPartAnimation;
    still->setPartName("Base");
    animation.addPartAnimation(still);

    const std::string path = (std::filesystem::path(::testing::TempDir()) / "saved.kta").string();
    KTAnimationWriter writer;
    ASSERT_EQ(writer.writeToFile(animation, path.c_str()), 1) << writer.getErrorMessage().data();
    // 0.1 is no float; the hand-made angles have no exact axis and angle.
    EXPECT_GE(writer.getInexactCount(), 2u);
    KTComponentAnimation back;
    KTRegistryLoader::RegisterAnimation("saved-by-writer", path.c_str());
    ASSERT_EQ(back.loadAnimationFromFile("saved-by-writer"), 1);
    std::filesystem::remove(path);
    KTPartAnimation* arm = nullptr;
    ASSERT_EQ(back.getPartAnimation("Arm", arm), 1);
    ASSERT_EQ(arm->getNumStates(), 2u);
    EXPECT_EQ((*arm)[0]->getPosition()[1], 2.5);
    for (unsigned int i = 0; i < 3; ++i)
        EXPECT_NEAR((*arm)[0]->getOrientation()[i], 10.0 * (i + 1), 1e-3);
    KTPartAnimation* base = nullptr;
    ASSERT_EQ(back.getPartAnimation("Base", base), 1);
    EXPECT_EQ(base->getNumStates(), 0u);
}

} // namespace
