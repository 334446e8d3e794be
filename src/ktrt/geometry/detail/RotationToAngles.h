#pragma once

namespace ktrt::detail {

/// Angles in radians (x, y, z: X first, then fixed Y, then fixed Z) of the
/// rotation whose row-vector matrix has the upper-left 3x3 `m` (m[r][c] row
/// r, column c). Rotations within about 0.08 degrees of a pure turn about one
/// axis are snapped onto that axis; at the gimbal lock (y = +-90) the whole
/// turn about the common axis goes into x and z is 0.
void rotationToAngles(const double m[3][3], double& x, double& y, double& z);

/// The angle whose sine and cosine are proportional to s and c, in (-pi, pi],
/// as rotationToAngles() computes it: a zero cosine gives +-pi/2.
double quadrantAngle(double s, double c);

/// The arcsine of `value` clamped to [-1, 1], which rounding can leave just
/// outside.
double clampedArcsine(double value);

} // namespace ktrt::detail
