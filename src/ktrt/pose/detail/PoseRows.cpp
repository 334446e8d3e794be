// Compiled once per SIMD target by Highway; the processor picks the target
// when first called. The loops over a part's planes are unrolled whole, so
// that the vectors of a part stay in registers.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "ktrt/pose/detail/PoseRows.cpp"
#include <hwy/foreach_target.h>

#include <hwy/highway.h>

#include <hwy/contrib/math/math-inl.h>

#include <algorithm>

#include <ktrt/pose/detail/PoseRows.h>

#include "QuaternionMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ktrt::detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET == HWY_SCALAR

std::size_t BlendPoseRows(const PoseRows*, std::size_t, const PoseRows*, std::size_t,
                          const PosePlanes&, std::size_t, const PoseOutput&) {
    return 0;
}

#else

using D = hn::ScalableTag<float>;
using V = hn::Vec<D>;
using DI = hn::RebindToSigned<D>;
using VI = hn::Vec<DI>;

// Floats in a part: rotation, then translation.
constexpr std::size_t planes = 7;

// The values of the parts from `first` on, a vector of each plane.
HWY_INLINE void LoadPlanes(D d, const PosePlanes& pose, std::size_t first, V out[planes]) {
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < planes; ++c)
        out[c] = hn::LoadU(d, pose.values + c * pose.stride + first);
}

HWY_INLINE VI ChannelsOf(const PosePlanes& pose, std::size_t first) {
    return hn::LoadU(DI(), pose.channels + first);
}

HWY_INLINE V WeightsOf(D d, const PoseRows& rows, std::size_t first) {
    const V weight = hn::Set(d, static_cast<float>(rows.weight));
    return rows.partWeights ? hn::Mul(weight, hn::LoadU(d, rows.partWeights + first)) : weight;
}

// SlerpWithin() with shares in [0, 1]: all the way is `b` as it is, on
// whichever hemisphere it lies (also in Scale()).
HWY_INLINE void Slerp(D d, const V a[4], const V b[4], V share, V out[4]) {
    SlerpWithin(d, a, b, share, hn::Sub(hn::Set(d, 1.0f), share), out);
    const auto whole = hn::Eq(share, hn::Set(d, 1.0f));
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < 4; ++c)
        out[c] = hn::IfThenElse(whole, b[c], out[c]);
}

// `turn` taken `share` times along the shorter arc from the identity,
// normalised: the slerp from the identity, whose zeros drop out.
// `Within`: every share is in [0, 1], and the slerp's own polynomials
// serve (SlerpWithinArc()). Otherwise any share of at least 0: a share
// above 1 multiplies any error in the arc's angle, so the angle comes from
// the sine of the half turn where that is the smaller, from its cosine
// elsewhere, neither losing digits to cancellation; nearly the identity
// takes the lerp, whose extrapolation holds along so short an arc; the
// sines are range reduced.
template <bool Within> HWY_INLINE void Scale(D d, const V turn[4], V share, V out[4]) {
    const V one = hn::Set(d, 1.0f);
    const V cosine = hn::Min(hn::Abs(turn[3]), one);
    const V rest = hn::Sub(one, share);
    V restWeight;
    V turnWeight;
    if (Within) {
        const V arc = hn::Max(AcosOfCosine(d, cosine), hn::Set(d, 1e-3f));
        restWeight = SinOfArc(d, hn::Mul(rest, arc));
        turnWeight = SinOfArc(d, hn::Mul(share, arc));
    } else {
        const V sine =
            hn::Min(hn::Sqrt(hn::MulAdd(turn[0], turn[0],
                                        hn::MulAdd(turn[1], turn[1], hn::Mul(turn[2], turn[2])))),
                    one);
        const V angle =
            hn::IfThenElse(hn::Lt(sine, cosine), hn::Asin(d, sine), AcosOfCosine(d, cosine));
        const auto linear = hn::Gt(cosine, hn::Set(d, 0.9999995f));
        restWeight = hn::IfThenElse(linear, rest, hn::Sin(d, hn::Mul(rest, angle)));
        turnWeight = hn::IfThenElse(linear, share, hn::Sin(d, hn::Mul(share, angle)));
    }
    turnWeight = hn::Xor(turnWeight, hn::And(turn[3], hn::Set(d, -0.0f)));
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < 3; ++c)
        out[c] = hn::Mul(turnWeight, turn[c]);
    out[3] = hn::MulAdd(turnWeight, turn[3], restWeight);
    Normalize(d, out);
    const auto whole = hn::Eq(share, one);
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < 4; ++c)
        out[c] = hn::IfThenElse(whole, turn[c], out[c]);
}

// The Hamilton product a b of quaternions (x, y, z, w).
HWY_INLINE void Multiply(const V a[4], const V b[4], V out[4]) {
    out[0] = hn::MulAdd(a[3], b[0],
                        hn::MulAdd(b[3], a[0], hn::Sub(hn::Mul(a[1], b[2]), hn::Mul(a[2], b[1]))));
    out[1] = hn::MulAdd(a[3], b[1],
                        hn::MulAdd(b[3], a[1], hn::Sub(hn::Mul(a[2], b[0]), hn::Mul(a[0], b[2]))));
    out[2] = hn::MulAdd(a[3], b[2],
                        hn::MulAdd(b[3], a[2], hn::Sub(hn::Mul(a[0], b[1]), hn::Mul(a[1], b[0]))));
    out[3] = hn::Sub(hn::Mul(a[3], b[3]),
                     hn::MulAdd(a[0], b[0], hn::MulAdd(a[1], b[1], hn::Mul(a[2], b[2]))));
}

// The Hamilton product a b^-1 of unit quaternions: b's conjugate folded into
// the signs.
HWY_INLINE void MultiplyByInverse(const V a[4], const V b[4], V out[4]) {
    out[0] = hn::MulAdd(
        b[3], a[0], hn::NegMulAdd(a[3], b[0], hn::Sub(hn::Mul(a[2], b[1]), hn::Mul(a[1], b[2]))));
    out[1] = hn::MulAdd(
        b[3], a[1], hn::NegMulAdd(a[3], b[1], hn::Sub(hn::Mul(a[0], b[2]), hn::Mul(a[2], b[0]))));
    out[2] = hn::MulAdd(
        b[3], a[2], hn::NegMulAdd(a[3], b[2], hn::Sub(hn::Mul(a[1], b[0]), hn::Mul(a[0], b[1]))));
    out[3] =
        hn::MulAdd(a[3], b[3], hn::MulAdd(a[0], b[0], hn::MulAdd(a[1], b[1], hn::Mul(a[2], b[2]))));
}

// Adds an additive layer's difference from its reference, at the parts
// from `first` on, to `value`. `Alike`: the layer, its reference and every
// part of both set both channels, and the layer has no part weights.
template <bool Alike>
HWY_INLINE void AddLayer(D d, const PoseRows& layer, std::size_t first, V value[planes]) {
    const DI di;
    if (Alike && !(layer.weight > 0.0))
        return;
    V part[planes];
    V other[planes];
    LoadPlanes(d, layer.pose, first, part);
    LoadPlanes(d, layer.reference, first, other);
    const V weight = WeightsOf(d, layer, first);
    auto adds = hn::FirstN(d, hn::Lanes(d));
    if (!Alike) {
        const VI both = hn::And(ChannelsOf(layer.pose, first), ChannelsOf(layer.reference, first));
        const auto weighs = hn::Gt(weight, hn::Zero(d));
        const auto addsTranslation =
            hn::And(weighs, hn::RebindMask(d, hn::TestBit(both, hn::Set(di, 1))));
        HWY_UNROLL(8)
        for (std::size_t c = 4; c < planes; ++c)
            value[c] =
                hn::IfThenElse(addsTranslation,
                               hn::MulAdd(hn::Sub(part[c], other[c]), weight, value[c]), value[c]);
        adds = hn::And(weighs, hn::RebindMask(d, hn::TestBit(both, hn::Set(di, 2))));
    } else {
        HWY_UNROLL(8)
        for (std::size_t c = 4; c < planes; ++c)
            value[c] = hn::MulAdd(hn::Sub(part[c], other[c]), weight, value[c]);
    }
    // A difference of zero, bit for bit, leaves the rotation as it is.
    auto same = hn::RebindMask(d, hn::Eq(hn::BitCast(di, part[0]), hn::BitCast(di, other[0])));
    HWY_UNROLL(8)
    for (std::size_t c = 1; c < 4; ++c)
        same = hn::And(
            same, hn::RebindMask(d, hn::Eq(hn::BitCast(di, part[c]), hn::BitCast(di, other[c]))));
    const auto addsRotation = hn::AndNot(same, adds);
    if (hn::AllFalse(d, addsRotation))
        return;
    // The difference reference^-1 layer, scaled along its arc from the
    // identity, turns the value further.
    V difference[4];
    MultiplyByInverse(part, other, difference);
    V scaled[4];
    if (hn::AllTrue(d, hn::Le(weight, hn::Set(d, 1.0f))))
        Scale<true>(d, difference, weight, scaled);
    else
        Scale<false>(d, difference, weight, scaled);
    V turned[4];
    Multiply(scaled, value, turned);
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < 4; ++c)
        value[c] = hn::IfThenElse(addsRotation, turned[c], value[c]);
}

// Whether every layer, additive layer and reference sets both channels on
// every part from `first` on.
HWY_INLINE bool AllChannelsSet(const PoseRows* layers, std::size_t numLayers,
                               const PoseRows* additive, std::size_t numAdditive,
                               std::size_t first) {
    const DI di;
    const VI both = hn::Set(di, 3);
    auto set = hn::FirstN(di, hn::Lanes(di));
    for (std::size_t l = 0; l < numLayers; ++l)
        set = hn::And(set, hn::Eq(ChannelsOf(layers[l].pose, first), both));
    for (std::size_t l = 0; l < numAdditive; ++l)
        set = hn::And(set, hn::Eq(hn::And(ChannelsOf(additive[l].pose, first),
                                          ChannelsOf(additive[l].reference, first)),
                                  both));
    return hn::AllTrue(di, set);
}

// Layers that the blend of alike lanes takes at most.
constexpr std::size_t alikeLayers = 16;

// How the layers combine in lanes that all weigh alike, worked out once in
// the same float steps as the lanes of BlendPoseRows() would: whether the
// rest pose starts the sum, and each layer's share of the way toward it (0:
// not taken), or whether it starts the sum.
struct AlikeShares {
    bool restStarts = false;
    float share[alikeLayers] = {};
    bool starts[alikeLayers] = {};
};

AlikeShares SharesOf(const PoseRows* layers, std::size_t numLayers) {
    AlikeShares shares;
    float total = 0.0f;
    for (std::size_t l = 0; l < numLayers; ++l)
        total += static_cast<float>(layers[l].weight);
    float sum = std::max(1.0f - total, 0.0f);
    shares.restStarts = sum > 0.0f;
    for (std::size_t l = 0; l < numLayers; ++l) {
        const auto weight = static_cast<float>(layers[l].weight);
        if (!(weight > 0.0f))
            continue;
        shares.starts[l] = sum == 0.0f;
        sum += weight;
        shares.share[l] = weight / sum;
    }
    return shares;
}

// The blend of the parts from `first` on where every input sets both
// channels and weighs them alike (no part weights): every lane takes the
// same `shares`, and only the values are vectors.
HWY_INLINE void BlendAlike(D d, const PoseRows* layers, std::size_t numLayers,
                           const PoseRows* additive, std::size_t numAdditive,
                           const AlikeShares& shares, const PosePlanes& rest, std::size_t first,
                           const PoseOutput& result) {
    V value[planes];
    if (shares.restStarts) {
        LoadPlanes(d, rest, first, value);
    } else {
        for (V& plane : value)
            plane = hn::Zero(d);
    }
    V part[planes];
    for (std::size_t l = 0; l < numLayers; ++l) {
        const float taken = shares.share[l];
        if (taken == 0.0f)
            continue;
        LoadPlanes(d, layers[l].pose, first, part);
        if (shares.starts[l]) {
            HWY_UNROLL(8)
            for (std::size_t c = 0; c < planes; ++c)
                value[c] = part[c];
            continue;
        }
        const V share = hn::Set(d, taken);
        HWY_UNROLL(8)
        for (std::size_t c = 4; c < planes; ++c)
            value[c] = hn::MulAdd(hn::Sub(part[c], value[c]), share, value[c]);
        V slerped[4];
        if (taken == 1.0f)
            std::copy(part, part + 4, slerped);
        else
            SlerpWithin(d, value, part, share, hn::Set(d, 1.0f - taken), slerped);
        HWY_UNROLL(8)
        for (std::size_t c = 0; c < 4; ++c)
            value[c] = slerped[c];
    }
    for (std::size_t l = 0; l < numAdditive; ++l)
        AddLayer<true>(d, additive[l], first, value);
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < planes; ++c)
        hn::StoreU(value[c], d, result.values + c * result.stride + first);
    hn::StoreU(hn::Set(DI(), 3), DI(), result.channels + first);
}

std::size_t Covered(const PoseRows* list, std::size_t size, std::size_t count) {
    for (std::size_t l = 0; l < size; ++l) {
        count = std::min(count, list[l].pose.numParts);
        if (list[l].reference.values)
            count = std::min(count, list[l].reference.numParts);
    }
    return count;
}

// Parts past the end of the shortest list of part weights: whole vectors
// read no further.
std::size_t WeighedUpTo(const PoseRows* list, std::size_t size, std::size_t lanes,
                        std::size_t count) {
    for (std::size_t l = 0; l < size; ++l) {
        if (list[l].partWeights)
            count = std::min(count, list[l].numPartWeights / lanes * lanes);
    }
    return count;
}

std::size_t BlendPoseRows(const PoseRows* layers, std::size_t numLayers, const PoseRows* additive,
                          std::size_t numAdditive, const PosePlanes& rest, std::size_t count,
                          const PoseOutput& result) {
    const D d;
    const DI di;
    const std::size_t lanes = hn::Lanes(d);
    if (lanes > poseLanes || poseLanes % lanes != 0)
        return 0;
    // Whole vectors over the parts every input has, the last one running on
    // over the padding.
    const std::size_t covered =
        Covered(layers, numLayers, Covered(additive, numAdditive, std::min(count, rest.numParts)));
    const std::size_t end = WeighedUpTo(
        layers, numLayers, lanes,
        WeighedUpTo(additive, numAdditive, lanes, (covered + lanes - 1) / lanes * lanes));
    const V zero = hn::Zero(d);
    const V one = hn::Set(d, 1.0f);
    const VI translationBit = hn::Set(di, 1);
    const VI rotationBit = hn::Set(di, 2);
    // With no input at all, no channel is set.
    bool alike = numLayers + numAdditive > 0 && numLayers <= alikeLayers;
    for (std::size_t l = 0; l < numLayers + numAdditive; ++l)
        alike = alike && !(l < numLayers ? layers[l] : additive[l - numLayers]).partWeights;
    const AlikeShares shares = alike ? SharesOf(layers, numLayers) : AlikeShares();
    V part[planes];
    for (std::size_t first = 0; first < end; first += lanes) {
        if (alike && AllChannelsSet(layers, numLayers, additive, numAdditive, first)) {
            BlendAlike(d, layers, numLayers, additive, numAdditive, shares, rest, first, result);
            continue;
        }
        // The layers' weights per channel, and which channels any layer sets.
        V translationTotal = zero;
        V rotationTotal = zero;
        VI channels = hn::Zero(di);
        for (std::size_t l = 0; l < numLayers; ++l) {
            const VI own = ChannelsOf(layers[l].pose, first);
            const V weight = WeightsOf(d, layers[l], first);
            channels = hn::Or(channels, own);
            translationTotal = hn::Add(
                translationTotal,
                hn::IfThenElseZero(hn::RebindMask(d, hn::TestBit(own, translationBit)), weight));
            rotationTotal = hn::Add(
                rotationTotal,
                hn::IfThenElseZero(hn::RebindMask(d, hn::TestBit(own, rotationBit)), weight));
        }
        for (std::size_t l = 0; l < numAdditive; ++l)
            channels = hn::Or(channels, ChannelsOf(additive[l].pose, first));
        // The rest pose starts each channel with the share the layers leave.
        V value[planes];
        LoadPlanes(d, rest, first, value);
        V translationSum = hn::Max(hn::Sub(one, translationTotal), zero);
        V rotationSum = hn::Max(hn::Sub(one, rotationTotal), zero);
        for (std::size_t l = 0; l < numLayers; ++l) {
            LoadPlanes(d, layers[l].pose, first, part);
            const VI own = ChannelsOf(layers[l].pose, first);
            const V weight = WeightsOf(d, layers[l], first);
            const V translationWeight =
                hn::IfThenElseZero(hn::RebindMask(d, hn::TestBit(own, translationBit)), weight);
            const V rotationWeight =
                hn::IfThenElseZero(hn::RebindMask(d, hn::TestBit(own, rotationBit)), weight);
            // Translations: the first value taken replaces, the next ones lerp.
            const auto translationTakes = hn::Gt(translationWeight, zero);
            const auto translationStarts = hn::And(translationTakes, hn::Eq(translationSum, zero));
            translationSum = hn::Add(translationSum, translationWeight);
            const V translationShare = hn::Div(translationWeight, translationSum);
            HWY_UNROLL(8)
            for (std::size_t c = 4; c < planes; ++c) {
                const V lerped = hn::MulAdd(hn::Sub(part[c], value[c]), translationShare, value[c]);
                value[c] = hn::IfThenElse(translationStarts, part[c],
                                          hn::IfThenElse(translationTakes, lerped, value[c]));
            }
            // Rotations likewise, by slerps where any lane needs one.
            const auto rotationTakes = hn::Gt(rotationWeight, zero);
            const auto rotationStarts = hn::And(rotationTakes, hn::Eq(rotationSum, zero));
            const auto rotationBlends = hn::AndNot(rotationStarts, rotationTakes);
            rotationSum = hn::Add(rotationSum, rotationWeight);
            if (!hn::AllFalse(d, rotationBlends)) {
                V slerped[4];
                Slerp(d, value, part, hn::Div(rotationWeight, rotationSum), slerped);
                HWY_UNROLL(8)
                for (std::size_t c = 0; c < 4; ++c)
                    value[c] = hn::IfThenElse(rotationBlends, slerped[c], value[c]);
            }
            HWY_UNROLL(8)
            for (std::size_t c = 0; c < 4; ++c)
                value[c] = hn::IfThenElse(rotationStarts, part[c], value[c]);
        }
        for (std::size_t l = 0; l < numAdditive; ++l)
            AddLayer<false>(d, additive[l], first, value);
        // Channels no input sets go back to the identity.
        const auto hasTranslation = hn::RebindMask(d, hn::TestBit(channels, translationBit));
        const auto hasRotation = hn::RebindMask(d, hn::TestBit(channels, rotationBit));
        HWY_UNROLL(8)
        for (std::size_t c = 0; c < 3; ++c)
            hn::StoreU(hn::IfThenElseZero(hasRotation, value[c]), d,
                       result.values + c * result.stride + first);
        hn::StoreU(hn::IfThenElse(hasRotation, value[3], one), d,
                   result.values + 3 * result.stride + first);
        HWY_UNROLL(8)
        for (std::size_t c = 4; c < planes; ++c)
            hn::StoreU(hn::IfThenElseZero(hasTranslation, value[c]), d,
                       result.values + c * result.stride + first);
        hn::StoreU(hn::Or(hn::IfThenElseZero(hn::RebindMask(di, hasTranslation), translationBit),
                          hn::IfThenElseZero(hn::RebindMask(di, hasRotation), rotationBit)),
                   di, result.channels + first);
    }
    return std::min(end, count);
}

#endif

const char* PoseRowsTarget() {
    return hwy::TargetName(HWY_TARGET);
}

} // namespace ktrt::detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include <cmath>
#include <cstring>

#include <Inventor/SbRotation.h>

#include <ktrt/pose/detail/RotationMath.h>

namespace ktrt::detail {

HWY_EXPORT(BlendPoseRows);
HWY_EXPORT(PoseRowsTarget);

namespace {

// One part of a pose: its rotation's 4 and translation's 3 floats, and its
// channel bits.
struct Part {
    float values[7] = {0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f};
    int channels = 0;

    const float* rotation() const { return values; }
    const float* translation() const { return values + 4; }
};

// Part `index` of `pose`, the identity with no channel past the end.
Part partOf(const PosePlanes& pose, std::size_t index) {
    Part part;
    if (index < pose.numParts) {
        for (std::size_t c = 0; c < 7; ++c)
            part.values[c] = pose.values[c * pose.stride + index];
        part.channels = pose.channels[index];
    }
    return part;
}

// The stored quaternion as it is (not normalised again).
SbRotation rotationOf(const Part& part) {
    SbRotation rotation;
    std::memcpy(static_cast<void*>(&rotation), part.rotation(), sizeof(rotation));
    return rotation;
}

double weightOn(const PoseRows& rows, std::size_t index) {
    return rows.partWeights && index < rows.numPartWeights ? rows.weight * rows.partWeights[index]
                                                           : rows.weight;
}

// One channel's successive blend: the first value with a weight above 0
// starts it, each next one moves it its weight over the weights so far of
// the way toward itself.
struct Translation {
    double value[3] = {0.0, 0.0, 0.0};
    double sum = 0.0;

    void take(const Part& part, double weight) {
        if (!(weight > 0.0))
            return;
        const double share = sum > 0.0 ? weight / (sum + weight) : 1.0;
        sum += weight;
        for (int c = 0; c < 3; ++c) {
            const float to = part.translation()[c];
            value[c] = share == 1.0 ? to : value[c] + (to - value[c]) * share;
        }
    }

    // Adds the difference of `to` from `from`, `weight` times.
    void add(const Part& to, const Part& from, double weight) {
        for (int c = 0; c < 3; ++c)
            value[c] += (to.translation()[c] - static_cast<double>(from.translation()[c])) * weight;
    }
};

struct Rotation {
    SbRotation value = SbRotation::identity();
    double sum = 0.0;

    void take(const Part& part, double weight) {
        if (!(weight > 0.0))
            return;
        const double share = sum > 0.0 ? weight / (sum + weight) : 1.0;
        sum += weight;
        value = slerp(value, rotationOf(part), share);
    }

    // Turns on by the turn from `from` to `to`, scaled `weight` times along
    // its arc. No difference, no change: the value stays bit for bit.
    void add(const Part& to, const Part& from, double weight) {
        if (sameBits(to.rotation(), from.rotation(), 4))
            return;
        const SbRotation difference = rotationOf(from).inverse() * rotationOf(to);
        value = value * slerp(SbRotation::identity(), difference, weight);
    }
};

// Blends one channel of part `index`: the layers' values over the rest
// pose's, then the additive layers' differences. False when no layer nor
// additive layer sets the channel there.
template <class Accumulator>
bool blendChannel(const PoseRows* layers, std::size_t numLayers, const PoseRows* additive,
                  std::size_t numAdditive, const PosePlanes& rest, std::size_t index, int channel,
                  Accumulator& result) {
    bool set = false;
    double total = 0.0;
    for (std::size_t l = 0; l < numLayers; ++l) {
        if (partOf(layers[l].pose, index).channels & channel) {
            set = true;
            total += weightOn(layers[l], index);
        }
    }
    for (std::size_t l = 0; l < numAdditive; ++l)
        set = set || (partOf(additive[l].pose, index).channels & channel);
    if (!set)
        return false;
    if (total < 1.0)
        result.take(partOf(rest, index), 1.0 - total);
    for (std::size_t l = 0; l < numLayers; ++l) {
        const Part part = partOf(layers[l].pose, index);
        if (part.channels & channel)
            result.take(part, weightOn(layers[l], index));
    }
    for (std::size_t l = 0; l < numAdditive; ++l) {
        const Part to = partOf(additive[l].pose, index);
        const Part from = partOf(additive[l].reference, index);
        const double weight = weightOn(additive[l], index);
        if (weight > 0.0 && (to.channels & from.channels & channel))
            result.add(to, from, weight);
    }
    return true;
}

} // namespace

void blendPoseRowsReference(const PoseRows* layers, std::size_t numLayers, const PoseRows* additive,
                            std::size_t numAdditive, const PosePlanes& rest, std::size_t first,
                            std::size_t count, const PoseOutput& result) {
    const int translationBit = 1;
    const int rotationBit = 2;
    for (std::size_t i = first; i < count; ++i) {
        int channels = 0;
        Translation translation;
        if (blendChannel(layers, numLayers, additive, numAdditive, rest, i, translationBit,
                         translation))
            channels |= translationBit;
        Rotation rotation;
        if (blendChannel(layers, numLayers, additive, numAdditive, rest, i, rotationBit, rotation))
            channels |= rotationBit;
        // Written only after every input's part i is read: the result may be
        // one of the inputs.
        const float* turn = rotation.value.getValue();
        const Part none;
        for (std::size_t c = 0; c < 4; ++c)
            result.values[c * result.stride + i] =
                (channels & rotationBit) ? turn[c] : none.values[c];
        for (std::size_t c = 0; c < 3; ++c)
            result.values[(4 + c) * result.stride + i] =
                (channels & translationBit) ? static_cast<float>(translation.value[c]) : 0.0f;
        result.channels[i] = channels;
    }
}

std::size_t blendPoseRows(const PoseRows* layers, std::size_t numLayers, const PoseRows* additive,
                          std::size_t numAdditive, const PosePlanes& rest, std::size_t count,
                          const PoseOutput& result) {
    return HWY_DYNAMIC_DISPATCH(BlendPoseRows)(layers, numLayers, additive, numAdditive, rest,
                                               count, result);
}

const char* poseRowsTarget() {
    return HWY_DYNAMIC_DISPATCH(PoseRowsTarget)();
}

} // namespace ktrt::detail

#endif
