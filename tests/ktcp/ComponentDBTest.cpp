#include <cstdio>
#include <fstream>
#include <string>

#include <Inventor/nodes/SoTransform.h>
#include <coinref/CoinRef.h>
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

} // namespace

TEST_F(ComponentDB, CoinRefHoldsOneReferenceThroughMovesAndResets) {
    auto* node = new SoTransform;
    node->ref(); // the test's own, to watch the count
    {
        coinref::CoinRef<SoTransform> held(node);
        EXPECT_EQ(node->getRefCount(), 2);
        held.reset(node); // the same node: kept alive, still one reference
        EXPECT_EQ(node->getRefCount(), 2);
        coinref::CoinRef<SoTransform> moved(std::move(held));
        EXPECT_FALSE(held); // NOLINT(bugprone-use-after-move): a moved-from holder is empty
        EXPECT_EQ(moved.get(), node);
        coinref::CoinRef<SoTransform> other(new SoTransform);
        other = std::move(moved); // releases (and deletes) its own node
        EXPECT_EQ(node->getRefCount(), 2);
    }
    EXPECT_EQ(node->getRefCount(), 1);
    node->unref();
}

TEST_F(ComponentDB, RefusesNullAndDuplicatesAndHoldsOneReferencePerComponent) {
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
    EXPECT_EQ(world.activateBehavior("Torch", "Burn", 0), 1);
    EXPECT_EQ(lamp->getBehavior("Burn").isActive(), 1);
    EXPECT_EQ(world.activateBehavior("Torch", "Missing", 0), 0);
    EXPECT_EQ(world.activateBehavior("Missing", "Burn", 0), 0);

    // An earlier component renamed to a later one's name is the one found.
    derived->setName("Torch");
    EXPECT_EQ(world.getComponent("Torch"), derived);
    EXPECT_EQ(world.getComponent("Door"), nullptr);
}

TEST_F(ComponentDB, IteratorWalksEveryComponentOnceInOrderOfAdding) {
    KTComponentIterator none(nullptr, 0, "");
    EXPECT_EQ(none++, 0);
    EXPECT_EQ(none.getValue(), nullptr);

    KTComponentDB world;
    const char* names[] = {"Zeta", "Alpha", "Mid", "Alpha"};
    for (const char* name : names)
        world.addComponent(name);
    KTComponentIterator all(&world, KTComponentIterator::AllComponents, "ignored");
    for (unsigned int i = 0; i < 4; ++i) {
        ASSERT_NE(all++, 0);
        EXPECT_EQ(all.getValue(), world.getComponent(i));
    }
    EXPECT_EQ(all++, 0);
    EXPECT_EQ(all.getValue(), nullptr);
    all.reset();
    EXPECT_NE(all++, 0);
    EXPECT_EQ(all.getValue(), world.getComponent(0u));

    KTComponentIterator named(&world, KTComponentIterator::NamedComponents, "Alpha");
    ASSERT_NE(named++, 0);
    EXPECT_EQ(named.getValue(), world.getComponent(1u));
    ASSERT_NE(named++, 0);
    EXPECT_EQ(named.getValue(), world.getComponent(3u));
    EXPECT_EQ(named++, 0);
}

TEST_F(ComponentDB, ReadWorldAddsEveryComponentOfAnInventorFileQuietly) {
    KTComponentDB world;
    EXPECT_EQ(world.readWorld(nullptr), 0);
    EXPECT_EQ(world.readWorld("/nonexistent/world.iv"), 0);
    const std::string noComponents =
        writeFile("ktcp_none.iv", "#Inventor V2.1 ascii\nSeparator { Cube {} }\n");
    const std::string broken =
        writeFile("ktcp_broken.iv", "#Inventor V2.1 ascii\nSeparator { Cube {\n");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(world.readWorld(noComponents.c_str()), 0);
    EXPECT_EQ(world.readWorld(broken.c_str()), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(world.getNumComponents(), 0u);

    const std::string path = writeFile("ktcp_world.iv", R"(#Inventor V2.1 ascii
Separator {
  DEF Chest KTComponent {
    transform Transform { translation 1 2 3 }
    geometry Separator {
      Cube {}
      DEF Lid KTPart {
        transform Transform { rotation 1 0 0 0.5 }
        geometry Separator { DEF Lock KTPart {} }
      }
      DEF Key KTComponent {}
    }
  }
  Group { DEF Door KTComponent { geometry Separator { DEF Door KTPart {} } } }
}
)");
    EXPECT_EQ(world.readWorld(path.c_str()), 1);
    ASSERT_EQ(world.getNumComponents(), 3u);
    KTComponent* chest = world.getComponent("Chest");
    ASSERT_NE(chest, nullptr);
    EXPECT_EQ(chest->getRefCount(), 1);
    EXPECT_NE(chest->getLogicalPart("Lock"), nullptr);
    EXPECT_NE(world.getComponent("Key"), nullptr);
    ASSERT_NE(world.getComponent("Door"), nullptr);
    EXPECT_NE(world.getComponent("Door")->getLogicalPart("Door"), nullptr);
}
