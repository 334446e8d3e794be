#include <ktrt/pose/KTPose.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include <ktrt/pose/detail/KeyRows.h>
#include <ktrt/pose/detail/PoseRows.h>

namespace {

using ktrt::detail::blendPlanes;

// The identity's value in each plane: no turn, no translation.
const float identity[blendPlanes] = {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f};

bool sameFloatBits(float a, float b) {
    std::uint32_t aBits = 0;
    std::uint32_t bBits = 0;
    std::memcpy(&aBits, &a, sizeof(a));
    std::memcpy(&bBits, &b, sizeof(b));
    return aBits == bBits;
}

} // namespace

KTPose::KTPose() = default;

KTPose::KTPose(unsigned int numParts) {
    setNumParts(numParts);
}

KTPose::KTPose(const KTPose& other) = default;

KTPose& KTPose::operator=(const KTPose& other) = default;

KTPose::~KTPose() = default;

int KTPose::operator==(const KTPose& other) const {
    if (partCount != other.partCount)
        return 0;
    for (std::size_t i = 0; i < partCount; ++i) {
        const int channels = channelBits[i];
        if (channels != other.channelBits[i])
            return 0;
        // By their bits, so that a pose equals its copy even where it holds NaNs.
        for (std::size_t c = 0; c < blendPlanes; ++c) {
            const int channel = c < 4 ? ROTATION : TRANSLATION;
            if ((channels & channel) &&
                !sameFloatBits(values[c * stride + i], other.values[c * other.stride + i]))
                return 0;
        }
    }
    return 1;
}

void KTPose::setNumParts(unsigned int numParts) {
    if (numParts > stride) {
        // Whole vectors of the widest SIMD target fit in every plane.
        const std::size_t lanes = ktrt::detail::poseLanes;
        const std::size_t wider = (numParts + lanes - 1) / lanes * lanes;
        std::vector<float> grown(blendPlanes * wider);
        for (std::size_t c = 0; c < blendPlanes; ++c) {
            const auto from = values.begin() + static_cast<std::ptrdiff_t>(c * stride);
            const auto to = grown.begin() + static_cast<std::ptrdiff_t>(c * wider);
            std::copy(from, from + partCount, to);
            std::fill(to + partCount, to + static_cast<std::ptrdiff_t>(wider), identity[c]);
        }
        values.swap(grown);
        channelBits.resize(wider, 0);
        stride = wider;
    }
    for (std::size_t i = numParts; i < partCount; ++i)
        put(i, identity + 4, identity, 0);
    partCount = numParts;
}

void KTPose::clear() {
    for (std::size_t i = 0; i < partCount; ++i)
        put(i, identity + 4, identity, 0);
}

void KTPose::put(std::size_t index, const float* translation, const float* rotation, int channels) {
    for (std::size_t c = 0; c < 4; ++c)
        values[c * stride + index] = (channels & ROTATION) ? rotation[c] : identity[c];
    for (std::size_t c = 0; c < 3; ++c)
        values[(4 + c) * stride + index] = (channels & TRANSLATION) ? translation[c] : 0.0f;
    channelBits[index] = channels;
}

void KTPose::setTranslation(unsigned int index, const SbVec3f& translation) {
    if (index >= partCount)
        return;
    for (std::size_t c = 0; c < 3; ++c)
        values[(4 + c) * stride + index] = translation[static_cast<int>(c)];
    channelBits[index] |= TRANSLATION;
}

void KTPose::setRotation(unsigned int index, const SbRotation& rotation) {
    if (index >= partCount)
        return;
    const float* q = rotation.getValue();
    for (std::size_t c = 0; c < 4; ++c)
        values[c * stride + index] = q[c];
    channelBits[index] |= ROTATION;
}

void KTPose::setPart(unsigned int index, const SbVec3f& translation, const SbRotation& rotation,
                     int channels) {
    if (index < partCount)
        put(index, translation.getValue(), rotation.getValue(),
            channels & (TRANSLATION | ROTATION));
}

SbVec3f KTPose::getTranslation(unsigned int index) const {
    if (index >= partCount)
        return SbVec3f(0.0f, 0.0f, 0.0f);
    return SbVec3f(values[4 * stride + index], values[5 * stride + index],
                   values[6 * stride + index]);
}

SbRotation KTPose::getRotation(unsigned int index) const {
    if (index >= partCount)
        return SbRotation::identity();
    float q[4];
    for (std::size_t c = 0; c < 4; ++c)
        q[c] = values[c * stride + index];
    // As stored, not normalised again (setValue() would).
    static_assert(sizeof(SbRotation) == sizeof(q), "a rotation is its four floats");
    SbRotation rotation;
    std::memcpy(static_cast<void*>(&rotation), q, sizeof(q));
    return rotation;
}

int KTPose::getChannels(unsigned int index) const {
    return index < partCount ? channelBits[index] : 0;
}
