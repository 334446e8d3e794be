#include "Commands.h"
#include "AnimationFile.h"
#include "PlayByTime.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/KTComponentLibrary.h>
#include <ktcp/KTPart.h>

#include <ktrt/animation/KTAnimationInstance.h>
#include <ktrt/animation/KTAnimationPlayback.h>
#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>

namespace ktrt_tool {

namespace {

struct PlayOptions {
    std::string world;
    std::string animation;
    std::string component;
    int frames = -1;
    bool reset = false;
    bool positions = false;
    TimeOptions byTime; // --time, --rate and the other settings of playing by time
};

// A part that the animation moves, with the transform node it writes.
struct AnimatedPart {
    std::string name;
    const SoTransform* transform;
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

// The number of frames of one full cycle: the key count of the first track
// that has keys, as playback counts it.
int cycleLength(KTComponentAnimation& animation) {
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
        if (animation[i]->getNumStates() > 0)
            return static_cast<int>(animation[i]->getNumStates());
    }
    return 0;
}

// Whether any key of the track moves the part. Tracks read from a file keep
// their position keys but have usePositions 0; a track read without position
// keys holds zero positions, which must not pin its part to the origin.
bool hasPositions(KTPartAnimation& track) {
    for (unsigned int k = 0; k < track.getNumStates(); ++k) {
        const KTVector3& position = track[k]->getPosition();
        if (position[0] != 0.0 || position[1] != 0.0 || position[2] != 0.0)
            return true;
    }
    return false;
}

KTComponent* chooseComponent(KTComponentDB& world, KTComponentAnimation& animation,
                             const std::string& requested) {
    if (!requested.empty())
        return world.getComponent(requested.c_str());
    const char* intended = animation.getComponentName();
    if (intended && *intended)
        return world.getComponent(intended);
    return world.getComponent(0u);
}

int play(const PlayOptions& options) {
    KTComponentLibrary::init();
    KTAnimationPlayback::initClass(); // worlds that name their animation

    const std::string reason = unreadableReason(options.world);
    if (!reason.empty()) {
        std::cerr << "ktrt play: cannot read " << options.world << ": " << reason << '\n';
        return 1;
    }
    KTComponentDB world;
    if (!world.readWorld(options.world.c_str())) {
        std::cerr << "ktrt play: " << options.world
                  << ": not an Inventor file with KTComponent nodes\n";
        return 1;
    }

    // Played by time when asked to, or when the world names its animation
    // and none is given.
    const int named = registerWorldAnimations(world, options.world);
    if (options.byTime.requested() || (options.animation.empty() && named > 0)) {
        TimeOptions byTime = options.byTime;
        byTime.component = options.component;
        byTime.reset = options.reset;
        byTime.positions = options.positions;
        return options.animation.empty() ? playNamedByTime(world, options.world, byTime)
                                         : playFileByTime(world, options.animation, byTime);
    }
    if (options.animation.empty()) {
        std::cerr << "ktrt play: " << options.world
                  << " names no animation (KTAnimationPlayback); give an animation file\n";
        return 1;
    }

    KTComponentAnimation animation;
    if (!loadAnimation("ktrt play", options.animation, "ktrt-play/" + options.animation, animation))
        return 1;

    KTComponent* component = chooseComponent(world, animation, options.component);
    if (!component) {
        std::cerr << "ktrt play: " << options.world << " has no component named \""
                  << options.component << "\"\n";
        return 1;
    }

    std::vector<AnimatedPart> animated;
    for (unsigned int i = 0; i < animation.getNumPartAnimations(); ++i) {
        KTPartAnimation* track = animation[i];
        if (options.positions && hasPositions(*track))
            track->setUsePositions(1);
        KTPart* part = component->getLogicalPart(track->getPartName());
        if (!part) {
            std::cerr << "ktrt play: component \"" << component->getName().getString()
                      << "\" has no part \"" << track->getPartName() << "\"; track skipped\n";
            continue;
        }
        animated.push_back(
            AnimatedPart{track->getPartName().std(),
                         static_cast<const SoTransform*>(part->getPart("transform", TRUE))});
    }

    KTAnimationInstance instance(component, &animation);
    const int frames = options.frames >= 0 ? options.frames : cycleLength(animation);
    const unsigned int tracks = animation.getNumPartAnimations();
    std::printf("component \"%s\", %u %s, %d %s\n", component->getName().getString(), tracks,
                tracks == 1 ? "track" : "tracks", frames, frames == 1 ? "frame" : "frames");
    PoseTable table(animated);
    table.printHeader();
    for (int frame = 0; frame < frames; ++frame) {
        instance.update();
        table.printPoses(std::to_string(frame).c_str());
    }
    if (options.reset) {
        instance.resetState();
        table.printPoses("reset");
    }
    return 0;
}

} // namespace

void registerPlayCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<PlayOptions>();
    CLI::App* command = app.add_subcommand(
        "play", "Play an animation on a component of a world and print every frame's poses");
    command->footer(
        "Reads WORLD (an Inventor file with KTComponent nodes), binds ANIMATION to the component "
        "(--component, else the first in the file), plays FRAMES frames (default: one full "
        "cycle) and prints, per frame, each animated part's translation and rotation as Euler "
        "angles in degrees (about X, then fixed Y, then fixed Z). Tracks read from a file play "
        "their orientations only, unless --positions is given. With --time or --rate it plays by "
        "time instead (interpolated, --interpolation, --wrap, --speed, --key-rate) and prints "
        "the poses at those times; so it does, with the world's settings, when the world names "
        "its animation in a KTAnimationPlayback node and ANIMATION is not given.");
    command->add_option("world", options->world, "Inventor file of the world")->required();
    command->add_option("animation", options->animation,
                        "Animation file (default: the one the world's KTAnimationPlayback names)");
    command->add_option("-c,--component", options->component, "Component to animate");
    command->add_option("-n,--frames", options->frames, "Frames to play")
        ->check(CLI::NonNegativeNumber);
    command->add_flag("--reset", options->reset, "Print the poses after resetState() too");
    command->add_flag("--positions", options->positions,
                      "Also play the position keys of tracks that have any");
    addTimeOptions(*command, options->byTime);
    command->callback([options, &status]() { status = play(*options); });
}

} // namespace ktrt_tool
