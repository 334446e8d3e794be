#include "command/Commands.h"
#include "common/OptionLimits.h"
#include "common/OutputFile.h"
#include "command/PlayByTime.h"
#include "common/PlaySession.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentLibrary.h>

#include <ktrt/playback/KTAnimationInstance.h>
#include <ktrt/world/KTAnimationPlayback.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/geometry/KTAngle.h>

namespace ktrt_tool {

namespace {

struct PlayOptions {
    PlayInput input;
    int frames = -1;
    bool reset = false;
    TimeOptions byTime; // --time, --rate and the other settings of playing by time
    CrossfadeOptions crossfade;
};

class PoseTable {
public:
    explicit PoseTable(const std::vector<AnimatedPart>& animated) : parts(animated) {
        for (const AnimatedPart& part : parts)
            nameWidth = std::max(nameWidth, static_cast<int>(part.name.size()));
    }

    void printHeader() const {
        std::printf("%-5s  %-*s  %-26s  %s\n", "", nameWidth, "", "   translation",
                    "   rotation (degrees)");
        std::printf("%-5s  %-*s  %8s %8s %8s  %8s %8s %8s\n", "frame", nameWidth, "part", "x", "y",
                    "z", "x", "y", "z");
    }

    void printPoses(const char* label) const {
        for (const AnimatedPart& part : parts) {
            const SbVec3f& translation = part.transform->translation.getValue();
            float q[4];
            part.transform->rotation.getValue().getValue(q[0], q[1], q[2], q[3]);
            double x, y, z;
            KTAngle(q[0], q[1], q[2], q[3]).getValue(x, y, z);
            std::printf("%5s  %-*s  %8.3f %8.3f %8.3f  %8.2f %8.2f %8.2f\n", label, nameWidth,
                        part.name.c_str(), translation[0], translation[1], translation[2], clean(x),
                        clean(y), clean(z));
        }
    }

private:
    // Keeps "-0.00" out of the table.
    static double clean(double degrees) {
        return degrees > -0.005 && degrees < 0.005 ? 0.0 : degrees;
    }

    std::vector<AnimatedPart> parts;
    int nameWidth = 4;
};

// Why an option given does not apply to the way `options` play, as
// "OPTION: REASON", or "": by frame (an animation file, no --time, --rate or
// --crossfade) or by time.
std::string ignoredOption(const PlayOptions& options) {
    const TimeOptions& time = options.byTime;
    const bool byTime =
        time.requested() || options.crossfade.requested() || options.input.animation.empty();
    if (byTime && options.frames >= 0)
        return "--frames: does not apply when playing by time (--time, --rate, --crossfade or "
               "a world that names its animations)";
    const std::pair<bool, const char*> timeOnly[] = {
        {time.duration >= 0.0, "--duration"},
        {time.keyRate > 0.0, "--key-rate"},
        {time.speed != 0.0, "--speed"},
        {!time.interpolation.empty(), "--interpolation"},
        {!time.wrap.empty(), "--wrap"}};
    for (const auto& [given, name] : timeOnly) {
        if (given && !byTime)
            return std::string(name) + ": applies only when playing by time: add --rate or --time";
    }
    if (!time.times.empty() && (time.rate > 0.0 || time.duration >= 0.0))
        return std::string(time.rate > 0.0 ? "--rate" : "--duration") +
               ": does not apply with --time, which gives the rows";
    return "";
}

int play(const PlayOptions& options) {
    const std::string ignored = ignoredOption(options);
    if (!ignored.empty()) {
        std::fprintf(stderr, "ktrt: %s\nRun 'ktrt play --help' for usage.\n", ignored.c_str());
        return 2;
    }
    KTComponentLibrary::init();
    KTAnimationPlayback::initClass(); // worlds that name their animation
    // By time when asked to, for a crossfade, or when no animation file is
    // given (the world names its own).
    if (options.byTime.requested() || options.crossfade.requested() ||
        options.input.animation.empty()) {
        TimeOptions byTime = options.byTime;
        byTime.reset = options.reset;
        return playByTime(options.input, byTime, options.crossfade);
    }

    PlaySession session;
    if (!openPlaySession("ktrt play", options.input, session))
        return 1;
    KTComponent* component = session.component;
    KTComponentAnimation& animation = session.animation;

    KTAnimationInstance instance(component, &animation);
    const int frames = options.frames >= 0 ? options.frames : cycleLength(animation);
    const unsigned int tracks = animation.getNumPartAnimations();
    std::printf("component \"%s\", %u %s, %d %s\n", component->getName().getString(), tracks,
                tracks == 1 ? "track" : "tracks", frames, frames == 1 ? "frame" : "frames");
    PoseTable table(session.parts);
    table.printHeader();
    // A long run stops at the first write that fails (a full disk, a closed
    // pipe).
    for (int frame = 0; frame < frames && !std::ferror(stdout); ++frame) {
        instance.update();
        table.printPoses(std::to_string(frame).c_str());
    }
    if (options.reset) {
        instance.resetState();
        table.printPoses("reset");
    }
    return standardOutputWritten("ktrt play") ? 0 : 1;
}

} // namespace

void registerPlayCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<PlayOptions>();
    CLI::App* command =
        app.add_subcommand("play", "Play an animation or a world and print the poses");
    command->footer(
        "Reads WORLD (an Inventor file with KTComponent nodes), binds ANIMATION to the component "
        "(--component, else the first in the file), plays FRAMES frames (default: one full "
        "cycle) and prints, per frame, each animated part's translation and rotation as Euler "
        "angles in degrees (about X, then fixed Y, then fixed Z). Tracks read from a file play "
        "their orientations only, unless --positions is given. With --time or --rate it plays by "
        "time instead (interpolated, --interpolation, --wrap, --speed, --key-rate) and prints "
        "the poses at those times; so it does, with the world's settings, when the world names "
        "its animations in KTAnimationPlayback nodes and ANIMATION is not given (a component "
        "with several nodes layers them through one mixer): each named animation is the file "
        "NAME or NAME.kta beside the world file (in its folder, nowhere else), a missing or "
        "broken one is an error, and the layers (file, weight, blend, parts) are listed before "
        "the table. By time, the library's mixer plays forward from 0 as a host drives it, so "
        "--time takes times in order; the settings of the component's KTAnimationPlayback node, "
        "if any, are the defaults. Options that the way of playing ignores (--frames by time; "
        "--duration, --key-rate, --speed, --interpolation and --wrap frame by frame) are "
        "refused. " +
        std::string(crossfadeHelp) +
        " The time options and --positions apply to both; the table lists the parts either "
        "moves, with B's weight (fade), by default up to the end of the fade or of B's first "
        "cycle, whichever comes later.");
    command->add_option("world", options->input.world, "Inventor file of the world")->required();
    command->add_option("animation", options->input.animation,
                        "Animation file (default: the one the world's KTAnimationPlayback names)");
    command->add_option("-c,--component", options->input.component, "Component to animate");
    CLI::Option* frames =
        command->add_option("-n,--frames", options->frames, "Frames to play, 0 to 1000000")
            ->check(frameCountOption());
    command->add_flag("--reset", options->reset, "Print the poses after resetState() too");
    command->add_flag("--positions", options->input.positions,
                      "Also play the position keys of tracks that have any");
    addTimeOptions(*command, options->byTime);
    // A crossfade plays by time; --frames counts update() calls.
    addCrossfadeOptions(*command, options->crossfade)->excludes(frames);
    command->callback([options, &status]() { status = play(*options); });
}

} // namespace ktrt_tool
