#include <ktrt/snapshot/KTObjectState.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <Inventor/VRMLnodes/SoVRMLImageTexture.h>
#include <Inventor/VRMLnodes/SoVRMLMaterial.h>
#include <Inventor/errors/SoDebugError.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoSwitch.h>

#include <ktrld/ktrld.h>

#include "SnapshotTestSupport.h"

namespace fs = std::filesystem;

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
        for (SoGroup* group :
             {static_cast<SoGroup*>(geometryOf(component)), static_cast<SoGroup*>(nested),
              static_cast<SoGroup*>(off), static_cast<SoGroup*>(geometryOf(seat)),
              static_cast<SoGroup*>(geometryOf(component->addLogicalPart("cushion", seat)))}) {
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
    KTAttributeState notAColour;
    notAColour.setName("tint");
    notAColour.setType(KTAttributeState::FLOAT_TYPE);
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
