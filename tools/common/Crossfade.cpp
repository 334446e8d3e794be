#include "common/Crossfade.h"
#include "common/AnimationFile.h"
#include "common/OptionLimits.h"
#include "common/SourceLine.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTPart.h>

#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/binding/KTPartBinding.h>
#include <ktrt/pose/KTPoseBlend.h>
#include <ktrt/world/KTWorldAnimations.h>

namespace ktrt_tool {

const char* const crossfadeHelp =
    "With --crossfade B --at T --over S it fades from ANIMATION to B: ANIMATION alone before T "
    "seconds, B from its own time 0 at T, B's weight rising linearly from 0 to 1 until T + S "
    "and B alone from then on; a part that only one of the two moves blends with its pose "
    "before playing for the other's weight.";

CLI::Option* addCrossfadeOptions(CLI::App& command, CrossfadeOptions& options) {
    CLI::Option* crossfade = command.add_option("--crossfade", options.animation,
                                                "Animation file B to fade to from ANIMATION");
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

bool Crossfade::open(const char* tool, const PlayInput& input, const CrossfadeOptions& options,
                     bool requireParts) {
    at = options.at;
    over = options.over;
    if (!openPlaySession(tool, input, session, requireParts))
        return false;
    TrackFacts facts;
    if (!loadAnimation(tool, options.animation, std::string(tool) + "/to/" + options.animation,
                       target, &facts))
        return false;

    parts = session.parts;
    const std::size_t fromParts = parts.size();
    const std::string componentName = escapeBytes(session.component->getName().getString());
    std::vector<std::string> missing;
    bool named = false;
    for (unsigned int i = 0; i < target.getNumPartAnimations(); ++i) {
        KTPartAnimation* track = target[i];
        if (input.positions && KTWorldAnimations::hasPositionKeys(*track))
            track->setUsePositions(1);
        const std::string name = track->getPartName().std();
        const auto known = std::find_if(parts.begin(), parts.end(), [&](const AnimatedPart& part) {
            return part.name == name;
        });
        if (known != parts.end()) {
            named = true;
            continue;
        }
        KTPart* part = nullptr;
        SoTransform* transform = nullptr;
        if (!findPartTransform(*session.component, name, part, transform)) {
            missing.push_back(name);
            continue;
        }
        named = true;
        parts.push_back(AnimatedPart{name, part, transform, i});
    }
    if (!named) {
        std::cerr << tool << ": no track of " << escapeBytes(options.animation)
                  << " names a part of component \"" << componentName << "\"\n";
        return false;
    }
    for (const std::string& name : missing) {
        std::cerr << tool << ": component \"" << componentName << "\" has no part \""
                  << escapeBytes(name) << "\"; track skipped\n";
    }
    // B's own parts in the order of its file.
    const auto placeInFile = [&facts](const AnimatedPart& part) {
        return std::find(facts.fileOrder.begin(), facts.fileOrder.end(), part.name) -
               facts.fileOrder.begin();
    };
    std::stable_sort(parts.begin() + static_cast<std::ptrdiff_t>(fromParts), parts.end(),
                     [&](const AnimatedPart& a, const AnimatedPart& b) {
                         return placeInFile(a) < placeInFile(b);
                     });

    // Nothing has been written: the binding saves the poses the world file
    // gave the parts.
    KTPartBinding binding(session.component);
    for (const AnimatedPart& part : parts)
        binding.addPart(RWCString(part.name.c_str()));
    binding.getRestPose(rest);

    KTComponentAnimation* animations[2] = {&session.animation, &target};
    for (int a = 0; a < 2; ++a) {
        clips[a] = KTAnimationClip::create(*animations[a]);
        partOfTrack[a].assign(clips[a]->getNumTracks(), -1);
        for (unsigned int t = 0; t < clips[a]->getNumTracks(); ++t) {
            const std::string name = clips[a]->getPartName(t).std();
            for (std::size_t p = 0; p < parts.size(); ++p) {
                if (parts[p].name == name)
                    partOfTrack[a][t] = static_cast<int>(p);
            }
        }
        poses[a].setNumParts(static_cast<unsigned int>(parts.size()));
    }
    return true;
}

void Crossfade::setTiming(const KTAnimationClip::Timing& played, double factor) {
    timing = played;
    timing.cycleSeconds = 0.0;
    speed = factor;
}

double Crossfade::getCycle(bool animation) const {
    double cycle = clips[animation ? 1 : 0] ? clips[animation ? 1 : 0]->getDuration(timing) : 0.0;
    if (timing.wrap == KTAnimationClip::PING_PONG)
        cycle *= 2.0;
    return speed == 0.0 ? std::numeric_limits<double>::infinity() : cycle / std::fabs(speed);
}

float Crossfade::getWeight(double seconds) const {
    if (seconds < at)
        return 0.0f;
    // Exactly 1 from the end on, whatever the rounding of (seconds - at).
    if (seconds >= at + over)
        return 1.0f;
    return static_cast<float>((seconds - at) / over);
}

int Crossfade::getChannels(unsigned int index) const {
    int channels = 0;
    for (int a = 0; a < 2; ++a) {
        for (std::size_t t = 0; t < partOfTrack[a].size(); ++t) {
            if (partOfTrack[a][t] == static_cast<int>(index))
                channels |= clips[a]->getChannels(static_cast<unsigned int>(t));
        }
    }
    return channels;
}

bool Crossfade::sampleAt(const KTAnimationClip& clip, const std::vector<int>& partOf,
                         double elapsed, KTPose& pose) const {
    // The time of a player started with play() at 0 and advanced by
    // `elapsed` (or sought to elapsed times the speed, before its start): a
    // CLAMP play backwards starts from its end and stops at either end.
    const double duration = clip.getDuration(timing);
    const bool clamp = timing.wrap == KTAnimationClip::CLAMP;
    double time = elapsed * speed;
    if (elapsed >= 0.0)
        time = (clamp && speed < 0.0 ? duration : 0.0) + elapsed * speed;
    if (clamp)
        time = std::min(std::max(time, 0.0), duration);
    pose.clear();
    return clip.sample(time, timing, partOf, pose) != 0;
}

bool Crossfade::poseAt(double seconds, KTPose& pose) {
    const float weight = getWeight(seconds);
    // Before the fade B has not started; from its end on A weighs nothing.
    if (weight < 1.0f && !sampleAt(*clips[0], partOfTrack[0], seconds, poses[0]))
        return false;
    if (weight > 0.0f && !sampleAt(*clips[1], partOfTrack[1], seconds - at, poses[1]))
        return false;
    if (weight == 0.0f)
        poses[1].clear();
    if (weight == 1.0f)
        poses[0].clear();
    return KTPoseBlend::blend(poses[0], poses[1], weight, rest, pose) != 0;
}

} // namespace ktrt_tool
