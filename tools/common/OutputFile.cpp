#include "common/OutputFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ktrt_tool {

bool sameFile(const std::string& first, const std::string& second) {
    struct stat a {
    }, b{};
    return stat(first.c_str(), &a) == 0 && stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

namespace {

bool writeAll(int descriptor, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t wrote = ::write(descriptor, content.data() + done, content.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

} // namespace

std::string writeFileAtomically(const std::string& path, const std::string& content) {
    // Through a link, the file it names is replaced, not the link.
    std::string target = path;
    char resolved[PATH_MAX];
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        if (!S_ISREG(status.st_mode)) {
            const int descriptor = ::open(path.c_str(), O_WRONLY | O_TRUNC);
            const bool written = descriptor >= 0 && writeAll(descriptor, content);
            const int error = errno;
            if (descriptor >= 0 && ::close(descriptor) != 0 && written)
                return std::strerror(errno);
            return written ? "" : std::strerror(error);
        }
        if (realpath(path.c_str(), resolved))
            target = resolved;
    }
    std::string temporary = target + ".XXXXXX";
    const std::size_t slash = target.find_last_of('/');
    temporary.insert(slash == std::string::npos ? 0 : slash + 1, ".");
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        return std::strerror(errno);
    // mkstemp makes the file private; give it the mode a new file would get.
    const mode_t mask = umask(0);
    umask(mask);
    bool written = fchmod(descriptor, 0666 & ~mask) == 0 && writeAll(descriptor, content) &&
                   fsync(descriptor) == 0;
    int error = errno;
    if (::close(descriptor) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && std::rename(temporary.c_str(), target.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        std::remove(temporary.c_str());
        return std::strerror(error);
    }
    return "";
}

bool standardOutputWritten(const char* tool) {
    std::cout.flush();
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout.good())
        return true;
    const int error = errno;
    std::cerr << tool << ": cannot write standard output"
              << (error ? std::string(": ") + std::strerror(error) : std::string()) << '\n';
    return false;
}

} // namespace ktrt_tool
