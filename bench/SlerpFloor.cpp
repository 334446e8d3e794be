// The arithmetic floor of an exact blend: one slerp a part and nothing else,
// over quaternion planes, with the library's own exact kit (fitted sines,
// polynomial arc-cosine, normalisation), compiled for every target Highway
// knows like the library's blend and dispatched the same way.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "SlerpFloor.cpp"
#include <hwy/foreach_target.h>

#include <hwy/highway.h>

#include "SlerpFloor.h"

#include <ktrt/pose/detail/QuaternionMath-inl.h>

HWY_BEFORE_NAMESPACE();
namespace ktrt_bench::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;
namespace kit = ktrt::detail::HWY_NAMESPACE;

void SlerpPlanes(const float* a, const float* b, std::size_t stride, std::size_t lanes, float share,
                 float* out) {
    const hn::ScalableTag<float> d;
    using V = hn::Vec<decltype(d)>;
    const V toShare = hn::Set(d, share);
    const V fromShare = hn::Set(d, 1.0f - share);
    for (std::size_t i = 0; i + hn::Lanes(d) <= lanes; i += hn::Lanes(d)) {
        V from[4], to[4], turned[4];
        for (std::size_t c = 0; c < 4; ++c) {
            from[c] = hn::LoadU(d, a + c * stride + i);
            to[c] = hn::LoadU(d, b + c * stride + i);
        }
        kit::SlerpWithin(d, from, to, toShare, fromShare, turned);
        for (std::size_t c = 0; c < 4; ++c)
            hn::StoreU(turned[c], d, out + c * stride + i);
    }
}

} // namespace ktrt_bench::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ktrt_bench {

HWY_EXPORT(SlerpPlanes);

void slerpPlanes(const float* a, const float* b, std::size_t stride, std::size_t lanes, float share,
                 float* out) {
    HWY_DYNAMIC_DISPATCH(SlerpPlanes)(a, b, stride, lanes, share, out);
}

} // namespace ktrt_bench
#endif
