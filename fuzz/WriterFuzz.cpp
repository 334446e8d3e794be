// libFuzzer target of the animation writer: every input that the reader
// accepts is written, read again and written again. The second reading must
// give the same animation (the same tracks in the same order, names, flags,
// key counts, key values, positions and orientations bit for bit), nothing
// is inexact, since every key goes out with the numbers it was read from,
// and the two writings are the same bytes. Then every key of a turning track
// is given its angles one unit in the last place off, which makes it forget
// its numbers: written as the nearest axis and angle, the orientations that
// read back otherwise are exactly the ones the writer counts as inexact.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTAnimationWriter.h>
#include <ktrt/keys/KTAxisAngle.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>

#include "FuzzInput.h"

namespace {

using fuzz::check;

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

int read(const char* data, std::size_t size, KTComponentAnimation& animation) {
    if (!fuzz::storeInput(data, size))
        return -1;
    return animation.loadAnimationFromFile("fuzz");
}

// Gives every key of a turning track angles one unit in the last place off
// its own, which it then remembers no numbers for.
void forgetNumbers(KTComponentAnimation& animation) {
    for (unsigned int t = 0; t < animation.getNumPartAnimations(); ++t) {
        KTPartAnimation& track = *animation[t];
        for (unsigned int k = 0; k < track.getNumStates() && track.useOrientations(); ++k) {
            const KTAngle a = track[k]->getOrientation();
            track[k]->setOrientation(KTAngle(std::nextafter(a[0], 1e9), a[1], a[2]));
            KTAxisAngle ignored;
            check(track[k]->getAxisAngle(ignored) == 0);
        }
    }
}

// Number of orientations that differ; everything else must be equal.
unsigned int compare(KTComponentAnimation& a, KTComponentAnimation& b) {
    unsigned int differing = 0;
    check(a.getNumPartAnimations() == b.getNumPartAnimations());
    for (unsigned int t = 0; t < a.getNumPartAnimations(); ++t) {
        KTPartAnimation& x = *a[t];
        KTPartAnimation& y = *b[t];
        check(x.getPartName() == y.getPartName());
        check(x.useOrientations() == y.useOrientations() && x.usePositions() == y.usePositions());
        check(x.getNumStates() == y.getNumStates());
        for (unsigned int k = 0; k < x.getNumStates(); ++k) {
            check(sameBits(x[k]->getKey(), y[k]->getKey()));
            for (unsigned int i = 0; i < 3; ++i)
                check(sameBits(x[k]->getPosition()[i], y[k]->getPosition()[i]));
            bool same = true;
            for (unsigned int i = 0; i < 3; ++i)
                same = same && sameBits(x[k]->getOrientation()[i], y[k]->getOrientation()[i]);
            differing += same ? 0 : 1;
        }
    }
    return differing;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    KTComponentAnimation first;
    if (read(reinterpret_cast<const char*>(data), size, first) != 1)
        return 0;
    KTAnimationWriter writer;
    std::string written;
    if (!writer.write(first, written)) {
        // Only names the file cannot carry are refused: a separator in the
        // name, or a zero byte, which leaves the track a shorter name than
        // the one it is filed under.
        const char* message = writer.getErrorMessage().data();
        check(std::strstr(message, "the name holds") != nullptr ||
              std::strstr(message, "read back under another name") != nullptr);
        return 0;
    }
    KTComponentAnimation second;
    check(read(written.data(), written.size(), second) == 1);
    check(writer.getInexactCount() == 0 && compare(first, second) == 0);
    std::string again;
    check(KTAnimationWriter().write(second, again) == 1);
    check(again == written);

    forgetNumbers(first);
    written.clear();
    check(writer.write(first, written) == 1);
    KTComponentAnimation third;
    check(read(written.data(), written.size(), third) == 1);
    check(compare(first, third) == writer.getInexactCount());
    return 0;
}
