#pragma once

#include <Inventor/SbColor.h>
#include <Inventor/SbRotation.h>
#include <Inventor/SbTime.h>
#include <Inventor/SbVec3f.h>
#include <rw/RWCString.h>
#include <ktrt/visibility.h>

class KTAttribute;

/// The snapshot of one typed attribute of a component: its name, a type code
/// and the value field that the code names. Every value field exists in every
/// state; setters of values leave the type code alone and setType leaves the
/// values alone. Equality compares the names, ignoring letter case.
class KTRT_API KTAttributeState {
public:
    /// Which value field is meaningful; the numbers follow the alphabetical
    /// order of the typed attribute classes and are part of the interface.
    enum AttributeType {
        NO_TYPE = 0,
        BOOL_TYPE = 1,
        COLOR_TYPE = 2,
        FLOAT_TYPE = 3,
        MFSTRING_TYPE = 4,
        ROTATION_TYPE = 5,
        STRING_TYPE = 6,
        TIME_TYPE = 7,
        VEC3F_TYPE = 8,
        VOID_POINTER_TYPE = 9
    };

    /// NO_TYPE, empty strings, zero values, identity rotation, zero time,
    /// null pointer.
    KTAttributeState();
    /// Copies all ten fields, whatever the type code says.
    KTAttributeState(const KTAttributeState& other) = default;
    /// Copies all ten fields; assigning a state to itself changes nothing.
    KTAttributeState& operator=(const KTAttributeState& other) = default;
    /// Releases the two strings.
    ~KTAttributeState();

    /// 1 when the names are equal ignoring letter case, else 0.
    int operator==(const KTAttributeState& other) const;

    /// The attribute's name in its component.
    const RWCString& getName() const { return name; }
    /// Copies the text; a null pointer keeps the previous name.
    void setName(const char* text);

    /// The type code as stored; setType() changes no value field.
    AttributeType getType() const { return type; }
    /// Stores the code as given; no value field changes.
    void setType(AttributeType value) { type = value; }

    /// The value of a boolean attribute, stored unchanged (0 false).
    const int& getBoolValue() const { return boolValue; }
    /// Stores the value; the type code is left alone, as by every value setter.
    void setBoolValue(const int& value) { boolValue = value; }
    /// The value of a colour attribute.
    const SbColor& getColorValue() const { return colorValue; }
    /// Stores the colour.
    void setColorValue(const SbColor& value) { colorValue = value; }
    /// The value of a float attribute.
    float getFloatValue() const { return floatValue; }
    /// Stores the float.
    void setFloatValue(float value) { floatValue = value; }
    /// The value of a rotation attribute.
    const SbRotation& getRotValue() const { return rotValue; }
    /// Stores the rotation.
    void setRotValue(const SbRotation& value) { rotValue = value; }
    /// The string of a string attribute, or the first string of a
    /// multiple-value string attribute.
    const RWCString& getStringValue() const { return stringValue; }
    /// Stores a copy of the text.
    void setStringValue(const RWCString& value) { stringValue = value; }
    /// The value of a time attribute.
    const SbTime& getTimeValue() const { return timeValue; }
    /// Stores the time.
    void setTimeValue(const SbTime& value) { timeValue = value; }
    /// The value of a three-component vector attribute.
    const SbVec3f& getVec3fValue() const { return vec3fValue; }
    /// Stores the vector.
    void setVec3fValue(const SbVec3f& value) { vec3fValue = value; }
    /// The pointer is stored and handed back, never dereferenced or owned.
    void* getVoidPtrValue() const { return voidPtrValue; }
    /// Stores the pointer; null is a value like any other.
    void setVoidPtrValue(void* value) { voidPtrValue = value; }

    /// Writes the stored value into `attribute` when the attribute's exact
    /// class is the one the type code names; otherwise, and for a null
    /// attribute, nothing is written. The attribute's name is not checked.
    void restoreValue(KTAttribute* attribute);

private:
    RWCString name;
    int boolValue;
    SbColor colorValue;
    float floatValue;
    SbRotation rotValue;
    RWCString stringValue;
    SbTime timeValue;
    AttributeType type;
    SbVec3f vec3fValue;
    void* voidPtrValue;
};
