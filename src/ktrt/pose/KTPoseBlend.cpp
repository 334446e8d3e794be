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

const float* KTPoseBlend::recordsOf(const KTPose& pose) {
    static_assert(sizeof(KTPose::Part) == ktrt::detail::partFloats * sizeof(float),
                  "a pose part is one record of the blend's rows");
    return reinterpret_cast<const float*>(pose.parts.data());
}

float* KTPoseBlend::recordsOf(KTPose& pose) {
    return reinterpret_cast<float*>(pose.parts.data());
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
            row.parts = recordsOf(*layer.pose);
            row.numParts = layer.pose->getNumParts();
            row.weight = layer.weight;
            if (layer.partWeights) {
                row.partWeights = layer.partWeights->data();
                row.numPartWeights = layer.partWeights->size();
            }
            if (layer.reference) {
                row.reference = recordsOf(*layer.reference);
                row.numReferenceParts = layer.reference->getNumParts();
            }
        }
    }
    ktrt::detail::PoseRows restRows;
    restRows.parts = recordsOf(rest);
    restRows.numParts = rest.getNumParts();
    float* out = recordsOf(result);
    bool resultApart = out != restRows.parts;
    for (std::size_t r = 0; r < next; ++r)
        resultApart = resultApart && out != rows[r].parts && out != rows[r].reference;
    const std::size_t blended =
        ktrt::detail::blendPoseRows(rows, layers.size(), rows + layers.size(), additive.size(),
                                    restRows, count, out, resultApart);
    ktrt::detail::blendPoseRowsReference(rows, layers.size(), rows + layers.size(), additive.size(),
                                         restRows, blended, count, out);
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
