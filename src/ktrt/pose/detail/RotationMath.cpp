#include <ktrt/pose/detail/RotationMath.h>

namespace ktrt::detail {

ShortArc shortArc(const SbRotation& from, const SbRotation& to) {
    const float* a = from.getValue();
    const float* b = to.getValue();
    double cosine = 0.0;
    for (unsigned int c = 0; c < 4; ++c)
        cosine += static_cast<double>(a[c]) * b[c];
    ShortArc arc;
    arc.flip = cosine < 0.0;
    cosine = std::fabs(cosine);
    if (cosine <= nearlyParallel) {
        arc.angle = std::acos(cosine);
        arc.inverseSine = 1.0 / std::sin(arc.angle);
    }
    return arc;
}

SbRotation slerp(const SbRotation& from, const SbRotation& to, double fraction) {
    if (fraction == 0.0)
        return from;
    if (fraction == 1.0)
        return to;
    return slerpOnArc(from, to, shortArc(from, to), fraction);
}

} // namespace ktrt::detail
