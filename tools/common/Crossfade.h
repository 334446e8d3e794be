#pragma once

#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "common/PlaySession.h"

#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/pose/KTPose.h>

// `--crossfade B.kta --at T --over S` of `ktrt play`, `export` and `preview`:
// the animation of the command line (A) plays alone before T, B starts at its
// own time 0 at T, its weight rises linearly from 0 to 1 over S seconds, and
// B plays alone from T + S on.
namespace ktrt_tool {

/// The options that ask for a crossfade.
struct CrossfadeOptions {
    std::string animation; // --crossfade: the animation faded to
    double at = 0.0;       // --at: seconds when the fade starts
    double over = 0.0;     // --over: seconds the fade takes

    /// Whether the command line asks for a crossfade.
    bool requested() const { return !animation.empty(); }
};

/// Adds --crossfade, --at and --over to `command`. --at and --over need
/// --crossfade and it needs them (a usage error, exit status 2, otherwise);
/// both take seconds from 0 to 1000000. Returns the --crossfade option.
CLI::Option* addCrossfadeOptions(CLI::App& command, CrossfadeOptions& options);

/// The help text's sentence on the crossfade, shared by the commands.
extern const char* const crossfadeHelp;

/// A crossfade between two animations on one component, computed from poses
/// alone: both are sampled from their prepared keys (KTAnimationClip) and
/// blended two-way (KTPoseBlend::blend) with B's weight, the parts' poses
/// before playing (KTPartBinding::getRestPose) taking the weight of the
/// animation that does not move a part. No node is written.
class Crossfade {
public:
    /// Opens the play session of `input` (world, component and A), reads B
    /// (`options.animation`) and binds its tracks to the same component. A
    /// track of B whose part is missing is skipped with a note; B that names
    /// no part of the component fails, as does A under `requireParts`. On
    /// failure prints one `TOOL: ...` line (or the reader's error) and
    /// returns false.
    bool open(const char* tool, const PlayInput& input, const CrossfadeOptions& options,
              bool requireParts);

    /// How both animations play: keys per second, interpolation, wrap (the
    /// cycle length is not used) and the speed, a multiple of real time.
    void setTiming(const KTAnimationClip::Timing& timing, double speed);
    /// The timing of both animations; 30 keys per second, LINEAR and LOOP
    /// by default.
    const KTAnimationClip::Timing& getTiming() const { return timing; }
    /// The speed of both animations, 1 by default.
    double getSpeed() const { return speed; }

    /// Seconds of one cycle of A (`target` false) or B in real time: a
    /// ping-pong cycle there and back, divided by the size of the speed.
    double getCycle(bool target) const;
    /// B's weight `seconds` after A started: 0 before the fade, 1 from its
    /// end on, rising linearly in between.
    float getWeight(double seconds) const;
    /// The faded pose `seconds` after A started into `pose`, part i of
    /// `parts`: A as KTAnimationPlayer plays it from a play() at time 0, B
    /// the same from the start of the fade. A part channel that neither
    /// animation sets there stays unset. False for a time neither animation
    /// can take.
    bool poseAt(double seconds, KTPose& pose);
    /// The pose every part had when the world was read, both channels set.
    const KTPose& getRestPose() const { return rest; }
    /// The channels (KTPose::Channel bits) that A or B plays on part `index`.
    int getChannels(unsigned int index) const;

    /// The world, the component and A with its parts, as `ktrt play` reads
    /// them.
    PlaySession session;
    /// B, read from its file.
    KTComponentAnimation target;
    /// The parts either animation moves: A's (in file order), then B's that
    /// A does not move, in B's file order. `track` is the index of the track
    /// in the animation that first names the part.
    std::vector<AnimatedPart> parts;
    /// When the fade starts and how long it takes, in seconds.
    double at = 0.0;
    double over = 0.0;

private:
    // Samples `clip` at `elapsed` seconds after it started into `pose`
    // through `partOfTrack`.
    bool sampleAt(const KTAnimationClip& clip, const std::vector<int>& partOfTrack, double elapsed,
                  KTPose& pose) const;

    KTAnimationClip::Timing timing;
    double speed = 1.0;
    std::shared_ptr<const KTAnimationClip> clips[2]; // A, B
    std::vector<int> partOfTrack[2];                 // per clip track: part index or -1
    KTPose rest;
    KTPose poses[2];
};

} // namespace ktrt_tool
