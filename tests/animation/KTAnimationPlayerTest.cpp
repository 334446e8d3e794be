#include <cmath>

#include <Inventor/SbTime.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktcp/ktcp.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/animation/KTAnimationInstance.h>
#include <ktrt/world/KTAnimationPlayback.h>
#include <ktrt/animation/KTAnimationPlayer.h>
#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>
#include <ktrt/world/KTWorldAnimations.h>
#include <ktrt/snapshot/KTPoseState.h>
#include <ktrt/world/KTWorldDriver.h>

#include <gtest/gtest.h>

namespace {

using Sampler = KTAnimationSampler;

const double degrees = M_PI / 180.0;
const SbVec3f tilted(M_SQRT1_2, M_SQRT1_2, 0.0f); // quarter turns about it on track Long

// Long: 4 keys at x = 0..3, turned 0, 90, 180, 270 degrees about `tilted`.
// Short: 2 keys at y = 10 and 20, turned 170 and -170 degrees about Z, so the
// shorter arc between them crosses 180.
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
        // The rows below count on update()'s cycle being track Long's 4 keys.
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
    static SoTransform* transformOf(KTPart* part) {
        return static_cast<SoTransform*>(part->getPart("transform", TRUE));
    }

    KTComponentDB world;
    KTComponent* component = nullptr;
    SoTransform* longNode = nullptr;
    SoTransform* shortNode = nullptr;
    KTComponentAnimation animation;
};

::testing::AssertionResult sameRotation(const SbRotation& actual, const SbVec3f& axis,
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

} // namespace

// One key per second. Each row seeks to `start`, plays for `elapsed` seconds
// at `speed` and expects Long at (longX, 0, 0) turned longTurn about `tilted`,
// Short at (0, shortY, 0) turned shortTurn about Z.
TEST_F(TimedPlayback, SamplesKeysInterpolationsAndWrapsOfEveryTrack) {
    struct Row {
        const char* what;
        Sampler::Interpolation interpolation;
        Sampler::WrapMode wrap;
        double speed, start, elapsed;
        float longX;
        double longTurn;
        float shortY;
        double shortTurn;
    };
    const Row rows[] = {
        {"first keys", Sampler::LINEAR, Sampler::LOOP, 1, 0, 0, 0, 0, 10, 170},
        {"between keys; short track looped, across 180", Sampler::LINEAR, Sampler::LOOP, 1, 0, 1.5,
         1.5f, 135, 15, 180},
        {"on a key, half turn", Sampler::LINEAR, Sampler::LOOP, 1, 0, 2, 2, 180, 10, 170},
        {"past the cycle", Sampler::LINEAR, Sampler::LOOP, 1, 3, 0.25, 0.25f, 22.5, 12.5f, 175},
        {"twice the speed", Sampler::LINEAR, Sampler::LOOP, 2, 0, 0.75, 1.5f, 135, 15, 180},
        {"backwards past 0", Sampler::LINEAR, Sampler::LOOP, -1, 0.5, 1, 2.5f, 225, 15, 180},
        {"beyond the end holds the last keys", Sampler::LINEAR, Sampler::CLAMP, 1, 2, 3, 3, 270, 20,
         190},
        {"backwards, short track held", Sampler::LINEAR, Sampler::CLAMP, -2, 2, 0.25, 1.5f, 135, 20,
         190},
        {"backwards before the start", Sampler::LINEAR, Sampler::CLAMP, -1, 1, 5, 0, 0, 10, 170},
        {"ping-pong on the way back", Sampler::LINEAR, Sampler::PING_PONG, 1, 0, 3.5, 2.5f, 225, 15,
         180},
        {"ping-pong at the turn", Sampler::LINEAR, Sampler::PING_PONG, 1, 3, 1, 2, 180, 10, 170},
        {"hold keeps the earlier key", Sampler::HOLD, Sampler::LOOP, 1, 0, 1.9, 1, 90, 10, 170},
        {"hold clamped", Sampler::HOLD, Sampler::CLAMP, 1, 0, 9, 3, 270, 20, 190},
        {"step: short track past its end writes its sentinel", Sampler::STEP, Sampler::LOOP, 1, 3,
         0.5, 3, 270, 0, 0},
        {"step wraps after the first track", Sampler::STEP, Sampler::LOOP, 1, 0, 4.5, 0, 0, 10,
         170},
        {"step ping-pong", Sampler::STEP, Sampler::PING_PONG, 1, 0, 5.5, 2, 180, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        KTAnimationPlayer player(component, &animation, 1.0);
        player.setInterpolation(row.interpolation);
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

// Frame by frame, STEP at k / rate writes exactly what the (k+1)-th update()
// writes, and LINEAR does on the first track's keys.
TEST_F(TimedPlayback, StepMatchesUpdateBitForBit) {
    const double rate = 30.0;
    KTAnimationInstance instance(component, &animation);
    KTAnimationSampler step(component, &animation, rate);
    step.setInterpolation(Sampler::STEP);
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

namespace {

struct FakeClock {
    static SbTime now(void* data) { return static_cast<FakeClock*>(data)->time; }
    SbTime time{100.0};
};

void countEvents(void* data, KTAnimationPlayer*, KTAnimationPlayer::Event event) {
    ++static_cast<int*>(data)[event];
}

} // namespace

// The driver advances its players by the clock's time between firings: at
// 1/240 s and at 1/30 s per firing the lid reaches the same pose at the same
// time, and the loops are reported alike.
TEST_F(TimedPlayback, DriverPlaysByElapsedTimeWhateverTheTimerPeriod) {
    const double periods[] = {1.0 / 240.0, 1.0 / 30.0};
    float reached[2][4] = {};
    int events[2][2] = {};
    for (int p = 0; p < 2; ++p) {
        FakeClock clock;
        KTWorldDriver driver;
        driver.setClock(FakeClock::now, &clock);
        driver.setInterval(periods[p]);
        KTAnimationPlayer looping(component, &animation, 1.0);
        looping.setCallback(countEvents, events[p]);
        looping.play();
        ASSERT_EQ(driver.addPlayer(&world, &looping), 1);
        EXPECT_EQ(driver.addPlayer(&world, &looping), 0);
        driver.addWorld(&world);
        clock.time += SbTime(5.0); // a stopped world's players stand still
        driver.tickWorlds();
        driver.runWorld(&world);
        while (clock.time.getValue() < 100.0 + 5.0 + 7.3 - 1e-9) {
            clock.time += SbTime(periods[p]);
            driver.tickWorlds();
        }
        EXPECT_NEAR(looping.getTime(), 7.3, 1e-9);
        longNode->rotation.getValue().getValue(reached[p][0], reached[p][1], reached[p][2],
                                               reached[p][3]);
        EXPECT_EQ(driver.removePlayer(&looping), 1);
        driver.stopWorld(&world);
    }
    for (int c = 0; c < 4; ++c)
        EXPECT_NEAR(reached[0][c], reached[1][c], 1e-6);
    // 7.3 s of a 3 s cycle: two loops, once per period.
    EXPECT_EQ(events[0][KTAnimationPlayer::LOOPED], 2);
    EXPECT_EQ(events[1][KTAnimationPlayer::LOOPED], 2);
    EXPECT_TRUE(sameRotation(longNode->rotation.getValue(), tilted, 1.3 * 90));
}

// The example world names its animation; the pose state taken while it plays
// puts back the lid's transform bit for bit and the player's time and mode.
TEST_F(TimedPlayback, WorldFileNamesItsAnimationAndPoseStateRestoresIt) {
    KTAnimationPlayback::initClass();
    KTRegistryLoader::RegisterAnimation("chest", KTRT_SOURCE_DIR "/examples/chest.kta");
    KTComponentDB chestWorld;
    ASSERT_EQ(chestWorld.readWorld(KTRT_SOURCE_DIR "/examples/chest-play.iv"), 1);
    KTWorldAnimations animations(&chestWorld);
    ASSERT_EQ(animations.getNumPlayers(), 1u);
    KTAnimationPlayer* player = animations.getPlayer("Chest");
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(player->getWrapMode(), Sampler::PING_PONG);
    EXPECT_EQ(player->getSampler().getKeyRate(), 2.0);
    SoTransform* lid = transformOf(chestWorld.getComponent("Chest")->getLogicalPart("Lid"));

    player->advance(1.3); // ping-pong: 0.7 s into the way back, 1.4 keys
    KTPoseState pose;
    pose.makeSnapshot(animations);
    const SbRotation turned = lid->rotation.getValue();
    EXPECT_TRUE(sameRotation(turned, SbVec3f(1, 0, 0), -0.8 * 1.4 * 180 / M_PI));
    player->pause();
    player->setSpeed(-3);
    player->advance(0.4);
    player->seek(0.2);
    lid->scaleFactor.setValue(2, 2, 2);
    pose.restoreFromSnapshot();
    EXPECT_EQ(lid->rotation.getValue(), turned);
    EXPECT_EQ(lid->scaleFactor.getValue(), SbVec3f(1, 1, 1));
    EXPECT_EQ(player->getTime(), 1.3);
    EXPECT_EQ(player->getSpeed(), 1.0);
    EXPECT_TRUE(player->isPlaying());
    player->resetState();
    EXPECT_EQ(lid->rotation.getValue(), SbRotation::identity());
}
