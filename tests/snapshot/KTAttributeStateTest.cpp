#include <ktrt/snapshot/KTAttributeState.h>

#include <functional>
#include <memory>

#include "SnapshotTestSupport.h"

namespace {

using AttributeStateTest = SnapshotTest;

int marker;

// A state holding a distinct "new" value in every value field.
KTAttributeState stateOfEveryValue(KTAttributeState::AttributeType type) {
    KTAttributeState state;
    state.setName("any");
    state.setType(type);
    state.setBoolValue(7);
    state.setColorValue(SbColor(0.5f, 0.25f, 1.0f));
    state.setFloatValue(2.5f);
    state.setRotValue(SbRotation(SbVec3f(1, 0, 0), 1.0f));
    state.setStringValue("new");
    state.setTimeValue(SbTime(42.0));
    state.setVec3fValue(SbVec3f(4, 5, 6));
    state.setVoidPtrValue(&marker);
    return state;
}

// One typed class: how to build it with an "old" value, and whether it now
// holds the "new" value of stateOfEveryValue().
struct TypedClass {
    KTAttributeState::AttributeType code;
    std::function<KTAttribute*()> make;
    std::function<bool(KTAttribute*)> holdsNewValue;
};

template <class A> A* as(KTAttribute* attribute) {
    return static_cast<A*>(attribute);
}

std::vector<TypedClass> typedClasses() {
    return {
        {KTAttributeState::BOOL_TYPE, [] { return new KTBoolAttribute("a", 0); },
         [](KTAttribute* a) { return as<KTBoolAttribute>(a)->getValue() == 7; }},
        {KTAttributeState::COLOR_TYPE, [] { return new KTColorAttribute("a", SbColor(0, 0, 0)); },
         [](KTAttribute* a) {
             return as<KTColorAttribute>(a)->getValue() == SbColor(0.5f, 0.25f, 1.0f);
         }},
        {KTAttributeState::FLOAT_TYPE, [] { return new KTFloatAttribute("a", 0.0f); },
         [](KTAttribute* a) { return as<KTFloatAttribute>(a)->getValue() == 2.5f; }},
        {KTAttributeState::MFSTRING_TYPE,
         [] {
             auto* attribute = new KTMFStringAttribute("a");
             attribute->getActualValue().setValue("old");
             return attribute;
         },
         [](KTAttribute* a) {
             return as<KTMFStringAttribute>(a)->getActualValue()[0] == SbString("new");
         }},
        {KTAttributeState::ROTATION_TYPE,
         [] { return new KTRotationAttribute("a", SbRotation::identity()); },
         [](KTAttribute* a) {
             return as<KTRotationAttribute>(a)->getValue() == SbRotation(SbVec3f(1, 0, 0), 1.0f);
         }},
        {KTAttributeState::STRING_TYPE, [] { return new KTStringAttribute("a", "old"); },
         [](KTAttribute* a) { return as<KTStringAttribute>(a)->getValue() == "new"; }},
        {KTAttributeState::TIME_TYPE, [] { return new KTTimeAttribute("a", SbTime::zero()); },
         [](KTAttribute* a) { return as<KTTimeAttribute>(a)->getValue() == SbTime(42.0); }},
        {KTAttributeState::VEC3F_TYPE, [] { return new KTVec3fAttribute("a", SbVec3f(0, 0, 0)); },
         [](KTAttribute* a) { return as<KTVec3fAttribute>(a)->getValue() == SbVec3f(4, 5, 6); }},
        {KTAttributeState::VOID_POINTER_TYPE,
         [] { return new KTVoidPointerAttribute("a", nullptr); },
         [](KTAttribute* a) { return as<KTVoidPointerAttribute>(a)->getValue() == &marker; }},
    };
}

} // namespace

TEST_F(AttributeStateTest, NullOrUnknownClassAttributesGetNothing) {
    KTAttributeState state = stateOfEveryValue(KTAttributeState::FLOAT_TYPE);
    state.restoreValue(nullptr);
    KTCounterAttribute counter("counter", 1.0f);
    state.restoreValue(&counter);
    EXPECT_EQ(counter.getValue(), 1.0f);
}

TEST_F(AttributeStateTest, DefaultsAndCopiesKeepEveryFieldWhateverTheType) {
    const KTAttributeState fresh;
    EXPECT_EQ(fresh.getType(), KTAttributeState::NO_TYPE);
    EXPECT_EQ(fresh.getName(), "");
    EXPECT_EQ(fresh.getStringValue(), "");
    EXPECT_EQ(fresh.getBoolValue(), 0);
    EXPECT_EQ(fresh.getFloatValue(), 0.0f);
    EXPECT_EQ(fresh.getColorValue(), SbColor(0, 0, 0));
    EXPECT_EQ(fresh.getVec3fValue(), SbVec3f(0, 0, 0));
    EXPECT_EQ(fresh.getVoidPtrValue(), nullptr);
    EXPECT_TRUE(fresh.getRotValue() == SbRotation::identity());
    EXPECT_EQ(fresh.getTimeValue(), SbTime::zero());

    KTAttributeState source = stateOfEveryValue(KTAttributeState::FLOAT_TYPE);
    source.setStringValue("kept");
    EXPECT_EQ(source.getType(), KTAttributeState::FLOAT_TYPE);
    source.setType(KTAttributeState::BOOL_TYPE);
    EXPECT_EQ(source.getFloatValue(), 2.5f);

    KTAttributeState assigned;
    assigned = source;
    for (const KTAttributeState& copy : {KTAttributeState(source), assigned}) {
        EXPECT_EQ(copy.getName(), "any");
        EXPECT_EQ(copy.getType(), KTAttributeState::BOOL_TYPE);
        EXPECT_EQ(copy.getBoolValue(), 7);
        EXPECT_EQ(copy.getColorValue(), SbColor(0.5f, 0.25f, 1.0f));
        EXPECT_EQ(copy.getFloatValue(), 2.5f);
        EXPECT_TRUE(copy.getRotValue() == SbRotation(SbVec3f(1, 0, 0), 1.0f));
        EXPECT_EQ(copy.getStringValue(), "kept");
        EXPECT_EQ(copy.getTimeValue(), SbTime(42.0));
        EXPECT_EQ(copy.getVec3fValue(), SbVec3f(4, 5, 6));
        EXPECT_EQ(copy.getVoidPtrValue(), &marker);
    }

    // A getter's reference shows later changes of its field.
    const RWCString& text = source.getStringValue();
    source.setStringValue("later");
    EXPECT_EQ(text, "later");
}

TEST_F(AttributeStateTest, NamesCompareIgnoringCaseAndNullNamesAreIgnored) {
    KTAttributeState colour = stateOfEveryValue(KTAttributeState::COLOR_TYPE);
    KTAttributeState other;
    colour.setName("Color");
    other.setName("color");
    EXPECT_EQ(colour == other, 1);
    other.setName("colour");
    EXPECT_EQ(colour == other, 0);
    colour.setName(nullptr);
    EXPECT_EQ(colour.getName(), "Color");
}

TEST_F(AttributeStateTest, RestoreWritesOnlyWhenTheCodeNamesTheAttributesExactClass) {
    for (const TypedClass& typed : typedClasses()) {
        for (int code = KTAttributeState::NO_TYPE; code <= KTAttributeState::VOID_POINTER_TYPE;
             ++code) {
            std::unique_ptr<KTAttribute> attribute(typed.make());
            stateOfEveryValue(static_cast<KTAttributeState::AttributeType>(code))
                .restoreValue(attribute.get());
            EXPECT_EQ(typed.holdsNewValue(attribute.get()), code == typed.code)
                << "class code " << typed.code << ", state code " << code;
        }
    }
}

TEST_F(AttributeStateTest, MultipleStringRestoreReplacesOnlyTheFirstString) {
    KTAttributeState state;
    state.setType(KTAttributeState::MFSTRING_TYPE);
    state.setStringValue("b");

    SoMFString xyz;
    const char* strings[] = {"x", "y", "z"};
    xyz.setValues(0, 3, strings);
    KTMFStringAttribute three("list", xyz);
    state.restoreValue(&three);
    ASSERT_EQ(three.getActualValue().getNum(), 3);
    EXPECT_EQ(three.getActualValue()[0], SbString("b"));
    EXPECT_EQ(three.getActualValue()[1], SbString("y"));
    EXPECT_EQ(three.getActualValue()[2], SbString("z"));

    KTMFStringAttribute empty("list");
    state.restoreValue(&empty);
    ASSERT_EQ(empty.getActualValue().getNum(), 1);
    EXPECT_EQ(empty.getActualValue()[0], SbString("b"));
}
