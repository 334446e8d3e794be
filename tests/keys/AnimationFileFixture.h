#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/keys/KTComponentAnimation.h>

namespace ktrt_test {

/// An animation file in the test's temporary folder, registered under a name
/// of its own for as long as the object lives.
class AnimationFile {
public:
    explicit AnimationFile(const std::string& contents) {
        static std::atomic<int> counter{0};
        const std::string id = std::to_string(counter++);
        path_ = std::filesystem::path(::testing::TempDir()) /
                ("ktrt-reader-" + std::to_string(::getpid()) + "-" + id + ".kta");
        name_ = "test-animation-" + id;
        std::ofstream(path_, std::ios::binary) << contents;
        KTRegistryLoader::RegisterAnimation(name_.c_str(), path_.string().c_str());
    }
    ~AnimationFile() { std::filesystem::remove(path_); }
    AnimationFile(const AnimationFile&) = delete;
    AnimationFile& operator=(const AnimationFile&) = delete;

    std::string path() const { return path_.string(); }
    const std::string& name() const { return name_; }
    int loadInto(KTComponentAnimation& animation) const {
        return animation.loadAnimationFromFile(name_.c_str());
    }

private:
    std::filesystem::path path_;
    std::string name_;
};

/// Reads `contents` as an animation file into `animation`.
inline int load(KTComponentAnimation& animation, const std::string& contents) {
    return AnimationFile(contents).loadInto(animation);
}

/// The file's start up to the body of a part transform named `part` (4 lines).
inline std::string openPart(const std::string& part) {
    return "KTAnimation {\n Children [\n  KTPartTransform {\n   Name \"" + part + "\"\n";
}

/// The end of a part transform opened by openPart (3 lines).
inline const char* closePart() {
    return "  }\n ]\n}\n";
}

} // namespace ktrt_test
