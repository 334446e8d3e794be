#include <ktrt/playback/KTAnimationSampler.h>

#include <cmath>
#include <limits>

#include <ktrt/playback/KTAnimationInstance.h>

#include <gtest/gtest.h>

#include "TimedPlaybackFixture.h"

namespace {

using Sampler = KTAnimationSampler;
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
