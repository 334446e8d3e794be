#pragma once

#include <cstddef>

namespace ktrt::detail {

/// Every plane of a pose has room for whole vectors of this many floats, the
/// widest SIMD target's.
const std::size_t poseLanes = 16;

/// A pose's parts as planes (KTPose's storage): part i's rotation x, y, z, w
/// and translation x, y, z (the blendPlanes of KeyRows.h, in that order) at
/// values[c * stride + i], its channel bits at channels[i]. Parts from
/// numParts up to stride, a multiple of poseLanes, hold the identity with no
/// channel.
struct PosePlanes {
    const float* values = nullptr;
    const int* channels = nullptr;
    std::size_t stride = 0;
    std::size_t numParts = 0;
};

/// Where a blend writes: planes as in PosePlanes.
struct PoseOutput {
    float* values = nullptr;
    int* channels = nullptr;
    std::size_t stride = 0;
};

/// One input of a blend: a pose, its weight and optional per-part weights,
/// and for an additive layer its reference pose. Parts past `numPartWeights`
/// weigh `weight`.
struct PoseRows {
    PosePlanes pose;
    double weight = 0.0;
    const float* partWeights = nullptr;
    std::size_t numPartWeights = 0;
    PosePlanes reference;
};

/// The reference blend of KTPoseBlend's rule, in double precision, of parts
/// `first` to `count` - 1: `layers` over `rest`, then `additive`, into
/// `result` (which may be one of the inputs'). Parts past an input's
/// numParts have no channel there.
void blendPoseRowsReference(const PoseRows* layers, std::size_t numLayers, const PoseRows* additive,
                            std::size_t numAdditive, const PosePlanes& rest, std::size_t first,
                            std::size_t count, const PoseOutput& result);

/// blendPoseRowsReference() from part 0, in SIMD on the best target the
/// processor has, over whole vectors of the parts that every input has
/// (part weights included): the last vector runs on past them, over the
/// identity that the padding holds. Returns how many of the `count` parts
/// it blended; the reference blends the others. The result's parts past
/// `count` get the identity with no channel.
/// Agrees with the double-precision reference within 1e-6 rad and the
/// translations' rounding.
std::size_t blendPoseRows(const PoseRows* layers, std::size_t numLayers, const PoseRows* additive,
                          std::size_t numAdditive, const PosePlanes& rest, std::size_t count,
                          const PoseOutput& result);

/// The name of the SIMD target blendPoseRows() runs on this processor.
const char* poseRowsTarget();

} // namespace ktrt::detail
