#pragma once

#include <string>
#include <vector>

#include <assimp/quaternion.h>
#include <assimp/vector3.h>

struct aiAnimation;
struct aiNodeAnim;
struct aiScene;
class KTComponentAnimation;

namespace ktrt_tool {

/// Number of frames that sampling `animation` at `fps` frames per second
/// gives: one at time 0, one every 1/fps seconds, up to the animation's end
/// inclusive (a time just short of the end by float rounding counts as the
/// end). Saturates at 4000000000.
unsigned int frameCount(const aiAnimation& animation, double fps);

/// The ticks per second of an animation; assimp leaves 0 when the source
/// does not say, and then it is 25, as assimp's own viewer and tools take it.
double ticksPerSecond(const aiAnimation& animation);

/// Samples one node channel at `frames` times i / fps (seconds): the rotation
/// by spherical linear interpolation along the shorter arc, the position by
/// linear interpolation, each held at its first or last key outside the
/// keys; a channel without rotation (position) keys gives `restRotation`
/// (`restPosition`) throughout. Writes the rotations as unit quaternions (x, y, z, w, with w >= 0)
/// to `rotations` (4 per frame) and the positions to `positions` (3 per
/// frame).
void sampleChannel(const aiNodeAnim& channel, double ticksPerSecond, double fps,
                   unsigned int frames, double* rotations, double* positions,
                   const aiQuaternion& restRotation, const aiVector3D& restPosition);

/// The name a node gets as a track and as a part: the node's name with every
/// character that neither an animation file nor an Inventor name can hold
/// replaced by '_' (and a '_' before a leading digit).
std::string partNameOf(const std::string& nodeName);

/// Fills `result` with one track per channel of `animation` (of `scene`)
/// that turns or moves a node, named partNames[i] for channel i, sampled at `fps` with key
/// values in seconds and key fractions of the cycle, 0 to 1, for the file's Key lists. Each
/// rotation goes through the axis and angle that the animation file stores, so the tracks hold
/// what reading the file gives. When channels scale (a key more than 1e-3 from 1 on any axis),
/// adds one line to `warnings` that counts them and names the first three.
void buildAnimation(const aiScene& scene, const aiAnimation& animation,
                    const std::vector<std::string>& partNames, double fps,
                    KTComponentAnimation& result, std::vector<std::string>& warnings);

} // namespace ktrt_tool
