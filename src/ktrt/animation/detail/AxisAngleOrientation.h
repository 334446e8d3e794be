#pragma once

#include <cmath>

#include <math.h> // NOLINT(modernize-deprecated-headers): declares the GNU ::sincosf

#include <ktrt/geometry/KTAngle.h>

namespace ktrt::detail {

/// The sine and cosine of a half angle as Coin's SbRotation takes them
/// (glibc's sincosf), so that conversions that mirror Coin round alike.
inline void sineAndCosine(float angle, float& sine, float& cosine) {
#if defined(__GLIBC__)
    ::sincosf(angle, &sine, &cosine);
#else
    sine = std::sin(angle);
    cosine = std::cos(angle);
#endif
}

/// The reader's normalised quaternion of an axis and an angle whose half angle
/// has the sine and cosine given: Coin's float steps of
/// SbRotation(SbVec3f(x, y, z), radians) followed by SbRotation::setValue of
/// its four numbers. Shared with the writer, which must round alike.
void quaternionFromAxisHalfAngle(float x, float y, float z, float sine, float cosine, float q[4]);

/// The quaternion divided by its length, as SbRotation::getValue(SbMatrix&)
/// divides it; a quaternion of about zero length gives the identity.
void unitQuaternion(const float q[4], float u[4]);

/// SbRotation::getValue(SbMatrix&): the upper-left 3x3 of the rotation matrix
/// (row vectors) of unitQuaternion(q).
void rotationMatrix(const float q[4], float m[3][3]);

/// The angles in degrees that KTAngle takes from float rotation matrix `m`.
void anglesOfMatrix(const float m[3][3], double degrees[3]);

/// The orientation of one axis-angle key value of an animation file: bit for
/// bit the angles that KTAngle(q0, q1, q2, q3) gives for the quaternion of
/// SbRotation(SbVec3f(x, y, z), radians), computed without the round trips
/// through SbRotation and SbMatrix. The float steps follow Coin's own
/// (axis normalised, half angle, quaternion normalised, rotation matrix), so
/// the reader can convert every key cheaply and still match the library's
/// general conversion exactly.
KTAngle orientationFromAxisAngle(float x, float y, float z, float radians);

} // namespace ktrt::detail
