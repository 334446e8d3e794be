#include "AnimationFile.h"
#include "SourceLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include <sys/stat.h>
#include <unistd.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/animation/KTAnimationDiagnostics.h>
#include <ktrt/animation/KTComponentAnimation.h>

namespace ktrt_tool {

namespace {

// Keeps the column of the token that stopped a read, and the facts about
// the tracks read.
class ReadListener : public KTAnimationDiagnostics {
public:
    explicit ReadListener(TrackFacts* facts) : facts(facts) {}

    void report(const Report& report) override {
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
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (!file)
        return std::strerror(errno);
    struct stat status {};
    const bool directory = fstat(fileno(file), &status) == 0 && S_ISDIR(status.st_mode);
    std::fclose(file);
    return directory ? "is a directory" : "";
}

bool loadAnimation(const char* tool, const std::string& path, const std::string& registryName,
                   KTComponentAnimation& animation, TrackFacts* facts) {
    const std::string reason = unreadableReason(path);
    if (!reason.empty()) {
        std::cerr << tool << ": cannot read " << escapeBytes(path) << ": " << reason << '\n';
        return false;
    }
    KTRegistryLoader::RegisterAnimation(registryName.c_str(), path.c_str());
    ReadListener failure(facts);
    if (KTAnimationDiagnostics::loadAnimationFromFile(animation, registryName.c_str(), failure))
        return true;
    if (animation.getErrorMessage().isNull()) {
        std::cerr << tool << ": cannot read " << escapeBytes(path) << '\n';
    } else {
        std::cerr << escapeBytes(path) << ':' << animation.getLineNumber() << ':' << failure.column
                  << ": error: " << animation.getErrorMessage() << '\n'
                  << quoteLine(animation.getLineText().std(), failure.column);
    }
    return false;
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
