#include <ktcp/KTComponentDB.h>

#include <fstream>
#include <string>

#include <ktcp/ktcp.h>

#include <gtest/gtest.h>

namespace {

class Derived : public KTComponent {
public:
    Derived() = default;

protected:
    ~Derived() override = default;
};

std::string writeFile(const char* name, const char* text) {
    std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

struct ComponentDB : ::testing::Test {
    void SetUp() override { KTComponentLibrary::init(); }
};
using KTComponentDBValidity = ComponentDB;

} // namespace

TEST_F(KTComponentDBValidity, RefusesNullAndDuplicatesAndHoldsOneReferencePerComponent) {
    KTComponent* outside = nullptr;
    {
        KTComponentDB world;
        EXPECT_EQ(world.addComponent(nullptr), 0);
        KTComponent* made = world.addComponent("Made");
        EXPECT_EQ(made->getRefCount(), 1);
        outside = new Derived;
        outside->ref();
        EXPECT_EQ(world.addComponent(outside), 1);
        EXPECT_EQ(world.addComponent(outside), 0);
        EXPECT_EQ(outside->getRefCount(), 2);
        EXPECT_EQ(world.getNumComponents(), 2u);
        EXPECT_EQ(world.removeComponent(outside), 1);
        EXPECT_EQ(world.removeComponent(outside), 0);
        EXPECT_EQ(world.removeComponent(nullptr), 0);
        EXPECT_EQ(outside->getRefCount(), 1);
        EXPECT_EQ(world.addComponent(outside), 1);
        EXPECT_EQ(world.getComponent(1u), outside);
        EXPECT_EQ(world.getComponent(2u), nullptr);
    }
    EXPECT_EQ(outside->getRefCount(), 1);
    outside->unref();
}

TEST_F(ComponentDB, GetComponentFindsTheFirstAddedOfThatExactNameInThisWorldOnly) {
    KTComponentDB world;
    KTComponentDB other;
    KTComponent* foreign = other.addComponent("Door");
    EXPECT_EQ(world.getComponent("Door"), nullptr);

    KTComponent* first = world.addComponent("Door");
    auto* derived = new Derived;
    derived->setName("Door");
    world.addComponent(derived);
    KTComponent* lamp = world.addComponent("Lamp");
    EXPECT_EQ(world.getComponent("Door"), first);
    EXPECT_EQ(other.getComponent("Door"), foreign);
    EXPECT_EQ(world.getComponent("door"), nullptr);

    world.removeComponent(first);
    EXPECT_EQ(world.getComponent("Door"), derived);
    // A component renamed after it was added is found under its new name.
    lamp->setName("Torch");
    EXPECT_EQ(world.getComponent("Torch"), lamp);
    EXPECT_EQ(world.getComponent("Lamp"), nullptr);
    lamp->addBehavior("Burn");
    EXPECT_EQ(world.activateBehavior("Torch", "Missing", 0) +
                  world.activateBehavior("Missing", "Burn", 0),
              0);

    // An earlier component renamed to a later one's name is the one found.
    derived->setName("Torch");
    EXPECT_EQ(world.getComponent("Torch"), derived);
    EXPECT_EQ(world.getComponent("Door"), nullptr);
}

TEST_F(ComponentDB, ReadWorldAddsEveryComponentOfAnInventorFileQuietly) {
    KTComponentDB world;
    EXPECT_EQ(world.readWorld(nullptr), 0);
    EXPECT_EQ(world.readWorld("/nonexistent/world.iv"), 0);
    EXPECT_STREQ(world.getReadError(),
                 "cannot open /nonexistent/world.iv: No such file or directory");
    const std::string noComponents =
        writeFile("ktcp_none.iv", "#Inventor V2.1 ascii\nSeparator { Cube {} }\n");
    const std::string broken =
        writeFile("ktcp_broken.iv", "#Inventor V2.1 ascii\nSeparator { Cube {\n");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(world.readWorld(noComponents.c_str()), 0);
    EXPECT_EQ(world.readWorld(broken.c_str()), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    // The host gets the reason Coin would have printed.
    EXPECT_EQ(std::string(world.getReadError()).rfind("Coin read error: ", 0), 0u)
        << world.getReadError();
    EXPECT_EQ(world.getNumComponents(), 0u);

    const std::string path = writeFile("ktcp_world.iv", R"(#Inventor V2.1 ascii
Separator {
  DEF Chest KTComponent {
    geometry Separator {
      DEF Lid KTPart { geometry Separator { Cube {} DEF Lock KTPart {} } }
      DEF Key KTComponent {}
    }
  }
  Group { DEF Door KTComponent { geometry Separator { DEF Door KTPart {} } } }
}
)");
    EXPECT_EQ(world.readWorld(path.c_str()), 1);
    EXPECT_STREQ(world.getReadError(), "");
    ASSERT_EQ(world.getNumComponents(), 3u);
    KTComponent* chest = world.getComponent("Chest");
    ASSERT_NE(chest, nullptr);
    EXPECT_EQ(chest->getRefCount(), 1);
    EXPECT_NE(chest->getLogicalPart("Lock"), nullptr);
    EXPECT_NE(world.getComponent("Key"), nullptr);
    ASSERT_NE(world.getComponent("Door"), nullptr);
    EXPECT_NE(world.getComponent("Door")->getLogicalPart("Door"), nullptr);
}
