// What a host may delete while the library holds on to it, also from inside
// a callback of what it deletes: a component removed from its world or
// deleted while players, pose states and a driver are bound to it, and
// players and mixers deleted by the host or by KTWorldAnimations while a
// driver and a pose state hold them. Nothing here may touch freed memory (the
// sanitizer build and valgrind watch that); the checks say that nothing is
// written into a component that is gone.
#include <memory>

#include <Inventor/SbTime.h>
#include <Inventor/nodes/SoGroup.h>
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

namespace {

// What a callback does to the player or mixer that calls it, a host's or one
// of the world's.
enum Deed { DELETE_IT, DELETE_ITS_COMPONENT, RELOAD_THE_WORLD };
enum Target { HOST_MIXER, HOST_PLAYER, WORLD_MIXER, WORLD_PLAYER };

struct Scene {
    static void onMixer(void* data, KTAnimationMixer*, KTAnimationAction*,
                        KTAnimationAction::Event) {
        static_cast<Scene*>(data)->act();
    }
    static void onPlayer(void* data, KTAnimationPlayer*, KTAnimationPlayer::Event) {
        static_cast<Scene*>(data)->act();
    }
    void act() {
        ++calls;
        if (deed == DELETE_IT) {
            mixer.reset();
            player.reset();
        } else if (deed == DELETE_ITS_COMPONENT) {
            world.removeComponent(chest); // the world held the last reference
        } else {
            animations.load(&world);
        }
    }

    KTComponentDB world;
    KTComponent* chest = nullptr;
    KTComponentAnimation animation;
    KTWorldAnimations animations;
    std::unique_ptr<KTAnimationMixer> mixer;
    std::unique_ptr<KTAnimationPlayer> player;
    Deed deed = DELETE_IT;
    int calls = 0;
};

} // namespace

// A callback may delete the player or mixer that calls it, delete its
// component or reload the world's animations, from a driver's firing or a
// direct advance(), while a pose state records it; the step loops several
// times, so the caller would go on after the first callback if it could.
TEST_F(Lifetime, ACallbackMayDeleteWhatCalledIt) {
    KTAnimationPlayback::initClass();
    KTRegistryLoader::RegisterAnimation("chest", KTRT_SOURCE_DIR "/examples/chest.kta");
    const struct Row {
        Target target;
        Deed deed;
    } rows[] = {
        {HOST_MIXER, DELETE_IT},
        {HOST_PLAYER, DELETE_IT},
        {HOST_MIXER, DELETE_ITS_COMPONENT},
        {HOST_PLAYER, DELETE_ITS_COMPONENT},
        {WORLD_MIXER, RELOAD_THE_WORLD},
        {WORLD_PLAYER, RELOAD_THE_WORLD},
        {WORLD_MIXER, DELETE_ITS_COMPONENT},
    };
    for (const Row& row : rows) {
        for (const bool byDriver : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "target " << row.target << ", deed " << row.deed
                                              << (byDriver ? ", driver" : ", advance()"));
            Scene scene;
            scene.deed = row.deed;
            scene.chest = scene.world.addComponent("Chest");
            scene.chest->addLogicalPart("Lid");
            scene.animation.addPartAnimation(lidTrack());
            for (int node = 0; node < (row.target == WORLD_MIXER ? 2 : 1); ++node) {
                auto* playback = new KTAnimationPlayback;
                playback->animation = "chest";
                static_cast<SoGroup*>(scene.chest->getPart("geometry", TRUE))->addChild(playback);
            }
            scene.animations.load(&scene.world);
            KTAnimationMixer* mixer = scene.animations.getMixer(0u);
            KTAnimationPlayer* player = scene.animations.getPlayer(0u);
            if (row.target == HOST_MIXER) {
                scene.mixer = std::make_unique<KTAnimationMixer>(scene.chest);
                (mixer = scene.mixer.get())->addAction(&scene.animation)->play();
            } else if (row.target == HOST_PLAYER) {
                scene.player = std::make_unique<KTAnimationPlayer>(scene.chest, &scene.animation);
                (player = scene.player.get())->play();
            }
            if (row.target == HOST_PLAYER || row.target == WORLD_PLAYER)
                mixer = nullptr;
            KTPoseState pose;
            pose.addMixer(mixer);
            pose.addPlayer(mixer ? nullptr : player);
            mixer ? mixer->setCallback(Scene::onMixer, &scene)
                  : player->setCallback(Scene::onPlayer, &scene);

            if (byDriver) {
                driver->addWorld(&scene.world);
                driver->runWorld(&scene.world);
                mixer ? driver->addMixer(&scene.world, mixer)
                      : driver->addPlayer(&scene.world, player);
                tick(0.35);
                tick(0.35);
                driver->removeWorld(&scene.world);
            } else {
                mixer ? mixer->advance(0.35) : player->advance(0.35);
            }
            pose.restoreFromSnapshot();
            EXPECT_GE(scene.calls, 1);
            EXPECT_TRUE(row.deed == DELETE_ITS_COMPONENT || scene.calls == 1)
                << "nothing more from what was deleted: " << scene.calls;
        }
    }
}

// A mixer copied, or a pose state taken, inside a callback after an action
// was removed keeps each action's own fade: asked again for the same
// crossfade, the copy and the restored mixer go on where they stand.
TEST_F(Lifetime, CopiesAndSnapshotsFromCallbacksKeepTheirCrossfades) {
    KTComponentDB world;
    KTComponent* chest = world.addComponent("Chest");
    chest->addLogicalPart("Lid");
    KTComponentAnimation animation;
    animation.addPartAnimation(lidTrack());
    KTAnimationMixer mixer(chest);
    KTAnimationAction* gone = mixer.addAction(&animation);
    KTAnimationAction* from = mixer.addAction(&animation);
    KTAnimationAction* to = mixer.addAction(&animation);
    gone->play();
    from->play();
    from->crossFadeTo(*to, 1.0, 1);
    struct Copier {
        static void copy(void* data, KTAnimationMixer* mixer, KTAnimationAction*,
                         KTAnimationAction::Event) {
            auto* self = static_cast<Copier*>(data);
            if (self->copy_)
                return;
            mixer->removeAction(mixer->getAction(0));
            self->copy_ = std::make_unique<KTAnimationMixer>(*mixer);
            self->pose.addMixer(mixer);
        }
        std::unique_ptr<KTAnimationMixer> copy_;
        KTPoseState pose;
    } copier;
    mixer.setCallback(Copier::copy, &copier);
    mixer.advance(0.25); // the lid loops
    ASSERT_TRUE(copier.copy_);
    ASSERT_EQ(mixer.getNumActions(), 2u);
    KTAnimationMixer& copy = *copier.copy_;
    ASSERT_EQ(copy.getNumActions(), 2u);
    EXPECT_EQ(copy.getAction(0)->getFade(), from->getFade());
    EXPECT_EQ(copy.getAction(1)->getEffectiveSpeed(), to->getEffectiveSpeed());

    mixer.advance(0.5);
    copier.pose.restoreFromSnapshot();
    for (KTAnimationMixer* restored : {&mixer, &copy}) {
        KTAnimationAction* again = restored->getAction(1);
        EXPECT_DOUBLE_EQ(again->getFade(), 0.25);
        restored->getAction(0)->crossFadeTo(*again, 1.0, 1);
        restored->advance(0.25);
        EXPECT_DOUBLE_EQ(again->getFade(), 0.5) << "not started again";
    }
}
