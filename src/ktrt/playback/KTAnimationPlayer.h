#pragma once

#include <memory>

#include <ktrt/playback/KTAnimationPlayhead.h>
#include <ktrt/playback/KTAnimationSampler.h>
#include <ktrt/visibility.h>

class KTComponent;
class KTComponentAnimation;

/// Plays a component animation by time: owns one KTAnimationSampler bound to
/// the component and a KTAnimationPlayhead (the playing time, the speed and
/// the play state, under the same time rules as a mixer's actions).
/// advance() moves the time on by elapsed seconds times the speed (negative
/// plays backwards) and writes the pose; KTWorldDriver::addPlayer() has the
/// driver call it with the real time between its firings.
///
/// Under LOOP and PING_PONG the time runs on without bound and the callback
/// hears LOOPED each time it crosses a multiple of the duration; under CLAMP
/// it stops at the end (or at 0 going backwards), the player pauses and the
/// callback hears FINISHED. resetState() writes back the transforms the parts
/// had when the player was built, as KTAnimationInstance::resetState() does.
///
/// Neither the component nor the animation is owned. The parts are held
/// through the sampler's KTPartBinding, which also keeps the transforms they
/// had: the component may be removed from its world or deleted at any time,
/// after which the player writes and restores nothing (its time still runs).
/// The animation must outlive the player. The player itself may be deleted
/// while a KTWorldDriver or a KTPoseState holds it: both check its lifetime
/// token (getLifetime()) and let it go. Used from one thread, as Coin is.
class KTRT_API KTAnimationPlayer {
public:
    /// What the callback is told.
    enum Event {
        LOOPED,  ///< the time crossed a multiple of the duration (LOOP, PING_PONG)
        FINISHED ///< a CLAMP play reached its end and paused
    };
    /// A callback: the data given with it, the player, and the event.
    typedef void Callback(void* data, KTAnimationPlayer* player, Event event);

    /// A player bound to nothing.
    KTAnimationPlayer();
    /// Binds `animation` to `object` as KTAnimationSampler does, which saves
    /// the five fields of every bound part's transform. Paused at time 0,
    /// speed 1, LINEAR, LOOP, `keysPerSecond` keys per second.
    KTAnimationPlayer(KTComponent* object, KTComponentAnimation* animation,
                      double keysPerSecond = 30.0);
    /// As above, sampling the shared `clip` built from `animation` (see
    /// KTAnimationSampler): players of one animation share its prepared keys.
    KTAnimationPlayer(KTComponent* object, KTComponentAnimation* animation,
                      std::shared_ptr<const KTAnimationClip> clip, double keysPerSecond = 30.0);
    /// The same binding (sharing the nodes, with a reference of its own),
    /// saved fields, time, settings and callback; a lifetime token of its own.
    KTAnimationPlayer(const KTAnimationPlayer& other);
    /// As the copy constructor; releases the nodes held before and keeps its
    /// own lifetime token.
    KTAnimationPlayer& operator=(const KTAnimationPlayer& other);
    /// Releases the nodes and expires the lifetime token; the parts are not
    /// touched.
    ~KTAnimationPlayer();

    /// 1 when both players hold the same component and the same animation.
    int operator==(const KTAnimationPlayer& other) const;

    /// The sampler (settings such as the key rate can be changed on it).
    KTAnimationSampler& getSampler() { return sampler; }
    /// The sampler, read-only.
    const KTAnimationSampler& getSampler() const { return sampler; }

    /// Starts or resumes. A CLAMP play that stands at its end (at 0 when the
    /// speed is negative) starts over from the other end.
    void play();
    /// Stops the time where it is; the pose stays.
    void pause();
    /// 1 while playing.
    int isPlaying() const { return playhead.isPlaying(); }

    /// Moves to `seconds` (clamped to [0, duration] under CLAMP) and writes
    /// that pose, playing or not; no event is reported. A time that is not
    /// finite is ignored.
    void seek(double seconds);
    /// The playing time in seconds.
    double getTime() const { return playhead.getTime(); }

    /// Multiplies elapsed time; negative plays backwards, 0 holds the pose.
    void setSpeed(double factor);
    /// 1 by default.
    double getSpeed() const { return playhead.getSpeed(); }
    /// Chooses the wrap mode (see KTAnimationSampler).
    void setWrapMode(KTAnimationSampler::WrapMode mode) { sampler.setWrapMode(mode); }
    /// The wrap mode, LOOP by default.
    KTAnimationSampler::WrapMode getWrapMode() const { return sampler.getWrapMode(); }
    /// Chooses the interpolation (see KTAnimationSampler).
    void setInterpolation(KTAnimationSampler::Interpolation mode) {
        sampler.setInterpolation(mode);
    }
    /// The interpolation, LINEAR by default.
    KTAnimationSampler::Interpolation getInterpolation() const {
        return sampler.getInterpolation();
    }

    /// While playing, moves the time on by `elapsedSeconds` times the speed,
    /// reports the events passed and writes the pose. Does nothing while
    /// paused, or for a negative or non-finite elapsed time.
    void advance(double elapsedSeconds);

    /// Writes back the five transform fields that every bound part had when
    /// the player was built; the time and the play state are kept. Nothing
    /// once the component is gone.
    void resetState();

    /// Sets the callback (null for none) and the data handed to it. It is
    /// called only from inside advance(), after the pose is written. It may
    /// pause, seek or replay the player (no further LOOPED of that advance is
    /// reported once it pauses), and it may delete the player, its component
    /// or the KTWorldAnimations that owns it: advance() touches nothing after
    /// that.
    void setCallback(Callback* callback, void* data);

    /// A token that expires when this player is destroyed, for whoever keeps
    /// a plain pointer to it (a driver, a pose state) and must not use the
    /// pointer after that. Each player, copies included, has its own.
    std::weak_ptr<const void> getLifetime() const { return lifetime; }

private:
    void copyFrom(const KTAnimationPlayer& other);

    KTAnimationSampler sampler;
    KTAnimationPlayhead playhead;
    Callback* callback;
    void* callbackData;
    // Owned by this player alone; holders of its weak pointers see it expire
    // with the player.
    std::shared_ptr<const int> lifetime;
};
