#pragma once

#include <ktrt/snapshot/KTAttributeState.h>

class KTAttribute;

namespace ktrt::detail {

/// What the scene below a component needs after an attribute of a kind was
/// restored into it.
enum class SceneFollowUp {
    none,
    recolour, ///< colour target nodes take the attribute's current colour
};

/// One kind of attribute: its type code, how its value is captured from a
/// live attribute into a state and put back, and the scene's follow-up.
struct AttributeKind {
    KTAttributeState::AttributeType code;
    /// Copies the live attribute's value into the state's value field.
    void (*capture)(KTAttribute& attribute, KTAttributeState& state);
    /// Writes the state's value field into the live attribute.
    void (*restore)(const KTAttributeState& state, KTAttribute& attribute);
    SceneFollowUp followUp;
};

/// The kind of the first of the nine typed attribute classes, in code order,
/// that is exactly the attribute's class; the NO_TYPE kind (which captures and
/// restores nothing) when none is. A class derived from a typed class matches
/// none.
const AttributeKind& attributeKindOf(const KTAttribute& attribute);

} // namespace ktrt::detail
