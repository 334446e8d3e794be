#pragma once

#include <memory>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "common/PlaySession.h"

#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/playback/KTAnimationMixer.h>
#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/world/KTWorldAnimations.h>

class KTAnimationAction;
class KTComponent;
class SbRotation;
class SbVec3f;

// What `ktrt play`, `export` and `preview` play by time: the library's own
// KTAnimationMixer, driven forward with advance() as a host drives it, so
// that the tool prints and exports the poses a host sees.
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

/// Settings given on the command line for every action; 0 or -1 keeps what
/// the world or the clip says.
struct TimingOverrides {
    double keyRate = 0.0;
    double speed = 0.0;
    int interpolation = -1; // KTAnimationClip::Interpolation
    int wrap = -1;          // KTAnimationClip::WrapMode
};

/// The timing and speed that the first KTAnimationPlayback node of
/// `component` gives (a key rate outside the tool's limits counts as 30);
/// false and the clip's defaults when it has none.
bool playbackNodeTiming(KTComponent& component, KTAnimationClip::Timing& timing, double& speed);

/// One mixer on one component, played by time from 0 on: the mixer a
/// world's KTAnimationPlayback nodes build (KTWorldAnimations), or a mixer
/// of one action that plays an animation file, and optionally a crossfade
/// from every action to an animation B. Not copyable; owns what it reads.
class TimedPlayback {
public:
    TimedPlayback();
    ~TimedPlayback();
    TimedPlayback(const TimedPlayback&) = delete;
    TimedPlayback& operator=(const TimedPlayback&) = delete;

    /// Reads the world of `input` and takes the mixer that its playback
    /// nodes build for the component (`input.component`, else the first
    /// that has one); a component with one player gets a mixer of one action
    /// with the player's clip and settings. Animations are read from beside
    /// the world file (registerWorldAnimations()). On failure prints why and
    /// returns 1 (unreadable) or 2 (`--positions`, which the nodes say).
    int openWorld(const char* tool, const PlayInput& input);
    /// Reads the world and the animation file of `input` (as `ktrt play`
    /// does) and plays it as one action with the timing of the component's
    /// playback node, if any. On failure prints why and returns false.
    bool openAnimation(const char* tool, const PlayInput& input, bool requireParts);
    /// Applies the command line's settings to every action, B included.
    void setTiming(const TimingOverrides& overrides);
    /// Reads B and adds it as a stopped action with the timing of the first
    /// action; at `options.at` every playing action crossfades to it
    /// (KTAnimationAction::crossFadeTo(), no warp). On failure prints why
    /// and returns false.
    bool addCrossfade(const char* tool, const CrossfadeOptions& options, bool positions);

    /// Moves on to `seconds` after the start (ignored before the time reached
    /// so far) with one advance(), split at the start of the crossfade.
    void advanceTo(double seconds);
    /// B's fade now (0 without a crossfade).
    double getFade() const;
    /// Whether a crossfade was added.
    bool isCrossfade() const { return target != nullptr; }
    /// Whether the mixer is the one a world's playback nodes layer through.
    bool isLayered() const { return !ownMixer; }
    /// The crossfade's settings.
    const CrossfadeOptions& getCrossfade() const { return fade; }

    /// The mixer played.
    const KTAnimationMixer& getMixer() const { return *mixer; }
    /// Number of parts the actions move, in the mixer's order.
    unsigned int getNumParts() const { return mixer->getNumParts(); }
    /// Part `index` as a host sees it now: the pose's channels, else (and
    /// with `scene` always) the fields of the part's transform.
    void getPart(unsigned int index, SbVec3f& translation, SbRotation& rotation,
                 bool scene = false) const;
    /// Writes back the poses the parts had when bound
    /// (KTAnimationMixer::resetState()).
    void reset() { mixer->resetState(); }
    /// Whether any action moves the translation of part `index`.
    bool movesTranslation(unsigned int index) const;
    /// The parts with their logical parts and transforms, for an export.
    std::vector<AnimatedPart> getParts() const;
    /// The component played.
    KTComponent* getComponent() const { return mixer->getComponent(); }

    /// Seconds of the longest cycle of the actions before B, in real time
    /// (a ping-pong cycle there and back); infinite at speed 0.
    double getCycle() const;
    /// Seconds of B's cycle in real time; 0 without a crossfade.
    double getTargetCycle() const;
    /// The largest key rate of the actions.
    double getKeyRate() const;
    /// The speed of the first action.
    double getSpeed() const;
    /// The seconds a table or an export shows by default: one cycle, or up
    /// to the end of the fade or of B's first cycle, whichever comes later.
    double getDefaultDuration() const;
    /// Times at `rate` a second from 0 to `duration`, with the start and the
    /// end of a crossfade up to `duration` among them, exactly.
    std::vector<double> timesAt(double rate, double duration) const;

private:
    double cycleOf(const KTAnimationAction& action) const;

    PlaySession session; // the world, and the animation file when one is played
    KTWorldAnimations animations;
    KTComponentAnimation faded; // B
    std::unique_ptr<KTAnimationMixer> ownMixer;
    KTAnimationMixer* mixer = nullptr;
    unsigned int numLayers = 0; // actions before B
    KTAnimationAction* target = nullptr;
    CrossfadeOptions fade;
    double elapsed = 0.0; // seconds played
    bool fadeStarted = false;
};

} // namespace ktrt_tool
