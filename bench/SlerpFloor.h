#pragma once

#include <cstddef>

namespace ktrt_bench {

/// `share` of the way from each quaternion of `a` to the one of `b` at the
/// same lane, by the exact slerp alone, into `out`: plane c (x, y, z, w) of
/// each at c * stride; whole vectors of lanes only, at most `lanes`.
void slerpPlanes(const float* a, const float* b, std::size_t stride, std::size_t lanes, float share,
                 float* out);

} // namespace ktrt_bench
