#pragma once

#include <cstddef>

#include <rw/RWCString.h>
#include <rw/RWTValOrderedVector.h>

#include <ktrt/keys/KTAnimationDiagnostics.h>
#include <ktrt/keys/KTAxisAngle.h>
#include <ktrt/keys/detail/ReaderGrammar.h>
#include <ktrt/geometry/KTVector3.h>

class KTPartAnimation;

namespace ktrt::detail {

class LineReader;
class TrackTable;

/// The fields of a component animation that a read fills.
struct ReadTarget {
    TrackTable& tracks;
    RWCString& lineText;
    RWCString& errorMessage;
    int& lineNumber;
    int& loaded;
};

/// Refills `track` from the four parallel lists read from a file: named
/// `partName`, one valid key (key value 0.0) per position key, or per
/// orientation key when there are no position keys; useOrientations 1 when
/// there are orientation keys, usePositions always 0. Each key takes its
/// orientation from its axis and angle, which it remembers, or (0, 0, 0)
/// when there are no orientation keys. Returns 0 when either pointer is null
/// (nothing touched) or when both kinds of keys are present in different
/// numbers (the track stays cleared and named).
int buildPartAnimation(KTPartAnimation* track, const char* partName,
                       const RWTValOrderedVector<float>& orientationKeys,
                       const RWTValOrderedVector<KTAxisAngle>& orientations,
                       const RWTValOrderedVector<float>& positionKeys,
                       const RWTValOrderedVector<KTVector3>& positions);

/// One read of an animation file into a component animation.
///
/// The file is read once, line by line, and every token drives the grammar
/// of ReaderGrammar.h. Each completed part transform becomes a track stored
/// under its part name (replacing and deleting a track of the same name).
/// The first error stops the read and leaves its message, line number and
/// line text in the target; tracks completed before it stay.
///
/// With a diagnostics receiver, each rule of the grammar that ignores or
/// drops input reports it, from the one place where it does so.
class AnimationFileReader {
public:
    /// A reader that adds to `target`; `diagnostics` may be null.
    AnimationFileReader(const ReadTarget& target, KTAnimationDiagnostics* diagnostics);

    /// Resolves `animationName` with the registry loader and reads the file:
    /// 1 when the file was read to its end, else 0.
    int read(const RWCString& animationName);

private:
    using Code = KTAnimationDiagnostics::Code;

    bool readLines(LineReader& lines);
    bool takeToken(char* token, char* tokenEnd);
    bool takeName(const char* token, std::size_t length);
    bool apply(const Transition& transition, const char* token, std::size_t length);
    /// Every number of a key or key value list comes through here.
    void takeNumber(float number, const char* token, const char* tokenEnd);
    void addOrientationNumber(float number);
    void addPositionNumber(float number);
    bool closeList();
    bool endInterpolator();
    bool endPartTransform();
    void endOfFile();
    bool fail(const char* message);

    void report(Code code, const char* text, std::size_t length, unsigned long count = 0);
    void reportAt(Code code, int line, int column, const char* text, std::size_t length,
                  unsigned long count = 0);
    int columnOf(const char* p) const { return static_cast<int>(p - lineBegin) + 1; }

    ReadTarget target;
    KTAnimationDiagnostics* diagnostics;

    State state = State::topLevel;
    bool insideAnimation = false;
    bool orientationMode = false;
    RWCString partName;

    RWTValOrderedVector<float> orientationKeys;
    // Orientations as read; each key converts its own and remembers them.
    RWTValOrderedVector<KTAxisAngle> orientations;
    RWTValOrderedVector<float> positionKeys;
    RWTValOrderedVector<KTVector3> positions;

    // Numbers of a value not yet complete. They survive the end of a list and
    // of a part transform: the next list of the same kind completes them.
    float orientationPending[3] = {};
    int orientationPendingCount = 0;
    float positionPending[2] = {};
    int positionPendingCount = 0;

    // Where the reader is, for reports: the current line and token, the
    // part transform being read, and whether the file opened an animation.
    const char* lineBegin = nullptr;
    const char* tokenBegin = nullptr;
    std::size_t lastLineLength = 0;
    int partLine = 0;
    int partColumn = 0;
    bool partNamed = false;
    bool sawAnimation = false;
};

} // namespace ktrt::detail
