#include "command/Commands.h"
#include "gltf/ExportScene.h"
#include "gltf/GltfModel.h"
#include "common/PlaySession.h"
#include "gltf/PoseClip.h"
#include "gltf/PreviewPage.h"

#include <iostream>
#include <memory>
#include <string>

#include <ktrt/animation/KTAnimationInstance.h>

#ifndef KTRT_THREE_DIR
#define KTRT_THREE_DIR "/usr/share/javascript/three"
#endif

namespace ktrt_tool {

namespace {

struct ExportOptions {
    PlayInput input;
    int frames = -1;
    double fps = 30.0;
    std::string output;
    std::string interpolation = "step"; // step: the frames of update(); linear: the keys by time
};

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The file name of `path` without folders and extension: the clip's name.
std::string stem(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Plays the animation as `ktrt play` does and builds the model of its
// component with one clip of `frames` frames. Prints why and returns false
// on bad input.
bool exportModel(const char* tool, const ExportOptions& options, tinygltf::Model& model,
                 int& frames) {
    PlaySession session;
    if (!openPlaySession(tool, options.input, session, true))
        return false;
    frames = options.frames >= 0 ? options.frames : cycleLength(session.animation);
    if (frames == 0) {
        std::cerr << tool << ": " << options.input.animation << " has no frames to play\n";
        return false;
    }
    const ExportScene scene = collectExportScene(*session.component, session.parts);
    if (options.interpolation == "linear") {
        PoseClip clip = sampleKeysLinear(session.component, session.animation, session.parts,
                                         scene.partNodes, options.fps);
        clip.name = stem(options.input.animation);
        frames = static_cast<int>(clip.times.size());
        model = buildGltfModel(scene, {clip});
        return true;
    }
    KTAnimationInstance instance(session.component, &session.animation);
    PoseClip clip = samplePlayback(instance, session.animation, session.parts, scene.partNodes,
                                   frames, options.fps);
    clip.name = stem(options.input.animation);
    model = buildGltfModel(scene, {clip});
    return true;
}

bool save(const char* tool, const std::string& path, const std::string& bytes) {
    std::string error;
    if (bytes.empty())
        error = "tinygltf could not serialise the model";
    if (!error.empty() || !writeWholeFile(path, bytes, error)) {
        std::cerr << tool << ": cannot write " << path << ": " << error << '\n';
        return false;
    }
    return true;
}

int exportGltf(const ExportOptions& options) {
    const char* tool = "ktrt export";
    const bool binary = endsWith(options.output, ".glb");
    if (!binary && !endsWith(options.output, ".gltf")) {
        std::cerr << tool << ": " << options.output << ": the output must end in .glb or .gltf\n";
        return 1;
    }
    tinygltf::Model model;
    int frames = 0;
    if (!exportModel(tool, options, model, frames))
        return 1;
    return save(tool, options.output, serializeGltf(model, binary)) ? 0 : 1;
}

int preview(const ExportOptions& options) {
    const char* tool = "ktrt preview";
    tinygltf::Model model;
    int frames = 0;
    if (!exportModel(tool, options, model, frames))
        return 1;
    std::string error;
    const std::string page =
        previewPage(stem(options.input.world) + " - " + stem(options.input.animation),
                    serializeGltf(model, true), frames, options.fps, KTRT_THREE_DIR, error);
    if (page.empty()) {
        std::cerr << tool << ": " << error << '\n';
        return 1;
    }
    return save(tool, options.output, page) ? 0 : 1;
}

CLI::App* addCommonOptions(CLI::App& app, const char* name, const char* description,
                           ExportOptions& options) {
    CLI::App* command = app.add_subcommand(name, description);
    command->add_option("world", options.input.world, "Inventor file of the world")->required();
    command->add_option("animation", options.input.animation, "Animation file")->required();
    command->add_option("-c,--component", options.input.component, "Component to animate");
    command
        ->add_option("--fps", options.fps,
                     "Rate at which the host calls update(), in frames per second (default 30)")
        ->check(CLI::PositiveNumber);
    command->add_option("-n,--frames", options.frames, "Frames to play (default: one full cycle)")
        ->check(CLI::NonNegativeNumber);
    command->add_flag("--positions", options.input.positions,
                      "Also play the position keys of tracks that have any");
    command
        ->add_option("--interpolation", options.interpolation,
                     "step (default): the frames of update() as STEP samples; linear: every key "
                     "at key / FPS as a LINEAR sample, interpolated as KTAnimationPlayer plays "
                     "it (one cycle; --frames does not apply)")
        ->check(CLI::IsMember({"step", "linear"}));
    return command;
}

} // namespace

void registerExportCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* command = addCommonOptions(
        app, "export", "Export a component and its played animation as glTF 2.0", *options);
    command->footer(
        "Reads WORLD and ANIMATION as `ktrt play` does and writes the component's shapes, its "
        "animated parts as a node hierarchy and one animation: after each of FRAMES update() "
        "calls, every part's rotation (and translation when positions play) as a STEP sample at "
        "frame / FPS seconds, plus one closing sample that lets a looping player hold the last "
        "frame for 1 / FPS. OUT ending in .glb gets binary glTF, .gltf JSON with the buffer "
        "embedded.");
    command->add_option("-o,--output", options->output, "OUT.glb or OUT.gltf")->required();
    command->callback([options, &status]() { status = exportGltf(*options); });
}

void registerPreviewCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<ExportOptions>();
    CLI::App* command =
        addCommonOptions(app, "preview", "Write an HTML page that plays the export", *options);
    command->footer("Exports as `ktrt export` does and writes one self-contained HTML page (no "
                    "network needed) that shows the model with three.js: orbit with the mouse, "
                    "play/pause, and a slider that picks a frame.");
    command->add_option("-o,--output", options->output, "PAGE.html")->required();
    command->callback([options, &status]() { status = preview(*options); });
}

} // namespace ktrt_tool
