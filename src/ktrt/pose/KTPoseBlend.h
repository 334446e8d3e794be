#pragma once

#include <vector>

#include <ktrt/visibility.h>

class KTPose;

/// Pure functions that combine poses (KTPose) part by part, touching no
/// node: weighted blends of two or more poses, additive layers and per-part
/// weights (masks). Translations blend linearly; rotations blend along the
/// shorter arc.
///
/// A channel that only some inputs set (a part that only some animations
/// move) blends with `rest`, the part's pose before playing, for the weight
/// of the inputs that lack it; where `rest` lacks it too, with the identity.
/// A result part gets a channel when an input with a weight above 0 there
/// sets it, and no channel otherwise, so that writing the result leaves
/// parts no input moves alone. The result may be one of the inputs.
///
/// Refused (0, the result unchanged): a weight that is not finite or is
/// negative (above 1 too, for the two-way blend), a null pose, an empty list
/// of layers, a per-part weight that is not finite or is negative.
class KTRT_API KTPoseBlend {
public:
    /// One input of a blend: a pose (not owned), its weight, and optional
    /// per-part weights: part i weighs weight * (*partWeights)[i], or weight
    /// for parts past the end of the list.
    struct Layer {
        /// The input pose, not owned; must not be null.
        const KTPose* pose = nullptr;
        /// Its weight, at least 0.
        float weight = 1.0f;
        /// Per-part weights (a mask), not owned; null weighs every part 1.
        const std::vector<float>* partWeights = nullptr;
    };

    /// Nothing to hold: the functions are static.
    KTPoseBlend();
    /// Nothing to copy.
    KTPoseBlend(const KTPoseBlend& other);
    /// Nothing to copy.
    KTPoseBlend& operator=(const KTPoseBlend& other);
    /// Nothing to release.
    ~KTPoseBlend() = default;
    /// Always 1: every blender is alike.
    int operator==(const KTPoseBlend& other) const;

    /// `from` weighed 1 - `weight` against `to` weighed `weight` (0 to 1):
    /// translations lerp, rotations slerp along the shorter arc; weight 0
    /// gives `from`'s values and 1 `to`'s, bit for bit. The result has as
    /// many parts as the larger input.
    static int blend(const KTPose& from, const KTPose& to, float weight, const KTPose& rest,
                     KTPose& result);
    /// Any number of layers, their weights normalised per part to a sum of
    /// 1: translations as the weighted mean, rotations as the normalised
    /// weighted sum of the quaternions, each first turned to the side of the
    /// first layer's. A part where a single layer carries all the weight gets
    /// its values bit for bit. The result has as many parts as the largest
    /// layer.
    static int blend(const std::vector<Layer>& layers, const KTPose& rest, KTPose& result);
    /// As blend(layers, rest, result), except that where the layers weigh
    /// less than 1 in all on a part, `rest` takes the weight that is missing
    /// instead of the weights being scaled up: an animation fading in from
    /// weight 0 moves the part away from its rest pose gradually, and a part
    /// that the layers setting it weigh 0 (masked out) takes the rest pose.
    static int blendOverRest(const std::vector<Layer>& layers, const KTPose& rest, KTPose& result);
    /// `base` with the difference of `layer.pose` from `reference` added,
    /// scaled by the layer's weight (and per-part weights): translation
    /// base + w (layer - reference), rotation base * slerp(identity,
    /// reference^-1 * layer, w) (SbRotation order: base first). Adding a pose
    /// to itself as its own reference leaves `base` bit for bit, and adding
    /// a layer with weight 1 to its reference gives the layer (to rounding).
    /// Channels and parts are base's; where the layer or the reference lacks
    /// a channel, base's value stays.
    static int add(const KTPose& base, const Layer& layer, const KTPose& reference, KTPose& result);

private:
    static int blendLayers(const std::vector<Layer>& layers, const KTPose& rest,
                           bool restFillsToOne, KTPose& result);
};
