#include <ktrt/snapshot/detail/AttributeTable.h>

#include <ktcp/ktcp.h>

namespace ktrt::detail {
namespace {

using State = KTAttributeState;

void captureNothing(KTAttribute&, State&) {}
void restoreNothing(const State&, KTAttribute&) {}

// The row of a typed attribute class whose value travels through its
// getValue()/setValue() and one value field of the state.
template <class Attribute, class Value, void (State::*set)(Value), Value (State::*get)() const>
AttributeKind typedRow(State::AttributeType code, SceneFollowUp followUp = SceneFollowUp::none) {
    return {code,
            [](KTAttribute& attribute, State& state) {
                (state.*set)(static_cast<Attribute&>(attribute).getValue());
            },
            [](const State& state, KTAttribute& attribute) {
                static_cast<Attribute&>(attribute).setValue((state.*get)());
            },
            followUp};
}

void captureFirstString(KTAttribute& attribute, State& state) {
    SoMFString& strings = static_cast<KTMFStringAttribute&>(attribute).getActualValue();
    // Capture guarantees a first string to record, even on the live attribute.
    if (strings.getNum() == 0)
        strings.set1Value(0, SbString(""));
    state.setStringValue(RWCString(strings[0].getString()));
}

void restoreFirstString(const State& state, KTAttribute& attribute) {
    // Only element 0 travels; the later strings stay as they are.
    static_cast<KTMFStringAttribute&>(attribute).getActualValue().set1Value(
        0, SbString(state.getStringValue().data()));
}

struct Table {
    // Indexed by type code; row 0 is the kind of no typed class.
    AttributeKind rows[10];
    SoType classTypes[10];
};

// Built once: every getClassTypeId() is a call into the component library, and
// a capture or restore classifies each attribute it meets.
const Table& table() {
    static const Table built = {
        {
            {State::NO_TYPE, captureNothing, restoreNothing, SceneFollowUp::none},
            typedRow<KTBoolAttribute, const int&, &State::setBoolValue, &State::getBoolValue>(
                State::BOOL_TYPE),
            typedRow<KTColorAttribute, const SbColor&, &State::setColorValue,
                     &State::getColorValue>(State::COLOR_TYPE, SceneFollowUp::recolour),
            typedRow<KTFloatAttribute, float, &State::setFloatValue, &State::getFloatValue>(
                State::FLOAT_TYPE),
            {State::MFSTRING_TYPE, captureFirstString, restoreFirstString, SceneFollowUp::none},
            typedRow<KTRotationAttribute, const SbRotation&, &State::setRotValue,
                     &State::getRotValue>(State::ROTATION_TYPE),
            typedRow<KTStringAttribute, const RWCString&, &State::setStringValue,
                     &State::getStringValue>(State::STRING_TYPE),
            typedRow<KTTimeAttribute, const SbTime&, &State::setTimeValue, &State::getTimeValue>(
                State::TIME_TYPE),
            typedRow<KTVec3fAttribute, const SbVec3f&, &State::setVec3fValue,
                     &State::getVec3fValue>(State::VEC3F_TYPE),
            typedRow<KTVoidPointerAttribute, void*, &State::setVoidPtrValue,
                     &State::getVoidPtrValue>(State::VOID_POINTER_TYPE),
        },
        {SoType::badType(), KTBoolAttribute::getClassTypeId(), KTColorAttribute::getClassTypeId(),
         KTFloatAttribute::getClassTypeId(), KTMFStringAttribute::getClassTypeId(),
         KTRotationAttribute::getClassTypeId(), KTStringAttribute::getClassTypeId(),
         KTTimeAttribute::getClassTypeId(), KTVec3fAttribute::getClassTypeId(),
         KTVoidPointerAttribute::getClassTypeId()},
    };
    return built;
}

} // namespace

const AttributeKind& attributeKindOf(const KTAttribute& attribute) {
    const Table& kinds = table();
    const SoType type = attribute.getTypeId();
    for (int code = State::BOOL_TYPE; code <= State::VOID_POINTER_TYPE; ++code) {
        if (type == kinds.classTypes[code])
            return kinds.rows[code];
    }
    return kinds.rows[State::NO_TYPE];
}

} // namespace ktrt::detail
