#include <ktrt/geometry/KTAngle.h>

#include <cmath>

#include <Inventor/SbMatrix.h>
#include <Inventor/SbRotation.h>

#include <ktrt/geometry/detail/RotationToAngles.h>

namespace {

constexpr double degreesToRadians = 0.017453292519943295;
constexpr double radiansToDegrees = 57.29577951308232;

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

// cppcheck-suppress operatorEqVarError ; the spare slot belongs to this object
KTAngle& KTAngle::operator=(const KTAngle& other) {
    // The spare slot belongs to this object: only the three angles travel.
    if (this != &other) {
        values[0] = other.values[0];
        values[1] = other.values[1];
        values[2] = other.values[2];
    }
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
    const double m[3][3] = {{matrix[0][0], matrix[0][1], matrix[0][2]},
                            {matrix[1][0], matrix[1][1], matrix[1][2]},
                            {matrix[2][0], matrix[2][1], matrix[2][2]}};
    double x, y, z;
    ktrt::detail::rotationToAngles(m, x, y, z);
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
