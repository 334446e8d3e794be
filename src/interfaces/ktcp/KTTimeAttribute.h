#pragma once

#include <Inventor/SbTime.h>

#include <ktcp/KTAttribute.h>
#include <ktcp/ktcpdefs.h>

/// An attribute holding a time.
class KTCP_API KTTimeAttribute : public KTAttribute {
public:
    /// An attribute named `name` holding `value`.
    KTTimeAttribute(const RWCString& name, const SbTime& value);

    /// The value held; setValue() replaces it.
    const SbTime& getValue() const { return value; }
    /// Replaces the value held.
    void setValue(const SbTime& newValue) { value = newValue; }

    /// The type of this class.
    SoType getTypeId() const override;
    /// The type of this class, derived from KTAttribute's.
    static SoType getClassTypeId();
    /// Registers the type with Coin; called by KTComponentLibrary::init().
    static void initClass();

private:
    SbTime value;
    static SoType classTypeId;
};
