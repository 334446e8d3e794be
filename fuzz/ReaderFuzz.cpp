// libFuzzer target of the animation file reader: every input is written to a
// temporary file, registered, and read twice into one animation (the second
// read, with a diagnostics receiver, replaces the tracks of the first). Whatever the bytes, a read must
// answer 0 or 1 and leave the animation's table consistent; the sanitizers
// catch the rest.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include <ktrld/KTRegistryLoader.h>

#include <ktrt/animation/KTAnimationDiagnostics.h>
#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

namespace {

const std::string& inputPath() {
    static const std::string path = [] {
        std::string made = "/tmp/ktrt-reader-fuzz-" + std::to_string(::getpid()) + ".kta";
        KTRegistryLoader::RegisterAnimation("fuzz", made.c_str());
        std::atexit([] { std::remove(inputPath().c_str()); });
        return made;
    }();
    return path;
}

void check(bool condition) {
    if (!condition)
        std::abort();
}

void checkConsistent(KTComponentAnimation& animation, int result) {
    check(result == 0 || result == 1);
    check(result == 0 || animation.isLoaded() == 1);
    check(result == 0 || animation.getErrorMessage().isNull());
    const unsigned int count = animation.getNumPartAnimations();
    KTPartAnimation* sentinel = animation[count];
    check(sentinel->getNumStates() == 0);
    for (unsigned int i = 0; i < count; ++i) {
        KTPartAnimation* track = animation[i];
        check(track != sentinel);
        for (unsigned int k = 0; k < track->getNumStates(); ++k)
            check((*track)[k]->isValid() == 1);
    }
}

// Checks that every report points into the file and ends the read the way
// the result says.
class ReportChecker : public KTAnimationDiagnostics {
public:
    void report(const Report& report) override {
        check(report.line >= 0 && report.column >= 0 && (report.text || report.length == 0));
        failed = failed || report.code == readFailed;
    }
    bool failed = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(inputPath().c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    KTComponentAnimation animation;
    const int first = animation.loadAnimationFromFile("fuzz");
    checkConsistent(animation, first);
    const unsigned int count = animation.getNumPartAnimations();
    ReportChecker reports;
    const int second = KTAnimationDiagnostics::loadAnimationFromFile(animation, "fuzz", reports);
    check(second == first);
    check(reports.failed == (second == 0));
    checkConsistent(animation, second);
    // Reading the same file again can only replace tracks, never add any.
    check(animation.getNumPartAnimations() == count);
    return 0;
}
