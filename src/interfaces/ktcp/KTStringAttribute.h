#pragma once

#include <ktcp/KTAttribute.h>
#include <ktcp/ktcpdefs.h>

/// An attribute holding a string.
class KTCP_API KTStringAttribute : public KTAttribute {
public:
    /// An attribute named `name` holding `value`.
    KTStringAttribute(const RWCString& name, const RWCString& value);

    /// The value held; setValue() replaces it.
    const RWCString& getValue() const { return value; }
    /// Replaces the value held.
    void setValue(const RWCString& newValue) { value = newValue; }

    /// The type of this class.
    SoType getTypeId() const override;
    /// The type of this class, derived from KTAttribute's.
    static SoType getClassTypeId();
    /// Registers the type with Coin; called by KTComponentLibrary::init().
    static void initClass();

private:
    RWCString value;
    static SoType classTypeId;
};
