#pragma once

#include <cstddef>
#include <vector>

#include <ktrt/visibility.h>

class KTPose;
namespace ktrt::detail {
struct PosePlanes;
struct PoseOutput;
} // namespace ktrt::detail

/// Pure functions that combine poses (KTPose) part by part, touching no
/// node: the blend of weighted layers over a rest pose, with additive layers
/// on top. The rule, per part and per channel (translation and rotation
/// each on their own):
///
/// 1. The layers that set the channel on the part, each with its weight
///    there (the layer's weight times its part weight), sum to W.
///    W >= 1: their values blend with weights w / W. 0 < W < 1: they blend
///    with `rest` taking 1 - W. W = 0: `rest`'s value.
/// 2. Rotations blend by successive slerps along the shorter arc in layer
///    order, `rest` first when it takes a share: the first value with a
///    weight above 0 starts the sum, and each next one with weight w, the
///    weights so far summing to c, moves it w / c of the way toward itself.
///    Translations lerp the same way. So a two-way blend is exactly one
///    slerp, and a single layer weighing at least 1 comes through bit for bit.
/// 3. Then every additive layer adds its difference from its reference pose,
///    scaled by its weight there: translation + w (layer - reference),
///    rotation * slerp(identity, reference^-1 * layer, w) (SbRotation order:
///    the result so far first), a weight above 1 carrying on along the same
///    arc. This is added onto what step 1 gave, `rest` where no layer sets
///    the channel. A zero difference leaves the value bit for bit; where the
///    layer or its reference lacks the channel, nothing is added.
///
/// The result part gets a channel when a layer or an additive layer sets it
/// there, whatever its weight, and no channel otherwise: writing the result
/// leaves alone the parts that no layer animates, and gives the rest pose to
/// those that the layers animate with no weight. `rest` lacking a channel
/// stands for the identity. The result has as many parts as the largest of
/// `rest` and the layers' poses, and may be one of the inputs.
///
/// Refused (0, the result unchanged): a null pose (or null reference of an
/// additive layer), a weight that is negative, not finite or too large for a
/// float, a part weight that is negative or not finite.
class KTRT_API KTPoseBlend {
public:
    /// One input of a blend: a pose (not owned), its weight, optional
    /// per-part weights, and for an additive layer the pose its difference is
    /// taken from.
    struct Layer {
        /// The input pose, not owned; must not be null.
        const KTPose* pose = nullptr;
        /// Its weight, at least 0 and at most the largest float.
        double weight = 1.0;
        /// Per-part weights (a mask), not owned: part i weighs weight *
        /// (*partWeights)[i], parts past the end of the list weight. Null
        /// weighs every part 1.
        const std::vector<float>* partWeights = nullptr;
        /// For an additive layer, the reference pose (not owned, not null);
        /// not read for the other layers.
        const KTPose* reference = nullptr;
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

    /// The whole rule (see the class comment): `layers` blended over `rest`,
    /// then `additive` added, into `result`. Either list may be empty; with
    /// both empty the result has no channel set.
    static int blend(const std::vector<Layer>& layers, const std::vector<Layer>& additive,
                     const KTPose& rest, KTPose& result);
    /// The rule with two layers: `from` weighing 1 - `weight` and `to`
    /// weighing `weight` (0 to 1; refused outside). A part both set blends by
    /// one slerp (one lerp) from `from` to `to`, a part one sets shares with
    /// `rest`.
    static int blend(const KTPose& from, const KTPose& to, float weight, const KTPose& rest,
                     KTPose& result);

private:
    // The whole rule over layers side by side, without a list to build.
    static int blend(const Layer* layers, std::size_t numLayers, const Layer* additive,
                     std::size_t numAdditive, const KTPose& rest, KTPose& result);
    // A pose's planes as the blend reads and writes them.
    static void planesOf(const KTPose& pose, ktrt::detail::PosePlanes& planes);
    static void planesOf(KTPose& pose, ktrt::detail::PoseOutput& planes);
};
