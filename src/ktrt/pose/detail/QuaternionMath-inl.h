// The SIMD quaternion math shared by sampling and blending, compiled into
// each Highway target of the file that includes it (after hwy/highway.h,
// inside HWY_BEFORE_NAMESPACE). Every function here is exact to float
// precision on the ranges it states; none trades accuracy for speed.
#if defined(KTRT_POSE_DETAIL_QUATERNION_MATH_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef KTRT_POSE_DETAIL_QUATERNION_MATH_INL_H_
#undef KTRT_POSE_DETAIL_QUATERNION_MATH_INL_H_
#else
#define KTRT_POSE_DETAIL_QUATERNION_MATH_INL_H_
#endif

#include <cstddef>

#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace ktrt::detail::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

/// sin(x) for x in [0, pi/2], where the arcs of quaternions on the shorter
/// side lie: x times a polynomial in x^2 of degree 4, fitted for the least
/// error there (7.5e-9), no range reduction needed.
template <class D, class V = hn::Vec<D>> HWY_INLINE V SinOfArc(D d, V x) {
    const V x2 = hn::Mul(x, x);
    V p = hn::Set(d, 2.6084541e-6f);
    p = hn::MulAdd(p, x2, hn::Set(d, -1.9810872e-4f));
    p = hn::MulAdd(p, x2, hn::Set(d, 8.3330844e-3f));
    p = hn::MulAdd(p, x2, hn::Set(d, -0.16666660f));
    return hn::MulAdd(hn::Mul(p, x2), x, x);
}

/// arccos(x) for x in [0, 1]: sqrt(1 - x) times a polynomial of degree 7,
/// within 2e-8 (Abramowitz and Stegun 4.4.46).
template <class D, class V = hn::Vec<D>> HWY_INLINE V AcosOfCosine(D d, V x) {
    V p = hn::Set(d, -0.0012624911f);
    p = hn::MulAdd(p, x, hn::Set(d, 0.0066700901f));
    p = hn::MulAdd(p, x, hn::Set(d, -0.0170881256f));
    p = hn::MulAdd(p, x, hn::Set(d, 0.0308918810f));
    p = hn::MulAdd(p, x, hn::Set(d, -0.0501743046f));
    p = hn::MulAdd(p, x, hn::Set(d, 0.0889789874f));
    p = hn::MulAdd(p, x, hn::Set(d, -0.2145988016f));
    p = hn::MulAdd(p, x, hn::Set(d, 1.5707963050f));
    return hn::Mul(p, hn::Sqrt(hn::Sub(hn::Set(d, 1.0f), x)));
}

/// q / |q| for the quaternions in q[0..3]: the processor's estimate of
/// 1 / sqrt refined by Newton's steps to float precision (one step on a
/// 14-bit estimate, two on a 12-bit or coarser one), where a division and a
/// square root would stall the pipeline; the emulated targets divide.
template <class D, class V = hn::Vec<D>> HWY_INLINE void Normalize(D d, V q[4]) {
    V norm = hn::Mul(q[0], q[0]);
    HWY_UNROLL(8)
    for (std::size_t c = 1; c < 4; ++c)
        norm = hn::MulAdd(q[c], q[c], norm);
#if HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128
    const V scale = hn::Div(hn::Set(d, 1.0f), hn::Sqrt(norm));
#else
    V scale = hn::ApproximateReciprocalSqrt(norm);
    const V half = hn::Mul(norm, hn::Set(d, 0.5f));
    const V threeHalves = hn::Set(d, 1.5f);
    HWY_UNROLL(2)
    for (int step = 0; step < (HWY_TARGET <= HWY_AVX3 ? 1 : 2); ++step)
        scale = hn::Mul(scale, hn::NegMulAdd(half, hn::Mul(scale, scale), threeHalves));
#endif
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < 4; ++c)
        q[c] = hn::Mul(q[c], scale);
}

/// `share` (in [0, 1]; `rest` is 1 - share) of the way from quaternions `a`
/// to `b` along the shorter arc, whose angle (in [0, pi/2]) is `angle`,
/// normalised: `flip` holds the sign bit that turns `b` to the side of `a`.
/// The common 1 / sin(angle) goes with the normalisation. An arc shorter
/// than 1e-3 takes that arc's sines, whose ratio is the linear blend's
/// within 1.7e-7, for no division by a vanishing sine: the point it gives
/// is within 2e-10 rad of the linear blend's, itself within the cube of
/// the angle of the arc's.
template <class D, class V = hn::Vec<D>>
HWY_INLINE void SlerpWithinArc(D d, const V a[4], const V b[4], V angle, V flip, V share, V rest,
                               V out[4]) {
    const V arc = hn::Max(angle, hn::Set(d, 1e-3f));
    const V aWeight = SinOfArc(d, hn::Mul(rest, arc));
    const V bWeight = hn::Xor(SinOfArc(d, hn::Mul(share, arc)), flip);
    HWY_UNROLL(8)
    for (std::size_t c = 0; c < 4; ++c)
        out[c] = hn::MulAdd(bWeight, b[c], hn::Mul(aWeight, a[c]));
    Normalize(d, out);
}

/// `share` (in [0, 1]; `rest` is 1 - share) of the way from quaternions `a`
/// to `b` along the shorter arc, its angle found from their dot product,
/// normalised (SlerpWithinArc()).
template <class D, class V = hn::Vec<D>>
HWY_INLINE void SlerpWithin(D d, const V a[4], const V b[4], V share, V rest, V out[4]) {
    V dot = hn::Mul(a[0], b[0]);
    HWY_UNROLL(8)
    for (std::size_t c = 1; c < 4; ++c)
        dot = hn::MulAdd(a[c], b[c], dot);
    const V cosine = hn::Min(hn::Abs(dot), hn::Set(d, 1.0f));
    SlerpWithinArc(d, a, b, AcosOfCosine(d, cosine), hn::And(dot, hn::Set(d, -0.0f)), share, rest,
                   out);
}

} // namespace ktrt::detail::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#endif
