#pragma once

#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/visibility.h>

/// An orientation followed by a position: the pose of one animation key.
/// Equality is identity: two distinct transforms with equal contents compare
/// unequal, so compare getOrientation() and getPosition() to compare poses.
class KTRT_API KTTransform {
public:
    /// Zero orientation, zero position.
    KTTransform();
    /// Copies the orientation and the position.
    KTTransform(const KTTransform& other);
    /// Copies the orientation, then the position.
    KTTransform& operator=(const KTTransform& other);
    /// Nothing to release beyond the members.
    ~KTTransform();

    /// 1 only when `other` is this very object.
    int operator==(const KTTransform& other) const;

    /// The orientation (Euler angles in degrees).
    const KTAngle& getOrientation() const { return orientation; }
    /// The position.
    const KTVector3& getPosition() const { return position; }
    /// Copies `value` into the orientation.
    void setOrientation(const KTAngle& value);
    /// Copies `value` into the position.
    void setPosition(const KTVector3& value);

private:
    KTAngle orientation;
    KTVector3 position;
};
