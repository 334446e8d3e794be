#pragma once

#include <cstdint>
#include <cstring>

#include <ktrt/geometry/KTAngle.h>

namespace ktrt::detail {

/// The bits of a double, for comparisons that must tell -0.0 from 0.0 and
/// one NaN from another.
inline std::uint64_t bitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

/// The bits of a float, as bitsOf(double).
inline std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

/// Whether two orientations hold the same angles bit for bit.
inline bool sameBits(const KTAngle& a, const KTAngle& b) {
    return bitsOf(a[0]) == bitsOf(b[0]) && bitsOf(a[1]) == bitsOf(b[1]) &&
           bitsOf(a[2]) == bitsOf(b[2]);
}

/// The quaternion (x, y, z times the sine of half the angle, then its cosine)
/// that SbRotation(SbVec3f(x, y, z), radians) holds, bit for bit: the axis
/// scaled to unit length (a zero axis stays zero), the half angle's sine and
/// cosine in float.
void quaternionOfAxisAngle(float x, float y, float z, float radians, float q[4]);

/// The orientation of one axis-angle key value of an animation file: bit for
/// bit the angles that KTAngle(q0, q1, q2, q3) gives for the quaternion of
/// SbRotation(SbVec3f(x, y, z), radians), computed without the round trips
/// through SbRotation and SbMatrix. The float steps follow Coin's own (axis
/// normalised, half angle, quaternion normalised, rotation matrix), so the
/// reader can convert every key cheaply and still match the library's
/// general conversion exactly.
KTAngle orientationFromAxisAngle(float x, float y, float z, float radians);

} // namespace ktrt::detail
