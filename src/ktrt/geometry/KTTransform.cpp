#include <ktrt/geometry/KTTransform.h>

KTTransform::KTTransform() = default;

KTTransform::KTTransform(const KTTransform& other) = default;

KTTransform& KTTransform::operator=(const KTTransform& other) = default;

KTTransform::~KTTransform() = default;

int KTTransform::operator==(const KTTransform& other) const {
    return this == &other;
}

void KTTransform::setOrientation(const KTAngle& value) {
    orientation = value;
}

void KTTransform::setPosition(const KTVector3& value) {
    position = value;
}
