#include <ktrt/snapshot/KTWorldState.h>

#include <memory>

#include <Inventor/VRMLnodes/SoVRMLMaterial.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>

#include "SnapshotTestSupport.h"

namespace {

using WorldState = SnapshotTest;

SoTransform* transformOf(KTComponent* component) {
    return static_cast<SoTransform*>(component->getPart("transform", TRUE));
}

float speedOf(KTComponent* component) {
    return static_cast<KTFloatAttribute*>(component->getAttribute("speed"))->getValue();
}

// A world of two components, each with a position, a speed and behaviors.
struct TwoComponents {
    TwoComponents() {
        for (const char* name : {"door", "lamp"}) {
            KTComponent* component = world.addComponent(name);
            transformOf(component)->translation.setValue(1, 2, 3);
            component->addAttribute(new KTFloatAttribute("speed", 1.0f));
            component->addBehavior("open", 0);
            component->addBehavior("glow", 1);
            component->activateBehavior("open", 0);
        }
        door = world.getComponent("door");
        lamp = world.getComponent("lamp");
    }
    // Moves both components away from the snapshot's values.
    void change() {
        for (KTComponent* component : {door, lamp}) {
            transformOf(component)->translation.setValue(9, 9, 9);
            static_cast<KTFloatAttribute*>(component->getAttribute("speed"))->setValue(5.0f);
        }
    }

    RecordingWorld world;
    KTComponent* door;
    KTComponent* lamp;
};

// A component whose kit can be told to hand out no transform part.
class BareComponent : public KTComponent {
public:
    SoNode* getPart(const SbName& part, SbBool makeIfNeeded) override {
        if (hideTransform && part == "transform")
            return nullptr;
        return KTComponent::getPart(part, makeIfNeeded);
    }
    bool hideTransform = true;
};

} // namespace

TEST_F(WorldState, NullAndForeignWorldsAreIgnoredAndEqualityComparesTheWorldTakenFrom) {
    TwoComponents scene, lookalike;
    KTWorldState state, other;
    EXPECT_EQ(state == other, 1);
    state.makeSnapshot(&scene.world);
    EXPECT_EQ(state == other, 0);
    other.makeSnapshot(&lookalike.world);
    EXPECT_EQ(state == other, 0);
    state.makeSnapshot(nullptr);
    scene.change();
    lookalike.change();
    state.restoreFromSnapshot(nullptr);
    state.restoreFromSnapshot(&lookalike.world);
    EXPECT_EQ(transformOf(lookalike.door)->translation.getValue(), SbVec3f(9, 9, 9));
    EXPECT_EQ(speedOf(lookalike.lamp), 5.0f);

    // The null snapshot kept the entries and the world.
    other.makeSnapshot(&scene.world);
    EXPECT_EQ(state == other, 1);
    state.restoreFromSnapshot(&scene.world);
    EXPECT_EQ(transformOf(scene.door)->translation.getValue(), SbVec3f(1, 2, 3));
    EXPECT_EQ(speedOf(scene.lamp), 1.0f);
}

TEST_F(WorldState, RestorePutsBackTransformsValuesAndBehaviors) {
    TwoComponents scene;
    KTWorldState state;
    state.makeSnapshot(&scene.world);
    scene.change();
    scene.door->deactivateBehavior("open", 0);
    scene.door->activateBehavior("glow", 0);
    transformOf(scene.door)->scaleFactor.setValue(2, 2, 2);

    state.restoreFromSnapshot(&scene.world);
    EXPECT_EQ(transformOf(scene.door)->translation.getValue(), SbVec3f(1, 2, 3));
    EXPECT_EQ(transformOf(scene.door)->scaleFactor.getValue(), SbVec3f(1, 1, 1));
    EXPECT_EQ(speedOf(scene.door), 1.0f);
    EXPECT_EQ(speedOf(scene.lamp), 1.0f);
    // Active when snapped: activated again through the world, by entry name.
    EXPECT_EQ(scene.door->getBehavior("open").isActive(), 1);
    EXPECT_EQ(scene.world.calls, (std::vector<std::string>{"door.open", "lamp.open"}));
    EXPECT_EQ(scene.door->getBehavior("glow").isActive(), 1); // inactive when snapped

    // A copy restores the same, after its source is gone.
    scene.change();
    KTWorldState assigned;
    assigned = KTWorldState(state);
    state = KTWorldState();
    assigned.restoreFromSnapshot(&scene.world);
    EXPECT_EQ(transformOf(scene.lamp)->translation.getValue(), SbVec3f(1, 2, 3));
    EXPECT_EQ(speedOf(scene.lamp), 1.0f);
}

TEST_F(WorldState, ComponentsDeletedAddedOrRenamedAfterTheSnapshot) {
    TwoComponents scene;
    KTWorldState state;
    state.makeSnapshot(&scene.world);
    scene.change();
    scene.world.removeComponent(scene.door);
    scene.lamp->setName("bulb");
    KTComponent* added = scene.world.addComponent("door2");
    transformOf(added)->translation.setValue(7, 7, 7);
    KTComponent* reborn = scene.world.addComponent("door");
    reborn->addAttribute(new KTStringAttribute("speed", "fast"));

    state.restoreFromSnapshot(&scene.world);
    EXPECT_EQ(transformOf(scene.lamp)->translation.getValue(), SbVec3f(9, 9, 9));
    EXPECT_EQ(speedOf(scene.lamp), 5.0f);
    EXPECT_EQ(transformOf(added)->translation.getValue(), SbVec3f(7, 7, 7));
    // A new component of the snapped name gets the transform; its attribute of
    // another class keeps its value, and behaviors it lacks are skipped.
    EXPECT_EQ(transformOf(reborn)->translation.getValue(), SbVec3f(1, 2, 3));
    EXPECT_EQ(static_cast<KTStringAttribute*>(reborn->getAttribute("speed"))->getValue(), "fast");
    EXPECT_FALSE(reborn->getBehavior("open").isValid());

    // A second snapshot replaces the entries.
    state.makeSnapshot(&scene.world);
    transformOf(scene.lamp)->translation.setValue(0, 0, 0);
    scene.world.removeComponent(reborn);
    state.restoreFromSnapshot(&scene.world);
    EXPECT_EQ(transformOf(scene.lamp)->translation.getValue(), SbVec3f(9, 9, 9));
}

TEST_F(WorldState, EmptyWorldsAndTheSceneFollowUpAreLeftAlone) {
    KTComponentDB empty;
    KTWorldState state;
    state.makeSnapshot(&empty);
    KTComponent* late = empty.addComponent("late");
    transformOf(late)->translation.setValue(4, 4, 4);
    state.restoreFromSnapshot(&empty);
    EXPECT_EQ(transformOf(late)->translation.getValue(), SbVec3f(4, 4, 4));

    // A world restore writes colour values but recolours no scene nodes.
    KTComponentDB world;
    KTComponent* painted = world.addComponent("painted");
    painted->addAttribute(new KTColorAttribute("tint", SbColor(1, 0, 0)));
    SoVRMLMaterial* material = new SoVRMLMaterial;
    static_cast<SoSeparator*>(painted->getPart("geometry", TRUE))->addChild(material);
    state.makeSnapshot(&world);
    static_cast<KTColorAttribute*>(painted->getAttribute("tint"))->setValue(SbColor(0, 1, 0));
    state.restoreFromSnapshot(&world);
    EXPECT_EQ(static_cast<KTColorAttribute*>(painted->getAttribute("tint"))->getValue(),
              SbColor(1, 0, 0));
    EXPECT_EQ(material->diffuseColor.getValue(), SbColor(0.8f, 0.8f, 0.8f));
}

TEST_F(WorldState, AComponentWithoutTransformPartKeepsThePreviousComponentsTransform) {
    TwoComponents scene;
    scene.world.removeComponent(scene.lamp);
    auto* bare = new BareComponent;
    bare->setName("bare");
    scene.world.addComponent(bare);
    KTWorldState state;
    state.makeSnapshot(&scene.world);

    // The bare entry holds the door's transform, which a restore puts into the
    // transform part the component hands out by then.
    bare->hideTransform = false;
    state.restoreFromSnapshot(&scene.world);
    EXPECT_EQ(transformOf(bare)->translation.getValue(), SbVec3f(1, 2, 3));
}
