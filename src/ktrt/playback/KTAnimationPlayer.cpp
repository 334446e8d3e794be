#include <ktrt/playback/KTAnimationPlayer.h>

#include <cmath>
#include <utility>

namespace {

// advance() reports at most this many loops at once: an elapsed time many
// cycles long (a host that slept) is not worth a storm of callbacks.
const double maxLoopsReported = 1000.0;

} // namespace

KTAnimationPlayer::KTAnimationPlayer()
    : time(0.0), speed(1.0), playing(false), callback(nullptr), callbackData(nullptr),
      lifetime(std::make_shared<const int>(0)) {}

KTAnimationPlayer::KTAnimationPlayer(KTComponent* object, KTComponentAnimation* animation,
                                     double keysPerSecond)
    : KTAnimationPlayer(object, animation, nullptr, keysPerSecond) {}

KTAnimationPlayer::KTAnimationPlayer(KTComponent* object, KTComponentAnimation* animation,
                                     std::shared_ptr<const KTAnimationClip> clip,
                                     double keysPerSecond)
    : sampler(object, animation, std::move(clip), keysPerSecond), time(0.0), speed(1.0),
      playing(false), callback(nullptr), callbackData(nullptr),
      lifetime(std::make_shared<const int>(0)) {}

KTAnimationPlayer::KTAnimationPlayer(const KTAnimationPlayer& other)
    : time(0.0), speed(1.0), playing(false), callback(nullptr), callbackData(nullptr),
      lifetime(std::make_shared<const int>(0)) {
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
    time = other.time;
    speed = other.speed;
    playing = other.playing;
    callback = other.callback;
    callbackData = other.callbackData;
}

int KTAnimationPlayer::operator==(const KTAnimationPlayer& other) const {
    return sampler == other.sampler;
}

void KTAnimationPlayer::play() {
    if (sampler.getWrapMode() == KTAnimationSampler::CLAMP) {
        const double duration = sampler.getDuration();
        if (speed >= 0.0 && time >= duration)
            time = 0.0;
        else if (speed < 0.0 && time <= 0.0)
            time = duration;
    }
    playing = true;
}

void KTAnimationPlayer::pause() {
    playing = false;
}

void KTAnimationPlayer::seek(double seconds) {
    if (!std::isfinite(seconds))
        return;
    if (sampler.getWrapMode() == KTAnimationSampler::CLAMP) {
        const double duration = sampler.getDuration();
        seconds = seconds < 0.0 ? 0.0 : (seconds > duration ? duration : seconds);
    }
    time = seconds;
    sampler.sample(time);
}

void KTAnimationPlayer::setSpeed(double factor) {
    if (std::isfinite(factor))
        speed = factor;
}

void KTAnimationPlayer::advance(double elapsedSeconds) {
    if (!playing || !(elapsedSeconds >= 0.0) || !std::isfinite(elapsedSeconds))
        return;
    const double duration = sampler.getDuration();
    const double previous = time;
    time += elapsedSeconds * speed;

    if (sampler.getWrapMode() == KTAnimationSampler::CLAMP) {
        bool finished = false;
        if (speed > 0.0 && time >= duration) {
            time = duration;
            finished = true;
        } else if (speed < 0.0 && time <= 0.0) {
            time = 0.0;
            finished = true;
        }
        sampler.sample(time);
        if (finished) {
            playing = false;
            if (callback)
                callback(callbackData, this, FINISHED);
        }
        return;
    }

    sampler.sample(time);
    if (!callback || duration <= 0.0)
        return;
    double loops = std::fabs(std::floor(time / duration) - std::floor(previous / duration));
    if (loops > maxLoopsReported)
        loops = maxLoopsReported;
    // The callback may pause or retarget the player; stop reporting then.
    for (; loops > 0.0 && playing; loops -= 1.0)
        callback(callbackData, this, LOOPED);
}

void KTAnimationPlayer::resetState() {
    sampler.getBinding().restore();
}

void KTAnimationPlayer::setCallback(Callback* function, void* data) {
    callback = function;
    callbackData = data;
}
