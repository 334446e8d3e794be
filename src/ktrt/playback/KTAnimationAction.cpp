#include <ktrt/playback/KTAnimationAction.h>

#include <cmath>
#include <limits>
#include <utility>

#include <ktrt/playback/KTAnimationMixer.h>

namespace {

bool validWeight(double value) {
    return std::isfinite(value) && value >= 0.0 && value <= std::numeric_limits<float>::max();
}

bool validSeconds(double seconds) {
    return std::isfinite(seconds) && seconds >= 0.0;
}

} // namespace

double KTAnimationAction::Ramp::valueAt() const {
    if (!(seconds > 0.0) || elapsed >= seconds)
        return to;
    return from + (to - from) * (elapsed / seconds);
}

KTAnimationAction::KTAnimationAction()
    : KTAnimationAction(nullptr, nullptr, KTAnimationClip::Timing()) {}

KTAnimationAction::KTAnimationAction(KTAnimationMixer* owner,
                                     std::shared_ptr<const KTAnimationClip> played,
                                     const KTAnimationClip::Timing& given)
    : mixer(owner), clip(std::move(played)), timing(given), weight(1.0), blendMode(REPLACE),
      limitedToParts(false), active(false), keepTime(false), startOver(false), fadeValue(0.0),
      warpValue(1.0) {}

// A copy belongs to no mixer: only the mixer that made an action advances it.
KTAnimationAction::KTAnimationAction(const KTAnimationAction& other)
    : mixer(nullptr), clip(other.clip), timing(other.timing), playhead(other.playhead),
      weight(other.weight), blendMode(other.blendMode), partWeights(other.partWeights),
      limitedToParts(other.limitedToParts), active(other.active), keepTime(other.keepTime),
      startOver(other.startOver), fade(other.fade), fadeValue(other.fadeValue), warp(other.warp),
      warpValue(other.warpValue) {}

// The target keeps its own mixer.
// cppcheck-suppress operatorEqVarError ; the mixer is deliberately the target's own
KTAnimationAction& KTAnimationAction::operator=(const KTAnimationAction& other) {
    if (this == &other)
        return *this;
    clip = other.clip;
    timing = other.timing;
    playhead = other.playhead;
    weight = other.weight;
    blendMode = other.blendMode;
    partWeights = other.partWeights;
    limitedToParts = other.limitedToParts;
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

KTAnimationAction::State KTAnimationAction::getState() const {
    if (!active)
        return STOPPED;
    return playhead.isPlaying() ? PLAYING : PAUSED;
}

void KTAnimationAction::play() {
    if (!active) {
        active = true;
        fadeValue = 1.0;
        if (startOver && !keepTime)
            playhead.setTime(0.0, timing.wrap, getDuration());
        startOver = false;
    }
    playhead.play(timing.wrap, getDuration());
}

void KTAnimationAction::stop() {
    playhead.pause();
    active = false;
    startOver = true;
    fade = Ramp();
    fadeValue = 0.0;
    stopWarp();
}

void KTAnimationAction::pause() {
    playhead.pause();
}

int KTAnimationAction::setTime(double seconds) {
    return playhead.setTime(seconds, timing.wrap, getDuration());
}

int KTAnimationAction::setSpeed(double factor) {
    return playhead.setSpeed(factor);
}

double KTAnimationAction::getEffectiveSpeed() const {
    return playhead.getSpeed() * warpValue;
}

int KTAnimationAction::setTiming(const KTAnimationClip::Timing& value) {
    if (!KTAnimationClip::validate(0.0, value))
        return 0;
    timing = value;
    return 1;
}

int KTAnimationAction::setWeight(double value) {
    if (!validWeight(value))
        return 0;
    weight = value;
    return 1;
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
    limitedToParts = false;
    return 1;
}

int KTAnimationAction::setPartWeight(const RWCString& part, double value) {
    const int index = mixer != nullptr ? mixer->getPartIndex(part) : -1;
    if (index < 0 || !validWeight(value))
        return 0;
    const auto at = static_cast<std::size_t>(index);
    if (partWeights.size() <= at)
        partWeights.resize(at + 1, limitedToParts ? 0.0f : 1.0f);
    partWeights[at] = static_cast<float>(value);
    return 1;
}

double KTAnimationAction::getPartWeight(const RWCString& part) const {
    const int index = mixer != nullptr ? mixer->getPartIndex(part) : -1;
    if (index < 0)
        return 0.0;
    const auto at = static_cast<std::size_t>(index);
    if (at < partWeights.size())
        return partWeights[at];
    return limitedToParts ? 0.0 : 1.0;
}

int KTAnimationAction::limitToParts(const std::vector<RWCString>& parts) {
    if (mixer == nullptr)
        return 0;
    for (const RWCString& part : parts) {
        if (mixer->getPartIndex(part) < 0)
            return 0;
    }
    limitedToParts = !parts.empty();
    partWeights.assign(limitedToParts ? mixer->getNumParts() : 0, 0.0f);
    for (const RWCString& part : parts)
        partWeights[static_cast<std::size_t>(mixer->getPartIndex(part))] = 1.0f;
    return 1;
}

int KTAnimationAction::getFadeDirection() const {
    if (!fade.running)
        return 0;
    return fade.to > 0.0 ? 1 : -1;
}

void KTAnimationAction::startFade(double target, double seconds) {
    // Already on its way there: it goes on where it stands.
    if (seconds > 0.0 && fade.running && fade.to == target)
        return;
    if (!(seconds > 0.0)) {
        fade = Ramp();
        fadeValue = target;
        if (target <= 0.0)
            stop();
        return;
    }
    if (!fade.running && fadeValue == target)
        return;
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

int KTAnimationAction::fadeIn(double seconds) {
    if (!validSeconds(seconds))
        return 0;
    const bool wasActive = active;
    play();
    if (!wasActive)
        fadeValue = 0.0;
    startFade(1.0, seconds);
    return 1;
}

int KTAnimationAction::fadeOut(double seconds) {
    if (!validSeconds(seconds))
        return 0;
    if (active)
        startFade(0.0, seconds);
    return 1;
}

int KTAnimationAction::crossFadeTo(KTAnimationAction& other, double seconds, int warpSpeeds) {
    if (&other == this || other.mixer != mixer || !validSeconds(seconds))
        return 0;
    // Asked again while it runs: let it run, warps included.
    if (seconds > 0.0 && getFadeDirection() < 0 && other.getFadeDirection() > 0)
        return 1;
    const double thisDuration = getDuration();
    const double otherDuration = other.getDuration();
    const bool sourcePlaying = getState() == PLAYING;
    const bool otherWasActive = other.active;
    fadeOut(seconds);
    other.fadeIn(seconds);
    if (!warpSpeeds) {
        stopWarp();
        other.stopWarp();
    } else if (sourcePlaying && active && thisDuration > 0.0 && otherDuration > 0.0) {
        // Each from the speed it runs at now, so that turning a crossfade
        // back does not jump; a newly started action from the ratio that
        // matches this one's cycle.
        startWarp(warpValue, thisDuration / otherDuration, seconds);
        other.startWarp(otherWasActive ? other.warpValue : otherDuration / thisDuration, 1.0,
                        seconds);
    }
    return 1;
}

void KTAnimationAction::advance(double elapsed, std::vector<Event>& events) {
    if (!active)
        return;
    if (clip) {
        const KTAnimationPlayhead::Step step =
            playhead.advance(elapsed, timing.wrap, getDuration(), warpValue);
        if (step.finished)
            events.push_back(FINISHED);
        events.insert(events.end(), step.loops, LOOPED);
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
            if (fade.to <= 0.0)
                stop();
            events.push_back(FADE_DONE);
        }
    }
}
