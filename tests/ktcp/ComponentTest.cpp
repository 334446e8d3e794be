#include <string>

#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktcp/ktcp.h>

#include <gtest/gtest.h>

namespace {

int deletedAttributes = 0;

class CountedAttribute : public KTAttribute {
public:
    explicit CountedAttribute(const RWCString& name) : KTAttribute(name) {}
    ~CountedAttribute() override { ++deletedAttributes; }
    SoType getTypeId() const override {
        static const SoType type =
            SoType::createType(KTAttribute::getClassTypeId(), "CountedAttribute");
        return type;
    }
};

struct Component : ::testing::Test {
    void SetUp() override {
        KTComponentLibrary::init();
        component = new KTComponent;
        component->ref();
        component->setName("Chest");
    }
    void TearDown() override { component->unref(); }
    KTComponent* component = nullptr;
};

RWTValSortedVector<RWCString> listWithLeftovers() {
    RWTValSortedVector<RWCString> names;
    names.insert("leftover");
    return names;
}

} // namespace

TEST(ComponentLibrary, InitIsIdempotentAndRegistersKitsAndAttributeTypes) {
    KTComponentLibrary::init();
    KTComponentLibrary::init();
    EXPECT_EQ(KTComponentLibrary::isInitialized(), 1);
    EXPECT_TRUE(KTPart::getClassTypeId().isDerivedFrom(SoBaseKit::getClassTypeId()));
    EXPECT_TRUE(KTComponent::getClassTypeId().isDerivedFrom(SoBaseKit::getClassTypeId()));
    EXPECT_FALSE(KTComponent::getClassTypeId().isDerivedFrom(KTPart::getClassTypeId()));

    const SoType types[] = {
        KTBoolAttribute::getClassTypeId(),       KTColorAttribute::getClassTypeId(),
        KTFloatAttribute::getClassTypeId(),      KTMFStringAttribute::getClassTypeId(),
        KTRotationAttribute::getClassTypeId(),   KTStringAttribute::getClassTypeId(),
        KTTimeAttribute::getClassTypeId(),       KTVec3fAttribute::getClassTypeId(),
        KTVoidPointerAttribute::getClassTypeId()};
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_TRUE(types[i].isDerivedFrom(KTAttribute::getClassTypeId())) << i;
        EXPECT_NE(types[i], KTAttribute::getClassTypeId()) << i;
        for (std::size_t j = i + 1; j < 9; ++j)
            EXPECT_NE(types[i], types[j]) << i << " " << j;
    }
    KTVec3fAttribute vec("v", SbVec3f(1, 2, 3));
    EXPECT_EQ(vec.getTypeId(), KTVec3fAttribute::getClassTypeId());
    KTMFStringAttribute strings("s");
    strings.getActualValue().set1Value(0, "a");
    EXPECT_EQ(strings.getTypeId(), KTMFStringAttribute::getClassTypeId());
    EXPECT_EQ(strings.getValue().getNum(), 1);

    // A host's own attribute class gets a type of its own below KTAttribute.
    const SoType hostType =
        SoType::createType(KTAttribute::getClassTypeId(), "HostCountedAttribute");
    EXPECT_TRUE(hostType.isDerivedFrom(KTAttribute::getClassTypeId()));
}

TEST_F(Component, LogicalPartsAreNamedKitsFoundByExactNameAtAnyDepth) {
    EXPECT_EQ(component->getName(), SbName("Chest"));
    KTPart* body = component->addLogicalPart("Body");
    KTPart* lid = component->addLogicalPart("Lid", body);
    KTPart* lock = component->addLogicalPart("Lock", lid);
    EXPECT_EQ(component->getLogicalPart("Body"), body);
    EXPECT_EQ(component->getLogicalPart("Lid"), lid);
    EXPECT_EQ(component->getLogicalPart("Lock"), lock);
    EXPECT_EQ(component->getLogicalPart("lid"), nullptr);
    EXPECT_EQ(component->getLogicalPart("Missing"), nullptr);
    EXPECT_EQ(component->getLogicalPart(""), nullptr);
    EXPECT_EQ(component->getLogicalPart("Chest"), nullptr);

    // The parts sit in their parent's geometry and own a transform on demand.
    auto* bodyGeometry = static_cast<SoSeparator*>(body->getPart("geometry", FALSE));
    ASSERT_NE(bodyGeometry, nullptr);
    EXPECT_EQ(bodyGeometry->findChild(lid), 0);
    SoNode* transform = lid->getPart("transform", TRUE);
    ASSERT_NE(transform, nullptr);
    EXPECT_TRUE(transform->isOfType(SoTransform::getClassTypeId()));
    EXPECT_EQ(lid->getPart("transform", TRUE), transform);
}

TEST_F(Component, BehaviorQueriesReplaceTheListAndTrackBothFlags) {
    component->addBehavior("Open", 1);
    component->addBehavior("Close");
    component->addBehavior("Glow", 1);
    EXPECT_EQ(component->activateBehavior("Close", 0), 1);
    EXPECT_EQ(component->activateBehavior("Missing", 0), 0);
    EXPECT_EQ(component->setActivatedAtStartup("Glow", 0), 1);
    EXPECT_EQ(component->setActivatedAtStartup("Missing", 1), 0);

    auto names = listWithLeftovers();
    component->getBehaviorNames(names);
    ASSERT_EQ(names.entries(), 3u);
    EXPECT_EQ(names[0], "Close");
    EXPECT_EQ(names[2], "Open");
    names = listWithLeftovers();
    component->getActiveBehaviorNames(names);
    ASSERT_EQ(names.entries(), 1u);
    EXPECT_EQ(names[0], "Close");
    names = listWithLeftovers();
    component->getBehaviorsActivatedAtStartup(names);
    ASSERT_EQ(names.entries(), 1u);
    EXPECT_EQ(names[0], "Open");

    KTBehavior close = component->getBehavior("Close");
    EXPECT_EQ(close.isValid(), 1);
    EXPECT_EQ(close.getName(), "Close");
    EXPECT_EQ(close.isActive(), 1);
    EXPECT_EQ(close.isActivatedAtStartup(), 0);
    EXPECT_EQ(component->deactivateBehavior("Close", 0), 1);
    EXPECT_EQ(component->getBehavior("Close").isActive(), 0);
    EXPECT_EQ(component->getBehavior("close").isValid(), 0);

    // Adding a behavior again keeps its activity and takes the new start-up flag.
    component->activateBehavior("Open", 0);
    component->addBehavior("Open", 0);
    EXPECT_EQ(component->getBehavior("Open").isActive(), 1);
    EXPECT_EQ(component->getBehavior("Open").isActivatedAtStartup(), 0);
}

TEST_F(Component, OwnsItsAttributesAndDeletesReplacedAndRemovedOnes) {
    deletedAttributes = 0;
    component->addAttribute(nullptr);
    component->addAttribute(new CountedAttribute("color"));
    component->addAttribute(new KTFloatAttribute("weight", 2.5f));
    EXPECT_EQ(deletedAttributes, 0);
    auto* replacement = new CountedAttribute("color");
    component->addAttribute(replacement);
    EXPECT_EQ(deletedAttributes, 1);
    EXPECT_EQ(component->getAttribute("color"), replacement);
    component->addAttribute(replacement); // the same object again: kept, not deleted
    EXPECT_EQ(deletedAttributes, 1);

    auto names = listWithLeftovers();
    component->getAttributeNames(names);
    ASSERT_EQ(names.entries(), 2u);
    EXPECT_EQ(names[0], "color");
    EXPECT_EQ(names[1], "weight");

    EXPECT_EQ(component->removeAttribute("color"), 1);
    EXPECT_EQ(deletedAttributes, 2);
    EXPECT_EQ(component->removeAttribute("color"), 0);
    EXPECT_EQ(component->getAttribute("color"), nullptr);

    // Many attributes, added out of order, are still found by exact name.
    for (int i = 29; i >= 0; --i)
        component->addAttribute(new KTFloatAttribute(RWCString("w") + std::to_string(i), float(i)));
    EXPECT_EQ(static_cast<KTFloatAttribute*>(component->getAttribute("w17"))->getValue(), 17.0f);
    EXPECT_EQ(component->getAttribute("weight")->getName(), "weight");
    EXPECT_EQ(component->getAttribute("w30"), nullptr);
    EXPECT_EQ(component->getAttribute("W17"), nullptr);
    component->getAttributeNames(names);
    ASSERT_EQ(names.entries(), 31u);
    EXPECT_EQ(names[0], "w0");
    EXPECT_EQ(names[30], "weight");
    component->addAttribute(new CountedAttribute("last"));
    component->unref();
    component = nullptr;
    EXPECT_EQ(deletedAttributes, 3);
    component = new KTComponent; // for TearDown
    component->ref();
}

TEST_F(Component, TickCountsAndGeometryFileIsKept) {
    component->tick();
    component->tick();
    EXPECT_EQ(component->getTickCount(), 2u);
    EXPECT_EQ(component->getGeometryFile(), "");
    component->setGeometryFile("chest.iv");
    EXPECT_EQ(component->getGeometryFile(), "chest.iv");
}

TEST(Viewpoint, StartsAtTheCameraDefaultsAndKeepsItsTexts) {
    KTViewpoint viewpoint("Entrance");
    EXPECT_EQ(viewpoint.getName(), "Entrance");
    EXPECT_EQ(viewpoint.jump, 1);
    EXPECT_EQ(viewpoint.position, SbVec3f(0, 0, 1));
    viewpoint.setDescription("Front door");
    EXPECT_EQ(viewpoint.description, "Front door");
    viewpoint.setDescription(nullptr);
    EXPECT_EQ(viewpoint.description, "");
    viewpoint.setName(nullptr);
    EXPECT_EQ(viewpoint.getName(), "Entrance");
}
