#include "Commands.h"
#include "AnimationFile.h"
#include "OutputFile.h"

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

namespace ktrt_tool {

namespace {

struct CheckOptions {
    std::vector<std::string> files;
    bool quiet = false;
};

void printTracks(const std::string& path, KTComponentAnimation& animation) {
    const unsigned int count = animation.getNumPartAnimations();
    std::cout << path << ": valid, " << count << (count == 1 ? " track" : " tracks") << '\n';
    for (unsigned int i = 0; i < count; ++i) {
        KTPartAnimation* track = animation[i];
        std::cout << "  \"" << track->getPartName() << "\": " << track->getNumStates()
                  << (track->getNumStates() == 1 ? " key" : " keys") << ", useOrientations "
                  << track->useOrientations() << ", usePositions " << track->usePositions() << '\n';
    }
}

// Reads one file through the registry, as a host would. True when it is valid.
bool checkFile(const std::string& path, std::size_t index, bool quiet) {
    // A name of its own for each file, so that equal file names in different
    // folders do not clash.
    const std::string name = "ktrt-check/" + std::to_string(index) + "/" + path;
    KTComponentAnimation animation;
    if (!loadAnimation("ktrt check", path, name, animation))
        return false;
    if (!quiet)
        printTracks(path, animation);
    return true;
}

} // namespace

void registerCheckCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* check =
        app.add_subcommand("check", "Read animation files and report their tracks or first error");
    check->footer("Each valid file is listed with its tracks: part name, number of keys and the "
                  "two playback flags. A file with an error gets FILE:LINE: MESSAGE and the "
                  "offending line on standard error. The exit status is 1 when any file fails.");
    check->add_option("files", options->files, "Animation files to read")->required();
    check->add_flag("-q,--quiet", options->quiet, "Report failures only");
    check->callback([options, &status]() {
        for (std::size_t i = 0; i < options->files.size(); ++i) {
            if (!checkFile(options->files[i], i, options->quiet))
                status = 1;
        }
        if (!standardOutputWritten("ktrt check"))
            status = 1;
    });
}

} // namespace ktrt_tool
