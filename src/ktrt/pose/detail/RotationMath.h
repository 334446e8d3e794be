#pragma once

#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

namespace ktrt::detail {

/// The arc from one unit quaternion to another along the shorter way: q and
/// -q are the same rotation, so the arc starts toward whichever of the two is
/// nearer (`flip`: toward -to). Quaternions this close (cosine of half the
/// angle between them above nearlyParallel) have `inverseSine` 0 and blend
/// linearly, since the spherical form divides by a vanishing sine.
struct ShortArc {
    double angle = 0.0;       ///< the angle between the two, on the shorter side
    double inverseSine = 0.0; ///< 1 / sin(angle); 0 when nearly parallel
    bool flip = false;        ///< the shorter arc ends on -to
};

/// The cosine above which two quaternions count as nearly parallel.
constexpr double nearlyParallel = 0.9999995;

/// The shorter arc from `from` to `to`.
ShortArc shortArc(const SbRotation& from, const SbRotation& to);

/// The rotation `fraction` of the way along `arc` from `from` to `to` (any
/// real fraction: beyond 1 it carries on along the same great circle),
/// normalised. Inline: samplers run it once per part and key.
inline SbRotation slerpOnArc(const SbRotation& from, const SbRotation& to, const ShortArc& arc,
                             double fraction) {
    double fromWeight = 1.0 - fraction;
    double toWeight = fraction;
    if (arc.inverseSine != 0.0) {
        fromWeight = std::sin(fromWeight * arc.angle) * arc.inverseSine;
        toWeight = std::sin(toWeight * arc.angle) * arc.inverseSine;
    }
    if (arc.flip)
        toWeight = -toWeight;
    const float* a = from.getValue();
    const float* b = to.getValue();
    double q[4];
    double norm = 0.0;
    for (unsigned int c = 0; c < 4; ++c) {
        q[c] = fromWeight * a[c] + toWeight * b[c];
        norm += q[c] * q[c];
    }
    // Exact on the arc up to rounding; the linear blend of nearly parallel
    // quaternions needs it.
    const double scale = 1.0 / std::sqrt(norm);
    return SbRotation(static_cast<float>(q[0] * scale), static_cast<float>(q[1] * scale),
                      static_cast<float>(q[2] * scale), static_cast<float>(q[3] * scale));
}

/// Spherical-linear blend along the shorter arc: `from` at fraction 0 and
/// `to` at 1, bit for bit; other fractions (also outside [0, 1]) as
/// slerpOnArc().
SbRotation slerp(const SbRotation& from, const SbRotation& to, double fraction);

/// Whether `count` values at `a` and `b` have the same bits: a value equals
/// its copy even where it is a NaN, and 0 differs from -0. `T` is a plain
/// aggregate of floats (a float, SbVec3f, SbRotation, a key record).
template <class T> bool sameBits(const T* a, const T* b, std::size_t count) {
    static_assert(std::is_trivially_copyable<T>::value, "compared by its bytes");
    return count == 0 || std::memcmp(a, b, count * sizeof(T)) == 0;
}

/// sameBits() of one rotation.
inline bool sameBits(const SbRotation& a, const SbRotation& b) {
    return sameBits(a.getValue(), b.getValue(), 4);
}

/// sameBits() of one vector.
inline bool sameBits(const SbVec3f& a, const SbVec3f& b) {
    return sameBits(a.getValue(), b.getValue(), 3);
}

} // namespace ktrt::detail
