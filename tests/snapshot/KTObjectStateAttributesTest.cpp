#include <ktrt/snapshot/KTObjectState.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <Inventor/VRMLnodes/SoVRMLImageTexture.h>
#include <Inventor/errors/SoDebugError.h>
#include <Inventor/VRMLnodes/SoVRMLMaterial.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoSwitch.h>
#include <ktrld/ktrld.h>

#include "SnapshotTestSupport.h"

namespace fs = std::filesystem;

namespace {

using AttributeCapture = SnapshotTest;

SoSeparator* geometryOf(SoBaseKit* kit) {
    return static_cast<SoSeparator*>(kit->getPart("geometry", TRUE));
}

SoMFString strings(std::initializer_list<const char*> values) {
    SoMFString field;
    int i = 0;
    for (const char* value : values)
        field.set1Value(i++, value);
    return field;
}

void quiet(const SoError*, void*) {}

// A component whose scene holds target nodes of class T at several depths:
// in its geometry, in a nested separator, in a logical part and a part nested
// in it, and under a switch that selects no child; plus one node outside it.
template <class T> struct Scene {
    Scene() : root(new SoSeparator) {
        root->ref();
        // The texture files named in the tests do not exist: Coin's warnings
        // that it cannot read them are not wanted in the test output.
        SoDebugError::setHandlerCallback(quiet, nullptr);
        component = world.addComponent("chair");
        root->addChild(component);
        auto add = [this](SoGroup* group) {
            T* node = new T;
            group->addChild(node);
            targets.push_back(node);
        };
        add(geometryOf(component));
        SoSeparator* nested = new SoSeparator;
        geometryOf(component)->addChild(nested);
        add(nested);
        KTPart* seat = component->addLogicalPart("seat");
        add(geometryOf(seat));
        add(geometryOf(component->addLogicalPart("cushion", seat)));
        SoSwitch* off = new SoSwitch;
        off->whichChild.setValue(SO_SWITCH_NONE);
        geometryOf(component)->addChild(off);
        add(off);
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

class AttributeRestore : public SnapshotTest {
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
    // Makes the directory `relative` below the test's base and returns its path.
    std::string directory(const char* relative) {
        const fs::path path = base / relative;
        fs::create_directories(path);
        return path.string();
    }

    fs::path previous;
    fs::path base;
};

} // namespace

TEST_F(AttributeCapture, NullComponentsAndEmptyCollectionsDoNothing) {
    KTObjectState state;
    KTAttributeState kept;
    kept.setName("kept");
    state.addAttributeState(kept);
    state.restoreAttributes(nullptr);
    state.setAttributes(nullptr);
    EXPECT_EQ(state.numAttributeStates(), 0u);

    KTComponentDB world;
    KTComponent* component = world.addComponent("c");
    component->addAttribute(new KTFloatAttribute("speed", 1.0f));
    state.restoreAttributes(component);
    EXPECT_EQ(static_cast<KTFloatAttribute*>(component->getAttribute("speed"))->getValue(), 1.0f);
}

TEST_F(AttributeCapture, EveryClassInSortedOrderWithItsCodeAndValue) {
    KTComponentDB world;
    KTComponent* component = world.addComponent("c");
    int marker = 0;
    component->addAttribute(new KTVoidPointerAttribute("j", &marker));
    component->addAttribute(new KTVec3fAttribute("i", SbVec3f(1, 2, 3)));
    component->addAttribute(new KTTimeAttribute("h", SbTime(5.0)));
    component->addAttribute(new KTStringAttribute("g", "text"));
    component->addAttribute(new KTRotationAttribute("f", SbRotation(SbVec3f(0, 0, 1), 0.5f)));
    component->addAttribute(new KTMFStringAttribute("e", strings({"x", "y"})));
    component->addAttribute(new KTFloatAttribute("d", 0.75f));
    component->addAttribute(new KTColorAttribute("c", SbColor(0.1f, 0.2f, 0.3f)));
    component->addAttribute(new KTBoolAttribute("b", 3));
    component->addAttribute(new KTCounterAttribute("a", 9.0f));

    KTObjectState state;
    state.addAttributeState(KTAttributeState());
    state.setAttributes(component);
    ASSERT_EQ(state.numAttributeStates(), 10u);
    KTAttributeState s[10];
    for (unsigned int i = 0; i < 10; ++i) {
        ASSERT_TRUE(state.getAttributeStateAt(i, s[i]));
        EXPECT_EQ(s[i].getName(), RWCString(std::string(1, char('a' + i))));
        EXPECT_EQ(s[i].getType(), static_cast<KTAttributeState::AttributeType>(i)) << i;
    }
    EXPECT_EQ(s[0].getFloatValue(), 0.0f); // another class: no value taken
    EXPECT_EQ(s[1].getBoolValue(), 3);
    EXPECT_EQ(s[2].getColorValue(), SbColor(0.1f, 0.2f, 0.3f));
    EXPECT_EQ(s[3].getFloatValue(), 0.75f);
    EXPECT_EQ(s[4].getStringValue(), "x");
    EXPECT_TRUE(s[5].getRotValue() == SbRotation(SbVec3f(0, 0, 1), 0.5f));
    EXPECT_EQ(s[6].getStringValue(), "text");
    EXPECT_EQ(s[7].getTimeValue(), SbTime(5.0));
    EXPECT_EQ(s[8].getVec3fValue(), SbVec3f(1, 2, 3));
    EXPECT_EQ(s[9].getVoidPtrValue(), &marker);
}

TEST_F(AttributeCapture, MultipleStringListsGiveTheirFirstStringAndGetOneWhenEmpty) {
    KTComponentDB world;
    KTComponent* component = world.addComponent("c");
    component->addAttribute(new KTMFStringAttribute("empty"));
    component->addAttribute(new KTMFStringAttribute("list", strings({"x", "y"})));

    KTObjectState state;
    state.setAttributes(component);
    KTAttributeState empty;
    ASSERT_TRUE(state.getAttributeState("EMPTY", empty));
    EXPECT_EQ(empty.getType(), KTAttributeState::MFSTRING_TYPE);
    EXPECT_EQ(empty.getStringValue(), "");
    auto* live = static_cast<KTMFStringAttribute*>(component->getAttribute("empty"));
    ASSERT_EQ(live->getActualValue().getNum(), 1);
    EXPECT_EQ(live->getActualValue()[0], SbString(""));

    auto* list = static_cast<KTMFStringAttribute*>(component->getAttribute("list"));
    list->setValue(strings({"p", "q", "r"}));
    state.restoreAttributes(component);
    ASSERT_EQ(list->getActualValue().getNum(), 3);
    EXPECT_EQ(list->getActualValue()[0], SbString("x"));
    EXPECT_EQ(list->getActualValue()[1], SbString("q"));
    EXPECT_EQ(list->getActualValue()[2], SbString("r"));
}

TEST_F(AttributeRestore, TypeMismatchesAndMissingAttributesWriteNothing) {
    KTComponentDB world;
    KTComponent* component = world.addComponent("c");
    component->addAttribute(new KTFloatAttribute("speed", 1.0f));
    component->addAttribute(new KTStringAttribute("label", "before"));
    component->addAttribute(new KTFloatAttribute("untouched", 4.0f));

    KTObjectState state;
    state.setAttributes(component);
    state.removeAttributeState("untouched");
    component->removeAttribute("speed");
    component->addAttribute(new KTStringAttribute("speed", "now a string"));
    static_cast<KTStringAttribute*>(component->getAttribute("label"))->setValue("after");
    static_cast<KTFloatAttribute*>(component->getAttribute("untouched"))->setValue(5.0f);
    component->removeAttribute("label");
    component->addAttribute(new KTStringAttribute("label", "fresh"));

    state.restoreAttributes(component);
    EXPECT_EQ(static_cast<KTStringAttribute*>(component->getAttribute("speed"))->getValue(),
              "now a string");
    EXPECT_EQ(static_cast<KTStringAttribute*>(component->getAttribute("label"))->getValue(),
              "before");
    EXPECT_EQ(static_cast<KTFloatAttribute*>(component->getAttribute("untouched"))->getValue(),
              5.0f);
}

TEST_F(AttributeRestore, ColourReachesEveryMaterialBelowTheComponentOnly) {
    Scene<SoVRMLMaterial> scene;
    scene.component->addAttribute(new KTColorAttribute("tint", SbColor(1, 0, 0)));
    KTObjectState state;
    state.setAttributes(scene.component);
    static_cast<KTColorAttribute*>(scene.component->getAttribute("tint"))
        ->setValue(SbColor(0, 1, 0));

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
    EXPECT_EQ(static_cast<KTColorAttribute*>(scene.component->getAttribute("tint"))->getValue(),
              SbColor(1, 0, 0));
    EXPECT_EQ(scene.outside->diffuseColor.getValue(), SbColor(0.8f, 0.8f, 0.8f));
}

TEST_F(AttributeRestore, ColourOfAnotherCodeKeepsTheAttributeAndPaintsItsCurrentValue) {
    Scene<SoVRMLMaterial> scene;
    scene.component->addAttribute(new KTColorAttribute("tint", SbColor(0, 0, 1)));
    scene.component->addAttribute(new KTColorAttribute("zone", SbColor(1, 1, 0)));
    KTObjectState state;
    KTAttributeState notAColour;
    notAColour.setName("tint");
    notAColour.setType(KTAttributeState::FLOAT_TYPE);
    notAColour.setColorValue(SbColor(1, 0, 0));
    state.addAttributeState(notAColour);
    state.restoreAttributes(scene.component);
    EXPECT_EQ(static_cast<KTColorAttribute*>(scene.component->getAttribute("tint"))->getValue(),
              SbColor(0, 0, 1));
    for (SoVRMLMaterial* material : scene.targets)
        EXPECT_EQ(material->diffuseColor.getValue(), SbColor(0, 0, 1));

    // With two colour attributes the last one in the collection wins.
    state.setAttributes(scene.component);
    state.restoreAttributes(scene.component);
    for (SoVRMLMaterial* material : scene.targets)
        EXPECT_EQ(material->diffuseColor.getValue(), SbColor(1, 1, 0));
}

TEST_F(AttributeRestore, TextureUrlSetsTheFirstUrlOfEveryImageTexture) {
    Scene<SoVRMLImageTexture> scene;
    for (SoVRMLImageTexture* texture : scene.targets)
        texture->url = strings({"old.png", "second.png"});
    // Letter case counts for the texture step.
    scene.component->addAttribute(new KTMFStringAttribute("TextureUrl", strings({"other.png"})));
    KTObjectState state;
    state.setAttributes(scene.component);
    state.restoreAttributes(scene.component);
    for (SoVRMLImageTexture* texture : scene.targets)
        EXPECT_EQ(texture->url[0], SbString("old.png"));

    scene.component->addAttribute(new KTMFStringAttribute("textureUrl", strings({"wood.png"})));
    state.setAttributes(scene.component);
    state.restoreAttributes(scene.component);
    for (SoVRMLImageTexture* texture : scene.targets) {
        ASSERT_EQ(texture->url.getNum(), 2);
        EXPECT_EQ(texture->url[0], SbString("wood.png"));
        EXPECT_EQ(texture->url[1], SbString("second.png"));
    }
    EXPECT_EQ(scene.outside->url.getNum(), 0);
    // The geometry is unknown: the current directory stays where it was.
    EXPECT_EQ(fs::current_path(), previous);
}

TEST_F(AttributeRestore, TextureStepWritesNothingWithoutAStringList) {
    Scene<SoVRMLImageTexture> scene;
    for (SoVRMLImageTexture* texture : scene.targets)
        texture->url = strings({"old.png"});
    KTObjectState state;
    KTAttributeState unwritten;
    unwritten.setName("textureUrl");
    state.addAttributeState(unwritten);

    scene.component->addAttribute(new KTMFStringAttribute("textureUrl"));
    state.restoreAttributes(scene.component);
    scene.component->removeAttribute("textureUrl");
    scene.component->addAttribute(new KTStringAttribute("textureUrl", "wood.png"));
    state.restoreAttributes(scene.component);
    for (SoVRMLImageTexture* texture : scene.targets)
        EXPECT_EQ(texture->url[0], SbString("old.png"));
}

TEST_F(AttributeRestore, GeometryLocationBecomesTheCurrentDirectory) {
    const std::string long85(81, 'a');
    struct Case {
        std::string file;        // the component's geometry file
        std::string key;         // the name the geometry is registered under
        std::string localFolder; // folder of the registered local path
        std::string localFile;   // file name ending the local path
        std::string expectedFolder;
    } cases[] = {
        {"chair.wrl", "chair", "a", "CHAIR.WRL", "a"},
        {"chair.WRL", "chair", "b", "chair.wrl", "b"},
        {"chair.iv", "chair.iv", "c", "chair.iv", "c"},
        {"chair.vrml", "chair.vrml", "d", "chair.vrml", "d"},
        {"chair", "chair", "e", "chair", "e"},
        {"chair.abc", "chair.abc", "f", "chair.abc", "f"},
        {long85 + ".wrl", std::string(79, 'a'), "g", "", "g"},
        // The local path does not hold the file name: it is used whole.
        {"chair.wrl", "chair", "h/whole", "", "h/whole"},
    };
    for (const Case& c : cases) {
        KTRegistryLoader::ClearRegistry();
        const std::string folder = directory(c.localFolder.c_str());
        KTRegistryLoader::RegisterGeometry(c.key.c_str(), (folder + "/" + c.localFile).c_str());
        fs::current_path(previous);

        Scene<SoVRMLImageTexture> scene;
        scene.component->setGeometryFile(c.file.c_str());
        scene.component->addAttribute(new KTMFStringAttribute("textureUrl", strings({"t.png"})));
        KTObjectState state;
        state.setAttributes(scene.component);
        state.restoreAttributes(scene.component);
        EXPECT_EQ(fs::current_path(), fs::canonical(base / c.expectedFolder)) << c.file;
        EXPECT_EQ(scene.targets.front()->url[0], SbString("t.png"));
    }
}
