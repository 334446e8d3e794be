#include <ktrt/snapshot/KTPoseState.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/playback/KTAnimationAction.h>
#include <ktrt/playback/KTAnimationMixer.h>
#include <ktrt/playback/KTAnimationPlayer.h>
#include <ktrt/world/KTAnimationPlayback.h>
#include <ktrt/world/KTWorldAnimations.h>

#include <gtest/gtest.h>

#include "../playback/TimedPlaybackFixture.h"

using PoseStateOfAMixer = ktrt_test::TimedPlayback;

TEST(KTPoseStateValidity, NullPlayersAndEmptySetsRecordNothing) {
    KTPoseState state, other;
    EXPECT_EQ(state.addPlayer(nullptr), 0);
    state.makeSnapshot(KTWorldAnimations());
    state.restoreFromSnapshot();
    EXPECT_EQ(state.getNumPlayers(), 0u);
    EXPECT_EQ(state == other, 1);
    KTAnimationPlayer unbound;
    EXPECT_EQ(other.addPlayer(&unbound), 1);
    EXPECT_EQ(state == other, 0);
}

// The pose state taken while the example world plays puts back the lid's
// transform bit for bit and the player's time and mode.
TEST(PoseState, RestoresThePlayersAndTheirPartsBitForBit) {
    KTComponentLibrary::init();
    KTAnimationPlayback::initClass();
    KTRegistryLoader::RegisterAnimation("chest", KTRT_SOURCE_DIR "/examples/chest.kta");
    KTComponentDB world;
    ASSERT_EQ(world.readWorld(KTRT_SOURCE_DIR "/examples/chest-play.iv"), 1);
    KTWorldAnimations animations(&world);
    KTAnimationPlayer* player = animations.getPlayer("Chest");
    ASSERT_NE(player, nullptr);
    SoTransform* lid = ktrt_test::transformOf(world.getComponent("Chest")->getLogicalPart("Lid"));

    player->advance(1.3);
    KTPoseState pose;
    pose.makeSnapshot(animations);
    const SbRotation turned = lid->rotation.getValue();
    player->pause();
    player->setSpeed(-3);
    player->advance(0.4);
    player->seek(0.2);
    lid->scaleFactor.setValue(2, 2, 2);
    KTPoseState copy(pose);
    pose = KTPoseState();
    copy.restoreFromSnapshot();
    EXPECT_EQ(lid->rotation.getValue(), turned);
    EXPECT_EQ(lid->scaleFactor.getValue(), SbVec3f(1, 1, 1));
    EXPECT_EQ(player->getTime(), 1.3);
    EXPECT_EQ(player->getSpeed(), 1.0);
    EXPECT_TRUE(player->isPlaying());
    player->resetState();
    EXPECT_EQ(lid->rotation.getValue(), SbRotation::identity());
}

// A mixer in the middle of a crossfade: the pose state puts back its actions'
// times, weights and fades and its parts' transforms, so the next tick plays
// on as if nothing had happened in between; nothing is restored once the
// component left its world.
TEST_F(PoseStateOfAMixer, RestoresTheActionsAndThePartsAndSkipsAGoneComponent) {
    KTAnimationMixer mixer(component);
    KTAnimationAction* a = mixer.addAction(&animation);
    KTAnimationAction* b = mixer.addAction(&animation);
    b->setSpeed(-1.0);
    a->play();
    a->crossFadeTo(*b, 1.0, 1);
    mixer.advance(0.25);
    KTPoseState pose;
    EXPECT_EQ(pose.addMixer(nullptr), 0);
    ASSERT_EQ(pose.addMixer(&mixer), 1);
    EXPECT_EQ(pose.getNumMixers(), 1u);
    const SbVec3f at = longNode->translation.getValue();
    mixer.advance(0.3);
    KTAnimationMixer expected(mixer); // what a second tick of 0.3 s gives
    b->stop();
    a->setWeight(0.1);
    longNode->scaleFactor.setValue(2, 2, 2);

    pose.restoreFromSnapshot();
    EXPECT_EQ(longNode->translation.getValue(), at);
    EXPECT_EQ(longNode->scaleFactor.getValue(), SbVec3f(1, 1, 1));
    EXPECT_EQ(a->getTime(), 0.25);
    EXPECT_EQ(a->getWeight(), 1.0);
    EXPECT_EQ(b->getEffectiveWeight(), 0.25);
    mixer.advance(0.3);
    expected.advance(0.0);
    EXPECT_EQ(mixer.getPose() == expected.getPose(), 1);

    component->ref();
    world.removeComponent(component);
    a->stop();
    pose.restoreFromSnapshot();
    EXPECT_EQ(a->isActive(), 0) << "a component gone: nothing restored";
    component->unref();
}
