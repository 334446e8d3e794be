#include <ktrt/playback/KTAnimationAction.h>

#include <cmath>
#include <utility>

namespace {

// A jump of the time by a huge elapsed time reports this many loops at most.
constexpr double maxLoopsReported = 1000.0;

bool validTiming(const KTAnimationClip::Timing& timing) {
    return std::isfinite(timing.keysPerSecond) && timing.keysPerSecond > 0.0 &&
           std::isfinite(timing.cycleSeconds) && timing.cycleSeconds >= 0.0;
}

} // namespace

double KTAnimationAction::Ramp::valueAt() const {
    if (!(seconds > 0.0) || elapsed >= seconds)
        return to;
    return from + (to - from) * (elapsed / seconds);
}

KTAnimationAction::KTAnimationAction() : KTAnimationAction(nullptr, nullptr) {}

KTAnimationAction::KTAnimationAction(KTAnimationMixer* owner,
                                     std::shared_ptr<const KTAnimationClip> played)
    : mixer(owner), clip(std::move(played)), time(0.0), speed(1.0), weight(1.0), blendMode(REPLACE),
      playing(false), active(false), keepTime(false), startOver(false), fadeValue(0.0),
      warpValue(1.0), fadePartner(nullptr) {}

// A copy belongs to no mixer and to no crossfade: only the mixer that made an
// action links it, so no action is ever left pointing at a copy that is gone.
KTAnimationAction::KTAnimationAction(const KTAnimationAction& other)
    : mixer(nullptr), clip(other.clip), timing(other.timing), time(other.time), speed(other.speed),
      weight(other.weight), blendMode(other.blendMode), partWeights(other.partWeights),
      playing(other.playing), active(other.active), keepTime(other.keepTime),
      startOver(other.startOver), fade(other.fade), fadeValue(other.fadeValue), warp(other.warp),
      warpValue(other.warpValue), fadePartner(nullptr) {}

// The target keeps its own mixer and leaves the crossfade it was in.
// cppcheck-suppress operatorEqVarError ; the mixer is deliberately the target's own
KTAnimationAction& KTAnimationAction::operator=(const KTAnimationAction& other) {
    if (this == &other)
        return *this;
    if (fadePartner != nullptr) {
        fadePartner->fadePartner = nullptr;
        fadePartner = nullptr;
    }
    clip = other.clip;
    timing = other.timing;
    time = other.time;
    speed = other.speed;
    weight = other.weight;
    blendMode = other.blendMode;
    partWeights = other.partWeights;
    playing = other.playing;
    active = other.active;
    keepTime = other.keepTime;
    startOver = other.startOver;
    fade = other.fade;
    fadeValue = other.fadeValue;
    warp = other.warp;
    warpValue = other.warpValue;
    return *this;
}

KTAnimationAction::~KTAnimationAction() = default;

int KTAnimationAction::operator==(const KTAnimationAction& other) const {
    return mixer == other.mixer && clip == other.clip ? 1 : 0;
}

double KTAnimationAction::getDuration() const {
    return clip ? clip->getDuration(timing) : 0.0;
}

void KTAnimationAction::play() {
    if (!active) {
        active = true;
        fadeValue = 1.0;
        if (startOver && !keepTime)
            time = 0.0;
        startOver = false;
    }
    if (timing.wrap == KTAnimationClip::CLAMP) {
        const double duration = getDuration();
        if (speed >= 0.0 && time >= duration)
            time = 0.0;
        else if (speed < 0.0 && time <= 0.0)
            time = duration;
    }
    playing = true;
}

void KTAnimationAction::stop() {
    playing = false;
    active = false;
    startOver = true;
    fade = Ramp();
    fadeValue = 0.0;
    stopWarp();
    if (fadePartner != nullptr) {
        fadePartner->fadePartner = nullptr;
        fadePartner = nullptr;
    }
}

void KTAnimationAction::pause() {
    playing = false;
}

void KTAnimationAction::setTime(double seconds) {
    if (!std::isfinite(seconds))
        return;
    if (timing.wrap == KTAnimationClip::CLAMP) {
        const double duration = getDuration();
        seconds = seconds < 0.0 ? 0.0 : (seconds > duration ? duration : seconds);
    }
    time = seconds;
}

void KTAnimationAction::setSpeed(double factor) {
    if (std::isfinite(factor))
        speed = factor;
}

double KTAnimationAction::getEffectiveSpeed() const {
    return speed * warpValue;
}

int KTAnimationAction::setTiming(const KTAnimationClip::Timing& value) {
    if (!validTiming(value))
        return 0;
    timing = value;
    return 1;
}

void KTAnimationAction::setWeight(double value) {
    if (std::isfinite(value) && value >= 0.0)
        weight = value;
}

double KTAnimationAction::getEffectiveWeight() const {
    return active ? weight * fadeValue : 0.0;
}

int KTAnimationAction::setPartWeights(const std::vector<float>& weights) {
    for (float partWeight : weights) {
        if (!std::isfinite(partWeight) || partWeight < 0.0f)
            return 0;
    }
    partWeights = weights;
    return 1;
}

void KTAnimationAction::startFade(double target, double seconds) {
    if (!(seconds > 0.0) || !std::isfinite(seconds)) {
        fade = Ramp();
        fadeValue = target;
        if (target <= 0.0)
            stop();
        return;
    }
    fade = Ramp{true, fadeValue, target, 0.0, seconds};
}

void KTAnimationAction::startWarp(double from, double to, double seconds) {
    if (!(seconds > 0.0) || !std::isfinite(from) || !std::isfinite(to) || !(from > 0.0) ||
        !(to > 0.0)) {
        stopWarp();
        return;
    }
    warp = Ramp{true, from, to, 0.0, seconds};
    warpValue = from;
}

void KTAnimationAction::stopWarp() {
    warp = Ramp();
    warpValue = 1.0;
}

void KTAnimationAction::fadeIn(double seconds) {
    const bool wasActive = active;
    play();
    if (!wasActive)
        fadeValue = 0.0;
    if (fadePartner != nullptr) {
        fadePartner->fadePartner = nullptr;
        fadePartner = nullptr;
    }
    startFade(1.0, seconds);
}

void KTAnimationAction::fadeOut(double seconds) {
    if (!active)
        return;
    if (fadePartner != nullptr) {
        fadePartner->fadePartner = nullptr;
        fadePartner = nullptr;
    }
    startFade(0.0, seconds);
}

int KTAnimationAction::crossFadeTo(KTAnimationAction& other, double seconds, int warpSpeeds) {
    if (&other == this || other.mixer != mixer)
        return 0;
    // Asked again while the same crossfade runs: let it run.
    if (fadePartner == &other && other.fadePartner == this && fade.running && fade.to == 0.0 &&
        other.fade.running && other.fade.to == 1.0)
        return 1;
    const double thisDuration = getDuration();
    const double otherDuration = other.getDuration();
    const bool otherWasActive = other.active;
    fadeOut(seconds);
    other.fadeIn(seconds);
    if (warpSpeeds && thisDuration > 0.0 && otherDuration > 0.0) {
        // Each from the speed it runs at now, so that turning a crossfade
        // back does not jump; a newly started action from the ratio that
        // matches this one's cycle.
        startWarp(warpValue, thisDuration / otherDuration, seconds);
        other.startWarp(otherWasActive ? other.warpValue : otherDuration / thisDuration, 1.0,
                        seconds);
    } else {
        stopWarp();
        other.stopWarp();
    }
    if (active && other.active) {
        fadePartner = &other;
        other.fadePartner = this;
    }
    return 1;
}

void KTAnimationAction::advance(double elapsed, std::vector<Event>& events) {
    if (!active)
        return;
    if (playing && clip) {
        const double duration = getDuration();
        const double rate = getEffectiveSpeed();
        const double previous = time;
        time += elapsed * rate;
        if (timing.wrap == KTAnimationClip::CLAMP) {
            bool finished = false;
            if (rate > 0.0 && time >= duration) {
                time = duration;
                finished = true;
            } else if (rate < 0.0 && time <= 0.0) {
                time = 0.0;
                finished = true;
            }
            if (finished) {
                playing = false;
                events.push_back(FINISHED);
            }
        } else if (duration > 0.0) {
            double loops = std::fabs(std::floor(time / duration) - std::floor(previous / duration));
            if (loops > maxLoopsReported)
                loops = maxLoopsReported;
            for (; loops > 0.0; loops -= 1.0)
                events.push_back(LOOPED);
        }
    }
    if (warp.running) {
        warp.elapsed += elapsed;
        warpValue = warp.valueAt();
        // The warp ends with the fade: the speed is the action's own again.
        if (warp.elapsed >= warp.seconds)
            stopWarp();
    }
    if (fade.running) {
        fade.elapsed += elapsed;
        fadeValue = fade.valueAt();
        if (fade.elapsed >= fade.seconds) {
            fade.running = false;
            fadeValue = fade.to;
            if (fadePartner != nullptr && !fadePartner->fade.running) {
                fadePartner->fadePartner = nullptr;
                fadePartner = nullptr;
            }
            if (fade.to <= 0.0)
                stop();
            events.push_back(FADE_DONE);
        }
    }
}
