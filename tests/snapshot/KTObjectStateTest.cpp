#include <ktrt/snapshot/KTObjectState.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <Inventor/VRMLnodes/SoVRMLImageTexture.h>
#include <Inventor/VRMLnodes/SoVRMLMaterial.h>
#include <Inventor/errors/SoDebugError.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoSwitch.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktrld/ktrld.h>

#include "SnapshotTestSupport.h"

namespace fs = std::filesystem;

namespace {

using ObjectState = SnapshotTest;
using KTObjectStateValidity = SnapshotTest;

KTAttributeState attributeNamed(const char* name, float value) {
    KTAttributeState state;
    state.setName(name);
    state.setType(KTAttributeState::FLOAT_TYPE);
    state.setFloatValue(value);
    return state;
}

KTBehaviorState behaviorNamed(const char* name, int active) {
    KTBehaviorState state;
    state.setName(name);
    state.setActive(active);
    return state;
}

// Translation and scale, and whether the three other fields are at rest.
std::string transformText(const SoTransform* node) {
    const SbVec3f& t = node->translation.getValue();
    const SbVec3f& s = node->scaleFactor.getValue();
    const bool rest = node->rotation.getValue() == SbRotation::identity() &&
                      node->scaleOrientation.getValue() == SbRotation::identity() &&
                      node->center.getValue() == SbVec3f(0, 0, 0);
    return std::to_string(int(t[0])) + std::to_string(int(t[1])) + std::to_string(int(t[2])) + " " +
           std::to_string(int(s[0])) + std::to_string(int(s[1])) + std::to_string(int(s[2])) +
           (rest ? "" : " moved");
}

} // namespace

TEST_F(KTObjectStateValidity, LookupsIgnoreLetterCaseTakeTheFirstMatchAndMissesLeaveTheOutput) {
    KTObjectState state;
    KTAttributeState attribute = attributeNamed("keep", 3.0f);
    KTBehaviorState behavior = behaviorNamed("keep", 4);
    EXPECT_FALSE(state.getAttributeStateAt(0, attribute) || state.getBehaviorStateAt(0, behavior) ||
                 state.getAttributeState("keep", attribute) ||
                 state.getBehaviorState("keep", behavior) || state.removeAttributeState("keep") ||
                 state.removeBehaviorState("keep"));
    EXPECT_EQ(attribute.getFloatValue(), 3.0f);
    EXPECT_EQ(behavior.active(), 4);

    state.addAttributeState(attributeNamed("Speed", 1.0f));
    state.addAttributeState(attributeNamed("speed", 2.0f));
    state.addBehaviorState(behaviorNamed("Walk", 1));
    state.addBehaviorState(behaviorNamed("WALK", 2));
    EXPECT_FALSE(state.getAttributeStateAt(2, attribute));
    ASSERT_TRUE(state.getAttributeState("SPEED", attribute));
    EXPECT_EQ(attribute.getFloatValue(), 1.0f);
    ASSERT_TRUE(state.removeAttributeState("speed") && state.removeBehaviorState("walk"));
    ASSERT_TRUE(state.getAttributeStateAt(0, attribute) &&
                state.getBehaviorState("Walk", behavior));
    EXPECT_EQ(attribute.getFloatValue() + behavior.active(), 4.0f);
}

TEST_F(ObjectState, CopiesOwnTheirOwnTransformNodeAndClearZeroesTheScale) {
    KTObjectState empty;
    EXPECT_FALSE(empty.transformSet());
    EXPECT_EQ(transformText(empty.getTransform()), "000 111");
    SoTransform* live = new SoTransform;
    live->ref();
    live->translation.setValue(4, 5, 6);
    live->center.setValue(1, 1, 1);

    auto source = std::make_unique<KTObjectState>();
    source->setTransform(live);
    source->addAttributeState(attributeNamed("a", 1.0f));
    source->addBehaviorState(behaviorNamed("b", 1));
    KTObjectState copy(*source);
    KTObjectState assigned;
    assigned = *source;
    const KTObjectState& alias = assigned;
    assigned = alias;
    for (const KTObjectState* state : {source.get(), &copy, &assigned}) {
        EXPECT_EQ(state->getTransform()->getRefCount(), 1);
        EXPECT_TRUE(state->transformSet());
        EXPECT_EQ(transformText(state->getTransform()), "456 111 moved");
        EXPECT_EQ(state->numAttributeStates() + state->numBehaviorStates(), 2u);
    }
    EXPECT_NE(copy.getTransform(), source->getTransform());

    // Changing the copy leaves the source alone; a host reference keeps the
    // source's node alive past its state, which holds no other.
    live->translation.setValue(7, 8, 9);
    copy.setTransform(live);
    const SoTransform* kept = source->getTransform();
    kept->ref();
    source.reset();
    EXPECT_EQ(kept->getRefCount(), 1);
    EXPECT_EQ(kept->translation.getValue(), SbVec3f(4, 5, 6));
    kept->unref();

    // Assigning a state that never captured a transform takes its flag too.
    copy = empty;
    EXPECT_FALSE(copy.transformSet());
    EXPECT_EQ(transformText(copy.getTransform()), "000 111");

    assigned.clear();
    EXPECT_FALSE(assigned.transformSet());
    EXPECT_EQ(assigned.numAttributeStates() + assigned.numBehaviorStates(), 0u);
    assigned.restoreTransform(live);
    assigned.restoreTransform(nullptr);
    EXPECT_EQ(transformText(live), "000 000");
    live->unref();
}

TEST_F(ObjectState, BehaviorCaptureListsEveryBehaviorSortedAndRestoreGoesThroughTheWorld) {
    RecordingWorld world;
    KTComponent* component = world.addComponent("robot");
    component->addBehavior("walk", 1);
    component->addBehavior("wave", 0);
    component->addBehavior("idle", 0);
    component->activateBehavior("idle", 0);
    // Each behavior as name, activity and start-up flag.
    auto captured = [](KTObjectState& state) {
        std::string text;
        KTBehaviorState b;
        for (unsigned int i = 0; state.getBehaviorStateAt(i, b); ++i)
            text += b.getName().std() + std::to_string(b.active()) +
                    std::to_string(b.activatedAtStartup()) + " ";
        return text;
    };
    auto live = [component] {
        std::string text;
        for (const char* name : {"idle", "walk", "wave"})
            text += name + std::to_string(component->getBehavior(name).isActive()) +
                    std::to_string(component->getBehavior(name).isActivatedAtStartup()) + " ";
        return text;
    };
    KTObjectState state;
    state.setBehaviors(component);
    EXPECT_EQ(captured(state), "idle10 walk01 wave00 ");

    // Recorded active: activated through the world; recorded inactive: stays
    // as it is; start-up flags are written; unknown names are skipped.
    state.addBehaviorState(behaviorNamed("gone", 1));
    component->deactivateBehavior("idle", 0);
    component->activateBehavior("wave", 0);
    component->setActivatedAtStartup("walk", 0);
    component->setActivatedAtStartup("wave", 1);
    state.restoreBehaviors(component, &world);
    EXPECT_EQ(world.calls, std::vector<std::string>{"robot.idle"});
    EXPECT_EQ(live(), "idle10 walk01 wave10 ");
    // Without a world the component activates the behavior itself.
    world.calls.clear();
    component->deactivateBehavior("idle", 0);
    state.restoreBehaviors(component, nullptr);
    EXPECT_EQ(component->getBehavior("idle").isActive(), 1);
    component->deactivateBehavior("idle", 0);
    state.restoreBehaviors(nullptr, &world);
    KTObjectState().restoreBehaviors(component, &world);
    EXPECT_EQ(component->getBehavior("idle").isActive(), 0);
    EXPECT_TRUE(world.calls.empty());

    // Capturing a second component replaces the entries; a null transform
    // part keeps the first component's transform.
    KTComponent* other = world.addComponent("other");
    other->addBehavior("c", 0);
    SoTransform* first = new SoTransform;
    first->ref();
    first->translation.setValue(1, 2, 3);
    state.setTransform(first);
    state.setTransform(nullptr);
    state.setBehaviors(other);
    EXPECT_EQ(captured(state), "c00 ");
    EXPECT_EQ(state.getTransform()->translation.getValue(), SbVec3f(1, 2, 3));
    first->unref();
    state.setBehaviors(nullptr);
    EXPECT_EQ(captured(state), "");
}

// Attribute values written into the scene below the component.

namespace {

SoSeparator* geometryOf(SoBaseKit* kit) {
    return static_cast<SoSeparator*>(kit->getPart("geometry", TRUE));
}

SoMFString strings(std::initializer_list<const char*> values) {
    SoMFString field;
    for (const char* value : values)
        field.set1Value(field.getNum(), value);
    return field;
}

template <class A> A* attribute(KTComponent* component, const char* name) {
    return static_cast<A*>(component->getAttribute(name));
}

// A component with target nodes of class T in its geometry, a nested
// separator, a logical part, a part inside that, and under a switch that
// selects no child; plus one node outside the component.
template <class T> struct Scene {
    Scene() : root(new SoSeparator) {
        root->ref();
        // Coin's warnings about the missing texture files are not wanted.
        SoDebugError::setHandlerCallback([](const SoError*, void*) {}, nullptr);
        component = world.addComponent("chair");
        root->addChild(component);
        SoSeparator* nested = new SoSeparator;
        SoSwitch* off = new SoSwitch;
        off->whichChild.setValue(SO_SWITCH_NONE);
        geometryOf(component)->addChild(nested);
        geometryOf(component)->addChild(off);
        KTPart* seat = component->addLogicalPart("seat");
        for (SoGroup* group : std::initializer_list<SoGroup*>{
                 geometryOf(component), nested, off, geometryOf(seat),
                 geometryOf(component->addLogicalPart("cushion", seat))}) {
            targets.push_back(new T);
            group->addChild(targets.back());
        }
        outside = new T;
        root->addChild(outside);
    }
    ~Scene() { root->unref(); }

    KTComponentDB world;
    SoSeparator* root;
    KTComponent* component;
    std::vector<T*> targets;
    T* outside;
};

class ObjectStateAttributes : public SnapshotTest {
protected:
    void SetUp() override {
        previous = fs::current_path();
        char pattern[] = "/tmp/ktrt-snapshot-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        base = fs::canonical(pattern);
        KTRegistryLoader::ClearRegistry();
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(base);
        KTRegistryLoader::ClearRegistry();
    }
    fs::path previous, base;
};

} // namespace

TEST_F(ObjectStateAttributes, StringListsAreCapturedAsTheirFirstStringAndRestoredIntoIt) {
    KTObjectState state;
    state.addAttributeState(KTAttributeState());
    state.setAttributes(nullptr);
    EXPECT_EQ(state.numAttributeStates(), 0u);
    state.restoreAttributes(nullptr);

    // An empty string list is captured as "" and gets that one string.
    KTComponentDB world;
    KTComponent* component = world.addComponent("c");
    component->addAttribute(new KTMFStringAttribute("e", strings({"x", "y"})));
    component->addAttribute(new KTMFStringAttribute("zero"));
    state.setAttributes(component);
    KTAttributeState empty;
    ASSERT_TRUE(state.getAttributeState("ZERO", empty));
    EXPECT_EQ(empty.getStringValue(), "");
    ASSERT_EQ(attribute<KTMFStringAttribute>(component, "zero")->getActualValue().getNum(), 1);
    // Restoring a list replaces its first string only.
    KTMFStringAttribute* list = attribute<KTMFStringAttribute>(component, "e");
    list->setValue(strings({"p", "q", "r"}));
    state.restoreAttributes(component);
    ASSERT_EQ(list->getActualValue().getNum(), 3);
    EXPECT_EQ(list->getActualValue()[0], SbString("x"));
    EXPECT_EQ(list->getActualValue()[2], SbString("r"));
}

TEST_F(ObjectStateAttributes, ColourPaintsEveryMaterialBelowTheComponentWithTheLastColour) {
    Scene<SoVRMLMaterial> scene;
    scene.component->addAttribute(new KTColorAttribute("tint", SbColor(1, 0, 0)));
    KTObjectState state;
    state.setAttributes(scene.component);
    attribute<KTColorAttribute>(scene.component, "tint")->setValue(SbColor(0, 1, 0));
    for (SbBool searching : {FALSE, TRUE}) {
        SoBaseKit::setSearchingChildren(searching);
        for (SoVRMLMaterial* material : scene.targets)
            material->diffuseColor.setValue(0, 0, 0);
        state.restoreAttributes(scene.component);
        EXPECT_EQ(SoBaseKit::isSearchingChildren(), searching);
        for (SoVRMLMaterial* material : scene.targets)
            EXPECT_EQ(material->diffuseColor.getValue(), SbColor(1, 0, 0));
    }
    SoBaseKit::setSearchingChildren(FALSE);
    EXPECT_EQ(scene.outside->diffuseColor.getValue(), SbColor(0.8f, 0.8f, 0.8f));

    // An entry of another code keeps the attribute; the scene gets its value.
    KTAttributeState notAColour = attributeNamed("tint", 0.0f);
    notAColour.setColorValue(SbColor(0, 0, 1));
    KTObjectState other;
    other.addAttributeState(notAColour);
    scene.targets[0]->diffuseColor.setValue(0, 0, 0);
    other.restoreAttributes(scene.component);
    for (SoVRMLMaterial* material : scene.targets)
        EXPECT_EQ(material->diffuseColor.getValue(), SbColor(1, 0, 0));
    // With two colour attributes the last one in the collection wins.
    scene.component->addAttribute(new KTColorAttribute("zone", SbColor(1, 1, 0)));
    state.setAttributes(scene.component);
    state.restoreAttributes(scene.component);
    for (SoVRMLMaterial* material : scene.targets)
        EXPECT_EQ(material->diffuseColor.getValue(), SbColor(1, 1, 0));
}

TEST_F(ObjectStateAttributes, TextureUrlSetsTheFirstUrlOfEveryImageTextureFromAStringList) {
    Scene<SoVRMLImageTexture> scene;
    for (SoVRMLImageTexture* texture : scene.targets)
        texture->url = strings({"old.png", "second.png"});
    // Letter case counts for the texture step.
    scene.component->addAttribute(new KTMFStringAttribute("TextureUrl", strings({"other.png"})));
    KTObjectState state;
    state.setAttributes(scene.component);
    state.restoreAttributes(scene.component);
    EXPECT_EQ(scene.targets[0]->url[0], SbString("old.png"));

    scene.component->addAttribute(new KTMFStringAttribute("textureUrl", strings({"wood.png"})));
    state.setAttributes(scene.component);
    state.restoreAttributes(scene.component);
    for (SoVRMLImageTexture* texture : scene.targets) {
        ASSERT_EQ(texture->url.getNum(), 2);
        EXPECT_EQ(texture->url[0], SbString("wood.png"));
        EXPECT_EQ(texture->url[1], SbString("second.png"));
    }
    EXPECT_EQ(fs::current_path(), previous); // no geometry file: no directory change

    // An empty list or a plain string gives no url.
    KTAttributeState named;
    named.setName("textureUrl");
    KTObjectState unwritten;
    unwritten.addAttributeState(named);
    scene.component->addAttribute(new KTMFStringAttribute("textureUrl"));
    unwritten.restoreAttributes(scene.component);
    scene.component->addAttribute(new KTStringAttribute("textureUrl", "x.png"));
    unwritten.restoreAttributes(scene.component);
    EXPECT_EQ(scene.targets.back()->url[0], SbString("wood.png"));
}

TEST_F(ObjectStateAttributes, GeometryLocationBecomesTheCurrentDirectory) {
    // Geometry file, registered name, folder and file name of the local path,
    // expected directory.
    const struct {
        std::string file, key, folder, localFile, expected;
    } cases[] = {
        {"chair.wrl", "chair", "a", "CHAIR.WRL", "a"},
        {"chair.WRL", "chair", "b", "chair.wrl", "b"},
        {"chair.iv", "chair.iv", "c", "chair.iv", "c"},
        {"chair.vrml", "chair.vrml", "d", "chair.vrml", "d"},
        {"chair", "chair", "e", "chair", "e"},
        {"chair.abc", "chair.abc", "f", "chair.abc", "f"},
        {"my.chair.wrl", "my.chair", "i", "my.chair.wrl", "i"}, // the last dot counts
        {std::string(81, 'a') + ".wrl", std::string(79, 'a'), "g", "", "g"},
        // The local path does not hold the file name: it is used whole.
        {"chair.wrl", "chair", "h/whole", "", "h/whole"},
    };
    for (const auto& c : cases) {
        KTRegistryLoader::ClearRegistry();
        fs::create_directories(base / c.folder);
        KTRegistryLoader::RegisterGeometry(
            c.key.c_str(), ((base / c.folder).string() + "/" + c.localFile).c_str());
        fs::current_path(previous);
        Scene<SoVRMLImageTexture> scene;
        scene.component->setGeometryFile(c.file.c_str());
        scene.component->addAttribute(new KTMFStringAttribute("textureUrl", strings({"t.png"})));
        KTObjectState state;
        state.setAttributes(scene.component);
        state.restoreAttributes(scene.component);
        EXPECT_EQ(fs::current_path(), fs::canonical(base / c.expected)) << c.file;
        EXPECT_EQ(scene.targets.front()->url[0], SbString("t.png"));
    }
}
