#include "command/Commands.h"
#include "common/Crossfade.h"
#include "common/OptionLimits.h"
#include "common/OutputFile.h"
#include "common/PlaySession.h"
#include "common/SourceLine.h"
#include "gltf/ExportScene.h"
#include "gltf/GltfModel.h"
#include "gltf/PoseClip.h"
#include "gltf/PreviewPage.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentLibrary.h>

#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/playback/KTAnimationInstance.h>
#include <ktrt/playback/KTAnimationSampler.h>
#include <ktrt/pose/KTPose.h>
#include <ktrt/world/KTAnimationPlayback.h>
#include <ktrt/world/KTWorldAnimations.h>

#ifndef KTRT_THREE_DIR
#define KTRT_THREE_DIR "/usr/share/javascript/three"
#endif

namespace ktrt_tool {

namespace {

struct ExportOptions {
    PlayInput input;
    int frames = -1;
    double fps = 0.0; // 0: the key rate of the component's KTAnimationPlayback, else 30
    std::string output;
    std::string interpolation = "step"; // step: the frames of update(); linear: the keys by time
    CrossfadeOptions crossfade;
};

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The file name of `path` without its folders.
std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file name of `path` without folders and extension: the clip's name.
std::string stem(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The key rate that the component's KTAnimationPlayback node gives, or 0
// when the component has none.
double worldKeyRate(KTComponent& component) {
    const std::vector<KTAnimationPlayback*> nodes =
        KTWorldAnimations::findPlaybackNodesOf(&component);
    return nodes.empty() ? 0.0 : nodes.front()->keyRate.getValue();
}

// What the export made: the model, its frame count and rate, and the names
// of the component and the clip.
struct ExportResult {
    tinygltf::Model model;
    int frames = 0;
    double fps = 30.0;
    std::string component;
    std::string clip;
};

// The key rate of a world's KTAnimationPlayback node when --fps is not
// given and the node's rate is within the limits, else 30.
double exportRate(const ExportOptions& options, KTComponent& component) {
    if (options.fps > 0.0)
        return options.fps;
    const double keyRate = worldKeyRate(component);
    return keyRate >= OptionLimits::minRate && keyRate <= OptionLimits::maxRate ? keyRate : 30.0;
}

// Fades from the animation to the one of --crossfade, both sampled by time
// at FPS keys per second (STEP or LINEAR, LOOP, speed 1), and builds the
// model with one clip of the faded poses: the rows of `ktrt play` with
// --key-rate FPS --rate FPS.
int exportCrossfade(const char* tool, const ExportOptions& options, ExportResult& result) {
    Crossfade crossfade;
    if (!crossfade.open(tool, options.input, options.crossfade, true))
        return 1;
    result.component = crossfade.session.component->getName().getString();
    result.clip = stem(options.input.animation) + "-to-" + stem(options.crossfade.animation);
    result.fps = exportRate(options, *crossfade.session.component);
    KTAnimationClip::Timing timing;
    timing.keysPerSecond = result.fps;
    const bool linear = options.interpolation == "linear";
    timing.interpolation = linear ? KTAnimationClip::LINEAR : KTAnimationClip::STEP;
    crossfade.setTiming(timing, 1.0);
    const double seconds =
        options.crossfade.at + std::max(options.crossfade.over, crossfade.getCycle(true));
    const double frames =
        options.frames >= 0 ? options.frames
                            : std::max(1.0, static_cast<double>(wholeFrames(seconds * result.fps)));
    if (!withinFrameLimit(tool, "the crossfade", frames))
        return 2;
    if (frames == 0) {
        std::cerr << tool << ": --frames 0 leaves no frame of the crossfade\n";
        return 1;
    }
    const ExportScene scene = collectExportScene(*crossfade.session.component, crossfade.parts);
    std::vector<bool> moves;
    for (unsigned int p = 0; p < crossfade.parts.size(); ++p)
        moves.push_back((crossfade.getChannels(p) & KTPose::TRANSLATION) != 0);
    PoseClip clip = samplePoses(
        [&](double time, KTPose& pose) { crossfade.poseAt(time, pose); }, crossfade.getRestPose(),
        moves, scene.partNodes, static_cast<int>(frames), result.fps,
        linear ? PoseClip::Interpolation::Linear : PoseClip::Interpolation::Step);
    clip.name = result.clip;
    result.frames = linear ? static_cast<int>(clip.times.size()) : static_cast<int>(frames);
    result.model = buildGltfModel(scene, {clip});
    return 0;
}

// Plays the animation as `ktrt play` does and builds the model of its
// component with one clip of `frames` frames. Prints why and returns 1 on
// bad input, 2 when the frames would exceed the limit, else 0.
int exportModel(const char* tool, const ExportOptions& options, ExportResult& result) {
    KTComponentLibrary::init();
    KTAnimationPlayback::initClass(); // worlds that say at what rate they play
    if (options.crossfade.requested())
        return exportCrossfade(tool, options, result);
    PlaySession session;
    if (!openPlaySession(tool, options.input, session, true))
        return 1;
    result.component = session.component->getName().getString();
    result.clip = stem(options.input.animation);
    result.fps = exportRate(options, *session.component);
    int& frames = result.frames;
    frames = options.frames >= 0 ? options.frames : cycleLength(session.animation);
    if (frames == 0) {
        std::cerr << tool << ": " << escapeBytes(options.input.animation)
                  << " has no frames to play\n";
        return 1;
    }
    const ExportScene scene = collectExportScene(*session.component, session.parts);
    if (options.interpolation == "linear") {
        KTAnimationSampler sampler(session.component, &session.animation, result.fps);
        if (!withinFrameLimit(tool, "--interpolation linear", sampler.getDuration() * result.fps,
                              "samples"))
            return 2;
        PoseClip clip = sampleKeysLinear(session.component, session.animation, session.parts,
                                         scene.partNodes, result.fps);
        clip.name = result.clip;
        frames = static_cast<int>(clip.times.size());
        result.model = buildGltfModel(scene, {clip});
        return 0;
    }
    if (!withinFrameLimit(tool, "one cycle", frames))
        return 2;
    KTAnimationInstance instance(session.component, &session.animation);
    PoseClip clip = samplePlayback(instance, session.animation, session.parts, scene.partNodes,
                                   frames, result.fps);
    clip.name = result.clip;
    result.model = buildGltfModel(scene, {clip});
    return 0;
}

// The files read: an output must not be one of them.
std::vector<std::string> inputs(const ExportOptions& options) {
    std::vector<std::string> files = {options.input.world, options.input.animation};
    if (options.crossfade.requested())
        files.push_back(options.crossfade.animation);
    return files;
}

int save(const char* tool, const std::string& path, const std::string& bytes) {
    const std::string error =
        bytes.empty() ? "tinygltf could not serialise the model" : writeFileAtomically(path, bytes);
    if (!error.empty()) {
        std::cerr << tool << ": cannot write " << escapeBytes(path) << ": " << error << '\n';
        return 1;
    }
    return 0;
}

int exportGltf(const ExportOptions& options) {
    const char* tool = "ktrt export";
    const bool binary = endsWith(options.output, ".glb");
    if (!binary && !endsWith(options.output, ".gltf")) {
        std::cerr << tool << ": " << escapeBytes(options.output)
                  << ": the output must end in .glb or .gltf\n";
        return 1;
    }
    if (!outputsAreDistinct(tool, inputs(options), {options.output}))
        return 1;
    ExportResult result;
    if (const int status = exportModel(tool, options, result))
        return status;
    return save(tool, options.output, serializeGltf(result.model, binary));
}

int preview(const ExportOptions& options) {
    const char* tool = "ktrt preview";
    if (!outputsAreDistinct(tool, inputs(options), {options.output}))
        return 1;
    ExportResult result;
    if (const int status = exportModel(tool, options, result))
        return status;
    std::string error;
    std::string title = result.component + " - " + baseName(options.input.animation);
    if (options.crossfade.requested())
        title += " to " + baseName(options.crossfade.animation);
    const std::string page = previewPage(title, serializeGltf(result.model, true), result.frames,
                                         result.fps, KTRT_THREE_DIR, error);
    if (page.empty()) {
        std::cerr << tool << ": " << error << '\n';
        return 1;
    }
    return save(tool, options.output, page);
}

CLI::App* addCommonOptions(CLI::App& app, const char* name, const char* description,
                           ExportOptions& options) {
    CLI::App* command = app.add_subcommand(name, description);
    command->add_option("world", options.input.world, "Inventor file of the world")->required();
    command->add_option("animation", options.input.animation, "Animation file")->required();
    command->add_option("-c,--component", options.input.component, "Component to animate");
    command
        ->add_option("--fps", options.fps,
                     "Rate at which the host calls update(), in frames per second, 0.001 to "
                     "10000 (default: the keyRate of the component's KTAnimationPlayback "
                     "node, else 30)")
        ->check(rateOption());
    command
        ->add_option("-n,--frames", options.frames,
                     "Frames to play, at most 1000000 (default: one full cycle)")
        ->check(frameCountOption());
    command->add_flag("--positions", options.input.positions,
                      "Also play the position keys of tracks that have any");
    command
        ->add_option("--interpolation", options.interpolation,
                     "step (default): the frames of update() as STEP samples; linear: every key "
                     "at key / FPS as a LINEAR sample, interpolated as KTAnimationPlayer plays "
                     "it (one cycle; --frames does not apply)")
        ->transform(worldSpelling())
        ->check(CLI::IsMember({"step", "linear"}));
    addCrossfadeOptions(*command, options.crossfade);
    return command;
}

} // namespace

void registerExportCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* command = addCommonOptions(
        app, "export", "Export a component's played animation as glTF 2.0", *options);
    command->footer(
        "Reads WORLD and ANIMATION as `ktrt play` does and writes the component's shapes, its "
        "animated parts as a node hierarchy and one animation: after each of FRAMES update() "
        "calls, every part's rotation (and translation when positions play) as a STEP sample at "
        "frame / FPS seconds, plus one closing sample that lets a looping player hold the last "
        "frame for 1 / FPS. OUT ending in .glb gets binary glTF, .gltf JSON with the buffer "
        "embedded. OUT must not be WORLD or ANIMATION (exit status 1); an existing OUT that is "
        "a pipe or a device is written in place. --fps beyond 0.001 to 10000, --frames beyond "
        "1000000, or a cycle of more than 1000000 frames (samples) are refused with exit "
        "status 2. " +
        std::string(crossfadeHelp) +
        " Both play by time at FPS keys a second (STEP, or LINEAR with --interpolation linear), "
        "looping; the clip holds the faded pose at every k / FPS up to FRAMES (default: the end "
        "of the fade or of B's first cycle, whichever comes later), as `ktrt play` prints them "
        "with --key-rate FPS --rate FPS.");
    command->add_option("-o,--output", options->output, "OUT.glb or OUT.gltf")->required();
    command->callback([options, &status]() { status = exportGltf(*options); });
}

void registerPreviewCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* command =
        addCommonOptions(app, "preview", "Write an HTML page that plays the export", *options);
    command->footer("Exports as `ktrt export` does and writes one self-contained HTML page (no "
                    "network needed), titled with the component and the animation, that shows "
                    "the model with three.js: orbit with the mouse, play/pause, a slider that "
                    "picks a frame and a choice of speed. The frames play at --fps frames per "
                    "second: by default the keyRate of the component's KTAnimationPlayback node "
                    "when the world has one, else 30. The limits of `ktrt export` apply, and its "
                    "--crossfade, --at and --over show a transition from ANIMATION to another "
                    "animation.");
    command->add_option("-o,--output", options->output, "PAGE.html")->required();
    command->callback([options, &status]() { status = preview(*options); });
}

} // namespace ktrt_tool
