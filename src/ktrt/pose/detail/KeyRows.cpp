// Compiled once per SIMD target by Highway; the processor picks the target
// when first called.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "ktrt/pose/detail/KeyRows.cpp"
#include <hwy/foreach_target.h>

#include <hwy/highway.h>

#include <hwy/contrib/math/math-inl.h>

#include <ktrt/pose/detail/KeyRows.h>

HWY_BEFORE_NAMESPACE();
namespace ktrt::detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void BlendKeyRows(const float* from, const float* to, std::size_t planeStride, std::size_t lanes,
                  float fraction, float* out, std::size_t outStride) {
    const hn::ScalableTag<float> d;
    const std::size_t step = hn::Lanes(d);
    const auto toShare = hn::Set(d, fraction);
    const auto fromShare = hn::Set(d, 1.0f - fraction);
    const auto signBit = hn::Set(d, -0.0f);
    const auto zero = hn::Zero(d);
    const auto one = hn::Set(d, 1.0f);
    // Rows are padded: the last step may read and write past `lanes`.
    for (std::size_t i = 0; i < lanes; i += step) {
        const auto arc = hn::LoadU(d, from + ARC * planeStride + i);
        const auto angle = hn::Abs(arc);
        const auto linear = hn::Eq(angle, zero);
        // The arc lies in [0, pi/2], where the polynomial sine is accurate to
        // a few units in the last place; the common 1 / sin(angle) goes with
        // the normalisation.
        const auto fromWeight =
            hn::IfThenElse(linear, fromShare, hn::Sin(d, hn::Mul(fromShare, angle)));
        const auto toWeight =
            hn::Xor(hn::IfThenElse(linear, toShare, hn::Sin(d, hn::Mul(toShare, angle))),
                    hn::And(arc, signBit));
        hn::Vec<decltype(d)> q[4];
        auto norm = zero;
        for (std::size_t c = 0; c < 4; ++c) {
            q[c] = hn::MulAdd(toWeight, hn::LoadU(d, to + c * planeStride + i),
                              hn::Mul(fromWeight, hn::LoadU(d, from + c * planeStride + i)));
            norm = hn::MulAdd(q[c], q[c], norm);
        }
        const auto scale = hn::Div(one, hn::Sqrt(norm));
        for (std::size_t c = 0; c < 4; ++c)
            hn::StoreU(hn::Mul(q[c], scale), d, out + c * outStride + i);
        for (std::size_t c = 4; c < 7; ++c) {
            const auto a = hn::LoadU(d, from + c * planeStride + i);
            const auto b = hn::LoadU(d, to + c * planeStride + i);
            hn::StoreU(hn::MulAdd(hn::Sub(b, a), toShare, a), d, out + c * outStride + i);
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

HWY_EXPORT(BlendKeyRows);
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

void blendKeyRows(const float* from, const float* to, std::size_t planeStride, std::size_t lanes,
                  float fraction, float* out, std::size_t outStride) {
    HWY_DYNAMIC_DISPATCH(BlendKeyRows)(from, to, planeStride, lanes, fraction, out, outStride);
}

const char* keyRowsTarget() {
    return HWY_DYNAMIC_DISPATCH(KeyRowsTarget)();
}

} // namespace ktrt::detail

#endif
