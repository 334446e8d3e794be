#include "common/AnimationFile.h"
#include "common/AnimationChecker.h"
#include "common/CheckReport.h"
#include "common/SourceLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/keys/KTAnimationDiagnostics.h>
#include <ktrt/keys/KTComponentAnimation.h>

namespace ktrt_tool {

namespace {

// Keeps the column of the token that stopped a read and the facts about the
// tracks read, and checks the file as `ktrt check` does.
class ReadListener : public AnimationChecker {
public:
    explicit ReadListener(TrackFacts* facts) : AnimationChecker(true), facts(facts) {}

    void report(const Report& report) override {
        AnimationChecker::report(report);
        if (report.code == readFailed)
            column = report.column;
        if (!facts || (report.code != trackStored && report.code != positionsNotPlayed))
            return;
        // A track's name ends at a NUL byte of its part name.
        const std::string name(report.text, strnlen(report.text, report.length));
        if (report.code == positionsNotPlayed) {
            positionsOf = name;
            return;
        }
        // The stored track replaces any earlier one of its name.
        if (positionsOf == name)
            facts->withPositions.insert(name);
        else
            facts->withPositions.erase(name);
        positionsOf.clear();
        auto& order = facts->fileOrder;
        order.erase(std::remove(order.begin(), order.end(), name), order.end());
        order.push_back(name);
    }

    int column = 0;

private:
    TrackFacts* facts;
    std::string positionsOf; // the track whose position keys were just reported
};

} // namespace

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

} // namespace

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

bool loadAnimation(const char* tool, const std::string& path, const std::string& registryName,
                   KTComponentAnimation& animation, TrackFacts* facts,
                   const std::function<void()>& beforeError) {
    std::string reason = unreadableReason(path);
    std::string copyPath;
    if (reason.empty())
        reason = prepareInput(path, copyPath);
    if (!reason.empty()) {
        if (beforeError)
            beforeError();
        if (!copyPath.empty())
            std::remove(copyPath.c_str());
        // A line number leads the reason when a line was too long.
        const bool atLine = reason[0] >= '0' && reason[0] <= '9';
        if (atLine)
            std::cerr << escapeBytes(path) << ':' << reason << '\n';
        else
            std::cerr << tool << ": cannot read " << escapeBytes(path) << ": " << reason << '\n';
        return false;
    }
    KTRegistryLoader::RegisterAnimation(registryName.c_str(),
                                        copyPath.empty() ? path.c_str() : copyPath.c_str());
    ReadListener failure(facts);
    const int loaded =
        KTAnimationDiagnostics::loadAnimationFromFile(animation, registryName.c_str(), failure);
    const std::string readPath = copyPath.empty() ? path : copyPath;
    bool ok = loaded != 0;
    if (!loaded && beforeError)
        beforeError();
    if (!loaded && animation.getErrorMessage().isNull()) {
        std::cerr << tool << ": cannot read " << escapeBytes(path) << '\n';
    } else if (!loaded) {
        std::cerr << escapeBytes(path) << ':' << animation.getLineNumber() << ':' << failure.column
                  << ": error: " << animation.getErrorMessage() << '\n'
                  << quoteLine(animation.getLineText().std(), failure.column);
    } else {
        failure.checkKeyLists(readPath);
        failure.sortByPlace();
        FileResult shown;
        shown.name = path;
        if (animation.getNumPartAnimations() == 0) {
            // Nothing to play: an empty file, another format, a misspelt
            // keyword. The checker's first error says which.
            const auto error =
                std::find_if(failure.issues.begin(), failure.issues.end(),
                             [](const Issue& issue) { return issue.severity == Severity::error; });
            if (beforeError)
                beforeError();
            if (error == failure.issues.end())
                std::cerr << tool << ": " << escapeBytes(path) << " holds no tracks\n";
            else
                shown.issues.push_back(*error);
            ok = false;
        } else {
            // What the lenient reader dropped without failing (a cut-off end,
            // numbers that are not finite) and Key lists that do not play as
            // written.
            for (const Issue& issue : failure.issues) {
                if (issue.code == "OPEN_AT_END" || issue.code == "NON_FINITE_NUMBER" ||
                    issue.code.compare(0, 4, "KEY_") == 0)
                    shown.issues.push_back(issue);
            }
        }
        printText(shown, readPath, true);
    }
    if (!copyPath.empty())
        std::remove(copyPath.c_str());
    return ok;
}

std::string copyStandardInput() {
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder && *folder ? folder : "/tmp") + "/ktrt-stdin-XXXXXX";
    const int descriptor = ::mkstemp(path.data());
    if (descriptor < 0)
        return "";
    std::FILE* out = ::fdopen(descriptor, "wb");
    if (!out) {
        ::close(descriptor);
        std::remove(path.c_str());
        return "";
    }
    char buffer[65536];
    bool ok = true;
    std::size_t read;
    while ((read = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
        ok = ok && std::fwrite(buffer, 1, read, out) == read;
    ok = ok && !std::ferror(stdin);
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::remove(path.c_str());
        return "";
    }
    return path;
}

} // namespace ktrt_tool
