#pragma once

#include <memory>
#include <vector>

#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/visibility.h>

class KTAnimationMixer;

/// One animation played in a KTAnimationMixer: a shared clip with its own
/// time, speed, timing (key rate or cycle length, interpolation, wrap mode),
/// weight and blend mode, play state and fades. The mixer owns its actions
/// (KTAnimationMixer::addAction()) and advances them; an action does nothing
/// by itself.
///
/// Weights: the action contributes getEffectiveWeight(), its weight times its
/// fade (0 while stopped). A fade moves the fade linearly from where it
/// stands to its target over the given seconds, so a fade that replaces
/// another (an interrupted crossfade turned back half-way) continues from the
/// current weight without a jump. Fading out to 0 stops the action; played
/// again, it starts from its beginning unless setKeepTime() says otherwise.
///
/// crossFadeTo(other, seconds, warp) fades this action out and `other` in
/// over the same seconds; asked again for the same pair while that fade runs,
/// it changes nothing. With warp, the two speeds are scaled during the fade
/// so that both cycles run at the same pace (this one's from 1 to the ratio
/// of the durations, the other's from the inverse ratio to 1); when the fade
/// ends both have their own speeds back.
///
/// Copies hold the same clip and state but belong to no mixer and to no
/// crossfade: only the actions a mixer made are advanced and can fade into
/// each other.
class KTRT_API KTAnimationAction {
public:
    /// How the action's pose enters the mixer's.
    enum BlendMode {
        REPLACE, ///< blended with the other REPLACE actions by weight
        ADDITIVE ///< its difference from its own pose at time 0, added on top
    };
    /// What the mixer's callback hears.
    enum Event {
        LOOPED,   ///< the time crossed a multiple of the duration (LOOP, PING_PONG)
        FINISHED, ///< a CLAMP play reached its end and paused there
        FADE_DONE ///< a fade reached its target (after a fade out: stopped)
    };

    /// An action of no mixer and no clip: it contributes nothing.
    KTAnimationAction();
    /// The same clip, settings and state, of no mixer (see the class comment).
    KTAnimationAction(const KTAnimationAction& other);
    /// Takes the clip, settings and state of `other`; the action keeps its own
    /// mixer and leaves the crossfade it was in.
    KTAnimationAction& operator=(const KTAnimationAction& other);
    /// Nothing to release beyond the shared clip.
    ~KTAnimationAction();
    /// 1 when both belong to the same mixer and hold the same clip.
    int operator==(const KTAnimationAction& other) const;

    /// The mixer that made the action (not owned), or null.
    KTAnimationMixer* getMixer() const { return mixer; }
    /// The clip played (shared), or null.
    const std::shared_ptr<const KTAnimationClip>& getClip() const { return clip; }

    /// Starts or resumes at full fade, from time 0 when the action was
    /// stopped (a fade out ended, or stop()) unless setKeepTime(1) was given;
    /// a CLAMP play that stands at its end starts over. A fade in progress
    /// keeps running.
    void play();
    /// Stops at once: no weight, no fade, no warp; played again it starts
    /// from time 0 unless setKeepTime(1) was given.
    void stop();
    /// Holds the time where it is; the action keeps its weight.
    void pause();
    /// 1 while the time runs.
    int isPlaying() const { return playing ? 1 : 0; }
    /// 1 while the action contributes a pose: playing or paused, not stopped.
    int isActive() const { return active ? 1 : 0; }

    /// Whether play() after a stop keeps the time (1) or starts from 0 (0,
    /// the default).
    void setKeepTime(int keep) { keepTime = keep != 0; }
    /// 0 by default.
    int getKeepTime() const { return keepTime ? 1 : 0; }

    /// Moves to `seconds` (clamped to [0, duration] under CLAMP); a time that
    /// is not finite is ignored.
    void setTime(double seconds);
    /// The time in seconds.
    double getTime() const { return time; }
    /// The action's own speed; negative plays backwards. Not finite: ignored.
    void setSpeed(double factor);
    /// 1 by default.
    double getSpeed() const { return speed; }
    /// The speed the time runs at now: the own speed times a running warp.
    double getEffectiveSpeed() const;
    /// The key rate or cycle length, interpolation and wrap mode; timing that
    /// the clip refuses (KTAnimationClip::getDuration() 0 for a rate that is
    /// not positive and finite) is ignored. 1 when taken.
    int setTiming(const KTAnimationClip::Timing& timing);
    /// 30 keys per second, LINEAR, LOOP by default.
    const KTAnimationClip::Timing& getTiming() const { return timing; }
    /// Seconds of one cycle under the current timing.
    double getDuration() const;

    /// The weight, in [0, infinity); negative or not finite: ignored.
    void setWeight(double value);
    /// 1 by default.
    double getWeight() const { return weight; }
    /// The weight the mixer blends with now: weight times fade; 0 when
    /// stopped.
    double getEffectiveWeight() const;
    /// REPLACE by default.
    void setBlendMode(BlendMode mode) { blendMode = mode; }
    /// How the pose enters the mixer's.
    BlendMode getBlendMode() const { return blendMode; }
    /// Per-part weights (masks), in the mixer's part order
    /// (KTAnimationMixer::getPartName()); parts past the end weigh 1. A
    /// negative or non-finite entry refuses the whole list (0).
    int setPartWeights(const std::vector<float>& weights);
    /// Empty by default: every part weighs 1.
    const std::vector<float>& getPartWeights() const { return partWeights; }

    /// Plays the action (see play()) and fades it in from its current fade
    /// (0 when stopped) to full over `seconds`; 0 or less: at once.
    void fadeIn(double seconds);
    /// Fades the action out from its current fade to 0 over `seconds`, then
    /// stops it; 0 or less: stops it at once.
    void fadeOut(double seconds);
    /// Fades this action out and `other` in over `seconds` (see the class
    /// comment), `other` starting as play() says; with `warp` non-zero their
    /// speeds meet during the fade. 0 when `other` is this action or belongs
    /// to another mixer.
    int crossFadeTo(KTAnimationAction& other, double seconds, int warp);
    /// 1 while a fade runs.
    int isFading() const { return fade.running ? 1 : 0; }
    /// The fade factor now, in [0, 1].
    double getFade() const { return fadeValue; }

private:
    friend class KTAnimationMixer;
    // A linear ramp of a value from `from` to `to` over `seconds`.
    struct Ramp {
        bool running = false;
        double from = 0.0;
        double to = 0.0;
        double elapsed = 0.0;
        double seconds = 0.0;
        double valueAt() const;
    };

    KTAnimationAction(KTAnimationMixer* owner, std::shared_ptr<const KTAnimationClip> played);
    void startFade(double target, double seconds);
    void startWarp(double from, double to, double seconds);
    void stopWarp();
    // Moves the fade, the warp and the time on by `elapsed` seconds of the
    // mixer, appending the events passed.
    void advance(double elapsed, std::vector<Event>& events);

    KTAnimationMixer* mixer;
    std::shared_ptr<const KTAnimationClip> clip;
    KTAnimationClip::Timing timing;
    double time;
    double speed;
    double weight;
    BlendMode blendMode;
    std::vector<float> partWeights;
    bool playing;
    bool active;
    bool keepTime;
    bool startOver;
    Ramp fade;
    double fadeValue;
    Ramp warp;
    double warpValue;
    // The other action of a running crossfade, so that asking for the same
    // crossfade again changes nothing.
    KTAnimationAction* fadePartner;
};
