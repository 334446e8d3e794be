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

// Layers side by side: a list's or a few on the stack.
struct Layers {
    const Layer* first;
    std::size_t size;
    const Layer* begin() const { return first; }
    const Layer* end() const { return first + size; }
};

bool validLayers(Layers layers, bool additive) {
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
    return blend(layers.data(), layers.size(), additive.data(), additive.size(), rest, result);
}

int KTPoseBlend::blend(const Layer* layerList, std::size_t numLayers, const Layer* additiveList,
                       std::size_t numAdditive, const KTPose& rest, KTPose& result) {
    const Layers layers{layerList, numLayers};
    const Layers additive{additiveList, numAdditive};
    if (!validLayers(layers, false) || !validLayers(additive, true))
        return 0;
    unsigned int count = rest.getNumParts();
    for (const Layers& list : {layers, additive}) {
        for (const Layer& layer : list)
            count = std::max(count, layer.pose->getNumParts());
    }
    // Sized before any input is read: the result may be one of them.
    result.setNumParts(count);
    ktrt::detail::PoseRows inlineRows[inlineLayers];
    std::vector<ktrt::detail::PoseRows> heapRows;
    ktrt::detail::PoseRows* rows = inlineRows;
    if (numLayers + numAdditive > inlineLayers) {
        heapRows.resize(numLayers + numAdditive);
        rows = heapRows.data();
    }
    std::size_t next = 0;
    for (const Layers& list : {layers, additive}) {
        for (const Layer& layer : list) {
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
    const std::size_t blended = ktrt::detail::blendPoseRows(rows, numLayers, rows + numLayers,
                                                            numAdditive, restPlanes, count, out);
    ktrt::detail::blendPoseRowsReference(rows, numLayers, rows + numLayers, numAdditive, restPlanes,
                                         blended, count, out);
    return 1;
}

int KTPoseBlend::blend(const KTPose& from, const KTPose& to, float weight, const KTPose& rest,
                       KTPose& result) {
    if (!(weight >= 0.0f && weight <= 1.0f))
        return 0;
    const Layer layers[] = {Layer{&from, 1.0 - weight, nullptr, nullptr},
                            Layer{&to, weight, nullptr, nullptr}};
    return blend(layers, 2, nullptr, 0, rest, result);
}
