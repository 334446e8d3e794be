#pragma once

#include <cmath>

#include <Inventor/SbRotation.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktcp/ktcp.h>

#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/playback/KTAnimationPlayer.h>

#include <gtest/gtest.h>

namespace ktrt_test {

const double degrees = M_PI / 180.0;
const SbVec3f tilted(M_SQRT1_2, M_SQRT1_2, 0.0f); // quarter turns about it on track Long

inline SoTransform* transformOf(KTPart* part) {
    return static_cast<SoTransform*>(part->getPart("transform", TRUE));
}

/// Component "Arm" with two tracks, one key per second at a key rate of 1.
/// Long: 4 keys at x = 0..3, turned 0, 90, 180, 270 degrees about `tilted`.
/// Short: 2 keys at y = 10 and 20, turned 170 and -170 degrees about Z, so the
/// shorter arc between them crosses 180.
struct TimedPlayback : ::testing::Test {
    void SetUp() override {
        KTComponentLibrary::init();
        component = world.addComponent("Arm");
        longNode = transformOf(component->addLogicalPart("Long"));
        shortNode = transformOf(component->addLogicalPart("Short"));
        KTPartAnimation* track = addTrack("Long");
        for (int k = 0; k < 4; ++k) {
            float q[4];
            SbRotation(tilted, static_cast<float>(90 * k * degrees))
                .getValue(q[0], q[1], q[2], q[3]);
            track->appendState(
                new KTAnimationState(0.0, KTVector3(k, 0, 0), KTAngle(q[0], q[1], q[2], q[3])));
        }
        track = addTrack("Short");
        track->appendState(new KTAnimationState(0.0, KTVector3(0, 10, 0), KTAngle(0, 0, 170)));
        track->appendState(new KTAnimationState(0.0, KTVector3(0, 20, 0), KTAngle(0, 0, -170)));
        // The tests count on update()'s cycle being track Long's 4 keys.
        ASSERT_EQ(animation[0]->getPartName(), "Long");
    }
    KTPartAnimation* addTrack(const char* part) {
        auto* track = new KTPartAnimation;
        track->setPartName(part);
        track->setUsePositions(1);
        track->setUseOrientations(1);
        animation.addPartAnimation(track);
        return track;
    }

    KTComponentDB world;
    KTComponent* component = nullptr;
    SoTransform* longNode = nullptr;
    SoTransform* shortNode = nullptr;
    KTComponentAnimation animation;
};

/// A player callback that counts each event in the int array `data`.
inline void countEvents(void* data, KTAnimationPlayer*, KTAnimationPlayer::Event event) {
    ++static_cast<int*>(data)[event];
}

/// Whether `actual` turns `angleDegrees` about `axis`, within 0.05 degree.
inline ::testing::AssertionResult sameRotation(const SbRotation& actual, const SbVec3f& axis,
                                               double angleDegrees) {
    float a[4], e[4];
    actual.getValue(a[0], a[1], a[2], a[3]);
    SbRotation(axis, static_cast<float>(angleDegrees * degrees)).getValue(e[0], e[1], e[2], e[3]);
    const double cosine = std::fabs(a[0] * e[0] + a[1] * e[1] + a[2] * e[2] + a[3] * e[3]);
    if (cosine > 1.0 - 1e-7)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "rotation off by " << 2 * std::acos(std::fmin(cosine, 1.0)) / degrees
           << " degrees from " << angleDegrees;
}

} // namespace ktrt_test
