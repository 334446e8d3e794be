// What a host may delete while the library holds on to it: a component
// removed from its world or deleted while players, pose states and a driver
// are bound to it, and players deleted by KTWorldAnimations while a driver
// and a pose state hold them. Nothing here may touch freed memory (the
// sanitizer build and valgrind watch that); the checks say that nothing is
// written into a component that is gone.
#include <memory>

#include <Inventor/SbTime.h>
#include <Inventor/nodes/SoTransform.h>

#include <coinref/CoinRef.h>
#include <ktcp/ktcp.h>
#include <ktrld/KTRegistryLoader.h>

#include <ktrt/playback/KTAnimationMixer.h>
#include <ktrt/playback/KTAnimationPlayer.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/snapshot/KTPoseState.h>
#include <ktrt/world/KTAnimationPlayback.h>
#include <ktrt/world/KTWorldAnimations.h>
#include <ktrt/world/KTWorldDriver.h>

#include <gtest/gtest.h>

namespace {

struct FakeClock {
    static SbTime now(void* data) { return static_cast<FakeClock*>(data)->time; }
    SbTime time{100.0};
};

struct Lifetime : ::testing::Test {
    void SetUp() override {
        KTComponentLibrary::init();
        driver = std::make_unique<KTWorldDriver>();
        driver->setClock(FakeClock::now, &clock);
    }
    void tick(double seconds) {
        clock.time += SbTime(seconds);
        driver->tickWorlds();
    }

    FakeClock clock;
    std::unique_ptr<KTWorldDriver> driver;
};

// A lid that moves from y = 0 to y = 3 and turns about X over three keys.
KTPartAnimation* lidTrack() {
    auto* track = new KTPartAnimation;
    track->setPartName("Lid");
    track->setUsePositions(1);
    track->setUseOrientations(1);
    for (int k = 0; k < 4; ++k)
        track->appendState(new KTAnimationState(0.0, KTVector3(0, k, 0), KTAngle(30.0 * k, 0, 0)));
    return track;
}

} // namespace

// Each row binds a player to a chest, hands it to the driver and records it
// in a pose state, then takes the chest away; afterwards every path that
// wrote its parts writes nothing, and the driver has dropped the player.
TEST_F(Lifetime, AComponentRemovedOrDeletedIsNeverWrittenAgain) {
    enum Ending { REMOVED_AND_DELETED, REMOVED_HOST_KEEPS_IT, DELETED_OUTSIDE_A_WORLD };
    const struct Row {
        const char* what;
        Ending ending;
    } rows[] = {
        {"removed from its world, which held the last reference", REMOVED_AND_DELETED},
        {"removed from its world, the host keeps a reference", REMOVED_HOST_KEEPS_IT},
        {"never in a world, last reference released", DELETED_OUTSIDE_A_WORLD},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        KTComponentDB world;
        coinref::CoinRef<KTComponent> chest(new KTComponent);
        chest->setName("Chest");
        auto* lid =
            static_cast<SoTransform*>(chest->addLogicalPart("Lid")->getPart("transform", TRUE));
        if (row.ending != DELETED_OUTSIDE_A_WORLD)
            world.addComponent(chest.get());
        KTComponentAnimation animation;
        animation.addPartAnimation(lidTrack());
        KTAnimationPlayer player(chest.get(), &animation, 1.0);
        player.play();
        ASSERT_EQ(driver->addWorld(&world), 1);
        ASSERT_EQ(driver->runWorld(&world), 1);
        ASSERT_EQ(driver->addPlayer(&world, &player), 1);
        KTAnimationMixer mixer(chest.get());
        mixer.addAction(&animation)->play();
        ASSERT_EQ(driver->addMixer(&world, &mixer), 1);
        // A mixer the host deletes while the driver holds it.
        auto deleted = std::make_unique<KTAnimationMixer>(chest.get());
        deleted->addAction(&animation)->play();
        ASSERT_EQ(driver->addMixer(&world, deleted.get()), 1);
        tick(0.5);
        deleted.reset(); // the next tick must not touch it
        KTPoseState pose;
        pose.addPlayer(&player);
        tick(0.5);

        if (row.ending == DELETED_OUTSIDE_A_WORLD) {
            chest.reset();
        } else {
            KTComponent* removed = chest.get();
            if (row.ending == REMOVED_AND_DELETED)
                chest.reset();
            ASSERT_EQ(world.removeComponent(removed), 1);
        }
        // Whatever still holds the lid's node (the player, when it keeps it
        // alive) must not write it.
        lid = player.getSampler().getPartTransform(0);
        const SbVec3f at = lid->translation.getValue();

        tick(0.5);
        player.advance(0.5);
        player.seek(2.0);
        player.resetState();
        pose.restoreFromSnapshot();
        mixer.advance(0.5);
        mixer.resetState();
        EXPECT_EQ(lid->translation.getValue(), at);
        EXPECT_EQ(driver->removePlayer(&player), 0); // dropped by the tick
        EXPECT_EQ(driver->removeMixer(&mixer), 0);
        driver->stopWorld(&world);
        driver->removeWorld(&world);
    }
}

// KTWorldAnimations deletes its players when it loads again or goes; the
// driver and a pose state that held them let them go and touch nothing.
TEST_F(Lifetime, PlayersDeletedByTheirWorldAnimationsAreDroppedByTheDriver) {
    KTAnimationPlayback::initClass();
    KTRegistryLoader::RegisterAnimation("chest", KTRT_SOURCE_DIR "/examples/chest.kta");
    KTComponentDB world;
    ASSERT_EQ(world.readWorld(KTRT_SOURCE_DIR "/examples/chest-play.iv"), 1);
    auto* lid = static_cast<SoTransform*>(
        world.getComponent("Chest")->getLogicalPart("Lid")->getPart("transform", TRUE));
    driver->addWorld(&world);
    driver->runWorld(&world);

    KTWorldAnimations animations(&world);
    ASSERT_EQ(animations.getNumPlayers(), 1u);
    ASSERT_EQ(driver->addPlayer(&world, animations.getPlayer(0)), 1);
    tick(0.3);
    KTPoseState pose;
    pose.makeSnapshot(animations);
    tick(0.3);

    ASSERT_EQ(animations.load(&world), 1); // deletes the player the driver holds
    const SbRotation reloaded = lid->rotation.getValue();
    tick(0.3);
    pose.restoreFromSnapshot();
    EXPECT_EQ(lid->rotation.getValue(), reloaded);
    EXPECT_EQ(animations.getPlayer(0)->getTime(), 0.0); // not the driver's

    {
        KTWorldAnimations scoped(&world);
        ASSERT_EQ(driver->addPlayer(&world, scoped.getPlayer(0)), 1);
        tick(0.3);
    }
    tick(0.3);
    driver->stopWorld(&world);
}
