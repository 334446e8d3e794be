// Compiled once per SIMD target by Highway; the processor picks the target
// when first called.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "ktrt/pose/detail/KeyRows.cpp"
#include <hwy/foreach_target.h>

#include <hwy/highway.h>

#include <ktrt/pose/detail/KeyRows.h>

#include "QuaternionMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ktrt::detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void SampleKeyRows(const float* from, const float* to, std::size_t planeStride, const int* channels,
                   std::size_t lanes, float fraction, float* out, int* outChannels,
                   std::size_t outStride) {
    const hn::ScalableTag<float> d;
    const hn::RebindToSigned<decltype(d)> di;
    using V = hn::Vec<decltype(d)>;
    const std::size_t step = hn::Lanes(d);
    const V share = hn::Set(d, fraction);
    const V rest = hn::Set(d, 1.0f - fraction);
    const V signBit = hn::Set(d, -0.0f);
    const V one = hn::Set(d, 1.0f);
    const auto translationBit = hn::Set(di, 1);
    const auto rotationBit = hn::Set(di, 2);
    // Rows are padded: the last step may read past `lanes`, but writes only
    // up to it.
    for (std::size_t i = 0; i < lanes; i += step) {
        V value[blendPlanes];
        HWY_UNROLL(8)
        for (std::size_t c = 0; c < blendPlanes; ++c)
            value[c] = hn::LoadU(d, from + c * planeStride + i);
        if (fraction != 0.0f) {
            V next[blendPlanes];
            HWY_UNROLL(8)
            for (std::size_t c = 0; c < blendPlanes; ++c)
                next[c] = hn::LoadU(d, to + c * planeStride + i);
            const V arc = hn::LoadU(d, from + ARC * planeStride + i);
            V turned[4];
            SlerpWithinArc(d, value, next, hn::Abs(arc), hn::And(arc, signBit), share, rest,
                           turned);
            HWY_UNROLL(8)
            for (std::size_t c = 0; c < 4; ++c)
                value[c] = turned[c];
            HWY_UNROLL(8)
            for (std::size_t c = 4; c < blendPlanes; ++c)
                value[c] = hn::MulAdd(hn::Sub(next[c], value[c]), share, value[c]);
        }
        // A channel that the track lacks stays at the identity.
        const auto own = hn::LoadU(di, channels + i);
        const auto hasRotation = hn::RebindMask(d, hn::TestBit(own, rotationBit));
        const auto hasTranslation = hn::RebindMask(d, hn::TestBit(own, translationBit));
        HWY_UNROLL(8)
        for (std::size_t c = 0; c < 3; ++c)
            value[c] = hn::IfThenElseZero(hasRotation, value[c]);
        value[3] = hn::IfThenElse(hasRotation, value[3], one);
        HWY_UNROLL(8)
        for (std::size_t c = 4; c < blendPlanes; ++c)
            value[c] = hn::IfThenElseZero(hasTranslation, value[c]);
        if (i + step <= lanes) {
            HWY_UNROLL(8)
            for (std::size_t c = 0; c < blendPlanes; ++c)
                hn::StoreU(value[c], d, out + c * outStride + i);
            hn::StoreU(own, di, outChannels + i);
        } else {
            const auto inside = hn::FirstN(d, lanes - i);
            HWY_UNROLL(8)
            for (std::size_t c = 0; c < blendPlanes; ++c)
                hn::BlendedStore(value[c], inside, d, out + c * outStride + i);
            hn::BlendedStore(own, hn::FirstN(di, lanes - i), di, outChannels + i);
        }
    }
}

const char* KeyRowsTarget() {
    return hwy::TargetName(HWY_TARGET);
}

} // namespace ktrt::detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include <cmath>
#include <cstring>

#include <ktrt/pose/detail/RotationMath.h>

namespace ktrt::detail {

HWY_EXPORT(SampleKeyRows);
HWY_EXPORT(KeyRowsTarget);

namespace {

// The quaternion of four stored floats, as they are (not normalised again).
SbRotation rotationOf(const float q[4]) {
    SbRotation rotation;
    std::memcpy(static_cast<void*>(&rotation), q, sizeof(rotation));
    return rotation;
}

} // namespace

float arcBetween(const float from[4], const float to[4]) {
    const ShortArc arc = shortArc(rotationOf(from), rotationOf(to));
    const auto angle = arc.inverseSine == 0.0 ? 0.0f : static_cast<float>(arc.angle);
    return arc.flip ? -angle : angle;
}

void blendKey(const float from[], const float to[], double fraction, float out[]) {
    // The arc's angle as stored, in single precision, and its inverse sine
    // from it.
    const double angle = std::fabs(from[ARC]);
    const ShortArc arc{angle, angle == 0.0 ? 0.0 : 1.0 / std::sin(angle),
                       static_cast<bool>(std::signbit(from[ARC]))};
    const SbRotation rotation = slerpOnArc(rotationOf(from), rotationOf(to), arc, fraction);
    std::memcpy(out, rotation.getValue(), 4 * sizeof(float));
    for (unsigned int c = 4; c < 7; ++c)
        out[c] = static_cast<float>(from[c] + (to[c] - static_cast<double>(from[c])) * fraction);
}

void sampleKeyRows(const float* from, const float* to, std::size_t planeStride, const int* channels,
                   std::size_t lanes, float fraction, float* out, int* outChannels,
                   std::size_t outStride) {
    HWY_DYNAMIC_DISPATCH(SampleKeyRows)
    (from, to, planeStride, channels, lanes, fraction, out, outChannels, outStride);
}

const char* keyRowsTarget() {
    return HWY_DYNAMIC_DISPATCH(KeyRowsTarget)();
}

} // namespace ktrt::detail

#endif
