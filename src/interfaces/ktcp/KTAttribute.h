#pragma once

#include <Inventor/SoType.h>

#include <rw/RWCString.h>

#include <ktcp/ktcpdefs.h>

/// A named, typed value of a component. Abstract: every concrete class has
/// an SoType of its own, derived from KTAttribute::getClassTypeId(), and
/// answers it from getTypeId(). Components own their attributes; attributes
/// are not copyable.
class KTCP_API KTAttribute {
public:
    /// Attributes are deleted by the component that owns them.
    virtual ~KTAttribute();
    /// Not copyable.
    KTAttribute(const KTAttribute&) = delete;
    /// Not assignable.
    KTAttribute& operator=(const KTAttribute&) = delete;

    /// The name given at construction.
    const RWCString& getName() const { return name; }
    /// The type of the concrete class.
    virtual SoType getTypeId() const = 0;
    /// The abstract type that every attribute type derives from.
    static SoType getClassTypeId();
    /// Registers the type with Coin; called by KTComponentLibrary::init().
    static void initClass();

protected:
    /// For the concrete classes: an attribute named `attributeName`.
    explicit KTAttribute(const RWCString& attributeName);

    /// Registers `*type` as `typeName` below `parent` unless it already is.
    static void registerType(SoType* type, SoType parent, const char* typeName);

private:
    RWCString name;
    static SoType classTypeId;
};
