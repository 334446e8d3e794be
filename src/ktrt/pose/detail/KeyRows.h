#pragma once

#include <cstddef>

namespace ktrt::detail {

/// The planes of a row of prepared keys, one float per track side by side:
/// the rotation's x, y, z and w, the translation's x, y and z, and the arc to
/// the next key of the track. The arc's sign bit set means that the next
/// key's quaternion turns to the other hemisphere for the shorter arc; its
/// magnitude is the angle between the two quaternions, 0 when they are so
/// nearly equal that they blend linearly.
enum KeyPlane {
    ROTATION_X,
    ROTATION_Y,
    ROTATION_Z,
    ROTATION_W,
    TRANSLATION_X,
    TRANSLATION_Y,
    TRANSLATION_Z,
    ARC,
    KEY_PLANES
};

/// The planes that a blend of two rows gives: rotation, then translation.
const std::size_t blendPlanes = 7;

/// Floats that a row may be read past its last lane: a plane is padded by
/// this.
const std::size_t rowPadding = 64;

/// The signed arc (as in KeyPlane) from quaternion `from` to quaternion `to`.
float arcBetween(const float from[4], const float to[4]);

/// The reference blend of one key with the next one of its track, a
/// `fraction` in (0, 1) of the way: `from` and `to` are KEY_PLANES floats,
/// `out` gets blendPlanes (the rotation slerped on the shorter arc and
/// normalised, the translation lerped), computed in double.
void blendKey(const float from[], const float to[], double fraction, float out[]);

/// Samples `lanes` tracks at once, in SIMD on the best target the processor
/// has: `fraction` of the way from each track's key in row `from` to its key
/// in row `to` as blendKey() does, or at 0 the key in `from` as it is. Plane
/// p of the rows is at from + p * planeStride and to + p * planeStride; the
/// tracks' channel bits are `channels`. Writes plane c of the result at out
/// + c * outStride and the channels at `outChannels`, the channels a track
/// lacks at the identity, nothing past `lanes`; reads up to a vector past
/// it. Agrees with blendKey() within 1e-6 rad and the translations'
/// rounding.
void sampleKeyRows(const float* from, const float* to, std::size_t planeStride, const int* channels,
                   std::size_t lanes, float fraction, float* out, int* outChannels,
                   std::size_t outStride);

/// The name of the SIMD target sampleKeyRows() runs on this processor.
const char* keyRowsTarget();

} // namespace ktrt::detail
