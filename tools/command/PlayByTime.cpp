#include "command/PlayByTime.h"
#include "common/OptionLimits.h"
#include "common/OutputFile.h"
#include "common/SourceLine.h"
#include "common/WorldLayers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

#include <Inventor/SbLinear.h>

#include <ktcp/KTComponent.h>

#include <ktrt/geometry/KTAngle.h>
#include <ktrt/playback/KTAnimationMixer.h>

namespace ktrt_tool {

namespace {

const char* const interpolations[] = {"step", "linear", "hold"};
const char* const wraps[] = {"loop", "clamp", "ping-pong"};

int indexOf(const char* const (&names)[3], const std::string& name) {
    for (int i = 0; i < 3; ++i) {
        if (name == names[i])
            return i;
    }
    return -1;
}

double clean(double degrees) {
    return degrees > -0.005 && degrees < 0.005 ? 0.0 : degrees;
}

// One row of the table: a part's translation and its rotation as Euler
// angles in degrees, then `tail`.
void printRow(const char* label, int nameWidth, const char* name, const SbVec3f& at,
              const SbRotation& rotation, const char* tail = "") {
    float q[4];
    rotation.getValue(q[0], q[1], q[2], q[3]);
    double x, y, z;
    KTAngle(q[0], q[1], q[2], q[3]).getValue(x, y, z);
    std::printf("%8s  %-*s  %8.3f %8.3f %8.3f  %8.2f %8.2f %8.2f%s\n", label, nameWidth, name,
                at[0], at[1], at[2], clean(x), clean(y), clean(z), tail);
}

void printColumns(int nameWidth, const char* tail) {
    std::printf("%-8s  %-*s  %-26s  %s\n", "", nameWidth, "", "   translation",
                "   rotation (degrees)");
    std::printf("%8s  %-*s  %8s %8s %8s  %8s %8s %8s%s\n", "time (s)", nameWidth, "part", "x", "y",
                "z", "x", "y", "z", tail);
}

// Just the file name: the header names the animation faded to.
std::string fileName(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    return escapeBytes(slash == std::string::npos ? path : path.substr(slash + 1));
}

// The times of the table: --time, else rows at --rate (default: the key
// rate) for --duration (default: the playback's). Prints why and returns 2
// when the times go back, a cycle never ends or the rows exceed the limit.
int tableTimes(const TimeOptions& options, const TimedPlayback& playback,
               std::vector<double>& times) {
    times = options.times;
    if (!times.empty()) {
        for (std::size_t i = 0; i < times.size(); ++i) {
            if (times[i] < (i ? times[i - 1] : 0.0)) {
                std::cerr << "ktrt play: --time " << times[i] << " comes before "
                          << (i ? times[i - 1] : 0.0)
                          << ": playback runs forward from 0; give times in order\n";
                return 2;
            }
        }
        return 0;
    }
    const double rate = options.rate > 0.0 ? options.rate : playback.getKeyRate();
    const double duration =
        options.duration < 0.0 ? playback.getDefaultDuration() : options.duration;
    if (!std::isfinite(duration)) {
        std::cerr << "ktrt play: at speed " << playback.getSpeed()
                  << " a cycle never ends; give --duration or --speed\n";
        return 2;
    }
    const long rows = wholeFrames(duration * rate) + 1;
    char what[96];
    std::snprintf(what, sizeof what, "%g %s a second for %.6g s", rate, rate == 1 ? "row" : "rows",
                  duration);
    if (!withinFrameLimit("ktrt play", what, static_cast<double>(rows), "rows"))
        return 2;
    times = playback.timesAt(rate, duration);
    return 0;
}

void printHeader(const TimedPlayback& playback) {
    const KTAnimationMixer& mixer = playback.getMixer();
    const unsigned int parts = mixer.getNumParts();
    std::printf("component \"%s\", %u %s, ", playback.getComponent()->getName().getString(), parts,
                parts == 1 ? "part" : "parts");
    const KTAnimationAction& first = *mixer.getAction(0);
    const unsigned int layers =
        playback.isCrossfade() ? mixer.getNumActions() - 1 : mixer.getNumActions();
    if (!playback.isLayered()) {
        const KTAnimationClip::Timing& timing = first.getTiming();
        std::printf("%.3f s a cycle at %g keys/s, %s, %s, speed %g", first.getDuration(),
                    timing.keysPerSecond, interpolations[timing.interpolation], wraps[timing.wrap],
                    first.getSpeed());
    } else {
        std::printf("%u %s layered, %.3f s a cycle", layers,
                    layers == 1 ? "animation" : "animations", playback.getCycle());
    }
    if (playback.isCrossfade()) {
        const CrossfadeOptions& fade = playback.getCrossfade();
        std::printf("; fading to %s (%.3f s a cycle) at %g s over %g s",
                    fileName(fade.animation).c_str(), playback.getTargetCycle(), fade.at,
                    fade.over);
    }
    std::printf("\n");
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

int playByTime(const PlayInput& input, const TimeOptions& options, const CrossfadeOptions& fade) {
    const char* tool = "ktrt play";
    TimedPlayback playback;
    if (input.animation.empty()) {
        if (const int status = playback.openWorld(tool, input))
            return status;
    } else if (!playback.openAnimation(tool, input, false)) {
        return 1;
    }
    if (fade.requested() && !playback.addCrossfade(tool, fade, input.positions))
        return 1;
    TimingOverrides overrides;
    overrides.keyRate = options.keyRate;
    overrides.speed = options.speed;
    overrides.interpolation = indexOf(interpolations, options.interpolation);
    overrides.wrap = indexOf(wraps, options.wrap);
    playback.setTiming(overrides);
    std::vector<double> times;
    if (const int status = tableTimes(options, playback, times))
        return status;

    const KTAnimationMixer& mixer = playback.getMixer();
    int nameWidth = 4;
    for (unsigned int p = 0; p < mixer.getNumParts(); ++p)
        nameWidth = std::max(nameWidth, static_cast<int>(mixer.getPartName(p).length()));
    // The layers the world file names come before the table.
    if (input.animation.empty()) {
        const std::vector<std::string> layers = describeLayers(*playback.getComponent());
        for (std::size_t i = 0; i < layers.size(); ++i)
            std::printf("layer %zu: %s\n", i + 1, layers[i].c_str());
    }
    printHeader(playback);
    printColumns(nameWidth, playback.isCrossfade() ? "   fade" : "");
    SbVec3f translation;
    SbRotation rotation;
    // A long run stops at the first write that fails (a full disk, a closed
    // pipe).
    for (std::size_t row = 0; row < times.size() && !std::ferror(stdout); ++row) {
        playback.advanceTo(times[row]);
        char label[32];
        std::snprintf(label, sizeof label, "%.3f", times[row]);
        char weight[16] = "";
        if (playback.isCrossfade())
            std::snprintf(weight, sizeof weight, "  %5.3f", playback.getFade());
        for (unsigned int p = 0; p < mixer.getNumParts(); ++p) {
            playback.getPart(p, translation, rotation);
            printRow(label, nameWidth, mixer.getPartName(p).data(), translation, rotation, weight);
        }
    }
    if (options.reset) {
        playback.reset();
        for (unsigned int p = 0; p < mixer.getNumParts(); ++p) {
            playback.getPart(p, translation, rotation, true);
            printRow("reset", nameWidth, mixer.getPartName(p).data(), translation, rotation);
        }
    }
    return standardOutputWritten(tool) ? 0 : 1;
}

} // namespace ktrt_tool
