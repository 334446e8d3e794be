#include <ktrt/playback/KTAnimationPlayer.h>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "TimedPlaybackFixture.h"

namespace {

using Sampler = KTAnimationSampler;
using ktrt_test::sameRotation;
using ktrt_test::tilted;
using KTAnimationPlayerValidity = ktrt_test::TimedPlayback;
using AnimationPlayer = ktrt_test::TimedPlayback;

} // namespace

TEST_F(KTAnimationPlayerValidity, BadTimesAndSpeedsAreIgnoredAndAPausedPlayerStandsStill) {
    KTAnimationPlayer unbound;
    unbound.play();
    unbound.advance(1.0);
    unbound.resetState();
    EXPECT_EQ(unbound.getSampler().getNumParts(), 0u);

    const double inf = std::numeric_limits<double>::infinity();
    KTAnimationPlayer player(component, &animation, 1.0);
    longNode->translation.setValue(7, 7, 7);
    player.advance(1.0); // paused
    player.play();
    for (double bad : {-1e-9, std::nan(""), inf})
        player.advance(bad);
    for (double bad : {std::nan(""), inf, -inf}) {
        player.seek(bad);
        player.setSpeed(bad);
    }
    EXPECT_EQ(longNode->translation.getValue(), SbVec3f(7, 7, 7));
    EXPECT_EQ(player.getTime(), 0.0);
    EXPECT_EQ(player.getSpeed(), 1.0);
    // Under CLAMP a seek stays within the 3 s of track Long.
    player.setWrapMode(KTAnimationClip::CLAMP);
    player.seek(-5);
    EXPECT_EQ(player.getTime(), 0.0);
    player.seek(99);
    EXPECT_EQ(player.getTime(), 3.0);
}

// One key per second, interpolated. Each row seeks to `start`, plays for
// `elapsed` seconds at `speed` and expects Long at (longX, 0, 0) turned
// longTurn about `tilted`, Short at (0, shortY, 0) turned shortTurn about Z.
TEST_F(AnimationPlayer, PlaysAtItsSpeedFromWhereItWasSoughtOnEveryTrack) {
    struct Row {
        const char* what;
        Sampler::WrapMode wrap;
        double speed, start, elapsed;
        float longX;
        double longTurn;
        float shortY;
        double shortTurn;
    };
    const Row rows[] = {
        {"between keys; short track looped, across 180", KTAnimationClip::LOOP, 1, 0, 1.5, 1.5f,
         135, 15, 180},
        {"on a key, half turn", KTAnimationClip::LOOP, 1, 0, 2, 2, 180, 10, 170},
        {"past the cycle", KTAnimationClip::LOOP, 1, 3, 0.25, 0.25f, 22.5, 12.5f, 175},
        {"twice the speed", KTAnimationClip::LOOP, 2, 0, 0.75, 1.5f, 135, 15, 180},
        {"backwards past 0", KTAnimationClip::LOOP, -1, 0.5, 1, 2.5f, 225, 15, 180},
        {"beyond the end holds the last keys", KTAnimationClip::CLAMP, 1, 2, 3, 3, 270, 20, 190},
        {"backwards, short track held", KTAnimationClip::CLAMP, -2, 2, 0.25, 1.5f, 135, 20, 190},
        {"backwards before the start", KTAnimationClip::CLAMP, -1, 1, 5, 0, 0, 10, 170},
        {"ping-pong on the way back", KTAnimationClip::PING_PONG, 1, 0, 3.5, 2.5f, 225, 15, 180},
        {"ping-pong at the turn", KTAnimationClip::PING_PONG, 1, 3, 1, 2, 180, 10, 170},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        KTAnimationPlayer player(component, &animation, 1.0);
        player.setWrapMode(row.wrap);
        player.setSpeed(row.speed);
        player.seek(row.start);
        player.play();
        player.advance(row.elapsed);
        const SbVec3f longAt = longNode->translation.getValue();
        const SbVec3f shortAt = shortNode->translation.getValue();
        EXPECT_NEAR(longAt[0], row.longX, 1e-5);
        EXPECT_NEAR(shortAt[1], row.shortY, 1e-5);
        EXPECT_TRUE(sameRotation(longNode->rotation.getValue(), tilted, row.longTurn));
        EXPECT_TRUE(sameRotation(shortNode->rotation.getValue(), SbVec3f(0, 0, 1), row.shortTurn));
    }
}

// Each row plays track Long's 3 s cycle from `start` for `elapsed` seconds at
// `speed`, counts the events, then calls play() again.
TEST_F(AnimationPlayer, ReportsLoopsAndTheEndOfAClampedPlayAtTheirBoundaries) {
    struct Row {
        const char* what;
        Sampler::WrapMode wrap;
        double speed, start, elapsed;
        int looped, finished;
        bool playing;
        double time, timeAfterPlay;
    };
    const Row rows[] = {
        {"just before the end", KTAnimationClip::LOOP, 1, 0, 2.999, 0, 0, true, 2.999, 2.999},
        {"at the end", KTAnimationClip::LOOP, 1, 0, 3, 1, 0, true, 3, 3},
        {"backwards across 0", KTAnimationClip::LOOP, -1, 0.5, 1, 1, 0, true, -0.5, -0.5},
        {"two cycles in one step", KTAnimationClip::LOOP, 1, 0, 7.5, 2, 0, true, 7.5, 7.5},
        {"a host that slept: loops capped", KTAnimationClip::LOOP, 1, 0, 3e6, 1000, 0, true, 3e6,
         3e6},
        {"ping-pong at the turn", KTAnimationClip::PING_PONG, 1, 2, 1.5, 1, 0, true, 3.5, 3.5},
        {"clamped, just before the end", KTAnimationClip::CLAMP, 1, 0, 2.999, 0, 0, true, 2.999,
         2.999},
        {"clamped, at the end: starts over", KTAnimationClip::CLAMP, 1, 0, 3, 0, 1, false, 3, 0},
        {"clamped past the end", KTAnimationClip::CLAMP, 2, 2, 5, 0, 1, false, 3, 0},
        {"clamped backwards to 0: starts at the end", KTAnimationClip::CLAMP, -1, 1, 1, 0, 1, false,
         0, 3},
        {"speed 0 holds", KTAnimationClip::CLAMP, 0, 1, 5, 0, 0, true, 1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        int events[2] = {};
        KTAnimationPlayer player(component, &animation, 1.0);
        player.setWrapMode(row.wrap);
        player.setSpeed(row.speed);
        player.seek(row.start);
        player.setCallback(ktrt_test::countEvents, events);
        player.play();
        player.advance(row.elapsed);
        EXPECT_EQ(events[KTAnimationPlayer::LOOPED], row.looped);
        EXPECT_EQ(events[KTAnimationPlayer::FINISHED], row.finished);
        EXPECT_EQ(player.isPlaying(), row.playing ? 1 : 0);
        EXPECT_NEAR(player.getTime(), row.time, 1e-9);
        player.play();
        EXPECT_NEAR(player.getTime(), row.timeAfterPlay, 1e-9);
    }
}
