#include <ktrt/snapshot/KTWorldState.h>

#include <Inventor/VRMLnodes/SoVRMLMaterial.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>

#include "SnapshotTestSupport.h"

namespace {

using WorldState = SnapshotTest;
using KTWorldStateValidity = SnapshotTest;

SoTransform* transformOf(KTComponent* component) {
    return static_cast<SoTransform*>(component->getPart("transform", TRUE));
}

// A component whose kit hands out no transform part until told otherwise.
class BareComponent : public KTComponent {
public:
    SoNode* getPart(const SbName& part, SbBool makeIfNeeded) override {
        if (hideTransform && part == "transform")
            return nullptr;
        return KTComponent::getPart(part, makeIfNeeded);
    }
    bool hideTransform = true;
};

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
    // Each component's x position and speed.
    std::string seen() {
        std::string text;
        for (KTComponent* component : {door, lamp})
            text +=
                std::to_string(int(transformOf(component)->translation.getValue()[0])) + "/" +
                std::to_string(int(
                    static_cast<KTFloatAttribute*>(component->getAttribute("speed"))->getValue())) +
                " ";
        return text;
    }

    RecordingWorld world;
    KTComponent* door;
    KTComponent* lamp;
};

} // namespace

TEST_F(KTWorldStateValidity, NullAndForeignWorldsAreIgnoredAndEqualityComparesTheWorldTakenFrom) {
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
    EXPECT_EQ(lookalike.seen(), "9/5 9/5 ");

    // The null snapshot kept the entries and the world.
    other.makeSnapshot(&scene.world);
    EXPECT_EQ(state == other, 1);
    state.restoreFromSnapshot(&scene.world);
    EXPECT_EQ(scene.seen(), "1/1 1/1 ");
}

TEST_F(WorldState, RestorePutsBackTransformsValuesAndBehaviorsAlsoFromACopy) {
    TwoComponents scene;
    KTWorldState state;
    state.makeSnapshot(&scene.world);
    scene.change();
    scene.door->deactivateBehavior("open", 0);
    transformOf(scene.door)->scaleFactor.setValue(2, 2, 2);

    state.restoreFromSnapshot(&scene.world);
    EXPECT_EQ(scene.seen(), "1/1 1/1 ");
    EXPECT_EQ(transformOf(scene.door)->scaleFactor.getValue(), SbVec3f(1, 1, 1));
    // Active when snapped: activated again through the world, by entry name.
    EXPECT_EQ(scene.world.calls, (std::vector<std::string>{"door.open", "lamp.open"}));
    EXPECT_EQ(scene.door->getBehavior("open").isActive(), 1);

    // A copy restores the same, after its source is gone.
    scene.change();
    KTWorldState assigned;
    assigned = KTWorldState(state);
    state = KTWorldState();
    assigned.restoreFromSnapshot(&scene.world);
    EXPECT_EQ(scene.seen(), "1/1 1/1 ");
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

TEST_F(WorldState, BareComponentsTakeTheTransformBeforeThemAndTheSceneIsNotRecoloured) {
    KTComponentDB world;
    KTComponent* painted = world.addComponent("painted");
    transformOf(painted)->translation.setValue(1, 2, 3);
    auto* bare = new BareComponent;
    bare->setName("bare");
    world.addComponent(bare);
    painted->addAttribute(new KTColorAttribute("tint", SbColor(1, 0, 0)));
    SoVRMLMaterial* material = new SoVRMLMaterial;
    static_cast<SoSeparator*>(painted->getPart("geometry", TRUE))->addChild(material);
    KTWorldState state;
    state.makeSnapshot(&world);
    static_cast<KTColorAttribute*>(painted->getAttribute("tint"))->setValue(SbColor(0, 1, 0));
    transformOf(painted)->translation.setValue(4, 4, 4);

    // The bare entry holds the transform of the component before it, which a
    // restore puts into the transform part the component hands out by then.
    // A world restore writes colour values but recolours no scene nodes.
    bare->hideTransform = false;
    state.restoreFromSnapshot(&world);
    EXPECT_EQ(transformOf(bare)->translation.getValue(), SbVec3f(1, 2, 3));
    EXPECT_EQ(transformOf(painted)->translation.getValue(), SbVec3f(1, 2, 3));
    EXPECT_EQ(static_cast<KTColorAttribute*>(painted->getAttribute("tint"))->getValue(),
              SbColor(1, 0, 0));
    EXPECT_EQ(material->diffuseColor.getValue(), SbColor(0.8f, 0.8f, 0.8f));
}
