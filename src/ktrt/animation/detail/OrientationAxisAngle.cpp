#include <ktrt/animation/detail/OrientationAxisAngle.h>

#include <cmath>
#include <cstring>

#include <ktrt/animation/detail/AxisAngleOrientation.h>

namespace ktrt::detail {

namespace {

constexpr double degreesToRadians = 0.017453292519943295;
constexpr double pi = 3.14159265358979323846;

// Bit-for-bit equality: the angles read back must be the very same doubles.
bool sameAngles(const KTAngle& a, const KTAngle& b) {
    double a0, a1, a2, b0, b1, b2;
    a.getValue(a0, a1, a2);
    b.getValue(b0, b1, b2);
    return std::memcmp(&a0, &b0, sizeof a0) == 0 && std::memcmp(&a1, &b1, sizeof a1) == 0 &&
           std::memcmp(&a2, &b2, sizeof a2) == 0;
}

bool readsBackAs(const float numbers[4], const KTAngle& orientation) {
    return sameAngles(orientationFromAxisAngle(numbers[0], numbers[1], numbers[2], numbers[3]),
                      orientation);
}

// The float `steps` units in the last place away from `value`.
float stepped(float value, int steps) {
    for (; steps > 0; --steps)
        value = std::nextafter(value, HUGE_VALF);
    for (; steps < 0; ++steps)
        value = std::nextafter(value, -HUGE_VALF);
    return value;
}

// Unit quaternion (x, y, z, w) of the angles: X first, then the fixed Y
// axis, then the fixed Z axis, with w >= 0.
void quaternionOfAngles(const KTAngle& orientation, double q[4]) {
    double ax, ay, az;
    orientation.getValue(ax, ay, az);
    const double hx = ax * degreesToRadians * 0.5, hy = ay * degreesToRadians * 0.5,
                 hz = az * degreesToRadians * 0.5;
    const double sx = std::sin(hx), cx = std::cos(hx), sy = std::sin(hy), cy = std::cos(hy),
                 sz = std::sin(hz), cz = std::cos(hz);
    q[0] = cz * cy * sx - sz * sy * cx;
    q[1] = cz * sy * cx + sz * cy * sx;
    q[2] = sz * cy * cx - cz * sy * sx;
    q[3] = cz * cy * cx + sz * sy * sx;
    if (q[3] < 0.0)
        for (int i = 0; i < 4; ++i)
            q[i] = -q[i];
}

} // namespace

bool axisAngleOfOrientation(const KTAngle& orientation, float numbers[4]) {
    double q[4];
    quaternionOfAngles(orientation, q);
    const double sine = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2]);
    if (!(sine > 0.0) || !std::isfinite(sine)) {
        // No turn (or angles that are no numbers): the identity.
        numbers[0] = 0.0f;
        numbers[1] = 0.0f;
        numbers[2] = 1.0f;
        numbers[3] = 0.0f;
        return readsBackAs(numbers, orientation);
    }
    const double half = std::atan2(sine, q[3]);
    const double axis[3] = {q[0] / sine, q[1] / sine, q[2] / sine};
    numbers[0] = static_cast<float>(axis[0]);
    numbers[1] = static_cast<float>(axis[1]);
    numbers[2] = static_cast<float>(axis[2]);
    numbers[3] = static_cast<float>(2.0 * half);
    if (readsBackAs(numbers, orientation))
        return true;

    // The same rotation written other ways: the half angle moved by a half
    // turn or mirrored with the axis reversed gives +-q, and the reader's
    // float steps round each way differently. Scaled axes round differently
    // when the reader normalises them; neighbouring floats cover the rest.
    static constexpr double halfAngleTurns[6][2] = {{1, 0},  {-1, 0}, {1, -1},
                                                    {-1, 1}, {1, 1},  {-1, -1}};
    static constexpr float scales[] = {1.0f, 0.75f};
    static constexpr int angleSteps[] = {0, 1, -1, 2, -2, 3, -3, 4, -4};
    // Cheapest first: the angle's other forms and neighbours with the axis as
    // it is, then the neighbouring and scaled axes as well.
    for (int box = 0; box < 27; ++box) {
        for (const float scale : scales) {
            if (box == 0 && scale != 1.0f)
                continue;
            for (const auto& turn : halfAngleTurns) {
                const float angle = static_cast<float>(2.0 * (turn[0] * half + turn[1] * pi));
                float candidate[4];
                int code = box;
                for (int i = 0; i < 3; ++i, code /= 3)
                    candidate[i] = stepped(static_cast<float>(turn[0] * axis[i] * scale),
                                           code % 3 == 2 ? -1 : code % 3);
                for (const int angleStep : angleSteps) {
                    candidate[3] = stepped(angle, angleStep);
                    if (readsBackAs(candidate, orientation)) {
                        std::memcpy(numbers, candidate, sizeof candidate);
                        return true;
                    }
                }
            }
        }
    }
    return false;
}

} // namespace ktrt::detail
