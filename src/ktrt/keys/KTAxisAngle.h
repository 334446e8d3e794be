#pragma once

#include <ktrt/geometry/KTAngle.h>
#include <ktrt/visibility.h>

/// An orientation as an animation file holds it: a rotation axis of any
/// length and an angle in radians, four floats. A plain value: copied,
/// assigned and compared bit for bit.
///
/// A key given its orientation as an axis and angle
/// (KTAnimationState::setOrientation(const KTAxisAngle&)), as every key the
/// animation file reader makes is, remembers the four numbers, and
/// KTAnimationWriter writes them back as they are, so that the key reads back
/// bit for bit whatever its rotation.
class KTRT_API KTAxisAngle {
public:
    /// The axis (0, 0, 1) and the angle 0.
    KTAxisAngle();
    /// Axis and angle as given, unchanged (infinities and NaNs too).
    KTAxisAngle(float x, float y, float z, float radians);

    /// The axis and the angle in radians, as stored.
    void getValue(float& x, float& y, float& z, float& radians) const;
    /// 1 when the four numbers have the same bits in both (so -0 differs
    /// from 0, and a NaN equals only a NaN of the same bits).
    int operator==(const KTAxisAngle& other) const;

    /// The orientation that the animation file reader makes of these four
    /// numbers, bit for bit: the angles of the quaternion of
    /// SbRotation(SbVec3f(x, y, z), radians).
    KTAngle getOrientation() const;
    /// Writes the quaternion of SbRotation(SbVec3f(x, y, z), radians) into
    /// q[0..3] bit for bit (the axis scaled to unit length times the sine of
    /// half the angle, then its cosine; a zero axis gives (0, 0, 0, cosine));
    /// a null q gets nothing.
    void getQuaternion(float q[4]) const;

private:
    float numbers[4];
};
