// Compiled once per SIMD target by Highway; the processor picks the target
// when first called. The loops over a part's floats are unrolled whole, so
// that the vectors of a part stay in registers.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "ktrt/pose/detail/PoseRows.cpp"
#include <hwy/foreach_target.h>

#include <hwy/highway.h>

#include <hwy/contrib/math/math-inl.h>

#include <algorithm>

#include <ktrt/pose/detail/PoseRows.h>

HWY_BEFORE_NAMESPACE();
namespace ktrt::detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

#if HWY_TARGET == HWY_SCALAR

std::size_t BlendPoseRows(const PoseRows*, std::size_t, const PoseRows*, std::size_t,
                          const PoseRows&, std::size_t, float*, bool) {
    return 0;
}

#else

using D = hn::ScalableTag<float>;
using V = hn::Vec<D>;
using DI = hn::RebindToSigned<D>;
using VI = hn::Vec<DI>;

// The records of Lanes(d) parts as planes: record slot c of every part in
// planes[c]. Two interleaved loads give the slots c and c + 4 of half the
// parts each, alternating; their even and odd lanes part them.
HWY_INLINE void LoadParts(D d, const float* records, V planes[partFloats]) {
    V lo[4], hi[4];
    hn::LoadInterleaved4(d, records, lo[0], lo[1], lo[2], lo[3]);
    hn::LoadInterleaved4(d, records + 4 * hn::Lanes(d), hi[0], hi[1], hi[2], hi[3]);
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < 4; ++c) {
        planes[c] = hn::ConcatEven(d, hi[c], lo[c]);
        planes[c + 4] = hn::ConcatOdd(d, hi[c], lo[c]);
    }
}

// The inverse of LoadParts(): `zip` takes the lanes of a vector holding two
// half planes to alternate between the two.
template <class Indices>
HWY_INLINE void StoreParts(D d, const V planes[partFloats], const Indices zip, float* records) {
    V lo[4], hi[4];
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < 4; ++c) {
        lo[c] = hn::TableLookupLanes(hn::ConcatLowerLower(d, planes[c + 4], planes[c]), zip);
        hi[c] = hn::TableLookupLanes(hn::ConcatUpperUpper(d, planes[c + 4], planes[c]), zip);
    }
    hn::StoreInterleaved4(lo[0], lo[1], lo[2], lo[3], d, records);
    hn::StoreInterleaved4(hi[0], hi[1], hi[2], hi[3], d, records + 4 * hn::Lanes(d));
}

// `share` of the way from `a` to `b` along the shorter arc, normalised: the
// polynomial arc-cosine and sines are accurate to a few units in the last
// place on [0, pi/2], where the shorter arc lies; the common 1 / sin(angle)
// goes with the normalisation. Nearly parallel quaternions blend linearly.
HWY_INLINE void Slerp(D d, const V a[4], const V b[4], V share, V out[4]) {
    const V one = hn::Set(d, 1.0f);
    V dot = hn::Mul(a[0], b[0]);
    HWY_UNROLL(8)
    for (std::size_t c = 1; c < 4; ++c)
        dot = hn::MulAdd(a[c], b[c], dot);
    const V flip = hn::And(dot, hn::Set(d, -0.0f));
    const V cosine = hn::Min(hn::Abs(dot), one);
    const auto linear = hn::Gt(cosine, hn::Set(d, 0.9999995f));
    const V angle = hn::Acos(d, cosine);
    const V rest = hn::Sub(one, share);
    const V aWeight = hn::IfThenElse(linear, rest, hn::Sin(d, hn::Mul(rest, angle)));
    const V bWeight =
        hn::Xor(hn::IfThenElse(linear, share, hn::Sin(d, hn::Mul(share, angle))), flip);
    V norm = hn::Zero(d);
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < 4; ++c) {
        out[c] = hn::MulAdd(bWeight, b[c], hn::Mul(aWeight, a[c]));
        norm = hn::MulAdd(out[c], out[c], norm);
    }
    // All the way is `b` as it is, on whichever hemisphere it lies.
    const V scale = hn::Div(one, hn::Sqrt(norm));
    const auto whole = hn::Eq(share, one);
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < 4; ++c)
        out[c] = hn::IfThenElse(whole, b[c], hn::Mul(out[c], scale));
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

// Inputs whose planes a vector of parts keeps between the passes.
constexpr std::size_t keptInputs = 8;

HWY_INLINE void Keep(D d, const V planes[partFloats], std::size_t input, float* kept) {
    if (input >= keptInputs)
        return;
    float* at = kept + input * partFloats * hn::Lanes(d);
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < partFloats; ++c)
        hn::Store(planes[c], d, at + c * hn::Lanes(d));
}

// The planes of an input's parts, kept or loaded again.
HWY_INLINE void Reload(D d, const float* records, std::size_t input, const float* kept,
                       V planes[partFloats]) {
    if (input >= keptInputs) {
        LoadParts(d, records, planes);
        return;
    }
    const float* at = kept + input * partFloats * hn::Lanes(d);
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < partFloats; ++c)
        planes[c] = hn::Load(d, at + c * hn::Lanes(d));
}

HWY_INLINE V WeightsOf(D d, const PoseRows& rows, std::size_t first) {
    const V weight = hn::Set(d, static_cast<float>(rows.weight));
    return rows.partWeights ? hn::Mul(weight, hn::LoadU(d, rows.partWeights + first)) : weight;
}

HWY_INLINE VI ChannelsOf(const V planes[partFloats]) {
    return hn::BitCast(DI(), planes[partFloats - 1]);
}

// The parts every input has, part weights included.
std::size_t Covered(const PoseRows* list, std::size_t size, std::size_t count) {
    for (std::size_t l = 0; l < size; ++l) {
        count = std::min(count, list[l].numParts);
        if (list[l].partWeights)
            count = std::min(count, list[l].numPartWeights);
        if (list[l].reference)
            count = std::min(count, list[l].numReferenceParts);
    }
    return count;
}

std::size_t BlendPoseRows(const PoseRows* layers, std::size_t numLayers, const PoseRows* additive,
                          std::size_t numAdditive, const PoseRows& rest, std::size_t count,
                          float* result, bool resultApart) {
    const D d;
    const DI di;
    const std::size_t lanes = hn::Lanes(d);
    count =
        Covered(layers, numLayers, Covered(additive, numAdditive, std::min(count, rest.numParts)));
    // Past the last whole vector, a last vector that overlaps the one before
    // blends its parts again, alike, unless the result is an input.
    const std::size_t end = resultApart && count >= lanes ? count : count - count % lanes;
    const VI index = hn::Iota(di, 0);
    const auto zip = hn::IndicesFromVec(
        d, hn::Add(hn::ShiftRight<1>(index), hn::Mul(hn::And(index, hn::Set(di, 1)),
                                                     hn::Set(di, static_cast<int>(lanes / 2)))));
    const V zero = hn::Zero(d);
    const V one = hn::Set(d, 1.0f);
    const VI translationBit = hn::Set(di, 1);
    const VI rotationBit = hn::Set(di, 2);
    V part[partFloats];
    // The first inputs' planes, kept from the first pass over the layers for
    // the second.
    HWY_ALIGN float kept[keptInputs * partFloats * HWY_LANES(float)];
    V other[partFloats];
    for (std::size_t next = 0; next < end; next += lanes) {
        const std::size_t first = std::min(next, end - lanes);
        const std::size_t offset = first * partFloats;
        // The layers' weights per channel, and which channels any layer sets.
        V translationTotal = zero;
        V rotationTotal = zero;
        VI channels = hn::Zero(di);
        for (std::size_t l = 0; l < numLayers; ++l) {
            LoadParts(d, layers[l].parts + offset, part);
            Keep(d, part, l, kept);
            const VI own = ChannelsOf(part);
            const V weight = WeightsOf(d, layers[l], first);
            channels = hn::Or(channels, own);
            translationTotal = hn::Add(
                translationTotal,
                hn::IfThenElseZero(hn::RebindMask(d, hn::TestBit(own, translationBit)), weight));
            rotationTotal = hn::Add(
                rotationTotal,
                hn::IfThenElseZero(hn::RebindMask(d, hn::TestBit(own, rotationBit)), weight));
        }
        for (std::size_t l = 0; l < numAdditive; ++l) {
            LoadParts(d, additive[l].parts + offset, part);
            Keep(d, part, numLayers + l, kept);
            channels = hn::Or(channels, ChannelsOf(part));
        }
        // The rest pose starts each channel with the share the layers leave.
        V value[partFloats];
        LoadParts(d, rest.parts + offset, value);
        V translationSum = hn::Max(hn::Sub(one, translationTotal), zero);
        V rotationSum = hn::Max(hn::Sub(one, rotationTotal), zero);
        for (std::size_t l = 0; l < numLayers; ++l) {
            Reload(d, layers[l].parts + offset, l, kept, part);
            const VI own = ChannelsOf(part);
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
            for (std::size_t c = 0; c < 3; ++c) {
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
                Slerp(d, value + 3, part + 3, hn::Div(rotationWeight, rotationSum), slerped);
                HWY_UNROLL(8)
                for (std::size_t c = 0; c < 4; ++c)
                    value[3 + c] = hn::IfThenElse(rotationBlends, slerped[c], value[3 + c]);
            }
            HWY_UNROLL(8)
            for (std::size_t c = 3; c < 7; ++c)
                value[c] = hn::IfThenElse(rotationStarts, part[c], value[c]);
        }
        // The additive layers' differences from their references.
        for (std::size_t l = 0; l < numAdditive; ++l) {
            Reload(d, additive[l].parts + offset, numLayers + l, kept, part);
            LoadParts(d, additive[l].reference + offset, other);
            const VI both = hn::And(ChannelsOf(part), ChannelsOf(other));
            const V weight = WeightsOf(d, additive[l], first);
            const auto weighs = hn::Gt(weight, zero);
            const auto addsTranslation =
                hn::And(weighs, hn::RebindMask(d, hn::TestBit(both, translationBit)));
            HWY_UNROLL(8)
            for (std::size_t c = 0; c < 3; ++c)
                value[c] = hn::IfThenElse(addsTranslation,
                                          hn::MulAdd(hn::Sub(part[c], other[c]), weight, value[c]),
                                          value[c]);
            // A difference of zero, bit for bit, leaves the rotation as it is.
            auto same =
                hn::RebindMask(d, hn::Eq(hn::BitCast(di, part[3]), hn::BitCast(di, other[3])));
            HWY_UNROLL(8)
            for (std::size_t c = 4; c < 7; ++c)
                same = hn::And(same, hn::RebindMask(d, hn::Eq(hn::BitCast(di, part[c]),
                                                              hn::BitCast(di, other[c]))));
            const auto addsRotation = hn::AndNot(
                same, hn::And(weighs, hn::RebindMask(d, hn::TestBit(both, rotationBit))));
            if (hn::AllFalse(d, addsRotation))
                continue;
            // The difference reference^-1 layer, scaled along its arc from the
            // identity, turns the value further.
            const V inverse[4] = {hn::Neg(other[3]), hn::Neg(other[4]), hn::Neg(other[5]),
                                  other[6]};
            V difference[4];
            Multiply(part + 3, inverse, difference);
            const V identity[4] = {zero, zero, zero, one};
            V scaled[4];
            Slerp(d, identity, difference, weight, scaled);
            V turned[4];
            Multiply(scaled, value + 3, turned);
            HWY_UNROLL(8)
            for (std::size_t c = 0; c < 4; ++c)
                value[3 + c] = hn::IfThenElse(addsRotation, turned[c], value[3 + c]);
        }
        // Channels no input sets go back to the identity.
        const auto hasTranslation = hn::RebindMask(d, hn::TestBit(channels, translationBit));
        const auto hasRotation = hn::RebindMask(d, hn::TestBit(channels, rotationBit));
        HWY_UNROLL(8)
        for (std::size_t c = 0; c < 3; ++c)
            value[c] = hn::IfThenElseZero(hasTranslation, value[c]);
        HWY_UNROLL(8)
        for (std::size_t c = 3; c < 6; ++c)
            value[c] = hn::IfThenElseZero(hasRotation, value[c]);
        value[6] = hn::IfThenElse(hasRotation, value[6], one);
        value[7] = hn::BitCast(
            d, hn::Or(hn::IfThenElseZero(hn::RebindMask(di, hasTranslation), translationBit),
                      hn::IfThenElseZero(hn::RebindMask(di, hasRotation), rotationBit)));
        StoreParts(d, value, zip, result + offset);
    }
    return end;
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

const float identityRecord[partFloats] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f};

// Part `index`'s record, the identity with no channel past the end.
const float* recordOf(const float* parts, std::size_t numParts, std::size_t index) {
    return index < numParts ? parts + index * partFloats : identityRecord;
}

int channelsOf(const float* record) {
    int channels = 0;
    std::memcpy(&channels, record + partFloats - 1, sizeof(channels));
    return channels;
}

// The stored quaternion as it is (not normalised again).
SbRotation rotationOf(const float* record) {
    SbRotation rotation;
    std::memcpy(static_cast<void*>(&rotation), record + 3, sizeof(rotation));
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

    void take(const float* record, double weight) {
        if (!(weight > 0.0))
            return;
        const double share = sum > 0.0 ? weight / (sum + weight) : 1.0;
        sum += weight;
        for (int c = 0; c < 3; ++c)
            value[c] = share == 1.0 ? record[c] : value[c] + (record[c] - value[c]) * share;
    }
};

struct Rotation {
    SbRotation value = SbRotation::identity();
    double sum = 0.0;

    void take(const float* record, double weight) {
        if (!(weight > 0.0))
            return;
        const double share = sum > 0.0 ? weight / (sum + weight) : 1.0;
        sum += weight;
        value = slerp(value, rotationOf(record), share);
    }
};

// Blends one channel of part `index`: the layers' values over the rest
// pose's. False when no layer nor additive layer sets the channel there.
template <class Accumulator>
bool blendChannel(const PoseRows* layers, std::size_t numLayers, const PoseRows* additive,
                  std::size_t numAdditive, const PoseRows& rest, std::size_t index, int channel,
                  Accumulator& result) {
    bool set = false;
    double total = 0.0;
    for (std::size_t l = 0; l < numLayers; ++l) {
        if (channelsOf(recordOf(layers[l].parts, layers[l].numParts, index)) & channel) {
            set = true;
            total += weightOn(layers[l], index);
        }
    }
    for (std::size_t l = 0; l < numAdditive; ++l)
        set =
            set || (channelsOf(recordOf(additive[l].parts, additive[l].numParts, index)) & channel);
    if (!set)
        return false;
    if (total < 1.0)
        result.take(recordOf(rest.parts, rest.numParts, index), 1.0 - total);
    for (std::size_t l = 0; l < numLayers; ++l) {
        const float* record = recordOf(layers[l].parts, layers[l].numParts, index);
        if (channelsOf(record) & channel)
            result.take(record, weightOn(layers[l], index));
    }
    return true;
}

} // namespace

void blendPoseRowsReference(const PoseRows* layers, std::size_t numLayers, const PoseRows* additive,
                            std::size_t numAdditive, const PoseRows& rest, std::size_t first,
                            std::size_t count, float* result) {
    const int translationBit = 1;
    const int rotationBit = 2;
    for (std::size_t i = first; i < count; ++i) {
        int channels = 0;
        Translation translation;
        if (blendChannel(layers, numLayers, additive, numAdditive, rest, i, translationBit,
                         translation)) {
            channels |= translationBit;
            for (std::size_t l = 0; l < numAdditive; ++l) {
                const float* to = recordOf(additive[l].parts, additive[l].numParts, i);
                const float* from =
                    recordOf(additive[l].reference, additive[l].numReferenceParts, i);
                const double weight = weightOn(additive[l], i);
                if (!(weight > 0.0) || !(channelsOf(to) & channelsOf(from) & translationBit))
                    continue;
                for (int c = 0; c < 3; ++c)
                    translation.value[c] += (to[c] - static_cast<double>(from[c])) * weight;
            }
        }
        Rotation rotation;
        if (blendChannel(layers, numLayers, additive, numAdditive, rest, i, rotationBit,
                         rotation)) {
            channels |= rotationBit;
            for (std::size_t l = 0; l < numAdditive; ++l) {
                const float* to = recordOf(additive[l].parts, additive[l].numParts, i);
                const float* from =
                    recordOf(additive[l].reference, additive[l].numReferenceParts, i);
                const double weight = weightOn(additive[l], i);
                // No difference, no change: the value stays bit for bit.
                if (!(weight > 0.0) || !(channelsOf(to) & channelsOf(from) & rotationBit) ||
                    sameBits(to + 3, from + 3, 4))
                    continue;
                const SbRotation difference = rotationOf(from).inverse() * rotationOf(to);
                rotation.value = rotation.value * slerp(SbRotation::identity(), difference, weight);
            }
        }
        // Written only after every input's part i is read: the result may be
        // one of the inputs.
        float* out = result + i * partFloats;
        const float* turn = rotation.value.getValue();
        for (int c = 0; c < 3; ++c)
            out[c] = (channels & translationBit) ? static_cast<float>(translation.value[c]) : 0.0f;
        for (int c = 0; c < 4; ++c)
            out[3 + c] = (channels & rotationBit) ? turn[c] : identityRecord[3 + c];
        std::memcpy(out + partFloats - 1, &channels, sizeof(channels));
    }
}

std::size_t blendPoseRows(const PoseRows* layers, std::size_t numLayers, const PoseRows* additive,
                          std::size_t numAdditive, const PoseRows& rest, std::size_t count,
                          float* result, bool resultApart) {
    return HWY_DYNAMIC_DISPATCH(BlendPoseRows)(layers, numLayers, additive, numAdditive, rest,
                                               count, result, resultApart);
}

const char* poseRowsTarget() {
    return HWY_DYNAMIC_DISPATCH(PoseRowsTarget)();
}

} // namespace ktrt::detail

#endif
