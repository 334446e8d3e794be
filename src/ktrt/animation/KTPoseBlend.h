#pragma once

#include <vector>

#include <ktrt/visibility.h>

class KTPose;
class SbRotation;

/// Blends of poses (KTPose), computed without the scene, part by part and
/// channel by channel.
///
/// - A two-way blend moves from `a` (weight 0) to `b` (weight 1): positions
///   linearly, rotations spherically along the shorter arc.
/// - An N-way blend takes layers, each a pose, a weight and optionally a
///   weight per part (a mask). Per part and channel, the layers that have the
///   channel set contribute their weight times their mask; the weights are
///   normalised to a sum of 1. Two contributions blend as the two-way blend
///   does; more take the normalised weighted sum of the quaternions, each
///   turned to the first one's side. When the contributions sum to less
///   than 1 and a rest pose is given, the rest pose's part takes the weight
///   that is missing: parts that only some layers animate blend with the pose
///   the part had before playing.
/// - An additive layer adds a pose's difference from a reference pose,
///   scaled by a weight, onto a base: positions add weight times the
///   difference; rotations turn by the difference's rotation taken weight of
///   the way from no turn. A zero difference leaves the base bit for bit.
///
/// A contribution of weight 0 is ignored, and a single contribution of full
/// weight is copied bit for bit. Weights that are negative or not finite are
/// refused: the call returns 0 and leaves the result as it was.
class KTRT_API KTPoseBlend {
public:
    /// One input of an N-way blend: a pose (not owned), its weight, and an
    /// optional weight per part (part i of the pose gets weight times
    /// (*partWeights)[i]; parts past the mask's end get weight times 1).
    struct Layer {
        const KTPose* pose = nullptr;
        double weight = 1.0;
        const std::vector<float>* partWeights = nullptr;
    };

    /// Nothing to hold: the class only groups the blends.
    KTPoseBlend();
    /// Nothing to copy.
    KTPoseBlend(const KTPoseBlend& other);
    /// Nothing to copy.
    KTPoseBlend& operator=(const KTPoseBlend& other);
    /// Nothing to release.
    ~KTPoseBlend();
    /// Always 1: blends hold no state.
    int operator==(const KTPoseBlend& other) const;

    /// `result` = `a` blended towards `b` by `weight` in [0, 1]; a part or
    /// channel that only one input has is taken from that input. `result`
    /// gets the larger part count of the two; it may be `a` or `b` itself.
    /// 0 (result unchanged) for a weight outside [0, 1] or not finite.
    static int blend(const KTPose& a, const KTPose& b, double weight, KTPose& result);
    /// The N-way blend of `layers` into `result`, with `rest` (null for none)
    /// taking the weight missing below 1. `result` gets the largest part
    /// count of the layers and the rest pose; a channel no input has is left
    /// unset. 0 (result unchanged) for a null layer pose or a weight that is
    /// negative or not finite (in a layer or its mask).
    static int blend(const std::vector<Layer>& layers, const KTPose* rest, KTPose& result);
    /// Adds `layer`'s difference from `reference`, scaled by `layer.weight`
    /// (and its mask), onto `result` in place, for the parts and channels
    /// that `result`, the layer's pose and the reference all have set. 0
    /// (result unchanged) for a null layer pose or a weight that is negative
    /// or not finite.
    static int add(const Layer& layer, const KTPose& reference, KTPose& result);

    /// The spherical blend of two rotations along the shorter arc: `from` at
    /// 0, `to` (or its negation, whichever is nearer) at 1.
    static SbRotation slerp(const SbRotation& from, const SbRotation& to, double weight);
};
