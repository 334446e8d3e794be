#include <ktrt/keys/detail/AxisAngleOrientation.h>

#include <cmath>

#include <math.h> // NOLINT(modernize-deprecated-headers): declares the GNU ::sincosf

#include <ktrt/geometry/detail/RotationToAngles.h>

// The float expressions below must round exactly as Coin's compiled code
// does: one rounding per operation, in the written order. The build turns
// off contraction into fused multiply-adds for this file.

namespace ktrt::detail {

namespace {

constexpr double radiansToDegrees = 57.29577951308232;

// The sine and cosine of a half angle as SbRotation takes them (glibc's
// sincosf).
inline void sineAndCosine(float angle, float& sine, float& cosine) {
#if defined(__GLIBC__)
    ::sincosf(angle, &sine, &cosine);
#else
    sine = std::sin(angle);
    cosine = std::cos(angle);
#endif
}

inline float quaternionLength(const float q[4]) {
    return std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
}

// SbRotation::setValue(q0, q1, q2, q3) normalises the quaternion unless its
// length is within half a float epsilon of 1.
inline void normalizeQuaternion(float q[4]) {
    const float length = quaternionLength(q);
    if (length > 0.0f && std::fabs(static_cast<double>(length) - 1.0) > 0x1p-24) {
        const float inverse = 1.0f / length;
        for (int i = 0; i < 4; ++i)
            q[i] *= inverse;
    }
}

// SbRotation::getValue(SbMatrix&) divides the quaternion by its length once
// more; a quaternion of about zero length gives the identity.
inline void unitQuaternion(const float q[4], float u[4]) {
    const float length = quaternionLength(q);
    if (length > 0x1p-23f) {
        for (int i = 0; i < 4; ++i)
            u[i] = q[i] / length;
    } else {
        u[0] = u[1] = u[2] = 0.0f;
        u[3] = 1.0f;
    }
}

// The upper-left 3x3 of the rotation matrix (row vectors) of the unit
// quaternion of q.
inline void rotationMatrix(const float q[4], float m[3][3]) {
    float u[4];
    unitQuaternion(q, u);
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

void quaternionOfAxisAngle(float x, float y, float z, float radians, float q[4]) {
    float sine, cosine;
    sineAndCosine(radians * 0.5f, sine, cosine);
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
}

KTAngle orientationFromAxisAngle(float x, float y, float z, float radians) {
    // KTAngle(q0, q1, q2, q3) sets the quaternion into an SbRotation, which
    // normalises it, and converts that rotation's matrix to angles.
    float q[4];
    quaternionOfAxisAngle(x, y, z, radians, q);
    normalizeQuaternion(q);
    float m[3][3];
    rotationMatrix(q, m);
    const double wide[3][3] = {
        {m[0][0], m[0][1], m[0][2]}, {m[1][0], m[1][1], m[1][2]}, {m[2][0], m[2][1], m[2][2]}};
    double angles[3];
    rotationToAngles(wide, angles[0], angles[1], angles[2]);
    return KTAngle(angles[0] * radiansToDegrees, angles[1] * radiansToDegrees,
                   angles[2] * radiansToDegrees);
}

} // namespace ktrt::detail
