#include "command/Commands.h"
#include "common/AnimationChecker.h"
#include "common/AnimationFile.h"
#include "common/CheckReport.h"
#include "common/OutputFile.h"
#include "common/SourceLine.h"
#include "common/WorldChecker.h"
#include "common/WorldFile.h"
#include "common/WorldLayers.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/KTComponentLibrary.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/keys/KTAnimationDiagnostics.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/world/KTAnimationPlayback.h>
#include <ktrt/world/KTWorldAnimations.h>

namespace ktrt_tool {

namespace {

struct CheckOptions {
    std::vector<std::string> files;
    std::string world;
    std::string component;
    bool quiet = false;
    bool strict = false;
    bool json = false;
    bool positions = false;
};

// Reads one file through the registry, as a host would, with the checker
// listening.
FileResult checkFile(const std::string& path, const std::string& shownName, std::size_t index,
                     const CheckOptions& options, KTComponentDB* world,
                     const std::string& componentName, bool positions) {
    FileResult result;
    result.name = shownName;
    result.reason = unreadableReason(path);
    if (result.reason.empty())
        result.reason = prepareInput(path, result.copyPath);
    if (!result.reason.empty()) {
        result.readable = false;
        return result;
    }
    const std::string& readPath = result.copyPath.empty() ? path : result.copyPath;
    // A name of its own for each file, so that equal file names in different
    // folders do not clash.
    const std::string name = "ktrt-check/" + std::to_string(index) + "/" + path;
    KTRegistryLoader::RegisterAnimation(name.c_str(), readPath.c_str());
    KTComponentAnimation animation;
    AnimationChecker checker(positions);
    const int read =
        KTAnimationDiagnostics::loadAnimationFromFile(animation, name.c_str(), checker);
    if (!read && animation.getErrorMessage().isNull()) {
        result.readable = false;
        result.reason = "cannot open";
        return result;
    }
    if (read) {
        KTComponent* component = nullptr;
        if (world)
            component = componentName.empty() ? world->getComponent(0u)
                                              : world->getComponent(componentName.c_str());
        // The tracks as the host plays them: with --positions, those whose
        // positions move play them.
        if (positions)
            KTWorldAnimations::usePositionKeys(animation);
        checker.checkTracks(animation, component);
        checker.checkKeyLists(readPath);
    }
    checker.explainKeyCountMismatch(readPath);
    checker.sortByPlace();
    if (options.strict) {
        for (Issue& issue : checker.issues) {
            if (issue.severity == Severity::warning)
                issue.severity = Severity::error;
        }
    }
    result.issues = std::move(checker.issues);
    result.truncated = checker.truncated;
    // Tracks in file order.
    for (const std::string& trackName : checker.trackOrder) {
        KTPartAnimation* track = nullptr;
        if (!animation.getPartAnimation(trackName.c_str(), track))
            continue;
        const unsigned int keys = track->getNumStates();
        result.trackKeys.emplace_back(trackName, keys);
        result.tracks.push_back("\"" + escapeBytes(trackName) + "\": " + std::to_string(keys) +
                                (keys == 1 ? " key" : " keys") + ", useOrientations " +
                                std::to_string(track->useOrientations()) + ", usePositions " +
                                std::to_string(track->usePositions()));
    }
    return result;
}

// A file to check, the name it is shown by, the component of the world whose
// parts its tracks should name ("": --component, else the first) and whether
// the host plays its position keys.
struct Input {
    std::string path;
    std::string shown;
    std::string component;
    bool positions;
};

int check(const CheckOptions& options) {
    if (options.files.empty() && options.world.empty()) {
        std::cerr << "ktrt: files is required (or --world)\nRun 'ktrt check --help' for usage.\n";
        return 2;
    }
    int status = 0;
    std::vector<FileResult> results;
    std::vector<Input> inputs;
    std::unique_ptr<KTComponentDB> world;
    if (!options.world.empty()) {
        KTComponentLibrary::init();
        KTAnimationPlayback::initClass();
        world = std::make_unique<KTComponentDB>();
        // The world's findings come first, as a file of their own.
        FileResult worldResult;
        worldResult.name = options.world;
        // The animations its playback nodes name, each checked once as a
        // file of its own against the node's component.
        std::vector<PlaybackText> playbacks;
        const bool read =
            readWorld("ktrt check", options.world, *world, &worldResult.issues, &playbacks);
        for (const PlaybackText& playback : playbacks) {
            if (playback.animation.empty())
                continue;
            const std::string path = animationBesideWorld(options.world, playback.animation);
            if (path.empty()) {
                worldResult.issues.push_back(missingAnimation(options.world, playback));
            } else if (std::none_of(inputs.begin(), inputs.end(),
                                    [&](const Input& input) { return input.path == path; })) {
                inputs.push_back(
                    Input{path, path, playback.component, options.positions || playback.positions});
            }
        }
        std::stable_sort(worldResult.issues.begin(), worldResult.issues.end(),
                         [](const Issue& a, const Issue& b) {
                             return std::make_pair(a.line, a.column) <
                                    std::make_pair(b.line, b.column);
                         });
        if (!options.json)
            printText(worldResult, options.world, true);
        status = errorCount(worldResult) > 0 ? 1 : 0;
        results.push_back(std::move(worldResult));
        if (!read) {
            if (options.json)
                printJson(results);
            return 1;
        }
        if (!options.component.empty() && !world->getComponent(options.component.c_str())) {
            std::cerr << "ktrt check: " << escapeBytes(options.world)
                      << " has no component named \"" << escapeBytes(options.component) << "\"\n";
            if (options.json)
                printJson(results);
            return 1;
        }
    }
    for (const std::string& file : options.files)
        inputs.push_back(
            Input{file, file == "-" ? "<stdin>" : file, options.component, options.positions});

    for (std::size_t i = 0; i < inputs.size(); ++i) {
        std::string path = inputs[i].path;
        const bool standardInput = path == "-";
        if (standardInput) {
            path = copyStandardInput();
            if (path.empty()) {
                std::cerr << "ktrt check: cannot read standard input\n";
                status = 1;
                continue;
            }
        }
        FileResult result = checkFile(path, inputs[i].shown, i, options, world.get(),
                                      inputs[i].component, inputs[i].positions);
        if (!options.json)
            printText(result, result.copyPath.empty() ? path : result.copyPath, options.quiet);
        if (!result.copyPath.empty())
            std::remove(result.copyPath.c_str());
        if (standardInput)
            std::remove(path.c_str());
        if (errorCount(result) > 0)
            status = 1;
        results.push_back(std::move(result));
    }
    if (options.json)
        printJson(results);
    if (!standardOutputWritten("ktrt check"))
        status = 1;
    return status;
}

} // namespace

void registerCheckCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* command = app.add_subcommand("check", "Check animation files and worlds");
    command->footer(
        "Reads each FILE as the library does and reports, as FILE:LINE:COLUMN: error|warning|note: "
        "MESSAGE on standard error, what the lenient reader ignores or drops: no animation, "
        "constructs open at the end (a cut-off file), unknown words, replaced tracks, numbers "
        "that are not finite, keys more than half a turn apart, Key lists that do not increase "
        "or leave 0 to 1, tracks of different lengths, position keys that do not play (a note) "
        "and more. With --world, the world comes first: misspelt or wrongly typed fields, and "
        "in KTAnimationPlayback nodes weights that are negative or not finite, unknown blend, "
        "wrap and interpolation names, parts the component lacks and animations missing "
        "beside the world file (NAME or NAME.kta in its folder); then each animation the nodes "
        "name, and the FILEs, which may be left out. A FILE of - is standard input. Valid files "
        "are listed with their tracks on standard output. Exit status: 0 without errors, 1 when "
        "any file has an error (with --strict: or a warning), 2 for a usage error.");
    command->add_option("files", options->files,
                        "Animation files to check (- for standard input); optional with "
                        "--world, whose KTAnimationPlayback nodes name their own");
    command->add_option("--world", options->world,
                        "Inventor world whose component the animation is for; its playback "
                        "nodes and the animations they name (found beside the world file) are "
                        "checked too");
    command->add_option("-c,--component", options->component,
                        "Component of --world (default: the first in the file)");
    command->add_flag("--strict", options->strict, "Treat warnings as errors");
    command->add_flag("--json", options->json,
                      "Write a machine-readable report on standard output instead");
    command->add_flag("--positions", options->positions,
                      "The host plays position keys: no note about them, and list them as played");
    command->add_flag("-q,--quiet", options->quiet, "Do not list the tracks of valid files");
    command->callback([options, &status]() { status = check(*options); });
}

} // namespace ktrt_tool
