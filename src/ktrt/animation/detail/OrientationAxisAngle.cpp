#include <ktrt/animation/detail/OrientationAxisAngle.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include <ktrt/animation/detail/AxisAngleOrientation.h>
#include <ktrt/animation/detail/ElementSearch.h>

// The reader's angles depend only on its normalised float quaternion n: they
// come from the rotation matrix of n. The search therefore runs in two steps.
// First, float quaternions near the angles' own quaternion are tried until
// one's matrix gives exactly the stored angles. Second, float axes and angles
// near that quaternion's own are run through the reader's float steps until
// one gives the same angles; when none does, the next quaternion is tried.
// The float expressions below round as the reader's do (see
// AxisAngleOrientation.cpp); the build turns off contraction into fused
// multiply-adds for this file too.

namespace ktrt::detail {

namespace {

constexpr double degreesToRadians = 0.017453292519943295;
constexpr double pi = 3.14159265358979323846;

// Whether the reader's angles of matrix `m` are bit for bit `angles`.
bool givesAngles(const float m[3][3], const double angles[3]) {
    double degrees[3];
    anglesOfMatrix(m, degrees);
    return bitsOf(degrees[0]) == bitsOf(angles[0]) && bitsOf(degrees[1]) == bitsOf(angles[1]) &&
           bitsOf(degrees[2]) == bitsOf(angles[2]);
}

// For orientations of the general case (no turn about one axis only, no
// gimbal lock), the angles fix the reader's m02 exactly and the ratios
// m12 / m22 and m01 / m00 nearly so: matrices that miss them are dropped
// before the full conversion.
class GeneralCaseFilter {
public:
    explicit GeneralCaseFilter(const double radians[3]) {
        const double sx = std::sin(radians[0]), cx = std::cos(radians[0]);
        const double sy = std::sin(radians[1]), cy = std::cos(radians[1]);
        const double sz = std::sin(radians[2]), cz = std::cos(radians[2]);
        const double m00 = cz * cy, m11 = sx * sy * sz + cx * cz, m22 = cx * cy, m02 = -sy;
        // Well inside the general case, where rounding cannot cross a
        // threshold of the reader.
        constexpr double inside = 0.999999 - 1e-5;
        active = std::isfinite(m00 + m11 + m22) && m00 < inside && m11 < inside && m22 < inside &&
                 std::fabs(m02) < inside && std::fabs(cx) > 1e-3 && std::fabs(cz) > 1e-3;
        elementM02 = static_cast<float>(m02);
        ratioX = sx / cx;
        ratioZ = sz / cz;
    }

    // The reader's m02 of quaternion n, computed only as far as needed.
    bool passesElementM02(const float n[4]) const {
        if (!active)
            return true;
        float u[4];
        unitQuaternion(n, u);
        const float xz = u[0] * u[2], yw = u[1] * u[3];
        return (xz - yw) + (xz - yw) == elementM02;
    }

    bool passes(const float m[3][3]) const {
        if (!active)
            return true;
        if (m[0][2] != elementM02)
            return false;
        const double rx = static_cast<double>(m[1][2]) / m[2][2];
        const double rz = static_cast<double>(m[0][1]) / m[0][0];
        return std::fabs(rx - ratioX) <= 1e-9 * std::fabs(ratioX) + 1e-300 &&
               std::fabs(rz - ratioZ) <= 1e-9 * std::fabs(ratioZ) + 1e-300;
    }

private:
    bool active;
    float elementM02;
    double ratioX, ratioZ;
};

// Steps of up to `reach` units in the last place in each of `Dimensions`
// numbers, nearest first.
// How many units in the last place each quaternion component is moved: the
// reader's rounding moves its matrix by about that much.
constexpr int quaternionReach = 3;

template <int Dimensions, int Reach> struct Offsets {
    static constexpr int side = 2 * Reach + 1;
    static constexpr int count = side * side * side * (Dimensions == 4 ? side : 1);
    std::array<std::array<signed char, 4>, count> steps{};

    Offsets() {
        for (int code = 0; code < count; ++code) {
            int rest = code;
            for (int i = 0; i < Dimensions; ++i, rest /= side)
                steps[code][i] = static_cast<signed char>(rest % side - Reach);
        }
        const auto distance = [](const std::array<signed char, 4>& s) {
            return s[0] * s[0] + s[1] * s[1] + s[2] * s[2] + s[3] * s[3];
        };
        std::stable_sort(steps.begin(), steps.end(),
                         [&](const auto& a, const auto& b) { return distance(a) < distance(b); });
    }
};

const Offsets<4, quaternionReach>& quaternionSteps() {
    static const Offsets<4, quaternionReach> offsets;
    return offsets;
}

const Offsets<3, 1>& axisSteps() {
    static const Offsets<3, 1> offsets;
    return offsets;
}

// Finds float axis and angle that the reader turns into the angles `target`,
// near quaternion `n` (whose matrix gives them). The quaternions +-n have the
// same matrix: the axis is n's vector part or its reverse, the half angle n's
// own with the sign of the axis, moved by a half turn or not; neighbouring
// floats of each cover the reader's roundings.
bool axisAngleOfQuaternion(const float n[4], const GeneralCaseFilter& filter,
                           const double target[3], float numbers[4]) {
    const double vector =
        std::sqrt(static_cast<double>(n[0]) * n[0] + static_cast<double>(n[1]) * n[1] +
                  static_cast<double>(n[2]) * n[2]);
    const double half = std::atan2(vector, n[3]);
    static constexpr double halfAngleTurns[6][2] = {{1, 0},  {-1, 0}, {1, -1},
                                                    {-1, 1}, {1, 1},  {-1, -1}};
    constexpr int angleSteps = 3; // 0, +1, -1
    for (const auto& turn : halfAngleTurns) {
        const auto angle = static_cast<float>(2.0 * (turn[0] * half + turn[1] * pi));
        const float sign = turn[0] > 0 ? 1.0f : -1.0f;
        float angles[angleSteps], sines[angleSteps], cosines[angleSteps];
        for (int a = 0; a < angleSteps; ++a) {
            angles[a] = steppedFloat(angle, a % 2 ? (a + 1) / 2 : -(a / 2));
            sineAndCosine(angles[a] * 0.5f, sines[a], cosines[a]);
        }
        // The axis as n's vector part and scaled to unit length: the
        // reader's normalisation rounds the two differently.
        for (const double scale : {1.0, vector > 0.0 ? 1.0 / vector : 1.0}) {
            for (const auto& step : axisSteps().steps) {
                const float axis[3] = {
                    steppedFloat(static_cast<float>(sign * n[0] * scale), step[0]),
                    steppedFloat(static_cast<float>(sign * n[1] * scale), step[1]),
                    steppedFloat(static_cast<float>(sign * n[2] * scale), step[2])};
                for (int a = 0; a < angleSteps; ++a) {
                    float q[4], m[3][3];
                    quaternionFromAxisHalfAngle(axis[0], axis[1], axis[2], sines[a], cosines[a], q);
                    rotationMatrix(q, m);
                    if (filter.passes(m) && givesAngles(m, target)) {
                        numbers[0] = axis[0];
                        numbers[1] = axis[1];
                        numbers[2] = axis[2];
                        numbers[3] = angles[a];
                        return true;
                    }
                }
            }
        }
    }
    return false;
}

} // namespace

bool readsBackAs(const float numbers[4], const double angles[3]) {
    double x, y, z;
    orientationFromAxisAngle(numbers[0], numbers[1], numbers[2], numbers[3]).getValue(x, y, z);
    return bitsOf(x) == bitsOf(angles[0]) && bitsOf(y) == bitsOf(angles[1]) &&
           bitsOf(z) == bitsOf(angles[2]);
}

void quaternionOfAngles(const double angles[3], double q[4]) {
    const double hx = angles[0] * 0.5, hy = angles[1] * 0.5, hz = angles[2] * 0.5;
    const double sx = std::sin(hx), cx = std::cos(hx), sy = std::sin(hy), cy = std::cos(hy),
                 sz = std::sin(hz), cz = std::cos(hz);
    q[0] = cz * cy * sx - sz * sy * cx;
    q[1] = cz * sy * cx + sz * cy * sx;
    q[2] = sz * cy * cx - cz * sy * sx;
    q[3] = cz * cy * cx + sz * sy * sx;
}

bool axisAngleOfOrientation(const KTAngle& orientation, float numbers[4]) {
    double angles[3];
    orientation.getValue(angles[0], angles[1], angles[2]);
    // The search from the matrix elements finds nearly every general
    // rotation; it refuses the identity and angles that are no numbers.
    if (axisAngleFromElements(angles, numbers))
        return true;
    const double radians[3] = {angles[0] * degreesToRadians, angles[1] * degreesToRadians,
                               angles[2] * degreesToRadians};
    double q[4];
    quaternionOfAngles(radians, q);
    const double sine = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    if (!(sine > 0.0) || !std::isfinite(sine) || !std::isfinite(q[3])) {
        // No turn (or angles that are no numbers): the identity.
        numbers[0] = 0.0f;
        numbers[1] = 0.0f;
        numbers[2] = 1.0f;
        numbers[3] = 0.0f;
        return readsBackAs(numbers, angles);
    }
    // The neighbouring floats of each component, nearest first.
    constexpr int reach = quaternionReach;
    float neighbours[4][2 * reach + 1];
    for (int i = 0; i < 4; ++i)
        for (int k = -reach; k <= reach; ++k)
            neighbours[i][k + reach] = steppedFloat(static_cast<float>(q[i]), k);
    const GeneralCaseFilter filter(radians);
    for (const auto& step : quaternionSteps().steps) {
        const float n[4] = {neighbours[0][step[0] + reach], neighbours[1][step[1] + reach],
                            neighbours[2][step[2] + reach], neighbours[3][step[3] + reach]};
        float m[3][3];
        if (!filter.passesElementM02(n) || !(rotationMatrix(n, m), filter.passes(m)) ||
            !givesAngles(m, angles))
            continue;
        if (axisAngleOfQuaternion(n, filter, angles, numbers) && readsBackAs(numbers, angles))
            return true;
    }
    // None found: the rotation's nearest axis and angle.
    const double half = std::atan2(sine, q[3]);
    numbers[0] = static_cast<float>(q[0] / sine);
    numbers[1] = static_cast<float>(q[1] / sine);
    numbers[2] = static_cast<float>(q[2] / sine);
    numbers[3] = static_cast<float>(2.0 * half);
    return false;
}

} // namespace ktrt::detail
