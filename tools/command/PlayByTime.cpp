#include "command/PlayByTime.h"
#include "common/AnimationFile.h"
#include "common/Crossfade.h"
#include "common/OptionLimits.h"
#include "common/OutputFile.h"
#include "common/PlaySession.h"
#include "common/SourceLine.h"
#include "common/WorldFile.h"
#include "common/WorldLayers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>

#include <ktrt/playback/KTAnimationAction.h>
#include <ktrt/playback/KTAnimationMixer.h>
#include <ktrt/playback/KTAnimationPlayer.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/pose/KTPose.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/world/KTAnimationPlayback.h>
#include <ktrt/world/KTWorldAnimations.h>

namespace ktrt_tool {

namespace {

const char* const interpolations[] = {"step", "linear", "hold"};
const char* const wraps[] = {"loop", "clamp", "ping-pong"};

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

// `timing` with the key rate, interpolation and wrap mode the options give.
KTAnimationClip::Timing withOptions(KTAnimationClip::Timing timing, const TimeOptions& options) {
    if (options.keyRate > 0.0)
        timing.keysPerSecond = options.keyRate;
    for (int i = 0; i < 3; ++i) {
        if (options.interpolation == interpolations[i])
            timing.interpolation = static_cast<KTAnimationClip::Interpolation>(i);
        if (options.wrap == wraps[i])
            timing.wrap = static_cast<KTAnimationClip::WrapMode>(i);
    }
    return timing;
}

double clean(double degrees) {
    return degrees > -0.005 && degrees < 0.005 ? 0.0 : degrees;
}

// One row of a table: a part's translation and its rotation as Euler angles
// in degrees, then `tail`.
void printRow(const char* label, int nameWidth, const char* name, const SbVec3f& at,
              const SbRotation& rotation, const char* tail = "") {
    float q[4];
    rotation.getValue(q[0], q[1], q[2], q[3]);
    double x, y, z;
    KTAngle(q[0], q[1], q[2], q[3]).getValue(x, y, z);
    std::printf("%8s  %-*s  %8.3f %8.3f %8.3f  %8.2f %8.2f %8.2f%s\n", label, nameWidth, name,
                at[0], at[1], at[2], clean(x), clean(y), clean(z), tail);
}

// The row of part `index`: the channels that `pose` sets (none when null),
// and for the others the part's own transform `node`.
void printPart(const char* label, int nameWidth, const char* name, const KTPose* pose,
               unsigned int index, const SoTransform& node) {
    const int channels = pose ? pose->getChannels(index) : 0;
    printRow(label, nameWidth, name,
             (channels & KTPose::TRANSLATION) ? pose->getTranslation(index)
                                              : node.translation.getValue(),
             (channels & KTPose::ROTATION) ? pose->getRotation(index) : node.rotation.getValue());
}

void printColumns(int nameWidth, const char* tail = "") {
    std::printf("%-8s  %-*s  %-26s  %s\n", "", nameWidth, "", "   translation",
                "   rotation (degrees)");
    std::printf("%8s  %-*s  %8s %8s %8s  %8s %8s %8s%s\n", "time (s)", nameWidth, "part", "x", "y",
                "z", "x", "y", "z", tail);
}

// The times of a table: --time, else rows at --rate (default: `keyRate`) for
// --duration (default: `cycle`, real seconds). Prints why and returns 2 when
// a cycle never ends or the rows exceed the limit, else 0.
int tableTimes(const TimeOptions& options, double keyRate, double cycle, double speed,
               std::vector<double>& times) {
    times = options.times;
    if (!times.empty())
        return 0;
    const double rate = options.rate > 0.0 ? options.rate : keyRate;
    const double duration = options.duration < 0.0 ? cycle : options.duration;
    if (!std::isfinite(duration)) {
        std::cerr << "ktrt play: at speed " << speed
                  << " a cycle never ends; give --duration or --speed\n";
        return 2;
    }
    const long rows = wholeFrames(duration * rate) + 1;
    char what[96];
    std::snprintf(what, sizeof what, "%g %s a second for %.6g s", rate, rate == 1 ? "row" : "rows",
                  duration);
    if (!withinFrameLimit("ktrt play", what, static_cast<double>(rows), "rows"))
        return 2;
    for (long row = 0; row < rows; ++row)
        times.push_back(static_cast<double>(row) / rate);
    return 0;
}

// The layers of `component` that the world file names, one line each.
void printLayers(KTComponent* component) {
    const std::vector<std::string> layers =
        component ? describeLayers(*component) : std::vector<std::string>();
    for (std::size_t i = 0; i < layers.size(); ++i)
        std::printf("layer %zu: %s\n", i + 1, layers[i].c_str());
}

// With `layers`, the layers the world file names come before the table.
int printTable(KTAnimationPlayer& player, const TimeOptions& options, bool layers = false) {
    KTAnimationSampler& sampler = player.getSampler();
    KTComponent* component = sampler.getObject();
    double cycle = sampler.getDuration();
    if (player.getWrapMode() == KTAnimationClip::PING_PONG)
        cycle *= 2.0;
    cycle /= std::fabs(player.getSpeed());
    std::vector<double> times;
    if (const int status =
            tableTimes(options, sampler.getKeyRate(), cycle, player.getSpeed(), times))
        return status;
    if (layers)
        printLayers(component);

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
    printColumns(nameWidth);
    // The pose the sampler computed, or with `scene` the parts' transforms;
    // a channel the pose does not set is the part's own.
    auto printPoses = [&](const std::string& label, bool scene = false) {
        const KTPose& pose = sampler.getPose();
        for (unsigned int p = 0; p < sampler.getNumParts(); ++p) {
            printPart(label.c_str(), nameWidth, sampler.getPartAnimation(p)->getPartName().data(),
                      scene ? nullptr : &pose, p, *sampler.getPartTransform(p));
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

// The table of a component that layers its animations through a mixer: the
// time options apply to every action; each row is the blended pose after
// playing that long from the start, computed by a copy of the mixer as the
// world file set it up.
int printMixerTable(const KTAnimationMixer& loaded, const TimeOptions& options) {
    KTAnimationMixer mixer(loaded);
    double keyRate = 0.0;
    double cycle = 0.0;
    double speed = 1.0;
    for (unsigned int a = 0; a < mixer.getNumActions(); ++a) {
        KTAnimationAction& action = *mixer.getAction(a);
        const KTAnimationClip::Timing timing = withOptions(action.getTiming(), options);
        action.setTiming(timing);
        if (options.speed != 0.0)
            action.setSpeed(options.speed);
        speed = action.getSpeed();
        keyRate = std::max(keyRate, timing.keysPerSecond);
        const double turns = timing.wrap == KTAnimationClip::PING_PONG ? 2.0 : 1.0;
        cycle = std::max(cycle, action.getDuration() * turns / std::fabs(action.getSpeed()));
    }
    std::vector<double> times;
    if (const int status = tableTimes(options, keyRate, cycle, speed, times))
        return status;
    printLayers(mixer.getComponent());

    int nameWidth = 4;
    for (unsigned int p = 0; p < mixer.getNumParts(); ++p)
        nameWidth = std::max(nameWidth, static_cast<int>(mixer.getPartName(p).length()));
    std::printf("component \"%s\", %u %s, %u %s layered, %.3f s a cycle\n",
                mixer.getComponent()->getName().getString(), mixer.getNumParts(),
                mixer.getNumParts() == 1 ? "part" : "parts", mixer.getNumActions(),
                mixer.getNumActions() == 1 ? "animation" : "animations", cycle);
    printColumns(nameWidth);
    const KTPartBinding& parts = mixer.getBinding();
    auto printPoses = [&](const std::string& label, const KTPose* pose) {
        for (unsigned int p = 0; p < mixer.getNumParts(); ++p) {
            printPart(label.c_str(), nameWidth, mixer.getPartName(p).data(), pose, p,
                      *parts.getTransform(p));
        }
    };
    for (double time : times) {
        KTAnimationMixer played(mixer);
        played.advance(time > 0.0 ? time : 0.0);
        char label[32];
        std::snprintf(label, sizeof label, "%.3f", time);
        printPoses(label, &played.getPose());
    }
    if (options.reset) {
        mixer.resetState();
        printPoses("reset", nullptr);
    }
    return 0;
}

int playNamedByTime(KTComponentDB& world, const std::string& worldPath,
                    const TimeOptions& options) {
    KTWorldAnimations animations(&world);
    for (unsigned int i = 0; i < animations.getNumFailures(); ++i)
        std::cerr << "ktrt play: " << escapeBytes(worldPath) << ": " << animations.getFailure(i)
                  << '\n';
    if (animations.getNumFailures() > 0)
        return 1;
    KTAnimationPlayer* player = options.component.empty()
                                    ? animations.getPlayer(0u)
                                    : animations.getPlayer(options.component.c_str());
    KTAnimationMixer* mixer = options.component.empty()
                                  ? animations.getMixer(0u)
                                  : animations.getMixer(options.component.c_str());
    if (!player && mixer) {
        if (options.positions) {
            std::cerr << "ktrt play: --positions does not apply to a component that layers "
                         "animations; set positions TRUE on its playback nodes\n";
            return 2;
        }
        return printMixerTable(*mixer, options);
    }
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
    return printTable(*player, options, true);
}

// Just the file name: the header names the two animations.
std::string fileName(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    return escapeBytes(slash == std::string::npos ? path : path.substr(slash + 1));
}

} // namespace

int playCrossfade(const PlayInput& input, const TimeOptions& options,
                  const CrossfadeOptions& fade) {
    const char* tool = "ktrt play";
    if (input.animation.empty()) {
        std::cerr << tool << ": --crossfade needs ANIMATION, the animation to fade from\n";
        return 2;
    }
    Crossfade crossfade;
    if (!crossfade.open(tool, input, fade, false))
        return 1;
    const KTAnimationClip::Timing timing = withOptions(KTAnimationClip::Timing(), options);
    const double speed = options.speed != 0.0 ? options.speed : 1.0;
    crossfade.setTiming(timing, speed);
    // By default up to the end of the fade, or of B's first cycle when that
    // comes later.
    std::vector<double> times;
    if (const int status =
            tableTimes(options, timing.keysPerSecond,
                       fade.at + std::max(fade.over, crossfade.getCycle(true)), speed, times))
        return status;

    const std::vector<AnimatedPart>& parts = crossfade.parts;
    int nameWidth = 4;
    for (const AnimatedPart& part : parts)
        nameWidth = std::max(nameWidth, static_cast<int>(part.name.size()));
    const KTPose& rest = crossfade.getRestPose();
    std::printf("component \"%s\", %zu %s, %s (%.3f s a cycle) fading to %s (%.3f s a cycle) "
                "at %g s over %g s; %g keys/s, %s, %s, speed %g\n",
                crossfade.session.component->getName().getString(), parts.size(),
                parts.size() == 1 ? "part" : "parts", fileName(input.animation).c_str(),
                crossfade.getCycle(false), fileName(fade.animation).c_str(),
                crossfade.getCycle(true), fade.at, fade.over, timing.keysPerSecond,
                interpolations[timing.interpolation], wraps[timing.wrap], speed);
    printColumns(nameWidth, "   fade");
    KTPose pose;
    for (double time : times) {
        if (std::ferror(stdout))
            break;
        char label[32];
        std::snprintf(label, sizeof label, "%.3f", time);
        char weight[16];
        std::snprintf(weight, sizeof weight, "  %5.3f", crossfade.getWeight(time));
        if (!crossfade.poseAt(time, pose)) {
            std::cerr << tool << ": no pose at " << label << " s\n";
            return 1;
        }
        // A channel neither animation sets is the part's own.
        for (unsigned int p = 0; p < parts.size(); ++p) {
            const int channels = pose.getChannels(p);
            printRow(
                label, nameWidth, parts[p].name.c_str(),
                (channels & KTPose::TRANSLATION) ? pose.getTranslation(p) : rest.getTranslation(p),
                (channels & KTPose::ROTATION) ? pose.getRotation(p) : rest.getRotation(p), weight);
        }
    }
    if (options.reset) {
        for (unsigned int p = 0; p < parts.size(); ++p) {
            printRow("reset", nameWidth, parts[p].name.c_str(), rest.getTranslation(p),
                     rest.getRotation(p));
        }
    }
    return standardOutputWritten(tool) ? 0 : 1;
}

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
    const int named = registerWorldAnimations("ktrt play", world, input.world);
    if (named < 0)
        return 1;
    if (named == 0) {
        std::cerr << "ktrt play: " << escapeBytes(input.world)
                  << " names no animation (KTAnimationPlayback); give an animation file\n";
        return 1;
    }
    return playNamedByTime(world, input.world, options);
}

} // namespace ktrt_tool
