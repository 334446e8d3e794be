#include <ktrt/geometry/detail/RotationToAngles.h>

#include <algorithm>
#include <cmath>

namespace ktrt::detail {

namespace {

constexpr double pi = 3.14159265358979323846;

// Matrix elements this close to +-1 mean the rotation is (nearly) a pure turn
// about one axis, or a gimbal lock.
constexpr double threshold = 0.999999;

} // namespace

double quadrantAngle(double s, double c) {
    double a = std::fabs(std::atan(s / c));
    if (c < 0.0)
        a = pi - a;
    if (s < 0.0)
        a = -a;
    return a;
}

double clampedArcsine(double value) {
    return std::asin(std::clamp(value, -1.0, 1.0));
}

// The cases are tried in order and labelled by group: 1 a turn about X only
// (1a half-turn, 1b +90, 1c -90, 1d any other), 2 about Y only (2a..2e), 3
// about Z only (3a..3d), 4 the gimbal lock (4a..4d), 5 the general rotation.
void rotationToAngles(const double m[3][3], double& x, double& y, double& z) {
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
        } else {
            // Near a quarter turn rounding can leave |m20| above T while m02
            // is not below -T. A turn that keeps Y has no x = pi, so that case
            // (row 2d) takes the general Y row too.
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
        // x = pi holds only when m20 has the sign of m02. The opposite signs
        // are a quarter turn about Y whose m11 rounding kept just below T;
        // the rows after this one reproduce it.
        else if (std::fabs(m20) > T && (m20 > 0.0) == (m02 > 0.0))
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

} // namespace ktrt::detail
