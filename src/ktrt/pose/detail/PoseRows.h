#pragma once

#include <cstddef>

namespace ktrt::detail {

/// Floats in a pose's part record: translation x, y, z, rotation x, y, z, w,
/// then the channel bits (an int) in the last slot.
const std::size_t partFloats = 8;

/// One input of a blend: the part records of a pose, its weight and optional
/// per-part weights, and for an additive layer its reference's records.
/// Parts past `numParts` (`numReferenceParts`) have no channel; parts past
/// `numPartWeights` weigh `weight`.
struct PoseRows {
    const float* parts = nullptr;
    std::size_t numParts = 0;
    double weight = 0.0;
    const float* partWeights = nullptr;
    std::size_t numPartWeights = 0;
    const float* reference = nullptr;
    std::size_t numReferenceParts = 0;
};

/// The reference blend of KTPoseBlend's rule, in double precision, of parts
/// `first` to `count` - 1: `layers` over `rest`, then `additive`, into
/// `result` (`count` records, which may be one of the inputs').
void blendPoseRowsReference(const PoseRows* layers, std::size_t numLayers, const PoseRows* additive,
                            std::size_t numAdditive, const PoseRows& rest, std::size_t first,
                            std::size_t count, float* result);

/// blendPoseRowsReference() from part 0, in SIMD on the best target the
/// processor has, over whole vectors of parts that every input has (parts
/// and part weights alike), at most `count`. Returns how many parts it
/// blended, a multiple of the vector width or, when `resultApart` says that
/// the result is none of the inputs, all of those parts if they fill a
/// vector; the reference blends the others.
/// Agrees with the double-precision reference within 1e-6 rad and the
/// translations' rounding.
std::size_t blendPoseRows(const PoseRows* layers, std::size_t numLayers, const PoseRows* additive,
                          std::size_t numAdditive, const PoseRows& rest, std::size_t count,
                          float* result, bool resultApart);

/// The name of the SIMD target blendPoseRows() runs on this processor.
const char* poseRowsTarget();

} // namespace ktrt::detail
