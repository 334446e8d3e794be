#pragma once

#include <cstddef>

#include <rw/RWCString.h>

#include <ktrt/visibility.h>

class KTComponentAnimation;

/// Receives what the animation file reader ignores, drops or cannot read,
/// while it reads a file exactly as KTComponentAnimation::loadAnimationFromFile
/// does. The reader is lenient: a file that reads "successfully" may still
/// have lost text on the way, and these reports say where.
///
/// Derive from it, override report(), and read a file with
/// loadAnimationFromFile(animation, name, diagnostics). The reader calls
/// report() while it reads, in file order; the result of the read, the tracks
/// and the stored message are the same as without a receiver.
class KTRT_API KTAnimationDiagnostics {
public:
    /// What a report is about.
    enum Code {
        /// The read failed; text is the message the animation keeps.
        readFailed,
        /// The file ended without ever opening an animation (line 0; count is
        /// the number of lines read).
        noAnimation,
        /// The file ended inside a construct; text names it ("KTAnimation",
        /// "Children", "KTPartTransform", "OrientationInterpolator",
        /// "PositionInterpolator", "Key", "KeyValue" or "{"). Whatever it held
        /// is dropped. Line and column point just past the end of the file.
        openAtEnd,
        /// A token outside any animation, ignored.
        outsideAnimation,
        /// A token inside an animation that spells no keyword, ignored.
        unknownWord,
        /// A token after "Name" without a leading double quote, ignored; the
        /// part name stays as it was.
        unquotedName,
        /// A keyword out of place ("Children", "Name" or "KTPartTransform")
        /// that ends the interpretation of the animation: what follows up to
        /// the next "KTAnimation" is ignored.
        animationLeft,
        /// "[" right after "KTAnimation": the animation is skipped up to the
        /// next "]".
        animationSkipped,
        /// "{" out of place: it opens a block that the next "}" closes, and
        /// that "}" then also ends the animation's body.
        strayBlock,
        /// "[" out of place: it opens a key value list.
        strayList,
        /// A number in a list followed by other characters in the same token
        /// (such as "1]"); count is the number of characters read as the
        /// number, the rest is ignored.
        numberSuffix,
        /// A number that reads as infinite or not a number.
        nonFiniteNumber,
        /// A key value list ended with count numbers of an unfinished value;
        /// they wait for the next list of the same kind.
        valuesLeftOver,
        /// A part name holding a NUL byte: the track's name stops there.
        nameCutAtNul,
        /// A part transform without a "Name" field; it takes the name of the
        /// part transform before it (text).
        nameInherited,
        /// A track stored (text: its part name, count: its number of keys;
        /// line and column: its "KTPartTransform").
        trackStored,
        /// A track stored under a name already in the animation (text); the
        /// earlier track is dropped.
        trackReplaced,
        /// A track with count position keys: they are stored but do not play
        /// until the host enables positions on the track.
        positionsNotPlayed,
        /// A line ending with a carriage return that no line feed follows;
        /// the carriage return stays in the line's last token.
        carriageReturn,
        /// The animation name is not registered (text: the name, line 0).
        /// The read returns 0 and the animation keeps "" as its message.
        notRegistered,
        /// The file registered under the name does not open (text: its path,
        /// count: the system's error number, as errno gives it, with
        /// std::strerror(count) its reason; line 0). The read returns 0 and
        /// the animation keeps "" as its message.
        openFailed,
    };

    /// One report. `text` is not terminated: use `length` bytes.
    struct Report {
        Code code;           ///< what happened
        int line;            ///< 1-based line number, 0 for the file as a whole
        int column;          ///< 1-based byte column in the line, 0 for none
        const char* text;    ///< the token, part name or message concerned
        std::size_t length;  ///< bytes of `text`
        unsigned long count; ///< a number that belongs to the code, else 0
    };

    /// Nothing to set up.
    KTAnimationDiagnostics() = default;
    /// Receivers hold no state of the reader's; copies are independent.
    KTAnimationDiagnostics(const KTAnimationDiagnostics&) = default;
    /// As the copy constructor.
    KTAnimationDiagnostics& operator=(const KTAnimationDiagnostics&) = default;
    /// Receivers are deleted through this class.
    virtual ~KTAnimationDiagnostics();

    /// Called by the reader for each thing it reports. The text stays valid
    /// only during the call.
    virtual void report(const Report& report) = 0;

    /// Reads the animation file registered under `animationName` into
    /// `animation` exactly as animation.loadAnimationFromFile(animationName)
    /// does, with the same result, and tells `diagnostics` what the read
    /// ignored, dropped or failed on.
    static int loadAnimationFromFile(KTComponentAnimation& animation,
                                     const RWCString& animationName,
                                     KTAnimationDiagnostics& diagnostics);
};
