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

/// The float `steps` units in the last place away from finite `value`.
inline float steppedFloat(float value, int steps) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    // Floats in order as integers: negative floats below zero.
    const std::int64_t magnitude = bits & 0x7fffffffU;
    std::int64_t ordered = (bits & 0x80000000U) ? -magnitude : magnitude;
    ordered += steps;
    bits = ordered < 0 ? static_cast<std::uint32_t>(-ordered) | 0x80000000U
                       : static_cast<std::uint32_t>(ordered);
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

/// Whether the reader turns axis and angle `numbers` into bit for bit the
/// angles `degrees`.
bool readsBackAs(const float numbers[4], const double degrees[3]);

/// Unit quaternion (x, y, z, w) of the angles in radians: X first, then the
/// fixed Y axis, then the fixed Z axis.
void quaternionOfAngles(const double angles[3], double q[4]);

/// Finds the four numbers of an orientation key value (axis x, y, z, then the
/// angle in radians, all floats) that the animation file reader turns back
/// into exactly `orientation`, bit for bit. The reader's conversion goes
/// through single-precision quaternions and matrices and drops information,
/// so the numbers are searched for: first from the matrix elements the angles
/// fix (axisAngleFromElements(), which finds nearly all general rotations),
/// then among float quaternions near the angles' own whose reader's matrix
/// gives the angles and float axes and angles near such a quaternion's that
/// the reader's float steps take to the angles.
/// Returns true with the match in `numbers`; false when none of the
/// candidates matches, with `numbers` set to the rotation's nearest axis and
/// angle (which read back within single-precision accuracy).
bool axisAngleOfOrientation(const KTAngle& orientation, float numbers[4]);

} // namespace ktrt::detail
