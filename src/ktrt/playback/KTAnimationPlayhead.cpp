#include <ktrt/playback/KTAnimationPlayhead.h>

#include <cmath>

void KTAnimationPlayhead::play(KTAnimationClip::WrapMode wrap, double duration) {
    if (wrap == KTAnimationClip::CLAMP) {
        if (speed >= 0.0 && time >= duration)
            time = 0.0;
        else if (speed < 0.0 && time <= 0.0)
            time = duration;
    }
    playing = true;
}

int KTAnimationPlayhead::setTime(double seconds, KTAnimationClip::WrapMode wrap, double duration) {
    if (!std::isfinite(seconds))
        return 0;
    if (wrap == KTAnimationClip::CLAMP)
        seconds = seconds < 0.0 ? 0.0 : (seconds > duration ? duration : seconds);
    time = seconds;
    return 1;
}

int KTAnimationPlayhead::setSpeed(double factor) {
    if (!std::isfinite(factor))
        return 0;
    speed = factor;
    return 1;
}

KTAnimationPlayhead::Step KTAnimationPlayhead::advance(double elapsedSeconds,
                                                       KTAnimationClip::WrapMode wrap,
                                                       double duration, double warp) {
    Step step;
    if (!playing)
        return step;
    const double rate = speed * warp;
    const double previous = time;
    time += elapsedSeconds * rate;
    if (wrap == KTAnimationClip::CLAMP) {
        if (rate > 0.0 && time >= duration) {
            time = duration;
            step.finished = true;
        } else if (rate < 0.0 && time <= 0.0) {
            time = 0.0;
            step.finished = true;
        }
        playing = !step.finished;
    } else if (duration > 0.0) {
        const double loops =
            std::fabs(std::floor(time / duration) - std::floor(previous / duration));
        step.loops = loops <= maxLoops ? static_cast<unsigned int>(loops) : maxLoops;
    }
    return step;
}
