#include <ktrt/animation/KTPoseBlend.h>

#include <cmath>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include <ktrt/animation/KTPose.h>

namespace {

// Rotations closer than this (cosine of half the angle between them) blend
// linearly: the spherical weights lose their precision there.
constexpr double nearlyEqualCosine = 0.9995;

bool validWeight(double weight) {
    return std::isfinite(weight) && weight >= 0.0;
}

bool validLayer(const KTPoseBlend::Layer& layer) {
    if (layer.pose == nullptr || !validWeight(layer.weight))
        return false;
    if (layer.partWeights != nullptr) {
        for (float partWeight : *layer.partWeights) {
            if (!validWeight(partWeight))
                return false;
        }
    }
    return true;
}

double partWeight(const KTPoseBlend::Layer& layer, unsigned int part) {
    if (layer.partWeights == nullptr || part >= layer.partWeights->size())
        return layer.weight;
    return layer.weight * (*layer.partWeights)[part];
}

SbRotation normalised(const double q[4]) {
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (!(length > 0.0))
        return SbRotation::identity();
    return SbRotation(static_cast<float>(q[0] / length), static_cast<float>(q[1] / length),
                      static_cast<float>(q[2] / length), static_cast<float>(q[3] / length));
}

// Hamilton product a * b of quaternions stored x, y, z, w: b's turn first,
// then a's.
void multiply(const double a[4], const double b[4], double out[4]) {
    out[0] = a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1];
    out[1] = a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0];
    out[2] = a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3];
    out[3] = a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2];
}

void widen(const SbRotation& rotation, double q[4]) {
    const float* value = rotation.getValue();
    for (int i = 0; i < 4; ++i)
        q[i] = value[i];
}

// One input of a part's channel: where it comes from and its weight.
struct Contribution {
    const KTPose* pose;
    double weight;
};

// Visits the contributions to `channel` of `part`: every layer that has it
// with a positive weight, then the rest pose for what is missing below 1.
template <class Visit>
void forEachContribution(const std::vector<KTPoseBlend::Layer>& layers, const KTPose* rest,
                         unsigned int part, int channel, Visit visit) {
    double total = 0.0;
    for (const KTPoseBlend::Layer& layer : layers) {
        if (!(layer.pose->getChannels(part) & channel))
            continue;
        const double weight = partWeight(layer, part);
        if (weight > 0.0) {
            total += weight;
            visit(Contribution{layer.pose, weight});
        }
    }
    if (rest != nullptr && total < 1.0 && (rest->getChannels(part) & channel))
        visit(Contribution{rest, 1.0 - total});
}

void blendTranslation(const std::vector<KTPoseBlend::Layer>& layers, const KTPose* rest,
                      unsigned int part, KTPose& result) {
    unsigned int count = 0;
    const KTPose* only = nullptr;
    double total = 0.0;
    double sum[3] = {0.0, 0.0, 0.0};
    forEachContribution(layers, rest, part, KTPose::TRANSLATION, [&](const Contribution& input) {
        const SbVec3f& value = input.pose->getTranslation(part);
        for (int i = 0; i < 3; ++i)
            sum[i] += input.weight * value[i];
        total += input.weight;
        only = input.pose;
        ++count;
    });
    if (count == 0) {
        result.unset(part, KTPose::TRANSLATION);
    } else if (count == 1) {
        result.setTranslation(part, only->getTranslation(part));
    } else {
        result.setTranslation(part, SbVec3f(static_cast<float>(sum[0] / total),
                                            static_cast<float>(sum[1] / total),
                                            static_cast<float>(sum[2] / total)));
    }
}

void blendRotation(const std::vector<KTPoseBlend::Layer>& layers, const KTPose* rest,
                   unsigned int part, KTPose& result) {
    unsigned int count = 0;
    Contribution first{nullptr, 0.0};
    Contribution second{nullptr, 0.0};
    double firstValue[4] = {0.0, 0.0, 0.0, 1.0};
    double sum[4] = {0.0, 0.0, 0.0, 0.0};
    forEachContribution(layers, rest, part, KTPose::ROTATION, [&](const Contribution& input) {
        double q[4];
        widen(input.pose->getRotation(part), q);
        if (count == 0) {
            first = input;
            for (int i = 0; i < 4; ++i)
                firstValue[i] = q[i];
        } else if (count == 1) {
            second = input;
        }
        const double side = q[0] * firstValue[0] + q[1] * firstValue[1] + q[2] * firstValue[2] +
                            q[3] * firstValue[3];
        const double weight = side < 0.0 ? -input.weight : input.weight;
        for (int i = 0; i < 4; ++i)
            sum[i] += weight * q[i];
        ++count;
    });
    if (count == 0) {
        result.unset(part, KTPose::ROTATION);
    } else if (count == 1) {
        result.setRotation(part, first.pose->getRotation(part));
    } else if (count == 2) {
        const SbRotation from = first.pose->getRotation(part);
        const SbRotation to = second.pose->getRotation(part);
        result.setRotation(
            part, KTPoseBlend::slerp(from, to, second.weight / (first.weight + second.weight)));
    } else {
        result.setRotation(part, normalised(sum));
    }
}

} // namespace

KTPoseBlend::KTPoseBlend() = default;

KTPoseBlend::KTPoseBlend(const KTPoseBlend&) = default;

KTPoseBlend& KTPoseBlend::operator=(const KTPoseBlend&) = default;

KTPoseBlend::~KTPoseBlend() = default;

int KTPoseBlend::operator==(const KTPoseBlend&) const {
    return 1;
}

SbRotation KTPoseBlend::slerp(const SbRotation& from, const SbRotation& to, double weight) {
    if (!(weight > 0.0))
        return from;
    if (weight >= 1.0)
        return to;
    double a[4];
    double b[4];
    widen(from, a);
    widen(to, b);
    double cosine = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    const double side = cosine < 0.0 ? -1.0 : 1.0;
    cosine *= side;
    double fromWeight = 1.0 - weight;
    double toWeight = weight;
    if (cosine < nearlyEqualCosine) {
        const double angle = std::acos(cosine);
        const double inverseSine = 1.0 / std::sin(angle);
        fromWeight = std::sin(fromWeight * angle) * inverseSine;
        toWeight = std::sin(toWeight * angle) * inverseSine;
    }
    double q[4];
    for (int i = 0; i < 4; ++i)
        q[i] = fromWeight * a[i] + side * toWeight * b[i];
    return normalised(q);
}

int KTPoseBlend::blend(const KTPose& a, const KTPose& b, double weight, KTPose& result) {
    if (!(weight >= 0.0 && weight <= 1.0))
        return 0;
    // Each input alone where the other lacks the part or channel: no rest.
    const std::vector<Layer> layers{Layer{&a, 1.0 - weight, nullptr}, Layer{&b, weight, nullptr}};
    const unsigned int parts =
        a.getNumParts() > b.getNumParts() ? a.getNumParts() : b.getNumParts();
    if (result.getNumParts() < parts)
        result.setNumParts(parts);
    for (unsigned int part = 0; part < parts; ++part) {
        const int inA = a.getChannels(part);
        const int inB = b.getChannels(part);
        if ((inA & inB) & KTPose::TRANSLATION)
            blendTranslation(layers, nullptr, part, result);
        else if ((inA | inB) & KTPose::TRANSLATION)
            result.setTranslation(part, (inA & KTPose::TRANSLATION) ? a.getTranslation(part)
                                                                    : b.getTranslation(part));
        else
            result.unset(part, KTPose::TRANSLATION);
        if ((inA & inB) & KTPose::ROTATION)
            blendRotation(layers, nullptr, part, result);
        else if ((inA | inB) & KTPose::ROTATION)
            result.setRotation(part, (inA & KTPose::ROTATION) ? a.getRotation(part)
                                                              : b.getRotation(part));
        else
            result.unset(part, KTPose::ROTATION);
    }
    return 1;
}

int KTPoseBlend::blend(const std::vector<Layer>& layers, const KTPose* rest, KTPose& result) {
    unsigned int parts = rest != nullptr ? rest->getNumParts() : 0;
    for (const Layer& layer : layers) {
        if (!validLayer(layer))
            return 0;
        if (layer.pose->getNumParts() > parts)
            parts = layer.pose->getNumParts();
    }
    if (result.getNumParts() < parts)
        result.setNumParts(parts);
    for (unsigned int part = 0; part < parts; ++part) {
        blendTranslation(layers, rest, part, result);
        blendRotation(layers, rest, part, result);
    }
    return 1;
}

int KTPoseBlend::add(const Layer& layer, const KTPose& reference, KTPose& result) {
    if (!validLayer(layer))
        return 0;
    const KTPose& pose = *layer.pose;
    for (unsigned int part = 0; part < result.getNumParts(); ++part) {
        const int channels =
            result.getChannels(part) & pose.getChannels(part) & reference.getChannels(part);
        const double weight = partWeight(layer, part);
        if (channels == 0 || !(weight > 0.0))
            continue;
        if (channels & KTPose::TRANSLATION) {
            const SbVec3f difference = pose.getTranslation(part) - reference.getTranslation(part);
            if (difference != SbVec3f(0.0f, 0.0f, 0.0f)) {
                const SbVec3f& base = result.getTranslation(part);
                result.setTranslation(
                    part, SbVec3f(static_cast<float>(base[0] + weight * difference[0]),
                                  static_cast<float>(base[1] + weight * difference[1]),
                                  static_cast<float>(base[2] + weight * difference[2])));
            }
        }
        if (channels & KTPose::ROTATION) {
            double q[4];
            double ref[4];
            widen(pose.getRotation(part), q);
            widen(reference.getRotation(part), ref);
            const double inverse[4] = {-ref[0], -ref[1], -ref[2], ref[3]};
            double difference[4];
            multiply(q, inverse, difference);
            if (difference[0] == 0.0 && difference[1] == 0.0 && difference[2] == 0.0)
                continue;
            // The difference's turn, scaled by the weight about its own axis.
            if (difference[3] < 0.0) {
                for (double& component : difference)
                    component = -component;
            }
            const double sine =
                std::sqrt(difference[0] * difference[0] + difference[1] * difference[1] +
                          difference[2] * difference[2]);
            const double halfAngle = std::atan2(sine, difference[3]) * weight;
            const double scale = std::sin(halfAngle) / sine;
            const double scaled[4] = {difference[0] * scale, difference[1] * scale,
                                      difference[2] * scale, std::cos(halfAngle)};
            double base[4];
            widen(result.getRotation(part), base);
            double turned[4];
            multiply(scaled, base, turned);
            result.setRotation(part, normalised(turned));
        }
    }
    return 1;
}
