#pragma once

#include <CLI/CLI.hpp>

// Each subcommand of the ktrt tool registers itself on the application with
// one of these functions. The callback stores the process exit status in
// `status`.
namespace ktrt_tool {

/// `ktrt check FILE...`: reads animation files and reports their tracks or
/// their first error.
void registerCheckCommand(CLI::App& app, int& status);

/// `ktrt play WORLD ANIMATION [--component NAME] [--frames N] [--reset]`:
/// plays an animation on a component read from an Inventor file and prints
/// each frame's part poses.
void registerPlayCommand(CLI::App& app, int& status);

/// `ktrt plot ANIMATION -o FILE.svg`: draws every track's Euler angles and
/// positions against the key index as a standalone SVG chart.
void registerPlotCommand(CLI::App& app, int& status);

/// `ktrt export WORLD ANIMATION [--component NAME] [--fps N] -o OUT.glb|OUT.gltf`:
/// writes the component and its played animation as glTF 2.0.
void registerExportCommand(CLI::App& app, int& status);

/// `ktrt preview WORLD ANIMATION [--component NAME] [--fps N] -o PAGE.html`:
/// writes a self-contained HTML page that plays the export with three.js.
void registerPreviewCommand(CLI::App& app, int& status);

/// `ktrt import SOURCE -o OUT.kta [--fps N] [--animation NAME|INDEX]
/// [--world OUT.iv] [--list]`: resamples an animation read with assimp into
/// an animation file, and optionally an Inventor world to play it on.
void registerImportCommand(CLI::App& app, int& status);

} // namespace ktrt_tool
