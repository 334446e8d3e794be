#pragma once

#include <ktcp/KTAttribute.h>
#include <ktcp/ktcpdefs.h>

/// An attribute holding an untyped pointer that the attribute does not own.
class KTCP_API KTVoidPointerAttribute : public KTAttribute {
public:
    /// An attribute named `name` holding `value`.
    KTVoidPointerAttribute(const RWCString& name, void* value);

    /// The value held; setValue() replaces it.
    void* getValue() const { return value; }
    /// Replaces the value held.
    void setValue(void* newValue) { value = newValue; }

    /// The type of this class.
    SoType getTypeId() const override;
    /// The type of this class, derived from KTAttribute's.
    static SoType getClassTypeId();
    /// Registers the type with Coin; called by KTComponentLibrary::init().
    static void initClass();

private:
    void* value;
    static SoType classTypeId;
};
