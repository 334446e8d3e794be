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
    EXPECT_EQ(world.activateBehavior("Torch", "Missing", 0) +
                  world.activateBehavior("Missing", "Burn", 0),
              0);

    // An earlier component renamed to a later one's name is the one found.
    derived->setName("Torch");
    EXPECT_EQ(world.getComponent("Torch"), derived);
    EXPECT_EQ(world.getComponent("Door"), nullptr);
}

TEST_F(ComponentDB, IteratorWalksEveryComponentOnceInOrderOfAddingOrThoseOfOneName) {
    KTComponentDB world;
    const char* names[] = {"Zeta", "Alpha", "Mid", "Alpha", "alpha"};
    for (const char* name : names)
        world.addComponent(name);
    // The positions in the world of the components a walk visits.
    auto walk = [&world](KTComponentIterator& iterator) {
        std::string seen;
        while (iterator++)
            for (unsigned int i = 0; i < world.getNumComponents(); ++i)
                seen += iterator.getValue() == world.getComponent(i) ? std::to_string(i) : "";
        return seen + (iterator.getValue() == nullptr ? "." : "!");
    };
    KTComponentIterator none(nullptr, 0, "");
    KTComponentIterator all(&world, KTComponentIterator::AllComponents, "ignored");
    KTComponentIterator named(&world, KTComponentIterator::NamedComponents, "Alpha");
    EXPECT_EQ(walk(none), ".");
    EXPECT_EQ(walk(all), "01234.");
    EXPECT_EQ(walk(all), ".");
    all.reset();
    EXPECT_EQ(walk(all), "01234.");
    EXPECT_EQ(walk(named), "13.");
    named.reset();
    EXPECT_EQ(walk(named), "13.");
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
