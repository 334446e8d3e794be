#pragma once

#include <ktcp/KTAttribute.h>
#include <ktcp/ktcpdefs.h>

/// An attribute holding a flag (int, nonzero for true).
class KTCP_API KTBoolAttribute : public KTAttribute {
public:
    /// An attribute named `name` holding `value`.
    KTBoolAttribute(const RWCString& name, int value);

    /// The value held; setValue() replaces it.
    int getValue() const { return value; }
    /// Replaces the value held.
    void setValue(int newValue) { value = newValue; }

    /// The type of this class.
    SoType getTypeId() const override;
    /// The type of this class, derived from KTAttribute's.
    static SoType getClassTypeId();
    /// Registers the type with Coin; called by KTComponentLibrary::init().
    static void initClass();

private:
    int value;
    static SoType classTypeId;
};
