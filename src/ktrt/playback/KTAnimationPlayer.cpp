#include <ktrt/playback/KTAnimationPlayer.h>

#include <cmath>
#include <utility>

KTAnimationPlayer::KTAnimationPlayer()
    : callback(nullptr), callbackData(nullptr), lifetime(std::make_shared<const int>(0)) {}

KTAnimationPlayer::KTAnimationPlayer(KTComponent* object, KTComponentAnimation* animation,
                                     double keysPerSecond)
    : KTAnimationPlayer(object, animation, nullptr, keysPerSecond) {}

KTAnimationPlayer::KTAnimationPlayer(KTComponent* object, KTComponentAnimation* animation,
                                     std::shared_ptr<const KTAnimationClip> clip,
                                     double keysPerSecond)
    : sampler(object, animation, std::move(clip), keysPerSecond), callback(nullptr),
      callbackData(nullptr), lifetime(std::make_shared<const int>(0)) {}

KTAnimationPlayer::KTAnimationPlayer(const KTAnimationPlayer& other)
    : callback(nullptr), callbackData(nullptr), lifetime(std::make_shared<const int>(0)) {
    copyFrom(other);
}

KTAnimationPlayer& KTAnimationPlayer::operator=(const KTAnimationPlayer& other) {
    if (this != &other)
        copyFrom(other);
    return *this;
}

KTAnimationPlayer::~KTAnimationPlayer() = default;

void KTAnimationPlayer::copyFrom(const KTAnimationPlayer& other) {
    sampler = other.sampler;
    playhead = other.playhead;
    callback = other.callback;
    callbackData = other.callbackData;
}

int KTAnimationPlayer::operator==(const KTAnimationPlayer& other) const {
    return sampler == other.sampler;
}

void KTAnimationPlayer::play() {
    playhead.play(sampler.getWrapMode(), sampler.getDuration());
}

void KTAnimationPlayer::pause() {
    playhead.pause();
}

void KTAnimationPlayer::seek(double seconds) {
    if (playhead.setTime(seconds, sampler.getWrapMode(), sampler.getDuration()))
        sampler.sample(playhead.getTime());
}

void KTAnimationPlayer::setSpeed(double factor) {
    playhead.setSpeed(factor);
}

void KTAnimationPlayer::advance(double elapsedSeconds) {
    if (!playhead.isPlaying() || !(elapsedSeconds >= 0.0) || !std::isfinite(elapsedSeconds))
        return;
    const KTAnimationPlayhead::Step step =
        playhead.advance(elapsedSeconds, sampler.getWrapMode(), sampler.getDuration());
    sampler.sample(playhead.getTime());
    if (!callback)
        return;
    // The callback may delete this player: nothing of it is read once the
    // token has expired.
    const std::weak_ptr<const void> alive = lifetime;
    if (step.finished) {
        callback(callbackData, this, FINISHED);
        return;
    }
    // It may also pause or retarget the player; stop reporting then.
    for (unsigned int loop = 0; loop < step.loops; ++loop) {
        callback(callbackData, this, LOOPED);
        if (alive.expired() || !playhead.isPlaying() || !callback)
            return;
    }
}

void KTAnimationPlayer::resetState() {
    sampler.getBinding().restore();
}

void KTAnimationPlayer::setCallback(Callback* function, void* data) {
    callback = function;
    callbackData = data;
}
