#pragma once

#include <Inventor/fields/SoMFString.h>

#include <ktcp/KTAttribute.h>
#include <ktcp/ktcpdefs.h>

/// An attribute holding a list of strings in a Coin multiple-value field.
class KTCP_API KTMFStringAttribute : public KTAttribute {
public:
    /// An attribute named `name` with no strings.
    explicit KTMFStringAttribute(const RWCString& name);
    /// An attribute named `name` holding a copy of `value`'s strings.
    KTMFStringAttribute(const RWCString& name, const SoMFString& value);

    /// The field itself, to read or change in place.
    SoMFString& getActualValue() { return value; }
    /// The field, read-only; setValue() replaces its strings with `newValue`'s.
    const SoMFString& getValue() const { return value; }
    /// Replaces the value held.
    void setValue(const SoMFString& newValue) { value = newValue; }

    /// The type of this class.
    SoType getTypeId() const override;
    /// The type of this class, derived from KTAttribute's.
    static SoType getClassTypeId();
    /// Registers the type with Coin; called by KTComponentLibrary::init().
    static void initClass();

private:
    SoMFString value;
    static SoType classTypeId;
};
