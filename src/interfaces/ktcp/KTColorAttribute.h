#pragma once

#include <Inventor/SbColor.h>

#include <ktcp/KTAttribute.h>
#include <ktcp/ktcpdefs.h>

/// An attribute holding an RGB colour.
class KTCP_API KTColorAttribute : public KTAttribute {
public:
    /// An attribute named `name` holding `value`.
    KTColorAttribute(const RWCString& name, const SbColor& value);

    /// The value held; setValue() replaces it.
    const SbColor& getValue() const { return value; }
    /// Replaces the value held.
    void setValue(const SbColor& newValue) { value = newValue; }

    /// The type of this class.
    SoType getTypeId() const override;
    /// The type of this class, derived from KTAttribute's.
    static SoType getClassTypeId();
    /// Registers the type with Coin; called by KTComponentLibrary::init().
    static void initClass();

private:
    SbColor value;
    static SoType classTypeId;
};
