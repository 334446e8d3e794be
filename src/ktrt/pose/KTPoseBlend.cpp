#include <ktrt/pose/KTPoseBlend.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include <ktrt/pose/KTPose.h>
#include <ktrt/pose/detail/RotationMath.h>

namespace {

using Layer = KTPoseBlend::Layer;

bool validWeight(double weight) {
    return std::isfinite(weight) && weight >= 0.0 && weight <= std::numeric_limits<float>::max();
}

bool validLayers(const std::vector<Layer>& layers, bool additive) {
    for (const Layer& layer : layers) {
        if (!layer.pose || (additive && !layer.reference) || !validWeight(layer.weight))
            return false;
        if (layer.partWeights) {
            for (float weight : *layer.partWeights) {
                if (!std::isfinite(weight) || weight < 0.0f)
                    return false;
            }
        }
    }
    return true;
}

// The layer's weight on part `index`.
double weightOn(const Layer& layer, unsigned int index) {
    const std::vector<float>* mask = layer.partWeights;
    return mask && index < mask->size() ? layer.weight * (*mask)[index] : layer.weight;
}

// One channel's successive blend: the first value with a weight above 0
// starts it, each next one moves it its weight over the weights so far of
// the way toward itself.
struct Translation {
    double value[3] = {0.0, 0.0, 0.0};
    double sum = 0.0;

    void take(const SbVec3f& v, double weight) {
        if (!(weight > 0.0))
            return;
        const double share = sum > 0.0 ? weight / (sum + weight) : 1.0;
        sum += weight;
        for (int c = 0; c < 3; ++c)
            value[c] = share == 1.0 ? v[c] : value[c] + (v[c] - value[c]) * share;
    }
    SbVec3f get() const {
        return SbVec3f(static_cast<float>(value[0]), static_cast<float>(value[1]),
                       static_cast<float>(value[2]));
    }
};

struct Rotation {
    SbRotation value = SbRotation::identity();
    double sum = 0.0;

    void take(const SbRotation& q, double weight) {
        if (!(weight > 0.0))
            return;
        const double share = sum > 0.0 ? weight / (sum + weight) : 1.0;
        sum += weight;
        value = ktrt::detail::slerp(value, q, share);
    }
};

// Blends one channel of part `index` (see the class comment): the layers'
// values over the rest pose's, then the additive layers' differences. False
// when no layer sets the channel there.
template <class Accumulator, class Value>
bool blendChannel(const std::vector<Layer>& layers, const std::vector<Layer>& additive,
                  const KTPose& rest, unsigned int index, int channel,
                  const Value& (KTPose::*valueOf)(unsigned int) const, Accumulator& result) {
    bool set = false;
    double total = 0.0;
    for (const Layer& layer : layers) {
        if (layer.pose->getChannels(index) & channel) {
            set = true;
            total += weightOn(layer, index);
        }
    }
    for (const Layer& layer : additive)
        set = set || (layer.pose->getChannels(index) & channel) != 0;
    if (!set)
        return false;
    if (total < 1.0)
        result.take((rest.*valueOf)(index), 1.0 - total);
    for (const Layer& layer : layers) {
        if (layer.pose->getChannels(index) & channel)
            result.take((layer.pose->*valueOf)(index), weightOn(layer, index));
    }
    return true;
}

void addTranslations(const std::vector<Layer>& additive, unsigned int index, Translation& sum) {
    for (const Layer& layer : additive) {
        const double weight = weightOn(layer, index);
        if (!(weight > 0.0) || !(layer.pose->getChannels(index) &
                                 layer.reference->getChannels(index) & KTPose::TRANSLATION))
            continue;
        const SbVec3f& to = layer.pose->getTranslation(index);
        const SbVec3f& from = layer.reference->getTranslation(index);
        for (int c = 0; c < 3; ++c)
            sum.value[c] += (to[c] - static_cast<double>(from[c])) * weight;
    }
}

void addRotations(const std::vector<Layer>& additive, unsigned int index, Rotation& sum) {
    for (const Layer& layer : additive) {
        const double weight = weightOn(layer, index);
        if (!(weight > 0.0) || !(layer.pose->getChannels(index) &
                                 layer.reference->getChannels(index) & KTPose::ROTATION))
            continue;
        const SbRotation& to = layer.pose->getRotation(index);
        const SbRotation& from = layer.reference->getRotation(index);
        // No difference, no change: the value stays bit for bit.
        if (ktrt::detail::sameBits(to, from))
            continue;
        const SbRotation difference = from.inverse() * to;
        sum.value = sum.value * ktrt::detail::slerp(SbRotation::identity(), difference, weight);
    }
}

} // namespace

KTPoseBlend::KTPoseBlend() = default;

KTPoseBlend::KTPoseBlend(const KTPoseBlend&) = default;

KTPoseBlend& KTPoseBlend::operator=(const KTPoseBlend&) = default;

int KTPoseBlend::operator==(const KTPoseBlend&) const {
    return 1;
}

int KTPoseBlend::blend(const std::vector<Layer>& layers, const std::vector<Layer>& additive,
                       const KTPose& rest, KTPose& result) {
    if (!validLayers(layers, false) || !validLayers(additive, true))
        return 0;
    unsigned int count = rest.getNumParts();
    for (const std::vector<Layer>* list : {&layers, &additive}) {
        for (const Layer& layer : *list)
            count = std::max(count, layer.pose->getNumParts());
    }
    // Part i of the result is written only after every input's part i is
    // read, so that the result may be one of the inputs.
    result.setNumParts(count);
    for (unsigned int i = 0; i < count; ++i) {
        int channels = 0;
        Translation translation;
        if (blendChannel(layers, additive, rest, i, KTPose::TRANSLATION, &KTPose::getTranslation,
                         translation)) {
            channels |= KTPose::TRANSLATION;
            addTranslations(additive, i, translation);
        }
        Rotation rotation;
        if (blendChannel(layers, additive, rest, i, KTPose::ROTATION, &KTPose::getRotation,
                         rotation)) {
            channels |= KTPose::ROTATION;
            addRotations(additive, i, rotation);
        }
        result.setPart(i, translation.get(), rotation.value, channels);
    }
    return 1;
}

int KTPoseBlend::blend(const KTPose& from, const KTPose& to, float weight, const KTPose& rest,
                       KTPose& result) {
    if (!(weight >= 0.0f && weight <= 1.0f))
        return 0;
    const std::vector<Layer> layers = {Layer{&from, 1.0 - weight, nullptr, nullptr},
                                       Layer{&to, weight, nullptr, nullptr}};
    return blend(layers, {}, rest, result);
}
