#include <ktrt/animation/detail/AxisAngleOrientation.h>

#include <cmath>

#include <ktrt/animation/KTAnimationState.h>
#include <ktrt/geometry/detail/RotationToAngles.h>

// The float expressions below must round exactly as Coin's compiled code
// does: one rounding per operation, in the written order. The build turns
// off contraction into fused multiply-adds for this file.

namespace ktrt::detail {

namespace {

constexpr double radiansToDegrees = 57.29577951308232;

float quaternionLength(const float q[4]) {
    return std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
}

// SbRotation::setValue(q0, q1, q2, q3) normalises the quaternion unless its
// length is within half a float epsilon of 1.
void normalizeQuaternion(float q[4]) {
    const float length = quaternionLength(q);
    if (length > 0.0f && std::fabs(static_cast<double>(length) - 1.0) > 0x1p-24) {
        const float inverse = 1.0f / length;
        for (int i = 0; i < 4; ++i)
            q[i] *= inverse;
    }
}

// The bodies of unitQuaternion() and rotationMatrix(), inlined into the
// reader's conversion below.
inline void unitQuaternionOf(const float q[4], float u[4]) {
    const float length = quaternionLength(q);
    if (length > 0x1p-23f) {
        for (int i = 0; i < 4; ++i)
            u[i] = q[i] / length;
    } else {
        u[0] = u[1] = u[2] = 0.0f;
        u[3] = 1.0f;
    }
}

inline void matrixOfQuaternion(const float q[4], float m[3][3]) {
    float u[4];
    unitQuaternionOf(q, u);
    const float x = u[0], y = u[1], z = u[2], w = u[3];
    const float xx = x * x, yy = y * y, zz = z * z;
    const float xy = x * y, zw = z * w, xz = x * z, yw = y * w, yz = y * z, xw = x * w;
    const auto twice = [](float v) { return v + v; };
    m[0][0] = 1.0f - twice(yy + zz);
    m[0][1] = twice(xy + zw);
    m[0][2] = twice(xz - yw);
    m[1][0] = twice(xy - zw);
    m[1][1] = 1.0f - twice(zz + xx);
    m[1][2] = twice(yz + xw);
    m[2][0] = twice(xz + yw);
    m[2][1] = twice(yz - xw);
    m[2][2] = 1.0f - twice(xx + yy);
}

} // namespace

void unitQuaternion(const float q[4], float u[4]) {
    unitQuaternionOf(q, u);
}

void rotationMatrix(const float q[4], float m[3][3]) {
    matrixOfQuaternion(q, m);
}

void anglesOfMatrix(const float m[3][3], double degrees[3]) {
    const double wide[3][3] = {
        {m[0][0], m[0][1], m[0][2]}, {m[1][0], m[1][1], m[1][2]}, {m[2][0], m[2][1], m[2][2]}};
    double x, y, z;
    rotationToAngles(wide, x, y, z);
    degrees[0] = x * radiansToDegrees;
    degrees[1] = y * radiansToDegrees;
    degrees[2] = z * radiansToDegrees;
}

void quaternionFromAxisHalfAngle(float x, float y, float z, float sine, float cosine, float q[4]) {
    // SbRotation::setValue(axis, radians): the axis scaled to unit length (a
    // zero axis stays zero), times the sine of half the angle; the cosine last.
    const float length = std::sqrt(x * x + y * y + z * z);
    if (length > 0.0f) {
        const float inverse = 1.0f / length;
        x *= inverse;
        y *= inverse;
        z *= inverse;
    }
    q[0] = x * sine;
    q[1] = y * sine;
    q[2] = z * sine;
    q[3] = cosine;
    normalizeQuaternion(q);
}

KTAngle orientationFromAxisAngle(float x, float y, float z, float radians) {
    float sine, cosine;
    sineAndCosine(radians * 0.5f, sine, cosine);
    float q[4];
    quaternionFromAxisHalfAngle(x, y, z, sine, cosine, q);
    float m[3][3];
    matrixOfQuaternion(q, m);
    double degrees[3];
    anglesOfMatrix(m, degrees);
    return KTAngle(degrees[0], degrees[1], degrees[2]);
}

void rememberAxisAngle(KTAnimationState& key, const KTAxisAngle& value) noexcept {
    key.axisAngle = value;
    key.axisAngleKnown = true;
}

} // namespace ktrt::detail
