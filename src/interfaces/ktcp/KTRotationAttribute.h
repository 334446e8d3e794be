#pragma once

#include <Inventor/SbRotation.h>

#include <ktcp/KTAttribute.h>
#include <ktcp/ktcpdefs.h>

/// An attribute holding a rotation.
class KTCP_API KTRotationAttribute : public KTAttribute {
public:
    /// An attribute named `name` holding `value`.
    KTRotationAttribute(const RWCString& name, const SbRotation& value);

    /// The value held; setValue() replaces it.
    const SbRotation& getValue() const { return value; }
    /// Replaces the value held.
    void setValue(const SbRotation& newValue) { value = newValue; }

    /// The type of this class.
    SoType getTypeId() const override;
    /// The type of this class, derived from KTAttribute's.
    static SoType getClassTypeId();
    /// Registers the type with Coin; called by KTComponentLibrary::init().
    static void initClass();

private:
    SbRotation value;
    static SoType classTypeId;
};
