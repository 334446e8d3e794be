#include <ktrt/playback/KTAnimationSampler.h>

#include <cmath>
#include <limits>

#include <ktrt/playback/KTAnimationInstance.h>

#include <gtest/gtest.h>

#include "TimedPlaybackFixture.h"

namespace {

using Sampler = KTAnimationSampler;
using ktrt_test::sameRotation;
using ktrt_test::tilted;
using KTAnimationSamplerValidity = ktrt_test::TimedPlayback;
using AnimationSampler = ktrt_test::TimedPlayback;

} // namespace

TEST_F(KTAnimationSamplerValidity, UnboundSamplersBadRatesAndBadTimesWriteNothing) {
    KTComponentAnimation empty;
    for (const Sampler& unbound : {Sampler(), Sampler(nullptr, &animation),
                                   Sampler(component, nullptr), Sampler(component, &empty)}) {
        Sampler sampler(unbound);
        sampler.sample(1.0);
        EXPECT_EQ(sampler.getNumParts(), 0u);
        EXPECT_EQ(sampler.getDuration(), 0.0);
        EXPECT_EQ(sampler.getPartTransform(0), nullptr);
    }
    EXPECT_EQ(Sampler(component, &animation, 0.0).getKeyRate(), 30.0);

    const double inf = std::numeric_limits<double>::infinity();
    Sampler sampler(component, &animation, 1.0);
    for (double bad : {0.0, -1.0, std::nan(""), inf})
        sampler.setKeyRate(bad);
    EXPECT_EQ(sampler.getKeyRate(), 1.0);
    ASSERT_EQ(sampler.getNumParts(), 2u);
    EXPECT_EQ(sampler.getPartTransform(2), nullptr);
    EXPECT_EQ(sampler.getPartAnimation(2), nullptr);
    longNode->translation.setValue(7, 7, 7);
    for (double bad : {std::nan(""), inf, -inf})
        sampler.sample(bad);
    EXPECT_EQ(longNode->translation.getValue(), SbVec3f(7, 7, 7));
}

// Track Long at times just either side of its keys and of its ends: a time
// within 1e-7 key intervals of a key is that key.
TEST_F(AnimationSampler, TimesEitherSideOfAKeyAndOfTheEnds) {
    const struct {
        Sampler::Interpolation interpolation;
        Sampler::WrapMode wrap;
        double seconds;
        float longX;
        double longTurn;
    } rows[] = {
        {KTAnimationClip::LINEAR, KTAnimationClip::LOOP, 1 - 1e-3, 0.999f, 89.91},
        {KTAnimationClip::LINEAR, KTAnimationClip::LOOP, 1 + 1e-3, 1.001f, 90.09},
        {KTAnimationClip::HOLD, KTAnimationClip::LOOP, 1 - 1e-3, 0, 0},
        {KTAnimationClip::HOLD, KTAnimationClip::LOOP, 1 - 1e-8, 1, 90},
        {KTAnimationClip::HOLD, KTAnimationClip::LOOP, 2 - 1e-8, 2, 180},
        {KTAnimationClip::STEP, KTAnimationClip::LOOP, 1 - 1e-3, 0, 0},
        {KTAnimationClip::STEP, KTAnimationClip::LOOP, 1 - 1e-8, 1, 90},
        {KTAnimationClip::LINEAR, KTAnimationClip::LOOP, 3 - 1e-3, 2.999f, 269.91},
        {KTAnimationClip::LINEAR, KTAnimationClip::LOOP, 3, 0, 0},
        {KTAnimationClip::LINEAR, KTAnimationClip::LOOP, -1e-3, 2.999f, 269.91},
        {KTAnimationClip::LINEAR, KTAnimationClip::CLAMP, -1e-3, 0, 0},
        {KTAnimationClip::LINEAR, KTAnimationClip::CLAMP, 3 + 1e-3, 3, 270},
        {KTAnimationClip::LINEAR, KTAnimationClip::PING_PONG, 3 + 1e-3, 2.999f, 269.91},
        {KTAnimationClip::LINEAR, KTAnimationClip::PING_PONG, -1e-3, 0.001f, 0.09},
        {KTAnimationClip::STEP, KTAnimationClip::LOOP, 4 - 1e-3, 3, 270},
        {KTAnimationClip::STEP, KTAnimationClip::LOOP, 4, 0, 0},
        {KTAnimationClip::STEP, KTAnimationClip::CLAMP, 9, 3, 270},
        {KTAnimationClip::HOLD, KTAnimationClip::CLAMP, 9, 3, 270},
        {KTAnimationClip::STEP, KTAnimationClip::PING_PONG, 5.5, 2, 180},
    };
    Sampler sampler(component, &animation, 1.0);
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message()
                     << row.interpolation << " " << row.wrap << " at " << row.seconds);
        sampler.setInterpolation(row.interpolation);
        sampler.setWrapMode(row.wrap);
        sampler.sample(row.seconds);
        EXPECT_NEAR(longNode->translation.getValue()[0], row.longX, 1e-5);
        EXPECT_TRUE(sameRotation(longNode->rotation.getValue(), tilted, row.longTurn));
    }
}

// Frame by frame, STEP at k / rate writes exactly what the (k+1)-th update()
// writes, and LINEAR does on the first track's keys.
TEST_F(AnimationSampler, StepMatchesUpdateBitForBit) {
    const double rate = 30.0;
    KTAnimationInstance instance(component, &animation);
    KTAnimationSampler step(component, &animation, rate);
    step.setInterpolation(KTAnimationClip::STEP);
    KTAnimationSampler linear(component, &animation, rate);
    for (int k = 0; k < 10; ++k) {
        SCOPED_TRACE(k);
        instance.update();
        const SbVec3f longAt = longNode->translation.getValue();
        const SbRotation longTurn = longNode->rotation.getValue();
        const SbVec3f shortAt = shortNode->translation.getValue();
        const SbRotation shortTurn = shortNode->rotation.getValue();
        step.sample(k / rate);
        EXPECT_EQ(longNode->translation.getValue(), longAt);
        EXPECT_EQ(longNode->rotation.getValue(), longTurn);
        EXPECT_EQ(shortNode->translation.getValue(), shortAt);
        EXPECT_EQ(shortNode->rotation.getValue(), shortTurn);
        if (k < 3) { // at 3 / rate LINEAR has looped to key 0
            linear.sample(k / rate);
            EXPECT_EQ(longNode->translation.getValue(), longAt);
            EXPECT_EQ(longNode->rotation.getValue(), longTurn);
        }
    }
}
