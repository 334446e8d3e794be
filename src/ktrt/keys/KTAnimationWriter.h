#pragma once

#include <string>

#include <rw/RWCString.h>

#include <ktrt/visibility.h>

class KTComponentAnimation;

/// Saves a component animation as an animation file that
/// KTComponentAnimation::loadAnimationFromFile() reads back.
///
/// Every track goes out in the animation's own order as one part transform
/// named after the track, with a position interpolator holding every key's
/// position and, when the track uses orientations or any key has a turn, an
/// orientation interpolator holding every key's orientation as an axis and an
/// angle in radians. The key lists hold the track's key fractions
/// (KTPartAnimation::getKeyFractions()) when it has them, else the key
/// values. Numbers are written with the shortest text that reads back as the
/// same float.
///
/// What reads back: the tracks in the same order, with the same names, key
/// counts and positions; useOrientations 1 exactly for tracks written with an
/// orientation interpolator. A key that remembers the axis and angle its
/// orientation was given as (every key the reader makes, and keys set through
/// KTAnimationState::setOrientation(const KTAxisAngle&)) goes out with those
/// numbers and reads back bit for bit. Any other key goes out as the nearest
/// axis and angle of its Euler angles, in floats, and reads back within 1e-6
/// radians of its rotation, or 1e-6 / |cos y| towards the gimbal lock
/// (y = +-90), where the reader's single-precision matrix holds the angles
/// less tightly. The exceptions are where the reader moves the rotation of
/// any file: it snaps rotations within about 0.08 degrees of a turn about one
/// axis onto that axis, and within about 0.08 degrees of the gimbal lock puts
/// the whole turn into x. getInexactCount() counts the keys that do not read
/// back bit for bit. The reader gives every key the key value 0.0 and every
/// track usePositions 0, so an animation read from a file, written and read
/// again, is the same animation key for key.
///
/// Refused, with a message naming the track and nothing written: a name the
/// reader cannot take (a space, tab, comma, line feed or zero byte in it), and
/// a track whose name is not the one the animation files it under (renamed
/// after it was added, or read from a name with a zero byte, which the track
/// keeps only up to that byte), which would read back under another name.
class KTRT_API KTAnimationWriter {
public:
    /// A writer with no message and no inexact values counted.
    KTAnimationWriter();
    /// Copies the message and the count.
    KTAnimationWriter(const KTAnimationWriter& other);
    /// Copies the message and the count.
    KTAnimationWriter& operator=(const KTAnimationWriter& other);
    /// Nothing to release beyond the message.
    ~KTAnimationWriter();
    /// 1 when both hold the same message and count.
    int operator==(const KTAnimationWriter& other) const;

    /// Appends the text of `animation` to `text`: 1 on success; 0 when a
    /// track is refused (`text` unchanged, getErrorMessage() says why).
    int write(KTComponentAnimation& animation, std::string& text);
    /// Writes `animation` to the file at `path` through a temporary file in
    /// the same folder, renamed over `path` once complete: 1 on success; 0
    /// when a track is refused or the file cannot be written (no file left
    /// behind; getErrorMessage() says why).
    int writeToFile(KTComponentAnimation& animation, const char* path);

    /// Why the last write failed; "" after a success.
    const RWCString& getErrorMessage() const { return errorMessage; }
    /// Number of values of the last write that do not read back bit for bit:
    /// orientations given as Euler angles whose nearest axis and angle reads
    /// back as other angles (nearly all such orientations), and positions and
    /// key values that are no single-precision floats.
    unsigned int getInexactCount() const { return inexactCount; }

private:
    int refuse(const RWCString& trackName, const std::string& reason);
    void fileError(const char* path, int error);

    RWCString errorMessage;
    unsigned int inexactCount;
};
