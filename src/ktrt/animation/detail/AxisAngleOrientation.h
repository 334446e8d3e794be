#pragma once

#include <ktrt/geometry/KTAngle.h>

namespace ktrt::detail {

/// The orientation of one axis-angle key value of an animation file: bit for
/// bit the angles that KTAngle(q0, q1, q2, q3) gives for the quaternion of
/// SbRotation(SbVec3f(x, y, z), radians), computed without the round trips
/// through SbRotation and SbMatrix. The float steps follow Coin's own
/// (axis normalised, half angle, quaternion normalised, rotation matrix), so
/// the reader can convert every key cheaply and still match the library's
/// general conversion exactly.
KTAngle orientationFromAxisAngle(float x, float y, float z, float radians);

} // namespace ktrt::detail
