#include <ktrt/snapshot/KTAttributeState.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <ktrt/snapshot/KTBehaviorState.h>
#include <ktrt/snapshot/KTLightState.h>
#include <ktrt/snapshot/KTObjectState.h>
#include <ktrt/snapshot/KTViewpointState.h>

#include "SnapshotTestSupport.h"

namespace {

using AttributeStateTest = SnapshotTest;
using KTAttributeStateValidity = SnapshotTest;

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
    std::function<KTAttribute*(const char*)> make;
    std::function<bool(KTAttribute*)> holdsNewValue;
};

// A row for a class whose constructor takes its name and value.
template <class A, class V> TypedClass typed(KTAttributeState::AttributeType code, V old, V fresh) {
    return {code, [old](const char* name) { return new A(name, old); },
            [fresh](KTAttribute* a) { return static_cast<A*>(a)->getValue() == fresh; }};
}

std::vector<TypedClass> typedClasses() {
    using S = KTAttributeState;
    return {
        typed<KTBoolAttribute>(S::BOOL_TYPE, 0, 7),
        typed<KTColorAttribute>(S::COLOR_TYPE, SbColor(0, 0, 0), SbColor(0.5f, 0.25f, 1.0f)),
        typed<KTFloatAttribute>(S::FLOAT_TYPE, 0.0f, 2.5f),
        // An empty list: a restore fills it with the one string.
        {S::MFSTRING_TYPE, [](const char* name) { return new KTMFStringAttribute(name); },
         [](KTAttribute* a) {
             const SoMFString& list = static_cast<KTMFStringAttribute*>(a)->getActualValue();
             return list.getNum() == 1 && list[0] == SbString("new");
         }},
        typed<KTRotationAttribute>(S::ROTATION_TYPE, SbRotation::identity(),
                                   SbRotation(SbVec3f(1, 0, 0), 1.0f)),
        typed<KTStringAttribute>(S::STRING_TYPE, RWCString("old"), RWCString("new")),
        typed<KTTimeAttribute>(S::TIME_TYPE, SbTime::zero(), SbTime(42.0)),
        typed<KTVec3fAttribute>(S::VEC3F_TYPE, SbVec3f(0, 0, 0), SbVec3f(4, 5, 6)),
        typed<KTVoidPointerAttribute>(S::VOID_POINTER_TYPE, static_cast<void*>(nullptr),
                                      static_cast<void*>(&marker)),
    };
}

} // namespace

TEST_F(KTAttributeStateValidity, NullAndAHostsOwnClassAreLeftAlone) {
    KTAttributeState state = stateOfEveryValue(KTAttributeState::FLOAT_TYPE);
    state.restoreValue(nullptr);
    KTCounterAttribute counter("counter", 1.0f); // a host class of its own
    state.restoreValue(&counter);
    EXPECT_EQ(counter.getValue(), 1.0f);
}

TEST_F(AttributeStateTest, RestoreWritesOnlyWhenTheCodeNamesTheAttributesExactClass) {
    for (const TypedClass& typed : typedClasses()) {
        for (int code = KTAttributeState::NO_TYPE; code <= KTAttributeState::VOID_POINTER_TYPE;
             ++code) {
            // Restored from an assigned copy: every value field must survive.
            const KTAttributeState source =
                stateOfEveryValue(static_cast<KTAttributeState::AttributeType>(code));
            KTAttributeState copy;
            copy = KTAttributeState(source);
            std::unique_ptr<KTAttribute> attribute(typed.make("a"));
            copy.restoreValue(attribute.get());
            EXPECT_EQ(typed.holdsNewValue(attribute.get()), code == typed.code)
                << "class code " << typed.code << ", state code " << code;
        }
    }
}

TEST_F(AttributeStateTest, ObjectCaptureTakesEveryClassSortedWithItsCodeAndValue) {
    // The classes under names in reverse order, holding the new values, and a
    // host class of its own, which is captured without a value.
    KTComponentDB world;
    KTComponent* component = world.addComponent("c");
    component->addAttribute(new KTCounterAttribute("a", 9.0f));
    const std::vector<TypedClass> classes = typedClasses();
    for (std::size_t i = 0; i < classes.size(); ++i) {
        const std::string name(1, char('j' - i));
        KTAttribute* attribute = classes[i].make(name.c_str());
        component->addAttribute(attribute);
        stateOfEveryValue(classes[i].code).restoreValue(attribute);
    }
    KTObjectState state;
    state.setAttributes(component);
    ASSERT_EQ(state.numAttributeStates(), 10u);
    KTAttributeState captured;
    ASSERT_TRUE(state.getAttributeStateAt(0, captured));
    EXPECT_EQ(captured.getName().std() + std::to_string(captured.getType()), "a0");
    EXPECT_EQ(captured.getFloatValue(), 0.0f);
    for (std::size_t i = 0; i < classes.size(); ++i) {
        ASSERT_TRUE(
            state.getAttributeStateAt(static_cast<unsigned int>(classes.size() - i), captured));
        EXPECT_EQ(captured.getName(), RWCString(std::string(1, char('j' - i))));
        EXPECT_EQ(captured.getType(), classes[i].code);
        std::unique_ptr<KTAttribute> fresh(classes[i].make("fresh"));
        captured.restoreValue(fresh.get());
        EXPECT_TRUE(classes[i].holdsNewValue(fresh.get())) << "class code " << classes[i].code;
    }
}

// Every named snapshot state compares by name ignoring letter case, and a null
// name leaves the name as it was.
template <class State> class NamedState : public SnapshotTest {};
using NamedStates = ::testing::Types<KTAttributeState, KTBehaviorState, KTLightState, KTObjectState,
                                     KTViewpointState>;
TYPED_TEST_SUITE(NamedState, NamedStates);

TYPED_TEST(NamedState, ComparesNamesIgnoringCaseAndKeepsItsNameOnNull) {
    TypeParam state, other;
    state.setName("Lamp");
    state.setName(nullptr);
    other.setName("LAMP");
    EXPECT_EQ(state == other, 1);
    other.setName("Lamps");
    EXPECT_EQ(state == other, 0);
}
