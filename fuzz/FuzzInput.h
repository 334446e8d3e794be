#pragma once

// What the fuzz targets share: a per-process file that holds the input under
// a registered animation name, and a check that stops the run.

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include <ktrld/KTRegistryLoader.h>

namespace fuzz {

// The animation name "fuzz" stands for a file in /tmp, removed at exit.
inline const std::string& inputPath() {
    static const std::string path = [] {
        std::string made = "/tmp/ktrt-fuzz-" + std::to_string(::getpid()) + ".kta";
        KTRegistryLoader::RegisterAnimation("fuzz", made.c_str());
        std::atexit([] { std::remove(inputPath().c_str()); });
        return made;
    }();
    return path;
}

// Puts `size` bytes into the file behind the name "fuzz"; false when the file
// cannot be written.
inline bool storeInput(const void* data, std::size_t size) {
    std::FILE* file = std::fopen(inputPath().c_str(), "wb");
    if (!file)
        return false;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    return true;
}

inline void check(bool condition) {
    if (!condition)
        std::abort();
}

} // namespace fuzz
