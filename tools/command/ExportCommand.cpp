#include "command/Commands.h"
#include "common/OptionLimits.h"
#include "common/OutputFile.h"
#include "common/PlaySession.h"
#include "common/SourceLine.h"
#include "common/TimedPlayback.h"
#include "gltf/ExportScene.h"
#include "gltf/GltfModel.h"
#include "gltf/PoseClip.h"
#include "gltf/PreviewPage.h"

#include <algorithm>
#include <cmath>
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
    bool loop = false; // preview: a crossfade loops instead of playing once
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

// What the export made: the model, its frame rate, and the names of the
// component and the clip.
struct ExportResult {
    tinygltf::Model model;
    double fps = 30.0;
    std::string component;
    std::string clip;
};

// --fps, else the key rate of the component's KTAnimationPlayback node, else
// 30.
double exportRate(const ExportOptions& options, KTComponent& component) {
    if (options.fps > 0.0)
        return options.fps;
    KTAnimationClip::Timing timing;
    double speed = 1.0;
    playbackNodeTiming(component, timing, speed);
    return timing.keysPerSecond;
}

// Plays by time through the library's mixer, as `ktrt play` does with the
// same arguments: the animations the world names (no ANIMATION) or
// ANIMATION, with --crossfade fading to B. One clip holds the poses at the
// rows `ktrt play --rate FPS` prints (by default FPS is the key rate): STEP
// samples with a closing one, or LINEAR samples.
int exportByTime(const char* tool, const ExportOptions& options, ExportResult& result) {
    TimedPlayback playback;
    if (options.input.animation.empty()) {
        if (options.frames >= 0) {
            std::cerr << tool
                      << ": --frames counts the update() calls of ANIMATION; the "
                         "animations a world names play by time\n";
            return 2;
        }
        if (const int status = playback.openWorld(tool, options.input))
            return status;
    } else if (!playback.openAnimation(tool, options.input, true)) {
        return 1;
    }
    if (options.crossfade.requested() &&
        !playback.addCrossfade(tool, options.crossfade, options.input.positions))
        return 1;
    result.component = playback.getComponent()->getName().getString();
    result.clip =
        stem(options.input.animation.empty() ? options.input.world : options.input.animation);
    if (options.crossfade.requested())
        result.clip += "-to-" + stem(options.crossfade.animation);
    result.fps = options.fps > 0.0 ? options.fps : playback.getKeyRate();
    const double duration = playback.getDefaultDuration();
    if (!std::isfinite(duration)) {
        std::cerr << tool << ": at speed " << playback.getSpeed() << " a cycle never ends\n";
        return 1;
    }
    const char* what = options.crossfade.requested() ? "the crossfade" : "one cycle";
    if (!withinFrameLimit(tool, what, static_cast<double>(wholeFrames(duration * result.fps) + 1)))
        return 2;
    const std::vector<double> times = playback.timesAt(result.fps, duration);
    const ExportScene scene = collectExportScene(*playback.getComponent(), playback.getParts());
    const bool linear = options.interpolation == "linear";
    PoseClip clip =
        samplePoses(playback, scene.partNodes, times, 1.0 / result.fps,
                    linear ? PoseClip::Interpolation::Linear : PoseClip::Interpolation::Step);
    clip.name = result.clip;
    result.model = buildGltfModel(scene, {clip});
    return 0;
}

// Plays the animation as `ktrt play` does and builds the model of its
// component with one clip of `frames` frames. Prints why and returns 1 on
// bad input, 2 when the frames would exceed the limit, else 0.
int exportModel(const char* tool, const ExportOptions& options, ExportResult& result) {
    KTComponentLibrary::init();
    KTAnimationPlayback::initClass(); // worlds that say at what rate they play
    if (options.crossfade.requested() || options.input.animation.empty())
        return exportByTime(tool, options, result);
    PlaySession session;
    if (!openPlaySession(tool, options.input, session, true))
        return 1;
    result.component = session.component->getName().getString();
    result.clip = stem(options.input.animation);
    result.fps = exportRate(options, *session.component);
    const int frames = options.frames >= 0 ? options.frames : cycleLength(session.animation);
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
    std::vector<std::string> files = {options.input.world};
    if (!options.input.animation.empty())
        files.push_back(options.input.animation);
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
    std::string title =
        result.component + " - " +
        baseName(options.input.animation.empty() ? options.input.world : options.input.animation);
    if (options.crossfade.requested())
        title += " to " + baseName(options.crossfade.animation);
    const std::string page = previewPage(title, serializeGltf(result.model, true), result.fps,
                                         options.loop, KTRT_THREE_DIR, error);
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
    command->add_option("animation", options.input.animation,
                        "Animation file (default: the animations the world's KTAnimationPlayback "
                        "nodes name, layered)");
    command->add_option("-c,--component", options.input.component, "Component to animate");
    command
        ->add_option("--fps", options.fps,
                     "Rate at which the host calls update(), in frames per second, 0.001 to "
                     "10000 (default: the keyRate of the component's KTAnimationPlayback "
                     "node, else 30)")
        ->check(rateOption());
    CLI::Option* frames =
        command
            ->add_option("-n,--frames", options.frames,
                         "update() calls of ANIMATION to export, at most 1000000 (default: one "
                         "full cycle)")
            ->check(frameCountOption());
    command->add_flag("--positions", options.input.positions,
                      "Also play the position keys of tracks that have any");
    command
        ->add_option("--interpolation", options.interpolation,
                     "step (default): the frames of update() as STEP samples; linear: every key "
                     "at key / FPS as a LINEAR sample, interpolated as KTAnimationPlayer plays "
                     "it (one cycle; --frames does not apply); by time (a world's layers, "
                     "--crossfade): the rows as STEP or LINEAR samples")
        ->transform(worldSpelling())
        ->check(CLI::IsMember({"step", "linear"}));
    // A crossfade plays by time; --frames counts update() calls.
    addCrossfadeOptions(*command, options.crossfade)->excludes(frames);
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
        "status 2. Without ANIMATION, or with --crossfade, it plays by time through the "
        "library's mixer as `ktrt play` does with the same arguments: the animations the world's "
        "KTAnimationPlayback nodes name, layered, or ANIMATION with the settings of the "
        "component's node; the clip holds the pose at every row that `ktrt play --rate FPS` "
        "prints (FPS by default the key rate, the play's own default), as STEP samples with a "
        "closing one, or LINEAR samples with --interpolation linear. " +
        std::string(crossfadeHelp) +
        " The clip ends at the end of the fade or of B's first cycle, whichever comes later, and "
        "carries B's weight at each sample in its extras (ktrtFade, ktrtFadeStart, "
        "ktrtFadeEnd).");
    command->add_option("-o,--output", options->output, "OUT.glb or OUT.gltf")->required();
    command->callback([options, &status]() { status = exportGltf(*options); });
}

void registerPreviewCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* command =
        addCommonOptions(app, "preview", "Write an HTML page that plays the export", *options);
    command->footer("Exports as `ktrt export` does and writes one self-contained HTML page (no "
                    "network needed), titled with the component and the animation, that shows "
                    "the model with three.js: orbit with the mouse, play/pause, a time slider "
                    "with the time in seconds, and a choice of speed. The limits and defaults of "
                    "`ktrt export` apply. With --crossfade, --at and --over the page shows B's "
                    "weight (fade), marks the fade on the slider and plays the crossfade once "
                    "(--loop: over and over); anything else loops.");
    command->add_flag("--loop", options->loop, "Play a crossfade over and over");
    command->add_option("-o,--output", options->output, "PAGE.html")->required();
    command->callback([options, &status]() { status = preview(*options); });
}

} // namespace ktrt_tool
