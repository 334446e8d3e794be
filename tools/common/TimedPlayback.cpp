#include "common/TimedPlayback.h"
#include "common/AnimationFile.h"
#include "common/OptionLimits.h"
#include "common/SourceLine.h"
#include "common/WorldFile.h"
#include "common/WorldLayers.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentLibrary.h>

#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/playback/KTAnimationAction.h>
#include <ktrt/playback/KTAnimationPlayer.h>
#include <ktrt/pose/KTPose.h>
#include <ktrt/world/KTAnimationPlayback.h>

namespace ktrt_tool {

namespace {

// Row times closer than this are one: the start and the end of a fade take
// the place of a row this close.
constexpr double sameTime = 1e-9;

} // namespace

const char* const crossfadeHelp =
    "With --crossfade B --at T --over S it fades to B through the library's mixer, as a host "
    "does: at T every playing animation calls crossFadeTo(B, S) (no warp), so B starts from "
    "its own time 0 and its weight rises from 0 to 1 until T + S, when it plays alone; the "
    "start and the end of the fade are rows of their own.";

CLI::Option* addCrossfadeOptions(CLI::App& command, CrossfadeOptions& options) {
    CLI::Option* crossfade =
        command.add_option("--crossfade", options.animation, "Animation file B to fade to");
    CLI::Option* at =
        command.add_option("--at", options.at, "Seconds when the crossfade starts, 0 to 1000000")
            ->check(secondsOption(false));
    CLI::Option* over = command
                            .add_option("--over", options.over,
                                        "Seconds the crossfade takes, 0 to 1000000 (0 cuts)")
                            ->check(secondsOption(false));
    at->needs(crossfade);
    over->needs(crossfade);
    crossfade->needs(at);
    crossfade->needs(over);
    return crossfade;
}

bool playbackNodeTiming(KTComponent& component, KTAnimationClip::Timing& timing, double& speed) {
    timing = KTAnimationClip::Timing();
    speed = 1.0;
    const std::vector<KTAnimationPlayback*> nodes =
        KTWorldAnimations::findPlaybackNodesOf(&component);
    if (nodes.empty())
        return false;
    const KTAnimationPlayback& node = *nodes.front();
    const double keyRate = node.keyRate.getValue();
    if (keyRate >= OptionLimits::minRate && keyRate <= OptionLimits::maxRate)
        timing.keysPerSecond = keyRate;
    const double cycle = node.cycleLength.getValue();
    if (std::isfinite(cycle) && cycle > 0.0)
        timing.cycleSeconds = cycle;
    timing.interpolation =
        static_cast<KTAnimationClip::Interpolation>(node.interpolation.getValue());
    timing.wrap = static_cast<KTAnimationClip::WrapMode>(node.wrap.getValue());
    const double nodeSpeed = node.speed.getValue();
    if (std::isfinite(nodeSpeed) && nodeSpeed != 0.0)
        speed = nodeSpeed;
    return true;
}

TimedPlayback::TimedPlayback() = default;

// The mixer goes before the world whose component it binds.
TimedPlayback::~TimedPlayback() {
    ownMixer.reset();
}

int TimedPlayback::openWorld(const char* tool, const PlayInput& input) {
    KTComponentLibrary::init();
    KTAnimationPlayback::initClass();
    // Where its playback nodes stand, for the findings about them.
    std::vector<PlaybackText> written;
    if (!readWorld(tool, input.world, session.world, nullptr, &written))
        return 1;
    const int named = registerWorldAnimations(tool, session.world, input.world, written);
    if (named < 0)
        return 1;
    if (named == 0) {
        std::cerr << tool << ": " << escapeBytes(input.world)
                  << " names no animation (KTAnimationPlayback); give an animation file\n";
        return 1;
    }
    animations.load(&session.world);
    for (unsigned int i = 0; i < animations.getNumFailures(); ++i)
        std::cerr << tool << ": " << escapeBytes(input.world) << ": " << animations.getFailure(i)
                  << '\n';
    if (animations.getNumFailures() > 0)
        return 1;
    const RWCString name(input.component.c_str());
    mixer = input.component.empty() ? animations.getMixer(0u) : animations.getMixer(name);
    KTAnimationPlayer* player =
        input.component.empty() ? animations.getPlayer(0u) : animations.getPlayer(name);
    if (player) {
        // One animation: a mixer of one action with the player's clip and
        // settings.
        const KTAnimationSampler& sampler = player->getSampler();
        ownMixer = std::make_unique<KTAnimationMixer>(sampler.getObject());
        KTAnimationAction* action = ownMixer->addAction(sampler.getClip());
        KTAnimationClip::Timing timing;
        timing.keysPerSecond = sampler.getKeyRate();
        timing.cycleSeconds = sampler.getCycleLength();
        timing.interpolation =
            static_cast<KTAnimationClip::Interpolation>(sampler.getInterpolation());
        timing.wrap = static_cast<KTAnimationClip::WrapMode>(sampler.getWrapMode());
        action->setTiming(timing);
        action->setSpeed(player->getSpeed());
        action->play();
        mixer = ownMixer.get();
    }
    if (!mixer) {
        std::cerr << tool << ": " << escapeBytes(input.world) << " names no animation that plays"
                  << (input.component.empty()
                          ? ""
                          : " on component \"" + escapeBytes(input.component) + "\"")
                  << '\n';
        return 1;
    }
    if (input.positions) {
        std::cerr << tool
                  << ": --positions does not apply to the animations a world names; set "
                     "positions TRUE on its playback nodes\n";
        return 2;
    }
    numLayers = mixer->getNumActions();
    return 0;
}

bool TimedPlayback::openAnimation(const char* tool, const PlayInput& input, bool requireParts) {
    KTComponentLibrary::init();
    KTAnimationPlayback::initClass(); // worlds that say how their component plays
    if (!openPlaySession(tool, input, session, requireParts))
        return false;
    ownMixer = std::make_unique<KTAnimationMixer>(session.component);
    KTAnimationAction* action = ownMixer->addAction(&session.animation);
    KTAnimationClip::Timing timing;
    double speed = 1.0;
    playbackNodeTiming(*session.component, timing, speed);
    action->setTiming(timing);
    action->setSpeed(speed);
    action->play();
    mixer = ownMixer.get();
    numLayers = 1;
    return true;
}

void TimedPlayback::setTiming(const TimingOverrides& overrides) {
    for (unsigned int a = 0; a < mixer->getNumActions(); ++a) {
        KTAnimationAction& action = *mixer->getAction(a);
        KTAnimationClip::Timing timing = action.getTiming();
        if (overrides.keyRate > 0.0)
            timing.keysPerSecond = overrides.keyRate;
        if (overrides.interpolation >= 0)
            timing.interpolation =
                static_cast<KTAnimationClip::Interpolation>(overrides.interpolation);
        if (overrides.wrap >= 0)
            timing.wrap = static_cast<KTAnimationClip::WrapMode>(overrides.wrap);
        action.setTiming(timing);
        if (overrides.speed != 0.0)
            action.setSpeed(overrides.speed);
    }
}

bool TimedPlayback::addCrossfade(const char* tool, const CrossfadeOptions& options,
                                 bool positions) {
    fade = options;
    if (!loadAnimation(tool, options.animation, std::string(tool) + "/to/" + options.animation,
                       faded))
        return false;
    KTComponent& component = *getComponent();
    const std::string componentName = escapeBytes(component.getName().getString());
    std::vector<std::string> missing;
    for (unsigned int i = 0; i < faded.getNumPartAnimations(); ++i) {
        KTPartAnimation* track = faded[i];
        if (positions && KTWorldAnimations::hasPositionKeys(*track))
            track->setUsePositions(1);
        KTPart* part = nullptr;
        SoTransform* transform = nullptr;
        if (!findPartTransform(component, track->getPartName().std(), part, transform))
            missing.push_back(track->getPartName().std());
    }
    if (missing.size() == faded.getNumPartAnimations()) {
        std::cerr << tool << ": no track of " << escapeBytes(options.animation)
                  << " names a part of component \"" << componentName << "\"\n";
        return false;
    }
    for (const std::string& name : missing) {
        std::cerr << tool << ": component \"" << componentName << "\" has no part \""
                  << escapeBytes(name) << "\"; track skipped\n";
    }
    const KTAnimationAction& first = *mixer->getAction(0);
    target = mixer->addAction(&faded);
    target->setTiming(first.getTiming());
    target->setSpeed(first.getSpeed());
    return true;
}

void TimedPlayback::advanceTo(double seconds) {
    // A host's tick that passes the start of the fade: on to it, the
    // crossfade, then the rest of the tick.
    if (target && !fadeStarted && seconds >= fade.at) {
        mixer->advance(std::max(0.0, fade.at - elapsed));
        elapsed = fade.at;
        for (unsigned int a = 0; a < numLayers; ++a) {
            KTAnimationAction& action = *mixer->getAction(a);
            if (action.isPlaying())
                action.crossFadeTo(*target, fade.over, 0);
        }
        fadeStarted = true;
    }
    const double step = std::max(0.0, seconds - elapsed);
    mixer->advance(step);
    elapsed += step;
}

double TimedPlayback::getFade() const {
    return target ? target->getFade() : 0.0;
}

void TimedPlayback::getPart(unsigned int index, SbVec3f& translation, SbRotation& rotation,
                            bool scene) const {
    const KTPose& pose = mixer->getPose();
    const int channels = !scene && index < pose.getNumParts() ? pose.getChannels(index) : 0;
    const SoTransform& node = *mixer->getBinding().getTransform(index);
    translation =
        (channels & KTPose::TRANSLATION) ? pose.getTranslation(index) : node.translation.getValue();
    rotation = (channels & KTPose::ROTATION) ? pose.getRotation(index) : node.rotation.getValue();
}

bool TimedPlayback::movesTranslation(unsigned int index) const {
    const RWCString& name = mixer->getPartName(index);
    for (unsigned int a = 0; a < mixer->getNumActions(); ++a) {
        const KTAnimationClip& clip = *mixer->getAction(a)->getClip();
        for (unsigned int t = 0; t < clip.getNumTracks(); ++t) {
            if (clip.getPartName(t) == name && (clip.getChannels(t) & KTPose::TRANSLATION))
                return true;
        }
    }
    return false;
}

std::vector<AnimatedPart> TimedPlayback::getParts() const {
    std::vector<AnimatedPart> parts;
    for (unsigned int p = 0; p < mixer->getNumParts(); ++p) {
        const std::string name = mixer->getPartName(p).std();
        KTPart* part = nullptr;
        SoTransform* transform = nullptr;
        findPartTransform(*getComponent(), name, part, transform);
        parts.push_back(AnimatedPart{name, part, transform, p});
    }
    return parts;
}

double TimedPlayback::cycleOf(const KTAnimationAction& action) const {
    const double turns = action.getTiming().wrap == KTAnimationClip::PING_PONG ? 2.0 : 1.0;
    const double speed = std::fabs(action.getSpeed());
    return speed == 0.0 ? std::numeric_limits<double>::infinity()
                        : action.getDuration() * turns / speed;
}

double TimedPlayback::getCycle() const {
    double cycle = 0.0;
    for (unsigned int a = 0; a < numLayers; ++a)
        cycle = std::max(cycle, cycleOf(*mixer->getAction(a)));
    return cycle;
}

double TimedPlayback::getTargetCycle() const {
    return target ? cycleOf(*target) : 0.0;
}

double TimedPlayback::getKeyRate() const {
    double rate = 0.0;
    for (unsigned int a = 0; a < mixer->getNumActions(); ++a)
        rate = std::max(rate, mixer->getAction(a)->getTiming().keysPerSecond);
    return rate;
}

double TimedPlayback::getSpeed() const {
    return mixer->getAction(0)->getSpeed();
}

double TimedPlayback::getDefaultDuration() const {
    return target ? fade.at + std::max(fade.over, getTargetCycle()) : getCycle();
}

std::vector<double> TimedPlayback::timesAt(double rate, double duration) const {
    std::vector<double> times;
    const long rows = wholeFrames(duration * rate) + 1;
    for (long row = 0; row < rows; ++row)
        times.push_back(static_cast<double>(row) / rate);
    if (!target || times.empty())
        return times;
    for (const double edge : {fade.at, fade.at + fade.over}) {
        const auto after = std::lower_bound(times.begin(), times.end(), edge - sameTime);
        if (after != times.end() && std::fabs(*after - edge) < sameTime)
            *after = edge;
        else if (edge <= duration + sameTime)
            times.insert(after, edge);
    }
    return times;
}

} // namespace ktrt_tool
