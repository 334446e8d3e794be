#pragma once

namespace ktrt::detail {

/// Finds the four numbers of an orientation key value (axis x, y, z, then the
/// angle in radians) that the animation file reader turns back into exactly
/// the angles `degrees` (x, y, z as KTAngle holds them), for the rotations
/// that are no turn about one axis only and no gimbal lock.
///
/// The angles of such a rotation fix the five float matrix elements they were
/// computed from (m02, and the pairs m12, m22 and m01, m00), which are found
/// first. A float quaternion whose reader's matrix has those elements is then
/// searched for near one fitted to them and near the angles' own, one
/// component at a time, through each way the reader's two length corrections
/// can go, and the axis that the reader normalises to it is built. The result
/// is checked by running the numbers through the reader's conversion. Returns
/// false, leaving `numbers` unspecified, when the angles are outside those
/// rotations or nothing is found.
bool axisAngleFromElements(const double degrees[3], float numbers[4]);

} // namespace ktrt::detail
