#pragma once

#include <memory>
#include <vector>

#include <rw/RWCString.h>

#include <ktrt/playback/KTAnimationPlayhead.h>
#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/visibility.h>

class KTAnimationMixer;

/// One animation played in a KTAnimationMixer: a shared clip with its own
/// playhead (time, speed, play state: the time rules of KTAnimationPlayer),
/// timing (key rate or cycle length, interpolation, wrap mode), weight,
/// blend mode, part weights and fades. The mixer owns its actions
/// (KTAnimationMixer::addAction()) and advances them; an action does nothing
/// by itself.
///
/// State: STOPPED (contributes nothing), PLAYING (the time runs) or PAUSED
/// (the time holds, the pose still contributes). Fading is a property beside
/// the state: a fade moves the fade factor linearly from where it stands to
/// 0 or 1 over the given seconds. What each call does:
///
// clang-format off
/// | call              | STOPPED             | PLAYING               | PAUSED                |
/// |-------------------|---------------------|-----------------------|-----------------------|
/// | play()            | PLAYING, fade 1 (1) | PLAYING (1)           | PLAYING (1)           |
/// | pause()           | STOPPED             | PAUSED                | PAUSED                |
/// | stop()            | STOPPED             | STOPPED (2)           | STOPPED (2)           |
/// | fadeIn(s)         | PLAYING, fade 0->1  | PLAYING, fade ->1 (3) | PLAYING, fade ->1 (3) |
/// | fadeOut(s)        | STOPPED             | PLAYING, fade ->0 (3) | PAUSED, fade ->0 (3)  |
/// | crossFadeTo(o, s) | STOPPED; o.fadeIn   | fadeOut, o.fadeIn (4) | fadeOut, o.fadeIn     |
/// | mixer advance()   | STOPPED             | time runs (5)         | fades run (5)         |
// clang-format on
///
/// (1) From STOPPED the time starts at 0 (kept with setKeepTime(1)); a CLAMP
///     play that stands at its end starts over from the other end; a running
///     fade keeps running.
/// (2) No fade, no warp. On the mixer's next advance() the parts only this
///     action animated go back to their rest pose, so a later fadeIn() starts
///     from there.
/// (3) A fade toward the same end that is already running continues where
///     it stands, whoever asks (fadeIn() every tick, crossFadeTo() from
///     several sources): it ends, and FADE_DONE comes, once. A fade-in of an
///     action at full fade does nothing. 0 seconds: at once (fadeOut(0)
///     stops at once, without FADE_DONE). A fade-out ends STOPPED (5).
/// (4) With warp, this action's speed goes from what it runs at now to the
///     ratio of the durations and `o`'s from the inverse ratio (or what it
///     runs at, when active) to 1, so both cycles meet; both have their own
///     speeds back when the fade ends. Only a playing source warps. Asked
///     again while this action fades out and `o` fades in, it changes
///     nothing.
/// (5) A CLAMP play that reaches its end: PAUSED and FINISHED; each multiple
///     of the duration passed under LOOP or PING_PONG: LOOPED. When a fade
///     ends, FADE_DONE; a fade-out then stops the action (STOPPED), and the
///     mixer blends that tick without it.
///
/// Refused (0, nothing changed): fade seconds that are negative or not
/// finite, weights that are negative, not finite or too large for a float,
/// speeds and times that are not finite, timing the clip refuses.
///
/// Events reach the mixer's callback only from KTAnimationMixer::advance(),
/// never from a call above (see KTAnimationMixer::setCallback() for what a
/// callback may do). Copies hold the same clip and state but belong to no
/// mixer: only the actions a mixer made are advanced.
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
    /// The play state (see the class comment for the transitions).
    enum State {
        STOPPED, ///< contributes nothing; played again it starts over
        PLAYING, ///< the time runs
        PAUSED   ///< the time holds; the pose still contributes
    };

    /// An action of no mixer and no clip: it contributes nothing.
    KTAnimationAction();
    /// The same clip, settings and state, of no mixer.
    KTAnimationAction(const KTAnimationAction& other);
    /// Takes the clip, settings and state of `other`; the action keeps its own
    /// mixer.
    KTAnimationAction& operator=(const KTAnimationAction& other);
    /// Nothing to release beyond the shared clip.
    ~KTAnimationAction();
    /// 1 when both belong to the same mixer and hold the same clip.
    int operator==(const KTAnimationAction& other) const;

    /// The mixer that made the action (not owned), or null.
    KTAnimationMixer* getMixer() const { return mixer; }
    /// The clip played (shared), or null.
    const std::shared_ptr<const KTAnimationClip>& getClip() const { return clip; }

    /// See the table in the class comment.
    void play();
    /// See the table in the class comment.
    void stop();
    /// See the table in the class comment.
    void pause();
    /// STOPPED, PLAYING or PAUSED.
    State getState() const;
    /// 1 while PLAYING.
    int isPlaying() const { return active ? playhead.isPlaying() : 0; }
    /// 1 while the action contributes a pose: PLAYING or PAUSED.
    int isActive() const { return active ? 1 : 0; }

    /// Whether play() after a stop keeps the time (1) or starts from 0 (0,
    /// the default).
    void setKeepTime(int keep) { keepTime = keep != 0; }
    /// 0 by default.
    int getKeepTime() const { return keepTime ? 1 : 0; }

    /// Moves to `seconds` (clamped to [0, duration] under CLAMP); 0 for a
    /// time that is not finite.
    int setTime(double seconds);
    /// The time in seconds.
    double getTime() const { return playhead.getTime(); }
    /// The action's own speed; negative plays backwards. 0 when not finite.
    int setSpeed(double factor);
    /// 1 by default.
    double getSpeed() const { return playhead.getSpeed(); }
    /// The speed the time runs at now: the own speed times a running warp.
    double getEffectiveSpeed() const;
    /// The key rate or cycle length, interpolation and wrap mode; 1 when
    /// taken, 0 for timing the clip refuses (KTAnimationClip::validate()).
    int setTiming(const KTAnimationClip::Timing& timing);
    /// What the mixer was given with the action (KTAnimationMixer::addAction());
    /// the clip's defaults otherwise.
    const KTAnimationClip::Timing& getTiming() const { return timing; }
    /// Seconds of one cycle under the current timing.
    double getDuration() const;

    /// The weight, in [0, float max]; 0 for a value outside.
    int setWeight(double value);
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
    /// negative or non-finite entry refuses the whole list (0). Ends a
    /// limitToParts().
    int setPartWeights(const std::vector<float>& weights);
    /// Empty by default: every part weighs 1.
    const std::vector<float>& getPartWeights() const { return partWeights; }
    /// Sets the weight of the mixer's part named `part` for this action: 1
    /// when taken; 0 with nothing changed for a name that none of the mixer's
    /// parts has (KTAnimationMixer::getPartIndex()), for a weight refused as
    /// by setWeight(), or for an action of no mixer.
    int setPartWeight(const RWCString& part, double weight);
    /// The weight of the part named `part`: 1 unless set; 0 for an unknown
    /// name.
    double getPartWeight(const RWCString& part) const;
    /// A mask by names: the named parts weigh 1, every other part of the
    /// mixer 0, parts it binds later included. 1 when taken; 0 with nothing
    /// changed when a name is unknown (see setPartWeight()) or the action
    /// belongs to no mixer. An empty list lets every part weigh 1 again.
    int limitToParts(const std::vector<RWCString>& parts);

    /// See the table in the class comment; 0 for refused seconds.
    int fadeIn(double seconds);
    /// See the table in the class comment; 0 for refused seconds.
    int fadeOut(double seconds);
    /// Fades this action out and `other` in over `seconds` (see the table in
    /// the class comment), with `warp` non-zero their speeds meet. 0 when
    /// `other` is this action or belongs to another mixer, or for refused
    /// seconds.
    int crossFadeTo(KTAnimationAction& other, double seconds, int warp);
    /// 1 while a fade runs.
    int isFading() const { return fade.running ? 1 : 0; }
    /// The fade running toward 1 (1), toward 0 (-1), or none (0).
    int getFadeDirection() const;
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

    KTAnimationAction(KTAnimationMixer* owner, std::shared_ptr<const KTAnimationClip> played,
                      const KTAnimationClip::Timing& timing);
    void startFade(double target, double seconds);
    void startWarp(double from, double to, double seconds);
    void stopWarp();
    // Moves the fade, the warp and the time on by `elapsed` seconds of the
    // mixer, appending the events passed.
    void advance(double elapsed, std::vector<Event>& events);

    KTAnimationMixer* mixer;
    std::shared_ptr<const KTAnimationClip> clip;
    KTAnimationClip::Timing timing;
    KTAnimationPlayhead playhead;
    double weight;
    BlendMode blendMode;
    std::vector<float> partWeights;
    // After limitToParts(): parts the mixer binds later weigh 0, not 1.
    bool limitedToParts;
    bool active;
    bool keepTime;
    bool startOver;
    Ramp fade;
    double fadeValue;
    Ramp warp;
    double warpValue;
};
