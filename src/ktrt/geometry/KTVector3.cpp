#include <ktrt/geometry/KTVector3.h>

KTVector3::KTVector3() : values{0.0, 0.0, 0.0} {}

KTVector3::KTVector3(double x, double y, double z) : values{x, y, z} {}

KTVector3::KTVector3(const KTVector3& other)
    : values{other.values[0], other.values[1], other.values[2]} {}

// cppcheck-suppress operatorEqVarError ; the spare slot belongs to this object
KTVector3& KTVector3::operator=(const KTVector3& other) {
    // The spare slot belongs to this object: only the three values travel.
    if (this != &other) {
        values[0] = other.values[0];
        values[1] = other.values[1];
        values[2] = other.values[2];
    }
    return *this;
}

KTVector3::~KTVector3() = default;

int KTVector3::operator==(const KTVector3& other) const {
    return values[0] == other.values[0] && values[1] == other.values[1] &&
           values[2] == other.values[2];
}

double& KTVector3::operator[](unsigned int i) {
    return i <= 2 ? values[i] : spare;
}

double KTVector3::operator[](unsigned int i) const {
    return i <= 2 ? values[i] : spare;
}

void KTVector3::getValues(double& x, double& y, double& z) const {
    x = values[0];
    y = values[1];
    z = values[2];
}

void KTVector3::setValues(double x, double y, double z) {
    values[0] = x;
    values[1] = y;
    values[2] = z;
}
