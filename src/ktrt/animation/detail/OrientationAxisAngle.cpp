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
    return bitsOf(a0) == bitsOf(b0) && bitsOf(a1) == bitsOf(b1) && bitsOf(a2) == bitsOf(b2);
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

// The reader's float steps from axis and angle to the rotation matrix
// elements that its angles come from (see AxisAngleOrientation.cpp), with
// the sine and cosine of the half angle given: m[0] = m00, m01, m02, m12, m22.
void matrixElements(float x, float y, float z, float sine, float cosine, float m[5]) {
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length > 0.0f) {
        const float inverse = 1.0f / length;
        x *= inverse;
        y *= inverse;
        z *= inverse;
    }
    float q[4] = {x * sine, y * sine, z * sine, cosine};
    float norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (norm > 0.0f && std::fabs(static_cast<double>(norm) - 1.0) > 0x1p-24) {
        const float inverse = 1.0f / norm;
        for (float& v : q)
            v *= inverse;
    }
    norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    float a = 0.0f, b = 0.0f, c = 0.0f, w = 1.0f;
    if (norm > 0x1p-23f) {
        a = q[0] / norm;
        b = q[1] / norm;
        c = q[2] / norm;
        w = q[3] / norm;
    }
    const auto twice = [](float v) { return v + v; };
    m[0] = 1.0f - twice(b * b + c * c);
    m[1] = twice(a * b + c * w);
    m[2] = twice(a * c - b * w);
    m[3] = twice(b * c + a * w);
    m[4] = 1.0f - twice(a * a + b * b);
}

// For orientations of the general case (no turn about one axis only, no
// gimbal lock), the angles fix the reader's m02 exactly and the ratios
// m12 / m22 and m01 / m00 nearly so: candidates that miss them are dropped
// before the full conversion.
class GeneralCaseFilter {
public:
    explicit GeneralCaseFilter(const KTAngle& orientation) {
        double ax, ay, az;
        orientation.getValue(ax, ay, az);
        const double x = ax * degreesToRadians, y = ay * degreesToRadians,
                     z = az * degreesToRadians;
        const double sx = std::sin(x), cx = std::cos(x), sy = std::sin(y), cy = std::cos(y),
                     sz = std::sin(z), cz = std::cos(z);
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

    bool passes(const float m[5]) const {
        if (!active)
            return true;
        if (m[2] != elementM02)
            return false;
        const double rx = static_cast<double>(m[3]) / m[4];
        const double rz = static_cast<double>(m[1]) / m[0];
        return std::fabs(rx - ratioX) <= 1e-9 * std::fabs(ratioX) + 1e-300 &&
               std::fabs(rz - ratioZ) <= 1e-9 * std::fabs(ratioZ) + 1e-300;
    }

private:
    bool active;
    float elementM02;
    double ratioX, ratioZ;
};

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
    static constexpr float scales[] = {1.0f, 0.75f, 1.5f};
    constexpr int angleSteps = 9; // 0, +1, -1, ... +4, -4
    // The sine and cosine of every half angle tried, computed once.
    float angles[6][angleSteps], sines[6][angleSteps], cosines[6][angleSteps];
    for (int t = 0; t < 6; ++t) {
        const auto angle =
            static_cast<float>(2.0 * (halfAngleTurns[t][0] * half + halfAngleTurns[t][1] * pi));
        for (int a = 0; a < angleSteps; ++a) {
            angles[t][a] = stepped(angle, a % 2 ? (a + 1) / 2 : -(a / 2));
            sineAndCosine(angles[t][a] * 0.5f, sines[t][a], cosines[t][a]);
        }
    }
    const GeneralCaseFilter filter(orientation);
    // Nearest first: the angle's other forms and neighbours with the axis as
    // it is, then the neighbouring and scaled axes as well.
    for (int box = 0; box < 27; ++box) {
        for (const float scale : scales) {
            for (int t = 0; t < 6; ++t) {
                float candidate[4];
                int code = box;
                for (int i = 0; i < 3; ++i, code /= 3)
                    candidate[i] =
                        stepped(static_cast<float>(halfAngleTurns[t][0] * axis[i] * scale),
                                code % 3 == 2 ? -1 : code % 3);
                for (int a = 0; a < angleSteps; ++a) {
                    float m[5];
                    matrixElements(candidate[0], candidate[1], candidate[2], sines[t][a],
                                   cosines[t][a], m);
                    if (!filter.passes(m))
                        continue;
                    candidate[3] = angles[t][a];
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
