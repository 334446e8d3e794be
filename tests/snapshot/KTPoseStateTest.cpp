#include <ktrt/snapshot/KTPoseState.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/animation/KTAnimationPlayer.h>
#include <ktrt/world/KTAnimationPlayback.h>
#include <ktrt/world/KTWorldAnimations.h>

#include <gtest/gtest.h>

#include "../animation/TimedPlaybackFixture.h"

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
