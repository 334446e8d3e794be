#include <ktrt/pose/KTPose.h>

#include <ktrt/pose/detail/RotationMath.h>

namespace {

const SbVec3f zeroTranslation(0.0f, 0.0f, 0.0f);
const SbRotation noTurn(0.0f, 0.0f, 0.0f, 1.0f);

} // namespace

KTPose::KTPose() = default;

KTPose::KTPose(unsigned int numParts) {
    setNumParts(numParts);
}

KTPose::KTPose(const KTPose& other) = default;

KTPose& KTPose::operator=(const KTPose& other) = default;

KTPose::~KTPose() = default;

int KTPose::operator==(const KTPose& other) const {
    if (parts.size() != other.parts.size())
        return 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Part& a = parts[i];
        const Part& b = other.parts[i];
        if (a.channels != b.channels)
            return 0;
        // By their bits, so that a pose equals its copy even where it holds NaNs.
        if ((a.channels & TRANSLATION) && !ktrt::detail::sameBits(a.translation, b.translation))
            return 0;
        if ((a.channels & ROTATION) && !ktrt::detail::sameBits(a.rotation, b.rotation))
            return 0;
    }
    return 1;
}

void KTPose::setNumParts(unsigned int numParts) {
    parts.resize(numParts, Part{zeroTranslation, noTurn, 0});
}

void KTPose::clear() {
    for (Part& part : parts)
        part = Part{zeroTranslation, noTurn, 0};
}

void KTPose::setTranslation(unsigned int index, const SbVec3f& translation) {
    if (index >= parts.size())
        return;
    parts[index].translation = translation;
    parts[index].channels |= TRANSLATION;
}

void KTPose::setRotation(unsigned int index, const SbRotation& rotation) {
    if (index >= parts.size())
        return;
    parts[index].rotation = rotation;
    parts[index].channels |= ROTATION;
}

void KTPose::setPart(unsigned int index, const SbVec3f& translation, const SbRotation& rotation,
                     int channels) {
    if (index >= parts.size())
        return;
    channels &= TRANSLATION | ROTATION;
    parts[index] = Part{(channels & TRANSLATION) ? translation : zeroTranslation,
                        (channels & ROTATION) ? rotation : noTurn, channels};
}

const SbVec3f& KTPose::getTranslation(unsigned int index) const {
    return index < parts.size() ? parts[index].translation : zeroTranslation;
}

const SbRotation& KTPose::getRotation(unsigned int index) const {
    return index < parts.size() ? parts[index].rotation : noTurn;
}

int KTPose::getChannels(unsigned int index) const {
    return index < parts.size() ? parts[index].channels : 0;
}
