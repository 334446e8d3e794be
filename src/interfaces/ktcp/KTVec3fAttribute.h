#pragma once

#include <Inventor/SbVec3f.h>

#include <ktcp/KTAttribute.h>
#include <ktcp/ktcpdefs.h>

/// An attribute holding a 3-D vector.
class KTCP_API KTVec3fAttribute : public KTAttribute {
public:
    /// An attribute named `name` holding `value`.
    KTVec3fAttribute(const RWCString& name, const SbVec3f& value);

    /// The value held; setValue() replaces it.
    const SbVec3f& getValue() const { return value; }
    /// Replaces the value held.
    void setValue(const SbVec3f& newValue) { value = newValue; }

    /// The type of this class.
    SoType getTypeId() const override;
    /// The type of this class, derived from KTAttribute's.
    static SoType getClassTypeId();
    /// Registers the type with Coin; called by KTComponentLibrary::init().
    static void initClass();

private:
    SbVec3f value;
    static SoType classTypeId;
};
