#pragma once

#include <rw/RWCString.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/visibility.h>

class SoDirectionalLight;
class SoLight;
class SoPointLight;
class SoSpotLight;

/// The settings of one directional, point or spot light, taken from a light
/// node and put back onto one later. The state records no light class: a
/// snapshot fills only the members its light has and leaves the others as
/// they were. Equality compares the names, ignoring letter case.
class KTRT_API KTLightState {
public:
    /// A cleared state (see clear()).
    KTLightState();
    /// Copies every member.
    KTLightState(const KTLightState& other);
    /// Copies every member; assigning a state to itself changes nothing.
    KTLightState& operator=(const KTLightState& other);
    /// Nothing to release beyond the members.
    ~KTLightState();

    /// 1 when the names are equal ignoring letter case, else 0.
    int operator==(const KTLightState& other) const;

    /// Colour (1, 1, 1), cut-off angle 45.0, direction (0, 0, -1), drop-off
    /// rate 0, intensity 0.2, location (0, 0, 0), empty names, off. The
    /// cut-off angle is the bare number: a spot light would read it as radians.
    void clear();

    /// Fills the state from a directional, point or spot light (the first of
    /// these classes the light is of). A null light or one of another class
    /// leaves the state unchanged.
    void snapshotLight(const SoLight* light);
    /// Writes the state into a directional, point or spot light; a null light
    /// or one of another class is left alone.
    void restoreLight(SoLight* light);

    /// The label the host gave the state; no snapshot or restore touches it.
    const RWCString& getName() const { return name; }
    /// A second label of the host's.
    const RWCString& getOldName() const { return oldName; }
    /// Copies the text; a null pointer keeps the previous name.
    void setName(const char* text);
    /// Copies the text; a null pointer keeps the previous name.
    void setOldName(const char* text);

private:
    void copy(const KTLightState& other);

    void getCommonValues(const SoLight* light);
    void copyFromDirectionalLight(const SoDirectionalLight* light);
    void copyFromPointLight(const SoPointLight* light);
    void copyFromSpotLight(const SoSpotLight* light);

    void restoreCommonValues(SoLight* light);
    void restoreToDirectionalLight(SoDirectionalLight* light);
    void restoreToPointLight(SoPointLight* light);
    void restoreToSpotLight(SoSpotLight* light);

    KTVector3 color;
    float cutOffAngle;
    KTVector3 direction;
    float dropOffRate;
    float intensity;
    KTVector3 location;
    RWCString name;
    RWCString oldName;
    bool on;
};
