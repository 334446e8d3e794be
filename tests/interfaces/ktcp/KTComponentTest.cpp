#include <ktcp/KTComponent.h>

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

// The names a query fills in, after a leftover entry it must clear.
template <class Query> std::string listed(Query query) {
    RWTValSortedVector<RWCString> names;
    names.insert("leftover");
    query(names);
    std::string text;
    for (std::size_t i = 0; i < names.entries(); ++i)
        text += names[i].std() + " ";
    return text;
}

using KTComponentValidity = Component;

} // namespace

TEST_F(KTComponentValidity, UnknownNamesFindNothingAndChangeNothing) {
    component->addAttribute(nullptr);
    EXPECT_EQ(component->getAttribute("none"), nullptr);
    EXPECT_EQ(component->removeAttribute("none"), 0);
    EXPECT_EQ(component->getLogicalPart("none"), nullptr);
    EXPECT_EQ(component->activateBehavior("none", 0) + component->deactivateBehavior("none", 0), 0);
    EXPECT_FALSE(component->getBehavior("none").isValid());
    EXPECT_EQ(listed([this](RWTValSortedVector<RWCString>& n) { component->getAttributeNames(n); }),
              "");
}

TEST_F(Component, PartLookupFollowsPartsAddedRemovedAndRenamedAfterAnAnswer) {
    KTPart* lid = component->addLogicalPart("Lid");
    KTPart* body = component->addLogicalPart("Body");
    ASSERT_EQ(component->getLogicalPart("Lid"), lid);
    // A field written below keeps the answers; a part of the same name that
    // comes first depth-first takes the name over.
    static_cast<SoTransform*>(lid->getPart("transform", TRUE))->translation.setValue(1, 2, 3);
    auto* geometry = static_cast<SoSeparator*>(component->getPart("geometry", FALSE));
    auto* front = new KTPart;
    front->setName("Lid");
    geometry->insertChild(front, 0);
    EXPECT_EQ(component->getLogicalPart("Lid"), front);
    geometry->removeChild(front);
    EXPECT_EQ(component->getLogicalPart("Lid"), lid);

    body->setName("Box");
    EXPECT_EQ(component->getLogicalPart("Body"), nullptr);
    EXPECT_EQ(component->getLogicalPart("Box"), body);
    // A subtree holding a part, added below another part's geometry.
    auto* holder = new SoSeparator;
    auto* lock = new KTPart;
    lock->setName("Lock");
    holder->addChild(lock);
    static_cast<SoSeparator*>(body->getPart("geometry", TRUE))->addChild(holder);
    EXPECT_EQ(component->getLogicalPart("Lock"), lock);
    geometry->replaceChild(body, new SoSeparator);
    EXPECT_EQ(component->getLogicalPart("Lock"), nullptr);
    EXPECT_EQ(component->getLogicalPart("Box"), nullptr);
}

TEST_F(Component, BehaviorQueriesReplaceTheListAndAddingAgainTakesOnlyTheStartupFlag) {
    component->addBehavior("Open", 1);
    component->addBehavior("Close");
    EXPECT_EQ(component->activateBehavior("Close", 0), 1);
    using Names = RWTValSortedVector<RWCString>;
    EXPECT_EQ(listed([this](Names& n) { component->getBehaviorNames(n); }), "Close Open ");
    EXPECT_EQ(listed([this](Names& n) { component->getActiveBehaviorNames(n); }), "Close ");
    EXPECT_EQ(listed([this](Names& n) { component->getBehaviorsActivatedAtStartup(n); }), "Open ");
    component->addBehavior("Close", 1);
    EXPECT_EQ(component->getBehavior("Close").isActive(), 1);
    EXPECT_EQ(component->getBehavior("Close").isActivatedAtStartup(), 1);
}

TEST_F(Component, OwnsItsAttributesKeptSortedAndDeletesReplacedAndRemovedOnes) {
    deletedAttributes = 0;
    component->addAttribute(new CountedAttribute("color"));
    auto* replacement = new CountedAttribute("color");
    component->addAttribute(replacement);
    component->addAttribute(replacement); // the same object again: kept, not deleted
    EXPECT_EQ(deletedAttributes, 1);
    EXPECT_EQ(component->getAttribute("color"), replacement);
    EXPECT_EQ(component->removeAttribute("color"), 1);
    EXPECT_EQ(component->removeAttribute("color"), 0);
    EXPECT_EQ(deletedAttributes, 2);
    EXPECT_EQ(component->getAttribute("color"), nullptr);

    // Attributes added out of order are listed sorted and found by exact name.
    for (const char* name : {"w2", "weight", "w0", "W1", "w1"})
        component->addAttribute(new KTFloatAttribute(name, 1.0f));
    EXPECT_EQ(listed([this](RWTValSortedVector<RWCString>& n) { component->getAttributeNames(n); }),
              "W1 w0 w1 w2 weight ");
    for (const char* name : {"w0", "W1", "w1", "w2", "weight"})
        EXPECT_EQ(component->getAttribute(name)->getName(), name);
    EXPECT_EQ(component->getAttribute("w3"), nullptr);
    EXPECT_EQ(component->getAttribute("W0"), nullptr);
    component->addAttribute(new CountedAttribute("last"));
    component->unref();
    component = nullptr;
    EXPECT_EQ(deletedAttributes, 3);
    component = new KTComponent; // for TearDown
    component->ref();
}
