#include <ktrt/keys/KTAnimationState.h>

#include <ktrt/keys/detail/AxisAngleOrientation.h>

using ktrt::detail::sameBits;

// Keys built by hand are usable straight away: a default key is valid. Only a
// track's sentinel is marked invalid, by the track itself.
KTAnimationState::KTAnimationState() : key(0.0), validity(1) {}

KTAnimationState::KTAnimationState(double key, const KTVector3& position,
                                   const KTAngle& orientation)
    : key(key), validity(1) {
    transform.setPosition(position);
    transform.setOrientation(orientation);
}

KTAnimationState::KTAnimationState(double key, const KTTransform& transform)
    : key(key), transform(transform), validity(1) {}

// A copy is a fresh key of its own, hence valid whatever the source was.
KTAnimationState::KTAnimationState(const KTAnimationState& other)
    : key(other.key), transform(other.transform), validity(1), axisAngleKnown(other.axisAngleKnown),
      axisAngle(other.axisAngle) {}

KTAnimationState& KTAnimationState::operator=(const KTAnimationState& other) {
    key = other.key;
    transform.setOrientation(other.transform.getOrientation());
    transform.setPosition(other.transform.getPosition());
    validity = other.validity;
    axisAngleKnown = other.axisAngleKnown;
    axisAngle = other.axisAngle;
    return *this;
}

KTAnimationState::~KTAnimationState() = default;

int KTAnimationState::operator==(const KTAnimationState& other) const {
    return !(key < other.key) && !(key > other.key);
}

void KTAnimationState::setTransform(const KTTransform& value) {
    setOrientation(value.getOrientation());
    transform.setPosition(value.getPosition());
}

void KTAnimationState::setOrientation(const KTAngle& value) {
    // The same angles again still come from the remembered numbers.
    if (axisAngleKnown && !sameBits(value, transform.getOrientation()))
        axisAngleKnown = false;
    transform.setOrientation(value);
}

void KTAnimationState::setOrientation(const KTAxisAngle& value) {
    transform.setOrientation(value.getOrientation());
    axisAngle = value;
    axisAngleKnown = true;
}

int KTAnimationState::getAxisAngle(KTAxisAngle& value) const {
    if (!axisAngleKnown)
        return 0;
    value = axisAngle;
    return 1;
}
