#include <ktrt/world/KTWorldAnimations.h>

#include <cmath>

#include <Inventor/nodes/SoSeparator.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/playback/KTAnimationAction.h>
#include <ktrt/playback/KTAnimationMixer.h>
#include <ktrt/playback/KTAnimationPlayer.h>
#include <ktrt/world/KTAnimationPlayback.h>

#include <gtest/gtest.h>

#include "../keys/AnimationFileFixture.h"
#include "../playback/TimedPlaybackFixture.h"

namespace {

struct WorldAnimations : ::testing::Test {
    void SetUp() override {
        KTComponentLibrary::init();
        KTAnimationPlayback::initClass();
    }
    // A playback node of `animation` in the geometry of a new component.
    KTAnimationPlayback* addPlayback(const char* component, const char* animation) {
        auto* node = new KTAnimationPlayback;
        node->animation = animation;
        KTComponent* added = world.addComponent(component);
        static_cast<SoSeparator*>(added->getPart("geometry", TRUE))->addChild(node);
        return node;
    }
    KTComponentDB world;
};
using KTWorldAnimationsValidity = WorldAnimations;

} // namespace

TEST_F(KTWorldAnimationsValidity, NodesWhoseAnimationFailsAreListedAndPlayNothing) {
    KTWorldAnimations none(nullptr);
    EXPECT_EQ(none.getNumPlayers() + none.getNumFailures(), 0u);
    EXPECT_TRUE(KTWorldAnimations::findPlaybackNodes(nullptr).empty());
    EXPECT_TRUE(KTWorldAnimations::findPlaybackNodesOf(nullptr).empty());

    const ktrt_test::AnimationFile broken("KTAnimation {\n ]\n");
    addPlayback("Unnamed", "");
    addPlayback("Lost", "nowhere");
    addPlayback("Broken", broken.name().c_str());
    EXPECT_EQ(KTWorldAnimations::findPlaybackNodes(&world).size(), 3u);
    KTWorldAnimations animations(&world);
    EXPECT_EQ(animations.getNumPlayers(), 0u);
    EXPECT_EQ(animations.getPlayer(0u), nullptr);
    EXPECT_EQ(animations.getPlayer("Lost"), nullptr);
    ASSERT_EQ(animations.getNumFailures(), 2u);
    EXPECT_EQ(animations.getFailure(0),
              "component \"Lost\": animation \"nowhere\": cannot be read");
    EXPECT_EQ(animations.getFailure(1), "component \"Broken\": animation \"" + broken.name() +
                                            "\": 2: Illegal right brace.:  ]");
    EXPECT_EQ(animations.getFailure(2), "");
}

// A track plays its positions when any key lies off the origin.
TEST_F(WorldAnimations, PositionKeysAreThoseOffTheOrigin) {
    const struct {
        const char* what;
        std::vector<KTVector3> positions;
        int expected;
    } rows[] = {
        {"no keys", {}, 0},
        {"all at the origin", {KTVector3(), KTVector3()}, 0},
        {"negative zero is the origin", {KTVector3(-0.0, 0, -0.0)}, 0},
        {"the last key off the origin", {KTVector3(), KTVector3(0, 0, 1e-30)}, 1},
        {"the first key off the origin", {KTVector3(-1, 0, 0), KTVector3()}, 1},
    };
    KTComponentAnimation animation;
    for (const auto& row : rows) {
        auto* track = new KTPartAnimation;
        track->setPartName(row.what);
        for (const KTVector3& position : row.positions)
            track->appendState(new KTAnimationState(0.0, position, KTAngle()));
        EXPECT_EQ(KTWorldAnimations::hasPositionKeys(*track), row.expected) << row.what;
        animation.addPartAnimation(track);
    }
    KTPartAnimation* noKeys = nullptr;
    animation.getPartAnimation("no keys", noKeys);
    noKeys->setUsePositions(1); // a set flag is left as it is
    EXPECT_EQ(KTWorldAnimations::usePositionKeys(animation), 2u);
    for (const auto& row : rows) {
        KTPartAnimation* track = nullptr;
        animation.getPartAnimation(row.what, track);
        EXPECT_EQ(track->usePositions(), row.expected || track == noKeys) << row.what;
    }
}

// The example world names its animation: the player takes the node's settings
// and the pose at time 0. A second component playing the same animation on a
// cycle of 3 s shares its prepared keys.
TEST_F(WorldAnimations, AWorldFileNamesTheAnimationItsComponentPlays) {
    KTRegistryLoader::RegisterAnimation("chest", KTRT_SOURCE_DIR "/examples/chest.kta");
    ASSERT_EQ(world.readWorld(KTRT_SOURCE_DIR "/examples/chest-play.iv"), 1);
    SoTransform* lid = ktrt_test::transformOf(world.getComponent("Chest")->getLogicalPart("Lid"));
    lid->rotation.setValue(SbVec3f(0, 1, 0), 1.0f);
    addPlayback("Cycled", "chest")->cycleLength = 3.0f;
    world.getComponent("Cycled")->addLogicalPart("Lid");
    KTWorldAnimations animations(&world);
    ASSERT_EQ(animations.getNumPlayers(), 2u);
    KTAnimationPlayer* player = animations.getPlayer("Chest");
    ASSERT_EQ(player, animations.getPlayer(0u));
    KTAnimationPlayer& cycled = *animations.getPlayer("Cycled");
    EXPECT_EQ(cycled.getSampler().getClip(), player->getSampler().getClip());
    EXPECT_EQ(cycled.getSampler().getDuration(), 3.0);
    // chest.kta's keys sit at 0, 0.5 and 1 of the cycle: at 0.3 s a fifth of
    // the way to key 1 (at 30 keys a second, 0.3 s would be past the end).
    cycled.seek(0.3);
    EXPECT_NEAR(cycled.getSampler().getPose().getRotation(0).getValue()[0], std::sin(-0.16 / 2),
                1e-6);
    EXPECT_EQ(player->getWrapMode(), KTAnimationClip::PING_PONG);
    EXPECT_EQ(player->getSampler().getKeyRate(), 2.0);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_TRUE(ktrt_test::sameRotation(lid->rotation.getValue(), SbVec3f(1, 0, 0), 0));

    player->advance(1.3); // ping-pong: 0.7 s into the way back, 1.4 keys
    EXPECT_TRUE(ktrt_test::sameRotation(lid->rotation.getValue(), SbVec3f(1, 0, 0),
                                        -0.8 * 1.4 * 180 / M_PI));
    KTWorldAnimations copy(animations);
    EXPECT_TRUE(copy == animations);
    EXPECT_NE(copy.getPlayer(0u), player);
    EXPECT_EQ(copy.getPlayer(0u)->getTime(), 1.3);
}

// Several playback nodes on one component layer through one mixer: a
// replacing turn of 1 radian a second about X, and half of an additive turn
// of 2 radians a second about X limited to the lid.
TEST_F(WorldAnimations, AComponentWithSeveralPlaybackNodesLayersThemInOneMixer) {
    const ktrt_test::AnimationFile turn("KTAnimation { Children [ KTPartTransform { Name \"Lid\"\n"
                                        " OrientationInterpolator { Key [ 0 1 ]\n"
                                        " KeyValue [ 1 0 0 0, 1 0 0 1 ] } }\n"
                                        " KTPartTransform { Name \"Box\" } ] }\n");
    const ktrt_test::AnimationFile faster("KTAnimation { Children [ KTPartTransform { Name "
                                          "\"Lid\"\n OrientationInterpolator { Key [ 0 1 ]\n"
                                          " KeyValue [ 1 0 0 0, 1 0 0 2 ] } } ] }\n");
    KTAnimationPlayback* base = addPlayback("Chest", turn.name().c_str());
    KTComponent* chest = world.getComponent("Chest");
    SoTransform* lid = ktrt_test::transformOf(chest->addLogicalPart("Lid"));
    chest->addLogicalPart("Box");
    auto* layer = new KTAnimationPlayback;
    layer->animation = faster.name().c_str();
    layer->weight = 0.5f;
    layer->blend = KTAnimationPlayback::ADDITIVE;
    layer->parts.setValue("Lid");
    static_cast<SoSeparator*>(chest->getPart("geometry", TRUE))->addChild(layer);
    for (KTAnimationPlayback* node : {base, layer})
        node->keyRate = 1.0f;

    EXPECT_EQ(KTWorldAnimations::findPlaybackNodesOf(chest).size(), 2u);
    KTWorldAnimations animations(&world);
    EXPECT_EQ(animations.getNumPlayers(), 0u);
    ASSERT_EQ(animations.getNumMixers(), 1u);
    KTAnimationMixer* mixer = animations.getMixer("Chest");
    ASSERT_EQ(mixer, animations.getMixer(0u));
    ASSERT_EQ(mixer->getNumActions(), 2u);
    EXPECT_EQ(mixer->getAction(1)->getBlendMode(), KTAnimationAction::ADDITIVE);
    EXPECT_EQ(mixer->getAction(1)->getWeight(), 0.5);
    EXPECT_EQ(mixer->getAction(1)->getPartWeight("Lid"), 1.0);
    EXPECT_EQ(mixer->getAction(1)->getPartWeight("Box"), 0.0);

    mixer->advance(0.5);
    EXPECT_TRUE(ktrt_test::sameRotation(lid->rotation.getValue(), SbVec3f(1, 0, 0),
                                        (0.5 + 0.5 * 1.0) * 180 / M_PI));

    KTWorldAnimations copy(animations);
    ASSERT_EQ(copy.getNumMixers(), 1u);
    EXPECT_NE(copy.getMixer(0u), mixer);
    EXPECT_EQ(copy.getMixer(0u)->getAction(0)->getTime(), 0.5);
    EXPECT_EQ(animations.load(&world), 1);
    EXPECT_EQ(animations.getMixer("Nobody"), nullptr);
}
