#include <ktrt/playback/KTAnimationAction.h>

#include <cmath>
#include <functional>
#include <limits>

#include "MixerFixture.h"

namespace {

using ktrt_test::Mixer;
using Action = KTAnimationAction;
using KTAnimationActionValidity = Mixer;
using AnimationAction = Mixer;

const double inf = std::numeric_limits<double>::infinity();

// A fixture of its own for each row of a table.
struct Fresh : Mixer {
    void TestBody() override {}
};

} // namespace

// Refused calls return 0 and change nothing: the state, time, weight and fade
// stay as they were.
TEST_F(KTAnimationActionValidity, RefusedFadeTimesWeightsAndTimingChangeNothing) {
    a->play();
    a->setWeight(0.5);
    mixer.advance(0.25);
    const auto timing = [](int interpolation, double keysPerSecond) {
        KTAnimationClip::Timing changed;
        changed.interpolation = static_cast<KTAnimationClip::Interpolation>(interpolation);
        changed.keysPerSecond = keysPerSecond;
        return changed;
    };
    const struct {
        const char* what;
        std::function<int()> call;
    } rows[] = {
        {"negative fade", [&] { return a->fadeOut(-1.0); }},
        {"NaN fade", [&] { return a->fadeOut(NAN); }},
        {"infinite fade in", [&] { return a->fadeIn(inf); }},
        {"NaN crossfade", [&] { return a->crossFadeTo(*b, NAN, 0); }},
        {"crossfade to itself", [&] { return a->crossFadeTo(*a, 1.0, 0); }},
        {"negative weight", [&] { return a->setWeight(-1.0); }},
        {"NaN weight", [&] { return a->setWeight(NAN); }},
        {"weight beyond a float", [&] { return a->setWeight(1e300); }},
        {"NaN speed", [&] { return a->setSpeed(NAN); }},
        {"infinite time", [&] { return a->setTime(inf); }},
        {"unknown interpolation", [&] { return a->setTiming(timing(3, 1.0)); }},
        {"zero key rate", [&] { return a->setTiming(timing(KTAnimationClip::LINEAR, 0.0)); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.call(), 0);
        EXPECT_EQ(a->getState(), Action::PLAYING);
        EXPECT_EQ(a->getTime(), 0.25);
        EXPECT_EQ(a->getSpeed(), 1.0);
        EXPECT_EQ(a->getEffectiveWeight(), 0.5);
        EXPECT_EQ(a->isFading(), 0);
        EXPECT_EQ(b->getState(), Action::STOPPED);
    }
    EXPECT_EQ(a->getTiming().keysPerSecond, 1.0);
    EXPECT_EQ(a->getTiming().interpolation, KTAnimationClip::LINEAR);
}

// The states of the table in the header (fades in the table below); the time
// rules are the player's playhead, and no call reports an event.
TEST_F(AnimationAction, PlayPauseAndStopMoveBetweenTheStates) {
    EXPECT_EQ(a->getState(), Action::STOPPED);
    a->pause();
    EXPECT_EQ(a->getState(), Action::STOPPED);
    a->play();
    a->pause();
    EXPECT_EQ(a->getState(), Action::PAUSED);
    EXPECT_EQ(a->getEffectiveWeight(), 1.0) << "paused: still contributes";
    a->fadeIn(0.5);
    EXPECT_EQ(a->getState(), Action::PLAYING);
    EXPECT_EQ(a->isFading(), 0) << "at full fade already";
    a->fadeOut(0.0);
    EXPECT_EQ(a->getState(), Action::STOPPED);
    EXPECT_TRUE(events.empty());
}

// The transitions, one row each: a script of calls and ticks, then where the
// target's weight, its FADE_DONE count and part P stand.
TEST(AnimationActionTransitions, OneRowPerTransition) {
    const struct Row {
        const char* what;
        std::function<void(Mixer&)> script;
        double bWeight;
        int bFadesDone;
        float pX; // part P's x: walk moves it 1 a second, run leaves it at 0
    } rows[] = {
        {"two sources to one target: one fade, done once",
         [](Mixer& m) {
             KTAnimationAction* c = m.mixer.addAction(&m.walk);
             m.a->play();
             c->play();
             for (int tick = 0; tick < 10; ++tick) {
                 m.a->crossFadeTo(*m.b, 1.0, 0);
                 c->crossFadeTo(*m.b, 1.0, 0);
                 m.mixer.advance(0.125);
             }
         },
         1.0, 1, 0.0f},
        {"fadeIn every tick: one fade, done once",
         [](Mixer& m) {
             for (int tick = 0; tick < 12; ++tick) {
                 m.b->fadeIn(1.0);
                 m.mixer.advance(0.125);
             }
         },
         1.0, 1, 0.0f},
        {"crossfade from a stopped source: no warp on either",
         [](Mixer& m) {
             m.b->setSpeed(2.0);
             for (int tick = 0; tick < 4; ++tick) {
                 m.a->crossFadeTo(*m.b, 1.0, 1);
                 EXPECT_EQ(m.a->getEffectiveSpeed(), 1.0);
                 EXPECT_EQ(m.b->getEffectiveSpeed(), 2.0);
                 m.mixer.advance(0.25);
             }
             m.a->play();
             EXPECT_EQ(m.a->getEffectiveSpeed(), 1.0);
             m.a->stop();
         },
         1.0, 1, 0.0f},
        {"warped crossfade: speeds meet and are their own after the fade",
         [](Mixer& m) {
             m.a->play();
             m.b->setSpeed(1.5);
             m.a->crossFadeTo(*m.b, 1.0, 1);
             EXPECT_DOUBLE_EQ(m.b->getEffectiveSpeed(), 1.5 * 2.0); // run is twice as long
             m.mixer.advance(0.5);
             EXPECT_NE(m.a->getEffectiveSpeed(), 1.0);
             m.mixer.advance(0.5);
             EXPECT_DOUBLE_EQ(m.b->getEffectiveSpeed(), 1.5);
             m.a->play();
             EXPECT_DOUBLE_EQ(m.a->getEffectiveSpeed(), 1.0);
             m.a->stop();
         },
         1.0, 1, 0.0f},
        {"turned back half-way: weights and warped speeds go on from where they stand",
         [](Mixer& m) {
             m.a->play();
             m.a->crossFadeTo(*m.b, 1.0, 1);
             m.mixer.advance(0.5); // a at time 0.5, its warp from 1 half-way to 0.5
             const double speeds[] = {m.a->getEffectiveSpeed(), m.b->getEffectiveSpeed()};
             m.b->crossFadeTo(*m.a, 1.0, 1);
             EXPECT_EQ(m.a->getEffectiveSpeed(), speeds[0]);
             EXPECT_EQ(m.b->getEffectiveSpeed(), speeds[1]);
             m.mixer.advance(0.1);
             EXPECT_NEAR(m.a->getEffectiveWeight(), 0.55, 1e-9);
         },
         0.45, 0, 0.575f * 0.55f},
        {"fade-out ends on the exact tick: the rest pose on that tick",
         [](Mixer& m) {
             m.a->play();
             m.mixer.advance(0.5);
             m.a->fadeOut(0.25);
             m.mixer.advance(0.125);
             m.mixer.advance(0.125);
             EXPECT_EQ(m.a->getState(), Action::STOPPED);
             EXPECT_EQ(m.at(m.q)[2], 9.0f);
         },
         0.0, 0, 0.0f},
        {"stopped, the rest pose is written: a later fade in does not jump",
         [](Mixer& m) {
             m.a->play();
             m.mixer.advance(0.5);
             m.a->stop();
             m.mixer.advance(0.0);
             EXPECT_EQ(m.at(m.p)[0], 0.0f);
             m.a->setKeepTime(1);
             m.a->fadeIn(0.5);
             m.mixer.advance(0.05);
         },
         0.0, 0, 0.55f * 0.1f},
        {"faded out and played again: from its beginning",
         [](Mixer& m) {
             m.a->play();
             m.mixer.advance(0.5);
             m.a->fadeOut(0.2);
             m.mixer.advance(0.2);
             m.a->play();
             EXPECT_EQ(m.a->getTime(), 0.0);
             m.mixer.advance(0.25);
         },
         0.0, 0, 0.25f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Fresh m;
        m.SetUp();
        row.script(m);
        EXPECT_NEAR(m.b->getEffectiveWeight(), row.bWeight, 1e-9);
        EXPECT_EQ(m.heard(m.b, Action::FADE_DONE), row.bFadesDone);
        EXPECT_NEAR(m.at(m.p)[0], row.pX, 1e-6);
    }
}
