#include <cmath>
#include <cstring>
#include <limits>

#include <ktcp/ktcp.h>

#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/keys/KTAxisAngle.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/pose/KTPose.h>

#include <gtest/gtest.h>

namespace {

using Clip = KTAnimationClip;
const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double infinity = std::numeric_limits<double>::infinity();
const double degrees = M_PI / 180.0;

// Track "A": 3 keys at x = 0, 10, 20, turned 0, 90, 180 degrees about Z, at
// the fractions 0, 0.25, 1 of a cycle. Track "B": no keys, both flags set.
struct ClipAnimation {
    ClipAnimation() {
        auto* a = new KTPartAnimation;
        a->setPartName("A");
        a->setUsePositions(1);
        a->setUseOrientations(1);
        for (int k = 0; k < 3; ++k)
            a->appendState(
                new KTAnimationState(0.0, KTVector3(10 * k, 0, 0), KTAngle(0, 0, 90 * k)));
        a->setKeyFractions({0.0f, 0.25f, 1.0f});
        auto* b = new KTPartAnimation;
        b->setPartName("B");
        b->setUsePositions(1);
        b->setUseOrientations(1);
        animation.addPartAnimation(a);
        animation.addPartAnimation(b);
        trackA = animation[0]->getPartName() == "A" ? 0 : 1;
    }
    KTComponentAnimation animation;
    unsigned int trackA = 0;
};

Clip::Timing timingOf(Clip::Interpolation interpolation, Clip::WrapMode wrap, double cycle = 0.0) {
    Clip::Timing timing;
    timing.keysPerSecond = 1.0;
    timing.cycleSeconds = cycle;
    timing.interpolation = interpolation;
    timing.wrap = wrap;
    return timing;
}

// The angle in degrees of a turn about Z.
double turnAboutZ(const SbRotation& rotation) {
    const float* q = rotation.getValue();
    return 2.0 * std::atan2(q[2], q[3]) / degrees;
}

bool sameBits(const SbRotation& a, const SbRotation& b) {
    return std::memcmp(a.getValue(), b.getValue(), 4 * sizeof(float)) == 0;
}

} // namespace

TEST(AnimationClipValidity, BadTimeRateCycleOrMapIsRefusedAndNothingWritten) {
    ClipAnimation fixture;
    const Clip clip(fixture.animation);
    struct Row {
        const char* what;
        double seconds, keysPerSecond, cycle;
        std::size_t mapSize;
        int mappedTo;
    };
    const Row rows[] = {
        {"time NaN", notANumber, 1, 0, 2, 0},
        {"time infinite", -infinity, 1, 0, 2, 0},
        {"rate 0", 1, 0, 0, 2, 0},
        {"rate negative", 1, -30, 0, 2, 0},
        {"rate infinite", 1, infinity, 0, 2, 0},
        {"rate NaN", 1, notANumber, 0, 2, 0},
        {"cycle negative", 1, 1, -2, 2, 0},
        {"cycle infinite", 1, 1, infinity, 2, 0},
        {"cycle NaN", 1, 1, notANumber, 2, 0},
        {"map too short", 1, 1, 0, 1, 0},
        {"map past the pose", 1, 1, 0, 2, 3},
        {"time overflows in keys", 1e308, 30, 0, 2, 0},
        {"time overflows in cycles", 1e300, 1, 1e-300, 2, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        KTPose pose(3);
        pose.setTranslation(0, SbVec3f(7, 7, 7));
        const KTPose before = pose;
        Clip::Timing timing = timingOf(Clip::LINEAR, Clip::LOOP, row.cycle);
        timing.keysPerSecond = row.keysPerSecond;
        std::vector<int> map(row.mapSize, -1);
        map[0] = row.mappedTo;
        EXPECT_EQ(Clip::validate(row.seconds, timing),
                  row.mapSize == 2 && row.mappedTo == 0 ? 0 : 1);
        EXPECT_EQ(clip.sample(row.seconds, timing, map, pose), 0);
        EXPECT_EQ(pose, before);
        if (row.mapSize == 2 && row.mappedTo == 0) {
            EXPECT_EQ(clip.sample(row.seconds, timing, pose), 0);
            EXPECT_EQ(pose, before);
        }
    }
    // The same call with good values writes; a keyless track has no channel.
    KTPose pose;
    EXPECT_EQ(clip.sample(0.5, timingOf(Clip::LINEAR, Clip::LOOP), pose), 1);
    EXPECT_EQ(pose.getNumParts(), 2u);
    EXPECT_EQ(pose.getChannels(1 - fixture.trackA), 0);
    EXPECT_EQ(pose.getChannels(fixture.trackA), KTPose::TRANSLATION | KTPose::ROTATION);
}

// Rows just either side of a key, per interpolation and wrap, evenly spaced at
// one key a second (cycle 0) or at the key fractions over a 4 s cycle. A
// cursor carried from row to row (forward, backward, looping and jumping)
// changes nothing.
TEST(AnimationClipSample, TimesEitherSideOfAKeyPerInterpolationAndWrap) {
    ClipAnimation fixture;
    const Clip clip(fixture.animation);
    const double e = 1e-4;
    struct Row {
        Clip::Interpolation interpolation;
        Clip::WrapMode wrap;
        double cycle, seconds, x, turn;
    };
    const Row rows[] = {
        {Clip::LINEAR, Clip::LOOP, 0, 1 - e, 10 - 10 * e, 90 - 90 * e},
        {Clip::LINEAR, Clip::LOOP, 0, 1 + e, 10 + 10 * e, 90 + 90 * e},
        {Clip::LINEAR, Clip::LOOP, 0, 2 + e, 10 * e, 90 * e},
        {Clip::LINEAR, Clip::LOOP, 0, -e, 20 - 10 * e, 180 - 90 * e},
        {Clip::LINEAR, Clip::CLAMP, 0, 2 + e, 20, 180},
        {Clip::LINEAR, Clip::CLAMP, 0, -e, 0, 0},
        {Clip::LINEAR, Clip::PING_PONG, 0, 2 + e, 20 - 10 * e, 180 - 90 * e},
        {Clip::LINEAR, Clip::PING_PONG, 0, -e, 10 * e, 90 * e},
        {Clip::HOLD, Clip::LOOP, 0, 1 - e, 0, 0},
        {Clip::HOLD, Clip::LOOP, 0, 1 + e, 10, 90},
        {Clip::HOLD, Clip::LOOP, 0, -e, 10, 90},
        {Clip::HOLD, Clip::CLAMP, 0, 2 + e, 20, 180},
        {Clip::HOLD, Clip::PING_PONG, 0, 2 + e, 10, 90},
        {Clip::STEP, Clip::LOOP, 0, 1 - e, 0, 0},
        {Clip::STEP, Clip::LOOP, 0, 1 + e, 10, 90},
        {Clip::STEP, Clip::LOOP, 0, 3 + e, 0, 0},
        {Clip::STEP, Clip::LOOP, 0, -e, 20, 180},
        {Clip::STEP, Clip::CLAMP, 0, 3 + e, 20, 180},
        {Clip::STEP, Clip::PING_PONG, 0, 3 + e, 20, 180},
        {Clip::STEP, Clip::PING_PONG, 0, 4 + e, 10, 90},
        // Key 1 at 0.25 of 4 s; key 2 at 4 s, 3 s later.
        {Clip::LINEAR, Clip::LOOP, 4, 1 - e, 10 - 10 * e, 90 - 90 * e},
        {Clip::LINEAR, Clip::LOOP, 4, 1 + e, 10 + 10 * e / 3, 90 + 30 * e},
        {Clip::LINEAR, Clip::LOOP, 4, 4 + e, 10 * e, 90 * e},
        {Clip::LINEAR, Clip::CLAMP, 4, 4 + e, 20, 180},
        {Clip::LINEAR, Clip::PING_PONG, 4, 4 + e, 20 - 10 * e / 3, 180 - 30 * e},
        {Clip::HOLD, Clip::LOOP, 4, 1 - e, 0, 0},
        {Clip::HOLD, Clip::LOOP, 4, 1 + e, 10, 90},
        {Clip::STEP, Clip::LOOP, 4, 1 + e, 10, 90}, // STEP keeps its frames
    };
    Clip::Cursor cursor;
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "interpolation " << row.interpolation << " wrap " << row.wrap << " cycle "
                     << row.cycle << " at " << row.seconds);
        KTPose pose;
        KTPose withCursor;
        const Clip::Timing timing = timingOf(row.interpolation, row.wrap, row.cycle);
        ASSERT_EQ(clip.sample(row.seconds, timing, pose), 1);
        ASSERT_EQ(clip.sample(row.seconds, timing, withCursor, &cursor), 1);
        EXPECT_EQ(withCursor, pose);
        EXPECT_NEAR(pose.getTranslation(fixture.trackA)[0], row.x, 1e-5);
        EXPECT_NEAR(turnAboutZ(pose.getRotation(fixture.trackA)), row.turn, 2e-4);
        // The keyless track: nothing, or its sentinel under STEP.
        const unsigned int b = 1 - fixture.trackA;
        EXPECT_EQ(pose.getChannels(b),
                  row.interpolation == Clip::STEP ? KTPose::TRANSLATION | KTPose::ROTATION : 0);
        EXPECT_EQ(pose.getTranslation(b), SbVec3f(0, 0, 0));
    }
}

// A key that remembers its axis and angle samples their exact rotation under
// LINEAR and HOLD; STEP and a CONVERTED clip play the converted angles, which
// snap this turn (within 0.08 degrees of a quarter turn about Y) onto it.
TEST(AnimationClipSample, RememberedAxisAndAngleSampleExactlyExceptUnderStep) {
    KTComponentAnimation animation;
    auto* track = new KTPartAnimation;
    track->setPartName("A");
    track->setUseOrientations(1);
    const float angle = 1.5700f;
    for (int k = 0; k < 2; ++k) {
        auto* key = new KTAnimationState;
        key->setOrientation(KTAxisAngle(0, 2, 0, angle));
        track->appendState(key);
    }
    animation.addPartAnimation(track);
    float q[4];
    (*track)[0]->getOrientation().getValue(q);
    const SbRotation converted(q[0], q[1], q[2], q[3]);
    const SbRotation exact(SbVec3f(0, 2, 0), angle);
    ASSERT_FALSE(sameBits(converted, exact));

    const Clip exactClip(animation);
    const Clip convertedClip(animation, Clip::CONVERTED);
    EXPECT_EQ(exactClip == convertedClip, 0);
    EXPECT_EQ(exactClip == Clip(exactClip), 1);
    struct Row {
        const Clip* clip;
        Clip::Interpolation interpolation;
        double seconds;
        const SbRotation* expected;
    };
    const Row rows[] = {
        {&exactClip, Clip::LINEAR, 0, &exact},         {&exactClip, Clip::LINEAR, 0.5, &exact},
        {&exactClip, Clip::HOLD, 0.5, &exact},         {&exactClip, Clip::STEP, 0, &converted},
        {&convertedClip, Clip::LINEAR, 0, &converted}, {&convertedClip, Clip::STEP, 1, &converted},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << (row.clip == &exactClip ? "exact " : "converted ")
                                        << row.interpolation << " at " << row.seconds);
        KTPose pose;
        ASSERT_EQ(row.clip->sample(row.seconds, timingOf(row.interpolation, Clip::LOOP), pose), 1);
        EXPECT_TRUE(sameBits(pose.getRotation(0), *row.expected));
        EXPECT_EQ(pose.getChannels(0), KTPose::ROTATION);
    }
}
