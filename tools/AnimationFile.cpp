#include "AnimationFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/animation/KTComponentAnimation.h>

namespace ktrt_tool {

std::string unreadableReason(const std::string& path) {
    // stat rather than open: opening a pipe waits for its writer.
    struct stat status {};
    if (stat(path.c_str(), &status) != 0)
        return std::strerror(errno);
    if (S_ISDIR(status.st_mode))
        return "is a directory";
    if (!S_ISREG(status.st_mode) && !S_ISFIFO(status.st_mode))
        return "is not a regular file or a pipe";
    if (access(path.c_str(), R_OK) != 0)
        return std::strerror(errno);
    return "";
}

namespace {

// The reader keeps a whole line in memory; a file without line ends (or a
// pipe that never ends) would take all of it.
constexpr std::size_t longestLine = std::size_t(16) << 20;
constexpr std::size_t largestPipe = std::size_t(256) << 20;

// Reads `in` to its end, copying it to `copy` when given. Returns "" or why
// the input is refused, naming the line.
std::string scanLines(std::FILE* in, std::FILE* copy) {
    std::vector<char> buffer(std::size_t(1) << 16);
    std::size_t line = 1, lineLength = 0, total = 0, got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0) {
        total += got;
        if (copy && (total > largestPipe || std::fwrite(buffer.data(), 1, got, copy) != got))
            return total > largestPipe ? "input larger than 256 MiB" : std::strerror(errno);
        for (std::size_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n') {
                ++line;
                lineLength = 0;
            } else if (++lineLength > longestLine) {
                return std::to_string(line) + ": line longer than 16 MiB";
            }
        }
    }
    return std::ferror(in) ? std::strerror(errno) : "";
}

// Checks the line lengths of `path`. A pipe can be read only once, so it is
// copied to a temporary file on the way, whose name goes into `copyPath`
// (the caller removes it). Returns "" or why the input is refused.
std::string prepareInput(const std::string& path, std::string& copyPath) {
    struct stat status {};
    const bool pipe = stat(path.c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return std::strerror(errno);
    std::FILE* copy = nullptr;
    if (pipe) {
        const char* folder = std::getenv("TMPDIR");
        std::string name = std::string(folder && *folder ? folder : "/tmp") + "/ktrt-XXXXXX";
        const int descriptor = mkstemp(name.data());
        if (descriptor < 0 || !(copy = fdopen(descriptor, "wb"))) {
            std::fclose(in);
            return std::string("cannot copy the pipe: ") + std::strerror(errno);
        }
        copyPath = name;
    }
    std::string problem = scanLines(in, copy);
    std::fclose(in);
    if (copy && std::fclose(copy) != 0 && problem.empty())
        problem = std::string("cannot copy the pipe: ") + std::strerror(errno);
    return problem;
}

} // namespace

bool loadAnimation(const char* tool, const std::string& path, const std::string& registryName,
                   KTComponentAnimation& animation) {
    std::string reason = unreadableReason(path);
    std::string copyPath;
    if (reason.empty())
        reason = prepareInput(path, copyPath);
    if (!reason.empty()) {
        if (!copyPath.empty())
            std::remove(copyPath.c_str());
        // A line number leads the reason when a line was too long.
        const bool atLine = reason[0] >= '0' && reason[0] <= '9';
        if (atLine)
            std::cerr << path << ':' << reason << '\n';
        else
            std::cerr << tool << ": cannot read " << path << ": " << reason << '\n';
        return false;
    }
    KTRegistryLoader::RegisterAnimation(registryName.c_str(),
                                        copyPath.empty() ? path.c_str() : copyPath.c_str());
    const int loaded = animation.loadAnimationFromFile(registryName.c_str());
    if (!copyPath.empty())
        std::remove(copyPath.c_str());
    if (loaded)
        return true;
    if (animation.getErrorMessage().isNull()) {
        std::cerr << tool << ": cannot read " << path << '\n';
    } else {
        std::cerr << path << ':' << animation.getLineNumber() << ": " << animation.getErrorMessage()
                  << '\n'
                  << "    " << animation.getLineText() << '\n';
    }
    return false;
}

} // namespace ktrt_tool
