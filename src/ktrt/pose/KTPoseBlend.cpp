#include <ktrt/pose/KTPoseBlend.h>

#include <algorithm>
#include <cmath>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include <ktrt/pose/KTPose.h>

namespace {

// Quaternions closer than this (cosine of half the angle between them) are
// blended linearly: the spherical form divides by a vanishing sine.
const double nearlyParallel = 0.9999995;

bool validWeight(float weight) {
    return std::isfinite(weight) && weight >= 0.0f;
}

bool validLayer(const KTPoseBlend::Layer& layer) {
    if (!layer.pose || !validWeight(layer.weight))
        return false;
    if (layer.partWeights) {
        for (float weight : *layer.partWeights) {
            if (!validWeight(weight))
                return false;
        }
    }
    return true;
}

// The layer's weight on part `index`.
double weightOn(const KTPoseBlend::Layer& layer, unsigned int index) {
    const std::vector<float>* mask = layer.partWeights;
    const double scale = mask && index < mask->size() ? (*mask)[index] : 1.0;
    return layer.weight * scale;
}

double dot(const SbRotation& a, const SbRotation& b) {
    const float* p = a.getValue();
    const float* q = b.getValue();
    double sum = 0.0;
    for (int c = 0; c < 4; ++c)
        sum += static_cast<double>(p[c]) * q[c];
    return sum;
}

// Spherical-linear along the shorter arc; the ends exactly.
SbRotation slerp(const SbRotation& from, const SbRotation& to, double weight) {
    if (weight <= 0.0)
        return from;
    if (weight >= 1.0)
        return to;
    double cosine = dot(from, to);
    const double sign = cosine < 0.0 ? -1.0 : 1.0;
    cosine = std::fabs(cosine);
    double fromWeight = 1.0 - weight;
    double toWeight = weight;
    if (cosine < nearlyParallel) {
        const double angle = std::acos(cosine);
        const double inverseSine = 1.0 / std::sin(angle);
        fromWeight = std::sin(fromWeight * angle) * inverseSine;
        toWeight = std::sin(toWeight * angle) * inverseSine;
    }
    toWeight *= sign;
    const float* a = from.getValue();
    const float* b = to.getValue();
    double q[4];
    double norm = 0.0;
    for (int c = 0; c < 4; ++c) {
        q[c] = fromWeight * a[c] + toWeight * b[c];
        norm += q[c] * q[c];
    }
    const double scale = 1.0 / std::sqrt(norm);
    return SbRotation(static_cast<float>(q[0] * scale), static_cast<float>(q[1] * scale),
                      static_cast<float>(q[2] * scale), static_cast<float>(q[3] * scale));
}

SbVec3f lerp(const SbVec3f& from, const SbVec3f& to, double weight) {
    if (weight <= 0.0)
        return from;
    if (weight >= 1.0)
        return to;
    SbVec3f result;
    for (int c = 0; c < 3; ++c)
        result[c] = static_cast<float>(from[c] + (to[c] - static_cast<double>(from[c])) * weight);
    return result;
}

// A part's value of a channel: the pose's where it sets it, else the rest
// pose's (identity where that lacks it too).
const SbVec3f& translationOr(const KTPose& pose, const KTPose& rest, unsigned int index) {
    return (pose.getChannels(index) & KTPose::TRANSLATION) ? pose.getTranslation(index)
                                                           : rest.getTranslation(index);
}

const SbRotation& rotationOr(const KTPose& pose, const KTPose& rest, unsigned int index) {
    return (pose.getChannels(index) & KTPose::ROTATION) ? pose.getRotation(index)
                                                        : rest.getRotation(index);
}

// One channel's weighted sum over the layers of one part, with the rest
// pose taking the weight of the layers that lack the channel.
struct Sum {
    double total = 0.0;   // every weight, the rest pose's share included
    double missing = 0.0; // the weight of layers without the channel
    int contributors = 0; // layers with the channel and a weight above 0
    unsigned int only = 0;
    bool any = false; // a layer with a weight above 0 sets the channel
};

} // namespace

KTPoseBlend::KTPoseBlend() = default;

KTPoseBlend::KTPoseBlend(const KTPoseBlend&) = default;

KTPoseBlend& KTPoseBlend::operator=(const KTPoseBlend&) = default;

int KTPoseBlend::operator==(const KTPoseBlend&) const {
    return 1;
}

int KTPoseBlend::blend(const KTPose& from, const KTPose& to, float weight, const KTPose& rest,
                       KTPose& result) {
    if (!validWeight(weight) || weight > 1.0f)
        return 0;
    const unsigned int count = std::max(from.getNumParts(), to.getNumParts());
    result.setNumParts(count);
    for (unsigned int i = 0; i < count; ++i) {
        const int fromChannels = from.getChannels(i);
        const int toChannels = to.getChannels(i);
        // A channel counts where an input with a weight above 0 sets it.
        const int channels = (weight < 1.0f ? fromChannels : 0) | (weight > 0.0f ? toChannels : 0);
        const SbVec3f translation =
            (channels & KTPose::TRANSLATION)
                ? lerp(translationOr(from, rest, i), translationOr(to, rest, i), weight)
                : SbVec3f(0.0f, 0.0f, 0.0f);
        const SbRotation rotation =
            (channels & KTPose::ROTATION)
                ? slerp(rotationOr(from, rest, i), rotationOr(to, rest, i), weight)
                : SbRotation::identity();
        result.setPart(i, translation, rotation, channels);
    }
    return 1;
}

int KTPoseBlend::blend(const std::vector<Layer>& layers, const KTPose& rest, KTPose& result) {
    return blendLayers(layers, rest, false, result);
}

int KTPoseBlend::blendOverRest(const std::vector<Layer>& layers, const KTPose& rest,
                               KTPose& result) {
    return blendLayers(layers, rest, true, result);
}

int KTPoseBlend::blendLayers(const std::vector<Layer>& layers, const KTPose& rest,
                             bool restFillsToOne, KTPose& result) {
    if (layers.empty())
        return 0;
    unsigned int count = 0;
    for (const Layer& layer : layers) {
        if (!validLayer(layer))
            return 0;
        count = std::max(count, layer.pose->getNumParts());
    }
    result.setNumParts(count);
    for (unsigned int i = 0; i < count; ++i) {
        Sum sums[2]; // translation, rotation
        const int bits[2] = {KTPose::TRANSLATION, KTPose::ROTATION};
        for (unsigned int l = 0; l < layers.size(); ++l) {
            const double weight = weightOn(layers[l], i);
            const int channels = layers[l].pose->getChannels(i);
            for (int c = 0; c < 2; ++c) {
                sums[c].total += weight;
                if (!(channels & bits[c])) {
                    sums[c].missing += weight;
                } else if (weight > 0.0) {
                    sums[c].any = true;
                    ++sums[c].contributors;
                    sums[c].only = l;
                } else if (restFillsToOne) {
                    // Weighed out (by a mask, say): the rest pose takes the part.
                    sums[c].any = true;
                }
            }
        }
        if (restFillsToOne) {
            for (Sum& sum : sums) {
                if (sum.total < 1.0) {
                    sum.missing += 1.0 - sum.total;
                    sum.total = 1.0;
                }
            }
        }
        int channels = 0;
        SbVec3f translation(0.0f, 0.0f, 0.0f);
        SbRotation rotation = SbRotation::identity();
        if (sums[0].any) {
            channels |= KTPose::TRANSLATION;
            if (sums[0].contributors == 1 && sums[0].missing == 0.0) {
                translation = layers[sums[0].only].pose->getTranslation(i);
            } else {
                double t[3] = {0.0, 0.0, 0.0};
                const SbVec3f& still = rest.getTranslation(i);
                for (int c = 0; c < 3; ++c)
                    t[c] = still[c] * sums[0].missing;
                for (const Layer& layer : layers) {
                    if (!(layer.pose->getChannels(i) & KTPose::TRANSLATION))
                        continue;
                    const double weight = weightOn(layer, i);
                    const SbVec3f& v = layer.pose->getTranslation(i);
                    for (int c = 0; c < 3; ++c)
                        t[c] += v[c] * weight;
                }
                for (int c = 0; c < 3; ++c)
                    translation[c] = static_cast<float>(t[c] / sums[0].total);
            }
        }
        if (sums[1].any) {
            channels |= KTPose::ROTATION;
            if (sums[1].contributors == 1 && sums[1].missing == 0.0) {
                rotation = layers[sums[1].only].pose->getRotation(i);
            } else {
                // Every quaternion turned to the side of the first one.
                const SbRotation& first = rotationOr(*layers[0].pose, rest, i);
                double q[4] = {0.0, 0.0, 0.0, 0.0};
                const auto accumulate = [&](const SbRotation& turn, double weight) {
                    const double side = dot(turn, first) < 0.0 ? -weight : weight;
                    const float* v = turn.getValue();
                    for (int c = 0; c < 4; ++c)
                        q[c] += v[c] * side;
                };
                accumulate(rest.getRotation(i), sums[1].missing);
                for (const Layer& layer : layers) {
                    if (layer.pose->getChannels(i) & KTPose::ROTATION)
                        accumulate(layer.pose->getRotation(i), weightOn(layer, i));
                }
                const double norm =
                    std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
                if (norm > 0.0) {
                    rotation = SbRotation(
                        static_cast<float>(q[0] / norm), static_cast<float>(q[1] / norm),
                        static_cast<float>(q[2] / norm), static_cast<float>(q[3] / norm));
                }
            }
        }
        result.setPart(i, translation, rotation, channels);
    }
    return 1;
}

int KTPoseBlend::add(const KTPose& base, const Layer& layer, const KTPose& reference,
                     KTPose& result) {
    if (!validLayer(layer))
        return 0;
    const unsigned int count = base.getNumParts();
    result.setNumParts(count);
    for (unsigned int i = 0; i < count; ++i) {
        const int channels = base.getChannels(i);
        const int both = layer.pose->getChannels(i) & reference.getChannels(i);
        const double weight = weightOn(layer, i);
        SbVec3f translation = base.getTranslation(i);
        SbRotation rotation = base.getRotation(i);
        if ((channels & both & KTPose::TRANSLATION) && weight > 0.0) {
            const SbVec3f& to = layer.pose->getTranslation(i);
            const SbVec3f& from = reference.getTranslation(i);
            for (int c = 0; c < 3; ++c) {
                const double step = (to[c] - static_cast<double>(from[c])) * weight;
                if (step != 0.0)
                    translation[c] = static_cast<float>(translation[c] + step);
            }
        }
        if ((channels & both & KTPose::ROTATION) && weight > 0.0) {
            const SbRotation& to = layer.pose->getRotation(i);
            const SbRotation& from = reference.getRotation(i);
            // No difference, no change: the base stays bit for bit.
            if (!(to == from)) {
                const SbRotation difference = from.inverse() * to;
                rotation = rotation * slerp(SbRotation::identity(), difference, weight);
            }
        }
        result.setPart(i, translation, rotation, channels);
    }
    return 1;
}
