#pragma once

#include <ktrt/geometry/KTAngle.h>
#include <ktrt/visibility.h>

class KTAnimationState;

/// An orientation as an animation file holds it: a rotation axis of any
/// length and an angle in radians, four floats.
///
/// Every key that the animation file reader makes remembers the four numbers
/// it was read from, and so does a key given its orientation through
/// applyTo(). KTAnimationWriter writes a remembered axis and angle back as
/// they are, so that such a key reads back bit for bit, whatever its
/// rotation. Copies of the key keep the numbers; setting its orientation or
/// transform any other way forgets them.
class KTRT_API KTAxisAngle {
public:
    /// The axis (0, 0, 1) and the angle 0.
    KTAxisAngle();
    /// Axis and angle as given, unchanged.
    KTAxisAngle(float x, float y, float z, float radians);

    /// The axis and the angle in radians, as stored.
    void getValue(float& x, float& y, float& z, float& radians) const;
    /// 1 when the four numbers have the same bits in both.
    int operator==(const KTAxisAngle& other) const;

    /// The orientation that the animation file reader makes of these four
    /// numbers, bit for bit: the angles of the quaternion of
    /// SbRotation(SbVec3f(x, y, z), radians).
    KTAngle getOrientation() const;
    /// Sets `key`'s orientation to getOrientation() and makes the key
    /// remember this axis and angle.
    void applyTo(KTAnimationState& key) const;
    /// The axis and angle that `key` remembers: 1 with `value` set to them,
    /// or 0 with `value` unchanged when the key's orientation was last set
    /// some other way.
    static int ofKey(const KTAnimationState& key, KTAxisAngle& value);

private:
    float numbers[4];
};
