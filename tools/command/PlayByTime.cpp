#include "command/PlayByTime.h"
#include "common/AnimationFile.h"
#include "common/OptionLimits.h"
#include "common/PlaySession.h"
#include "common/SourceLine.h"
#include "common/WorldFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktrld/KTRegistryLoader.h>

#include <ktrt/world/KTAnimationPlayback.h>
#include <ktrt/animation/KTAnimationPlayer.h>
#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>
#include <ktrt/animation/KTPose.h>
#include <ktrt/world/KTWorldAnimations.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>

namespace ktrt_tool {

namespace {

const char* const interpolations[] = {"step", "linear", "hold"};
const char* const wraps[] = {"loop", "clamp", "ping-pong"};

bool fileExists(const std::string& path) {
    return !path.empty() && unreadableReason(path).empty();
}

// Command-line settings override what the world file says.
void applyOptions(KTAnimationPlayer& player, const TimeOptions& options) {
    if (options.keyRate > 0.0)
        player.getSampler().setKeyRate(options.keyRate);
    if (options.speed != 0.0)
        player.setSpeed(options.speed);
    for (int i = 0; i < 3; ++i) {
        if (options.interpolation == interpolations[i])
            player.setInterpolation(static_cast<KTAnimationSampler::Interpolation>(i));
        if (options.wrap == wraps[i])
            player.setWrapMode(static_cast<KTAnimationSampler::WrapMode>(i));
    }
}

double clean(double degrees) {
    return degrees > -0.005 && degrees < 0.005 ? 0.0 : degrees;
}

int printTable(KTAnimationPlayer& player, const TimeOptions& options) {
    KTAnimationSampler& sampler = player.getSampler();
    KTComponent* component = sampler.getObject();
    std::vector<double> times = options.times;
    if (times.empty()) {
        const double rate = options.rate > 0.0 ? options.rate : sampler.getKeyRate();
        double duration = options.duration;
        if (duration < 0.0) {
            duration = sampler.getDuration();
            if (player.getWrapMode() == KTAnimationSampler::PING_PONG)
                duration *= 2.0;
            duration /= std::fabs(player.getSpeed());
        }
        if (!std::isfinite(duration)) {
            std::cerr << "ktrt play: at speed " << player.getSpeed()
                      << " a cycle never ends; give --duration or --speed\n";
            return 2;
        }
        const long rows = wholeFrames(duration * rate) + 1;
        char what[96];
        std::snprintf(what, sizeof what, "%g rows a second for %.6g s", rate, duration);
        if (!withinFrameLimit("ktrt play", what, static_cast<double>(rows), "rows"))
            return 2;
        for (long row = 0; row < rows; ++row)
            times.push_back(static_cast<double>(row) / rate);
    }

    int nameWidth = 4;
    for (unsigned int p = 0; p < sampler.getNumParts(); ++p) {
        nameWidth = std::max(nameWidth,
                             static_cast<int>(sampler.getPartAnimation(p)->getPartName().length()));
    }
    std::printf("component \"%s\", %u %s, %.3f s a cycle at %g keys/s, %s, %s, speed %g\n",
                component->getName().getString(), sampler.getNumParts(),
                sampler.getNumParts() == 1 ? "part" : "parts", sampler.getDuration(),
                sampler.getKeyRate(), interpolations[player.getInterpolation()],
                wraps[player.getWrapMode()], player.getSpeed());
    std::printf("%-8s  %-*s  %-26s  %s\n", "", nameWidth, "", "   translation",
                "   rotation (degrees)");
    std::printf("%8s  %-*s  %8s %8s %8s  %8s %8s %8s\n", "time (s)", nameWidth, "part", "x", "y",
                "z", "x", "y", "z");
    // The pose the sampler computed, or with `scene` the parts' transforms;
    // a channel the pose does not set is the part's own.
    auto printPoses = [&](const std::string& label, bool scene = false) {
        const KTPose& pose = sampler.getPose();
        for (unsigned int p = 0; p < sampler.getNumParts(); ++p) {
            const SoTransform* node = sampler.getPartTransform(p);
            const int channels = scene ? 0 : pose.getChannels(p);
            const SbVec3f& at = (channels & KTPose::TRANSLATION) ? pose.getTranslation(p)
                                                                 : node->translation.getValue();
            float q[4];
            ((channels & KTPose::ROTATION) ? pose.getRotation(p) : node->rotation.getValue())
                .getValue(q[0], q[1], q[2], q[3]);
            double x, y, z;
            KTAngle(q[0], q[1], q[2], q[3]).getValue(x, y, z);
            std::printf("%8s  %-*s  %8.3f %8.3f %8.3f  %8.2f %8.2f %8.2f\n", label.c_str(),
                        nameWidth, sampler.getPartAnimation(p)->getPartName().data(), at[0], at[1],
                        at[2], clean(x), clean(y), clean(z));
        }
    };
    for (double time : times) {
        // The pose after playing `time` seconds from the start.
        player.pause();
        player.seek(0.0);
        player.play();
        if (time >= 0.0)
            player.advance(time);
        else
            player.seek(time * player.getSpeed());
        char label[32];
        std::snprintf(label, sizeof label, "%.3f", time);
        printPoses(label);
    }
    if (options.reset) {
        player.resetState();
        printPoses("reset", true);
    }
    return 0;
}

int registerWorldAnimations(KTComponentDB& world, const std::string& worldPath) {
    KTAnimationPlayback::initClass();
    const std::vector<KTAnimationPlayback*> nodes = KTWorldAnimations::findPlaybackNodes(&world);
    const std::string::size_type slash = worldPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : worldPath.substr(0, slash + 1);
    for (KTAnimationPlayback* node : nodes) {
        const std::string name = node->animation.getValue().getString();
        KTRegistryInfo known;
        if (name.empty() || KTRegistryLoader().GetAnimation(name.c_str(), known))
            continue;
        for (const std::string& candidate :
             {folder + name, folder + name + ".kta", name, name + ".kta"}) {
            if (fileExists(candidate)) {
                KTRegistryLoader::RegisterAnimation(name.c_str(), candidate.c_str());
                break;
            }
        }
    }
    return static_cast<int>(nodes.size());
}

int playNamedByTime(KTComponentDB& world, const std::string& worldPath,
                    const TimeOptions& options) {
    KTWorldAnimations animations(&world);
    for (unsigned int i = 0; i < animations.getNumFailures(); ++i)
        std::cerr << "ktrt play: " << escapeBytes(worldPath) << ": " << animations.getFailure(i)
                  << '\n';
    KTAnimationPlayer* player = options.component.empty()
                                    ? animations.getPlayer(0u)
                                    : animations.getPlayer(options.component.c_str());
    if (!player) {
        std::cerr << "ktrt play: " << escapeBytes(worldPath) << " names no animation that plays"
                  << (options.component.empty()
                          ? ""
                          : " on component \"" + escapeBytes(options.component) + "\"")
                  << '\n';
        return 1;
    }
    if (options.positions) {
        KTWorldAnimations::usePositionKeys(*player->getSampler().getAnimation());
        player->getSampler().refresh();
    }
    applyOptions(*player, options);
    return printTable(*player, options);
}

} // namespace

void addTimeOptions(CLI::App& command, TimeOptions& options) {
    command
        .add_option("-t,--time", options.times,
                    "Print the poses at these times (seconds, -1000000 to 1000000)")
        ->delimiter(',')
        ->check(secondsOption(true));
    command
        .add_option("--rate", options.rate,
                    "Print the poses this many times a second (0.001 to 10000; at most 1000000 "
                    "rows)")
        ->check(rateOption());
    command
        .add_option("--duration", options.duration,
                    "Seconds to print with --rate, 0 to 1000000 (default: one cycle)")
        ->check(secondsOption(false));
    command
        .add_option("--key-rate", options.keyRate, "Keys per second, 0.001 to 10000 (default 30)")
        ->check(rateOption());
    command
        .add_option("--speed", options.speed,
                    "Playing speed, 0.001 to 1000 either sign; negative plays backwards")
        ->check(speedOption());
    command
        .add_option("--interpolation", options.interpolation,
                    "step, linear (default) or hold (STEP, LINEAR, HOLD as in a world file too)")
        ->transform(worldSpelling())
        ->check(CLI::IsMember({"step", "linear", "hold"}));
    command
        .add_option("--wrap", options.wrap,
                    "loop (default), clamp or ping-pong (LOOP, CLAMP, PING_PONG as in a world "
                    "file too)")
        ->transform(worldSpelling())
        ->check(CLI::IsMember({"loop", "clamp", "ping-pong"}));
}

int playByTime(const PlayInput& input, const TimeOptions& options) {
    if (!input.animation.empty()) {
        PlaySession session;
        if (!openPlaySession("ktrt play", input, session))
            return 1;
        KTAnimationPlayer player(session.component, &session.animation);
        applyOptions(player, options);
        return printTable(player, options);
    }
    KTComponentDB world;
    if (!readWorld("ktrt play", input.world, world))
        return 1;
    if (registerWorldAnimations(world, input.world) == 0) {
        std::cerr << "ktrt play: " << escapeBytes(input.world)
                  << " names no animation (KTAnimationPlayback); give an animation file\n";
        return 1;
    }
    return playNamedByTime(world, input.world, options);
}

} // namespace ktrt_tool
