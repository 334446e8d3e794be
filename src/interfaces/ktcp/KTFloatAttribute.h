#pragma once

#include <ktcp/KTAttribute.h>
#include <ktcp/ktcpdefs.h>

/// An attribute holding a float.
class KTCP_API KTFloatAttribute : public KTAttribute {
public:
    /// An attribute named `name` holding `value`.
    KTFloatAttribute(const RWCString& name, float value);

    /// The value held; setValue() replaces it.
    float getValue() const { return value; }
    /// Replaces the value held.
    void setValue(float newValue) { value = newValue; }

    /// The type of this class.
    SoType getTypeId() const override;
    /// The type of this class, derived from KTAttribute's.
    static SoType getClassTypeId();
    /// Registers the type with Coin; called by KTComponentLibrary::init().
    static void initClass();

private:
    float value;
    static SoType classTypeId;
};
