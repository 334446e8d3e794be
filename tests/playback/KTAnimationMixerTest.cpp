#include <ktrt/playback/KTAnimationMixer.h>

#include <cmath>

#include "MixerFixture.h"

namespace {

using ktrt_test::Mixer;

TEST_F(Mixer, Validity) {
    KTAnimationMixer unbound;
    EXPECT_EQ(unbound.addAction(&walk), nullptr);
    EXPECT_EQ(mixer.addAction(static_cast<KTComponentAnimation*>(nullptr)), nullptr);
    KTAnimationAction copy(*a); // of no mixer: it cannot fade into the mixer's actions
    EXPECT_EQ(copy.getMixer(), nullptr);
    EXPECT_EQ(copy.crossFadeTo(*b, 1.0, 0), 0);
    KTAnimationMixer other(component);
    KTAnimationAction* stranger = other.addAction(&walk);
    EXPECT_EQ(a->crossFadeTo(*stranger, 1.0, 0), 0);
    EXPECT_EQ(mixer.removeAction(stranger), 0);
    KTAnimationClip::Timing zeroRate;
    zeroRate.keysPerSecond = 0.0;
    EXPECT_EQ(mixer.addAction(&walk, zeroRate), nullptr);
    EXPECT_EQ(a->setPartWeights({1.0f, NAN}), 0);
    EXPECT_EQ(a->setPartWeight("Hand", 0.5), 0) << "no such part";
    EXPECT_EQ(a->setPartWeight("Q", 1e300), 0) << "too large for a float";
    EXPECT_EQ(a->limitToParts({"P", "Hand"}), 0);
    EXPECT_EQ(copy.setPartWeight("P", 0.5), 0) << "of no mixer";
    EXPECT_EQ(a->getPartWeight("Q"), 1.0);
    EXPECT_EQ(mixer.addAction(&walk)->getClip(), a->getClip()) << "one clip per animation";

    a->play();
    for (double bad : {-1.0, double(NAN), double(INFINITY)})
        mixer.advance(bad);
    EXPECT_EQ(a->getTime(), 0.0);
    EXPECT_EQ(mixer.getNumParts(), 2u) << "P and Q, each bound once";
}

TEST_F(Mixer, OneActionWritesItsClipAndPartsNothingAnimatesGoBackToRestOnce) {
    a->play();
    mixer.advance(0.25);
    EXPECT_FLOAT_EQ(at(p)[0], 0.25f);
    EXPECT_FLOAT_EQ(at(q)[2], 1.5f);
    a->stop();
    mixer.advance(0.25);
    EXPECT_FLOAT_EQ(at(p)[0], 0.0f) << "stopped: the rest pose";
    EXPECT_FLOAT_EQ(at(q)[2], 9.0f);
    q->translation.setValue(1, 2, 3);
    mixer.advance(0.25);
    EXPECT_EQ(at(q), SbVec3f(1, 2, 3)) << "then left to the host";
}

TEST_F(Mixer, CrossfadeBlendsByRisingWeightAndEndsWithTheTarget) {
    a->play();
    mixer.advance(0.0);
    ASSERT_EQ(a->crossFadeTo(*b, 1.0, 0), 1);
    EXPECT_EQ(b->getTime(), 0.0);
    mixer.advance(0.25);
    EXPECT_DOUBLE_EQ(a->getEffectiveWeight(), 0.75);
    EXPECT_DOUBLE_EQ(b->getEffectiveWeight(), 0.25);
    // P: walk at 0.25 s (x 0.25) and run at 0.25 s (y 0.5), weighted.
    EXPECT_NEAR(at(p)[0], 0.75 * 0.25, 1e-6);
    EXPECT_NEAR(at(p)[1], 0.25 * 0.5, 1e-6);
    // Q, which only walk animates, takes the missing weight from its rest pose.
    EXPECT_NEAR(at(q)[2], 0.75 * 1.5 + 0.25 * 9, 1e-5);
    mixer.advance(0.75);
    EXPECT_EQ(a->isActive(), 0);
    EXPECT_DOUBLE_EQ(b->getEffectiveWeight(), 1.0);
    EXPECT_EQ(heard(a, KTAnimationAction::FADE_DONE) + heard(b, KTAnimationAction::FADE_DONE), 2);
}

TEST_F(Mixer, AdditiveActionsAddOntoTheBlendAndMasksKeepPartsOut) {
    a->play();
    b->setBlendMode(KTAnimationAction::ADDITIVE);
    b->setWeight(0.5);
    b->play();
    mixer.advance(0.5);
    EXPECT_NEAR(at(p)[0], 0.5, 1e-6);
    EXPECT_NEAR(at(p)[1], 0.5 * 1.0, 1e-6) << "half of run's rise from its first key";

    b->stop();
    ASSERT_EQ(a->limitToParts({"P"}), 1);
    mixer.advance(0.25);
    EXPECT_NEAR(at(p)[0], 0.75, 1e-6);
    EXPECT_FLOAT_EQ(at(q)[2], 9.0f) << "masked out: the rest pose";
}

} // namespace
