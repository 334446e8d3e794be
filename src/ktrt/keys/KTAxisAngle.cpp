#include <ktrt/keys/KTAxisAngle.h>

#include <ktrt/keys/detail/AxisAngleOrientation.h>

KTAxisAngle::KTAxisAngle() : numbers{0.0f, 0.0f, 1.0f, 0.0f} {}

KTAxisAngle::KTAxisAngle(float x, float y, float z, float radians) : numbers{x, y, z, radians} {}

void KTAxisAngle::getValue(float& x, float& y, float& z, float& radians) const {
    x = numbers[0];
    y = numbers[1];
    z = numbers[2];
    radians = numbers[3];
}

int KTAxisAngle::operator==(const KTAxisAngle& other) const {
    using ktrt::detail::bitsOf;
    for (int i = 0; i < 4; ++i) {
        if (bitsOf(numbers[i]) != bitsOf(other.numbers[i]))
            return 0;
    }
    return 1;
}

KTAngle KTAxisAngle::getOrientation() const {
    return ktrt::detail::orientationFromAxisAngle(numbers[0], numbers[1], numbers[2], numbers[3]);
}

void KTAxisAngle::getQuaternion(float q[4]) const {
    if (q)
        ktrt::detail::quaternionOfAxisAngle(numbers[0], numbers[1], numbers[2], numbers[3], q);
}
