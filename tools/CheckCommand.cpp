#include "Commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

namespace ktrt_tool {

namespace {

struct CheckOptions {
    std::vector<std::string> files;
    bool quiet = false;
};

// The reason `path` cannot be read as a file, or "" when it can. The library
// answers an unreadable file with a bare 0, so the tool looks first.
std::string unreadableReason(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file)
        return std::strerror(errno);
    struct stat status;
    const bool directory = fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode);
    std::fclose(file);
    return directory ? "is a directory" : "";
}

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
    const std::string reason = unreadableReason(path);
    if (!reason.empty()) {
        std::cerr << "ktrt check: cannot read " << path << ": " << reason << '\n';
        return false;
    }
    // A name of its own for each file, so that equal file names in different
    // folders do not clash.
    const std::string name = "ktrt-check/" + std::to_string(index) + "/" + path;
    KTRegistryLoader::RegisterAnimation(name.c_str(), path.c_str());
    KTComponentAnimation animation;
    if (animation.loadAnimationFromFile(name.c_str())) {
        if (!quiet)
            printTracks(path, animation);
        return true;
    }
    if (animation.getErrorMessage().isNull()) {
        std::cerr << "ktrt check: cannot read " << path << '\n';
        return false;
    }
    std::cerr << path << ':' << animation.getLineNumber() << ": " << animation.getErrorMessage()
              << '\n'
              << "    " << animation.getLineText() << '\n';
    return false;
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
    });
}

} // namespace ktrt_tool
