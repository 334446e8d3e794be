#include <ktrt/geometry/KTAngle.h>

#include <algorithm>
#include <cmath>

#include <Inventor/SbMatrix.h>
#include <Inventor/SbRotation.h>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double degreesToRadians = 0.017453292519943295;
constexpr double radiansToDegrees = 57.29577951308232;

// Matrix elements this close to +-1 mean the rotation is (nearly) a pure turn
// about one axis, or a gimbal lock.
constexpr double threshold = 0.999999;

// The angle whose sine and cosine are proportional to s and c, in (-pi, pi].
// A zero cosine gives arctan of +-infinity, that is +-pi/2.
double quadrantAngle(double s, double c) {
    double a = std::fabs(std::atan(s / c));
    if (c < 0.0)
        a = pi - a;
    if (s < 0.0)
        a = -a;
    return a;
}

// Rounding can push a matrix element just past +-1; arcsine then stays defined.
double clampedArcsine(double value) {
    return std::asin(std::clamp(value, -1.0, 1.0));
}

// Angles in radians of the rotation held in the upper-left 3x3 of `m`
// (row vectors, m[r][c] row r, column c). The cases are tried in order and
// labelled by group: 1 a turn about X only (1a half-turn, 1b +90, 1c -90,
// 1d any other), 2 about Y only (2a..2e), 3 about Z only (3a..3d), 4 the
// gimbal lock (4a..4d), 5 the general rotation.
void rotationToAngles(const SbMatrix& m, double& x, double& y, double& z) {
    const double m00 = m[0][0], m01 = m[0][1], m02 = m[0][2];
    const double m10 = m[1][0], m11 = m[1][1], m12 = m[1][2];
    const double m20 = m[2][0], m21 = m[2][1], m22 = m[2][2];
    const double T = threshold;
    x = y = z = 0.0;

    if (m00 > T) {
        // Turn about X only.
        if (m11 < -T && m22 < -T)
            x = pi;
        else if (m12 > T && m21 < -T)
            x = pi / 2;
        else if (m12 < -T && m21 > T)
            x = -pi / 2;
        else
            x = quadrantAngle(m12, m22);
    } else if (m11 > T) {
        // Turn about Y only. Entering on m11 > T (not |m11| > T) leaves the
        // half-turns that flip Y to the rows below, which reproduce them.
        if (m00 < -T && m22 < -T) {
            y = pi;
        } else if (m02 < -T && m20 > T) {
            y = pi / 2;
        } else if (m02 > T && m20 < -T) {
            y = -pi / 2;
        } else if (std::fabs(m20) > T) {
            // Cannot hold together with m11 > T; kept so the cases stay complete.
            x = pi;
            y = clampedArcsine(-m02);
        } else {
            double t = clampedArcsine(-m02);
            if (m00 < 0.0)
                t = t >= 0.0 ? pi - t : t + pi;
            if (m20 < 0.0)
                t = -std::fabs(t);
            y = t;
        }
    } else if (m22 > T) {
        // Turn about Z only.
        if (m00 < -T && m11 < -T)
            z = pi;
        else if (m01 > T && m10 < -T)
            z = pi / 2;
        else if (m01 < -T && m10 > T)
            z = -pi / 2;
        else
            z = quadrantAngle(m01, m00);
    } else if (std::fabs(m02) > T) {
        // Gimbal lock at y = +-90: the whole turn about the common axis goes
        // into x, z stays 0.
        y = clampedArcsine(-m02);
        if (std::fabs(m21) > T)
            x = clampedArcsine(-m21);
        else if (std::fabs(m20) > T)
            x = pi;
        else if (m02 < -T)
            x = quadrantAngle(m10, m20);
        else
            x = quadrantAngle(-m10, -m20);
    } else {
        x = quadrantAngle(m12, m22);
        y = clampedArcsine(-m02);
        z = quadrantAngle(m01, m00);
    }
}

} // namespace

KTAngle::KTAngle() : values{0.0, 0.0, 0.0} {}

KTAngle::KTAngle(double x, double y, double z) : values{x, y, z} {}

KTAngle::KTAngle(double q0, double q1, double q2, double q3) : values{0.0, 0.0, 0.0} {
    const float q[4] = {static_cast<float>(q0), static_cast<float>(q1), static_cast<float>(q2),
                        static_cast<float>(q3)};
    setValue(q);
}

KTAngle::KTAngle(const KTAngle& other)
    : values{other.values[0], other.values[1], other.values[2]} {}

KTAngle& KTAngle::operator=(const KTAngle& other) {
    // The spare slot belongs to this object: only the three angles travel.
    values[0] = other.values[0];
    values[1] = other.values[1];
    values[2] = other.values[2];
    return *this;
}

KTAngle::~KTAngle() = default;

KTAngle& KTAngle::operator=(const float q[4]) {
    setValue(q);
    return *this;
}

void KTAngle::setValue(const float q[4]) {
    if (!q)
        return;
    SbRotation rotation;
    rotation.setValue(q[0], q[1], q[2], q[3]);
    SbMatrix matrix;
    rotation.getValue(matrix);
    double x, y, z;
    rotationToAngles(matrix, x, y, z);
    values[0] = x * radiansToDegrees;
    values[1] = y * radiansToDegrees;
    values[2] = z * radiansToDegrees;
}

void KTAngle::setValue(double x, double y, double z) {
    values[0] = x;
    values[1] = y;
    values[2] = z;
}

void KTAngle::getValue(double& x, double& y, double& z) const {
    x = values[0];
    y = values[1];
    z = values[2];
}

void KTAngle::getValue(float q[4]) const {
    if (!q)
        return;
    const double x = values[0] * degreesToRadians;
    const double y = values[1] * degreesToRadians;
    const double z = values[2] * degreesToRadians;
    const double sx = std::sin(x), cx = std::cos(x);
    const double sy = std::sin(y), cy = std::cos(y);
    const double sz = std::sin(z), cz = std::cos(z);
    // X first, then the fixed Y axis, then the fixed Z axis, as a row-vector
    // matrix (a point p maps to p * M).
    const auto f = [](double v) { return static_cast<float>(v); };
    const SbMatrix matrix(f(cz * cy), f(sz * cy), f(-sy), 0.0f,                                   //
                          f(sx * sy * cz - cx * sz), f(sx * sy * sz + cx * cz), f(sx * cy), 0.0f, //
                          f(cx * sy * cz + sx * sz), f(cx * sy * sz - sx * cz), f(cx * cy), 0.0f, //
                          0.0f, 0.0f, 0.0f, 1.0f);
    SbRotation rotation;
    rotation.setValue(matrix);
    rotation.getValue(q[0], q[1], q[2], q[3]);
}

int KTAngle::operator==(const KTAngle& other) const {
    return values[0] == other.values[0] && values[1] == other.values[1] &&
           values[2] == other.values[2];
}

double& KTAngle::operator[](unsigned int i) {
    return i <= 2 ? values[i] : spare;
}

double KTAngle::operator[](unsigned int i) const {
    return i <= 2 ? values[i] : spare;
}
