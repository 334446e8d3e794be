// libFuzzer target of the animation file reader: every input is written to a
// temporary file, registered, and read twice into one animation (the second
// read, with a diagnostics receiver, replaces the tracks of the first).
// Whatever the bytes, a read must answer 0 or 1 and leave the animation's
// table consistent; the sanitizers catch the rest.

#include <cstddef>
#include <cstdint>

#include <ktrt/keys/KTAnimationDiagnostics.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>

#include "FuzzInput.h"

namespace {

using fuzz::check;

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
    if (!fuzz::storeInput(data, size))
        return 0;

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
