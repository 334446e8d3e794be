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

#include "common/SourceLine.h"

namespace ktrt_tool {

namespace {

// Where a file is or would be: its device and inode when it exists, else its
// folder's device and inode and its name.
struct FileIdentity {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;

    bool operator==(const FileIdentity& other) const {
        return exists == other.exists && device == other.device && inode == other.inode &&
               name == other.name;
    }
};

bool identify(const std::string& path, FileIdentity& identity) {
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        identity = FileIdentity{true, status.st_dev, status.st_ino, ""};
        return true;
    }
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (stat(folder.c_str(), &status) != 0)
        return false;
    identity = FileIdentity{false, status.st_dev, status.st_ino,
                            slash == std::string::npos ? path : path.substr(slash + 1)};
    return !identity.name.empty();
}

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

// A name beside `target` that no file has: ".NAME.XXXXXX", made as an empty
// file by mkstemp, whose descriptor goes to `descriptor`.
std::string temporaryBeside(const std::string& target, int& descriptor) {
    std::string temporary = target + ".XXXXXX";
    const std::size_t slash = target.find_last_of('/');
    temporary.insert(slash == std::string::npos ? 0 : slash + 1, ".");
    descriptor = mkstemp(temporary.data());
    return descriptor < 0 ? std::string() : temporary;
}

// An output on its way: a complete temporary file to be renamed over
// `target`, or (inPlace) an existing pipe or device to be written directly.
struct PendingOutput {
    const OutputFile* output = nullptr;
    bool inPlace = false;
    bool existed = false;
    std::string target;
    std::string temporary;
    std::string backup; // a second link to the replaced file, to undo the rename
};

std::string writeTemporary(PendingOutput& pending) {
    int descriptor = -1;
    pending.temporary = temporaryBeside(pending.target, descriptor);
    if (descriptor < 0)
        return std::strerror(errno);
    // mkstemp makes the file private; give it the mode a new file would get.
    const mode_t mask = umask(0);
    umask(mask);
    bool written = fchmod(descriptor, 0666 & ~mask) == 0 &&
                   writeAll(descriptor, pending.output->content) && fsync(descriptor) == 0;
    int error = errno;
    if (::close(descriptor) != 0 && written) {
        written = false;
        error = errno;
    }
    return written ? std::string() : std::strerror(error);
}

std::string writeInPlace(const PendingOutput& pending) {
    const int descriptor = ::open(pending.target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    const bool written = descriptor >= 0 && writeAll(descriptor, pending.output->content);
    const int error = errno;
    if (descriptor >= 0 && ::close(descriptor) != 0 && written)
        return std::strerror(errno);
    return written ? std::string() : std::strerror(error);
}

void removeTemporaries(std::vector<PendingOutput>& pending) {
    for (PendingOutput& output : pending) {
        if (!output.temporary.empty())
            std::remove(output.temporary.c_str());
        output.temporary.clear();
    }
}

} // namespace

bool sameFile(const std::string& first, const std::string& second) {
    FileIdentity a, b;
    return identify(first, a) && identify(second, b) && a == b;
}

bool outputsAreDistinct(const char* tool, const std::vector<std::string>& inputs,
                        const std::vector<std::string>& outputs) {
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        if (outputs[o] == "-")
            continue;
        for (const std::string& input : inputs) {
            if (input != "-" && sameFile(outputs[o], input)) {
                std::cerr << tool << ": the output " << escapeBytes(outputs[o]) << " is the input "
                          << escapeBytes(input) << '\n';
                return false;
            }
        }
        for (std::size_t other = 0; other < o; ++other) {
            if (outputs[other] != "-" && sameFile(outputs[o], outputs[other])) {
                std::cerr << tool << ": the outputs " << escapeBytes(outputs[other]) << " and "
                          << escapeBytes(outputs[o]) << " are the same file\n";
                return false;
            }
        }
    }
    return true;
}

std::string writeOutputs(const std::vector<OutputFile>& outputs, std::string& failedPath) {
    std::vector<PendingOutput> pending(outputs.size());
    auto fail = [&](std::size_t index, const std::string& reason) {
        removeTemporaries(pending);
        failedPath = outputs[index].path;
        return reason;
    };
    // Everything that can fail before anything is replaced: each output
    // complete in its temporary file, then the pipes and devices written.
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        PendingOutput& output = pending[i];
        output.output = &outputs[i];
        output.target = outputs[i].path;
        struct stat status {};
        if (stat(output.target.c_str(), &status) == 0) {
            if (S_ISDIR(status.st_mode))
                return fail(i, "is a directory");
            output.inPlace = !S_ISREG(status.st_mode);
            output.existed = true;
            char resolved[PATH_MAX];
            // Through a link, the file it names is replaced, not the link.
            if (!output.inPlace && realpath(output.target.c_str(), resolved))
                output.target = resolved;
        }
        if (!output.inPlace) {
            const std::string reason = writeTemporary(output);
            if (!reason.empty())
                return fail(i, reason);
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (pending[i].inPlace) {
            const std::string reason = writeInPlace(pending[i]);
            if (!reason.empty())
                return fail(i, reason);
        }
    }
    // The renames, each undone when a later one fails.
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        PendingOutput& output = pending[i];
        if (output.inPlace)
            continue;
        int descriptor = -1;
        const std::string backup =
            output.existed ? temporaryBeside(output.target, descriptor) : std::string();
        if (descriptor >= 0) {
            ::close(descriptor);
            std::remove(backup.c_str());
            if (::link(output.target.c_str(), backup.c_str()) == 0)
                output.backup = backup;
        }
        if (std::rename(output.temporary.c_str(), output.target.c_str()) != 0) {
            const std::string reason = std::strerror(errno);
            for (std::size_t done = 0; done < i; ++done) {
                PendingOutput& undone = pending[done];
                if (undone.inPlace)
                    continue;
                if (!undone.backup.empty())
                    std::rename(undone.backup.c_str(), undone.target.c_str());
                else if (!undone.existed)
                    std::remove(undone.target.c_str());
            }
            if (!output.backup.empty())
                std::remove(output.backup.c_str());
            return fail(i, reason);
        }
        output.temporary.clear();
    }
    for (const PendingOutput& output : pending) {
        if (!output.backup.empty())
            std::remove(output.backup.c_str());
    }
    return "";
}

std::string writeFileAtomically(const std::string& path, const std::string& content) {
    std::string failedPath;
    return writeOutputs({OutputFile{path, content}}, failedPath);
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
