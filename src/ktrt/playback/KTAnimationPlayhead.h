#pragma once

#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/visibility.h>

/// The time rules of playing by time, shared by KTAnimationPlayer and
/// KTAnimationAction: a time in seconds, a speed and whether the time runs,
/// moved on over a cycle of a given duration and wrap mode. The cycle is
/// passed in by the owner, who knows the clip and its timing.
///
/// Under LOOP and PING_PONG the time runs on without bound and each
/// multiple of the duration it crosses counts as a loop (at most maxLoops per
/// step: a host that slept is not worth a storm of events). Under CLAMP it
/// stops at the duration (at 0 going backwards) and the playhead pauses there
/// (finished); play() then starts it over from the other end.
class KTRT_API KTAnimationPlayhead {
public:
    /// What one advance() passed.
    struct Step {
        bool finished = false;  ///< a CLAMP play reached its end and paused there
        unsigned int loops = 0; ///< multiples of the duration crossed
    };
    /// The most loops one advance() counts.
    static constexpr unsigned int maxLoops = 1000;

    /// Paused at time 0, speed 1.
    KTAnimationPlayhead() = default;

    /// Starts or resumes. A CLAMP play that stands at its end (at 0 when the
    /// speed is negative) starts over from the other end.
    void play(KTAnimationClip::WrapMode wrap, double duration);
    /// Holds the time where it is.
    void pause() { playing = false; }
    /// 1 while the time runs.
    int isPlaying() const { return playing ? 1 : 0; }

    /// Moves to `seconds`, clamped to [0, duration] under CLAMP; a time that
    /// is not finite is ignored (0).
    int setTime(double seconds, KTAnimationClip::WrapMode wrap, double duration);
    /// The time in seconds.
    double getTime() const { return time; }
    /// Multiplies elapsed time; negative runs backwards. Not finite: ignored
    /// (0).
    int setSpeed(double factor);
    /// 1 by default.
    double getSpeed() const { return speed; }

    /// While playing, moves the time on by `elapsedSeconds` times the speed
    /// times `warp`, and says what that passed; nothing while paused. The
    /// caller checks that the elapsed time is finite and not negative.
    Step advance(double elapsedSeconds, KTAnimationClip::WrapMode wrap, double duration,
                 double warp = 1.0);

private:
    double time = 0.0;
    double speed = 1.0;
    bool playing = false;
};
