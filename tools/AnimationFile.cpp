#include "AnimationFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <sys/stat.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/animation/KTComponentAnimation.h>

namespace ktrt_tool {

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
                   KTComponentAnimation& animation) {
    const std::string reason = unreadableReason(path);
    if (!reason.empty()) {
        std::cerr << tool << ": cannot read " << path << ": " << reason << '\n';
        return false;
    }
    KTRegistryLoader::RegisterAnimation(registryName.c_str(), path.c_str());
    if (animation.loadAnimationFromFile(registryName.c_str()))
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
