#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/PlaySession.h"
#include "common/TimedPlayback.h"

class KTAnimationInstance;
class KTComponent;
class KTComponentAnimation;

namespace ktrt_tool {

/// The sampled motion of one node: rotations as x, y, z, w and translations
/// as x, y, z, one per sample time of the clip. An empty list means that
/// field does not move.
struct PoseTrack {
    int node = -1;
    std::vector<float> rotations;
    std::vector<float> translations;
};

/// One animation of the exported asset: sample times in seconds (strictly
/// increasing) shared by every track, and how a player goes from one sample
/// to the next: holding each until the next (step) or interpolating (linear).
struct PoseClip {
    enum class Interpolation { Step, Linear };
    std::string name;
    Interpolation interpolation = Interpolation::Step;
    std::vector<float> times;
    std::vector<PoseTrack> tracks;
    /// A crossfade's weight of B at every sample time, and the seconds when
    /// the fade starts and ends; empty without a crossfade.
    std::vector<float> fades;
    double fadeStart = 0.0;
    double fadeEnd = 0.0;
};

/// Plays `frames` frames with `instance.update()` and records, after each,
/// the rotation of every part and the translation of every part whose track
/// plays positions, at time k / fps for frame k. One closing sample follows at
/// frames / fps with the last frame's pose again, so that a looping player
/// shows each frame, the last one too, for 1 / fps seconds. `partNodes[i]` is the node of
/// `parts[i]`; parts without a node
/// (-1) are left out.
PoseClip samplePlayback(KTAnimationInstance& instance, KTComponentAnimation& animation,
                        const std::vector<AnimatedPart>& parts, const std::vector<int>& partNodes,
                        int frames, double fps);

/// Samples the animation by time as KTAnimationPlayer plays it with LINEAR
/// interpolation, for a LINEAR clip: one sample per key time k / keyRate up to
/// the end of the longest track, so that every key of every track is a sample
/// and a glTF player interpolates between them as the sampler does. Each
/// track holds its last key once it ends (CLAMP), as glTF players do; each
/// rotation takes the sign nearer the sample before, so that interpolation
/// keeps to the shorter arc.
PoseClip sampleKeysLinear(KTComponent* component, KTComponentAnimation& animation,
                          const std::vector<AnimatedPart>& parts, const std::vector<int>& partNodes,
                          double keyRate);

/// Plays `playback` forward to each of `times` (increasing) and records,
/// for every part with a node (`partNodes[i]` for part i, -1 for none), its
/// rotation and, when an action moves it, its translation, as a host sees
/// them (TimedPlayback::getPart()); each rotation takes the sign nearer the
/// sample before, so that Linear interpolation keeps to the shorter arc. A
/// Step clip gets one closing sample `closing` seconds after the last time,
/// holding the last pose. With a crossfade, `fades` holds B's fade at every
/// sample and the clip the fade's start and end.
PoseClip samplePoses(TimedPlayback& playback, const std::vector<int>& partNodes,
                     const std::vector<double>& times, double closing,
                     PoseClip::Interpolation interpolation);

} // namespace ktrt_tool
