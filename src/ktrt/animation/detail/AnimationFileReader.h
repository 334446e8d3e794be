#pragma once

#include <cstddef>

#include <rw/RWCString.h>
#include <rw/RWTValOrderedVector.h>

#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>

class KTComponentAnimation;

namespace ktrt::detail {

class LineReader;

/// One read of an animation file into a component animation: the body of
/// KTComponentAnimation::loadAnimationFromFile.
///
/// The file is read once, line by line, and every token drives a state
/// machine whose states follow the keyword codes. Each completed part
/// transform becomes a track stored in the animation under its part name
/// (replacing and deleting a track of the same name). The first error stops
/// the read and leaves its message, line number and line text in the
/// animation; tracks completed before it stay.
class AnimationFileReader {
public:
    /// A reader that adds to `animation`, which must outlive it.
    explicit AnimationFileReader(KTComponentAnimation& animation);

    /// Resolves `animationName` with the registry loader and reads the file:
    /// 1 when the file was read to its end, else 0.
    int read(const RWCString& animationName);

private:
    bool readLines(LineReader& lines);
    bool takeToken(char* token, char* tokenEnd);
    bool takeKeyword(const char* token, std::size_t length);
    /// Adds a number of a key list (state 10) or key value list (state 12).
    void addNumber(float number);
    void addOrientationNumber(float number);
    void addPositionNumber(float number);
    bool endInterpolator();
    bool endPartTransform();
    bool fail(const char* message);

    KTComponentAnimation& animation;

    int state = 0;
    bool insideAnimation = false;
    bool orientationMode = false;
    RWCString partName;

    RWTValOrderedVector<float> orientationKeys;
    RWTValOrderedVector<KTAngle> orientations;
    RWTValOrderedVector<float> positionKeys;
    RWTValOrderedVector<KTVector3> positions;

    // Numbers of a value not yet complete. They survive the end of a list and
    // of a part transform: the next list of the same kind completes them.
    float orientationPending[3] = {};
    int orientationPendingCount = 0;
    float positionPending[2] = {};
    int positionPendingCount = 0;
};

} // namespace ktrt::detail
