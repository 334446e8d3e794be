#include <chrono>
#include <thread>
#include <vector>

#include <Inventor/SbTime.h>
#include <Inventor/SoDB.h>
#include <Inventor/sensors/SoSensorManager.h>
#include <Inventor/sensors/SoTimerSensor.h>

#include <ktcp/ktcp.h>

#include <ktrt/playback/KTAnimationPlayer.h>
#include <ktrt/world/KTWorldDriver.h>

#include <gtest/gtest.h>

#include "../playback/TimedPlaybackFixture.h"

struct KTWorldDriverAccess {
    static SoTimerSensor* sensor(KTWorldDriver& driver) { return driver.sensor; }
    static void fire(void* data) { KTWorldDriver::timerCB(data, nullptr); }
};

namespace {

bool timerPending() {
    SbTime when;
    return SoDB::getSensorManager()->isTimerSensorPending(when) != FALSE;
}

// Lets every scheduled timer sensor come due, then fires them once.
void fireTimers() {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    SoDB::getSensorManager()->processTimerQueue();
}

// Logs its ticks; may stop a world from inside its tick().
class Ticker : public KTComponent {
public:
    Ticker(std::vector<Ticker*>* tickLog) : log(tickLog) {}
    void tick() override {
        KTComponent::tick();
        log->push_back(this);
        if (driver)
            driver->stopWorld(worldToStop);
    }
    std::vector<Ticker*>* log;
    KTWorldDriver* driver = nullptr;
    KTComponentDB* worldToStop = nullptr;

protected:
    ~Ticker() override = default;
};

struct WorldDriver : ::testing::Test {
    void SetUp() override {
        KTComponentLibrary::init();
        // Coin's own real-time clock is a timer sensor too; keep the queue to
        // the drivers' sensors.
        SoDB::enableRealTimeSensor(FALSE);
        ASSERT_FALSE(timerPending());
    }
    void TearDown() override { EXPECT_FALSE(timerPending()); }
    Ticker* addTicker(KTComponentDB& world, const char* name) {
        auto* ticker = new Ticker(&log);
        ticker->setName(name);
        world.addComponent(ticker);
        return ticker;
    }
    std::vector<Ticker*> log;
};
using KTWorldDriverValidity = WorldDriver;

} // namespace

TEST_F(KTWorldDriverValidity, RefusesNullUnknownAndDuplicateWorldsAndPlayers) {
    KTWorldDriver driver;
    KTComponentDB world, unknown;
    EXPECT_EQ(KTWorldDriverAccess::sensor(driver)->getInterval(), SbTime(1.0 / 240.0));
    EXPECT_FALSE(KTWorldDriverAccess::sensor(driver)->isScheduled());
    EXPECT_EQ(driver.containsWorld(nullptr) + driver.containsWorld(&world), 0);
    EXPECT_EQ(driver.addWorld(nullptr), 0);
    EXPECT_EQ(driver.addWorld(&world), 1);
    EXPECT_EQ(driver.addWorld(&world), 0);
    EXPECT_EQ(driver.containsWorld(&world), 1);
    EXPECT_EQ(driver.runWorld(&unknown) + driver.runWorld(nullptr), 0);
    EXPECT_EQ(driver.stopWorld(&unknown) + driver.removeWorld(&unknown), 0);
    EXPECT_EQ(driver.runWorld(&world), 1);
    EXPECT_EQ(driver.addWorld(&world), 0);
    EXPECT_EQ(driver.removeWorld(&world), 1);
    EXPECT_EQ(driver.removeWorld(&world) + driver.containsWorld(&world), 0);
    // Removing the last running world leaves the sensor scheduled, ticking nothing.
    EXPECT_TRUE(KTWorldDriverAccess::sensor(driver)->isScheduled());
    KTWorldDriverAccess::fire(nullptr);
    fireTimers();

    KTAnimationPlayer player;
    EXPECT_EQ(driver.addPlayer(nullptr, &player) + driver.addPlayer(&world, nullptr), 0);
    EXPECT_EQ(driver.addPlayer(&world, &player), 1);
    EXPECT_EQ(driver.addPlayer(&unknown, &player), 0);
    EXPECT_EQ(driver.removePlayer(&player), 1);
    EXPECT_EQ(driver.removePlayer(&player), 0);
}

TEST_F(WorldDriver, StartingActivatesStartupBehaviorsAndStoppingDeactivatesActiveOnes) {
    KTWorldDriver driver;
    KTComponentDB world;
    KTComponent* chest = world.addComponent("Chest");
    chest->addBehavior("Open", 1);
    chest->addBehavior("Idle");
    KTComponent* lamp = world.addComponent("Lamp");
    for (const char* name : {"Glow", "Flicker", "Buzz"})
        lamp->addBehavior(name, name[0] != 'F');
    driver.addWorld(&world);
    auto active = [](KTComponent* component, const char* behavior) {
        return component->getBehavior(behavior).isActive();
    };

    EXPECT_EQ(driver.stopWorld(&world), 1); // already stopped: nothing happens
    EXPECT_EQ(driver.runWorld(&world), 1);
    EXPECT_EQ(active(chest, "Open") + active(lamp, "Glow") + active(lamp, "Buzz"), 3);
    EXPECT_EQ(active(chest, "Idle") + active(lamp, "Flicker"), 0);

    // Running a running world activates nothing; stopping a stopped one
    // deactivates nothing.
    lamp->deactivateBehavior("Glow", 0);
    EXPECT_EQ(driver.runWorld(&world), 1);
    EXPECT_EQ(active(lamp, "Glow"), 0);
    chest->activateBehavior("Idle", 0);
    EXPECT_EQ(driver.stopWorld(&world), 1);
    EXPECT_EQ(active(chest, "Open") + active(chest, "Idle") + active(lamp, "Buzz"), 0);
    EXPECT_FALSE(KTWorldDriverAccess::sensor(driver)->isScheduled());
    chest->activateBehavior("Idle", 0);
    EXPECT_EQ(driver.stopWorld(&world), 1);
    EXPECT_EQ(active(chest, "Idle"), 1);
}

TEST_F(WorldDriver, SensorTicksRunningWorldsInAddressOrderAndIsQueuedOnceWhileAnyRuns) {
    KTWorldDriver driver;
    KTComponentDB first, second, idle;
    Ticker* a = addTicker(first, "A");
    Ticker* b = addTicker(second, "B");
    Ticker* c = addTicker(idle, "C");
    for (KTComponentDB* world : {&first, &second, &idle})
        driver.addWorld(world);
    driver.runWorld(&first);
    driver.runWorld(&second);
    EXPECT_TRUE(timerPending());
    fireTimers();
    EXPECT_EQ(log, (&first < &second ? std::vector<Ticker*>{a, b} : std::vector<Ticker*>{b, a}));

    driver.setInterval(0.001);
    EXPECT_DOUBLE_EQ(driver.getInterval(), 0.001);

    // A second start must not queue the sensor twice: one stop per world
    // then leaves nothing queued.
    driver.stopWorld(&first);
    EXPECT_TRUE(timerPending());
    fireTimers();
    EXPECT_EQ(a->getTickCount() * 10 + b->getTickCount(), 12u);
    driver.stopWorld(&second);
    EXPECT_FALSE(timerPending());

    driver.tickWorlds();
    driver.runWorld(&idle);
    driver.tickWorlds();
    EXPECT_EQ(b->getTickCount() * 10 + c->getTickCount(), 21u);
}

TEST_F(WorldDriver, ATickThatStopsItsOwnWorldShiftsTheRestOfTheWalk) {
    KTWorldDriver driver;
    KTComponentDB worlds[2];
    Ticker* stopper = addTicker(worlds[0], "Stopper");
    Ticker* after = addTicker(worlds[0], "After");
    Ticker* other = addTicker(worlds[1], "Other");
    stopper->driver = &driver;
    stopper->worldToStop = &worlds[0];
    for (KTComponentDB& world : worlds) {
        driver.addWorld(&world);
        driver.runWorld(&world);
    }
    driver.tickWorlds();
    // The stopped world finishes its own walk; a world that came after it
    // moves into its place and misses this tick.
    EXPECT_EQ(log, (std::vector<Ticker*>{stopper, after})); // worlds[1] is above worlds[0]
    driver.tickWorlds();
    EXPECT_EQ(log.back(), other);
    EXPECT_EQ(stopper->getTickCount(), 1u);

    // Stopping the last running world from the sensor's own firing leaves
    // nothing queued.
    driver.stopWorld(&worlds[1]);
    driver.runWorld(&worlds[0]);
    fireTimers();
    EXPECT_EQ(stopper->getTickCount(), 2u);
    EXPECT_FALSE(KTWorldDriverAccess::sensor(driver)->isScheduled());
}

TEST_F(WorldDriver, CopiesOwnTheirSensorsAndOutliveTheirSource) {
    KTComponentDB world;
    Ticker* ticker = addTicker(world, "T");
    auto* original = new KTWorldDriver;
    original->setInterval(0.002);
    original->addWorld(&world);
    original->runWorld(&world);
    KTWorldDriver copy(*original);
    KTWorldDriver assigned, stopped;
    assigned = *original;
    const KTWorldDriver& alias = assigned;
    assigned = alias;
    stopped = assigned;
    stopped.stopWorld(&world);
    EXPECT_NE(KTWorldDriverAccess::sensor(copy), KTWorldDriverAccess::sensor(*original));
    for (KTWorldDriver* driver : {&copy, &assigned, &stopped}) {
        EXPECT_EQ(KTWorldDriverAccess::sensor(*driver)->getInterval(), SbTime(0.002));
        EXPECT_EQ(KTWorldDriverAccess::sensor(*driver)->isScheduled(), driver != &stopped);
    }
    EXPECT_EQ(stopped.containsWorld(&world), 1);

    delete original;
    fireTimers(); // the copies fire through their own sensors
    EXPECT_EQ(ticker->getTickCount(), 2u);
    copy.stopWorld(&world);
    assigned = stopped; // a stopped world: the target unschedules its own sensor
    EXPECT_FALSE(timerPending());
}

namespace {

using WorldDriverPlayers = ktrt_test::TimedPlayback;

struct FakeClock {
    static SbTime now(void* data) { return static_cast<FakeClock*>(data)->time; }
    SbTime time{100.0};
};

} // namespace

// The driver advances its players by the clock's time between firings: at
// 1/240 s and at 1/30 s per firing the lid reaches the same pose at the same
// time, and the loops are reported alike.
TEST_F(WorldDriverPlayers, PlaysByElapsedTimeWhateverTheTimerPeriod) {
    const double periods[] = {1.0 / 240.0, 1.0 / 30.0};
    float reached[2][4] = {};
    int events[2][2] = {};
    for (int p = 0; p < 2; ++p) {
        FakeClock clock;
        KTWorldDriver driver;
        driver.setClock(FakeClock::now, &clock);
        driver.setInterval(periods[p]);
        KTAnimationPlayer looping(component, &animation, 1.0);
        looping.setCallback(ktrt_test::countEvents, events[p]);
        looping.play();
        ASSERT_EQ(driver.addPlayer(&world, &looping), 1);
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
    EXPECT_TRUE(
        ktrt_test::sameRotation(longNode->rotation.getValue(), ktrt_test::tilted, 1.3 * 90));
}
