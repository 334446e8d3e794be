#include <ktrt/pose/KTPoseBlend.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include <ktrt/pose/KTPose.h>
#include <ktrt/pose/detail/PoseRows.h>

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

// Up to this many layers and additive layers together blend without
// allocating.
constexpr std::size_t inlineLayers = 16;

} // namespace

void KTPoseBlend::planesOf(const KTPose& pose, ktrt::detail::PosePlanes& planes) {
    planes.values = pose.values.data();
    planes.channels = pose.channelBits.data();
    planes.stride = pose.stride;
    planes.numParts = pose.partCount;
}

void KTPoseBlend::planesOf(KTPose& pose, ktrt::detail::PoseOutput& planes) {
    planes.values = pose.values.data();
    planes.channels = pose.channelBits.data();
    planes.stride = pose.stride;
}

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
    // Sized before any input is read: the result may be one of them.
    result.setNumParts(count);
    ktrt::detail::PoseRows inlineRows[inlineLayers];
    std::vector<ktrt::detail::PoseRows> heapRows;
    ktrt::detail::PoseRows* rows = inlineRows;
    if (layers.size() + additive.size() > inlineLayers) {
        heapRows.resize(layers.size() + additive.size());
        rows = heapRows.data();
    }
    std::size_t next = 0;
    for (const std::vector<Layer>* list : {&layers, &additive}) {
        for (const Layer& layer : *list) {
            ktrt::detail::PoseRows& row = rows[next++];
            planesOf(*layer.pose, row.pose);
            row.weight = layer.weight;
            if (layer.partWeights) {
                row.partWeights = layer.partWeights->data();
                row.numPartWeights = layer.partWeights->size();
            }
            if (layer.reference)
                planesOf(*layer.reference, row.reference);
        }
    }
    ktrt::detail::PosePlanes restPlanes;
    planesOf(rest, restPlanes);
    ktrt::detail::PoseOutput out;
    planesOf(result, out);
    const std::size_t blended = ktrt::detail::blendPoseRows(
        rows, layers.size(), rows + layers.size(), additive.size(), restPlanes, count, out);
    ktrt::detail::blendPoseRowsReference(rows, layers.size(), rows + layers.size(), additive.size(),
                                         restPlanes, blended, count, out);
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
