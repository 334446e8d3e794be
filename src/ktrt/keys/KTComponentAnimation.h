#pragma once

#include <memory>

#include <rw/RWCString.h>

#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/visibility.h>

class KTAnimationDiagnostics;

namespace ktrt::detail {
class TrackTable;
} // namespace ktrt::detail

/// The animation of one component: at most one track per part name, owned by
/// the animation. Built by hand with addPartAnimation() or read from an
/// animation file with loadAnimationFromFile(), or both.
///
/// Ownership: a track that addPartAnimation() accepts belongs to the
/// animation and is deleted by removePartAnimation() and the destructor; a
/// refused track stays with the caller. Pointers handed out stay valid until
/// their track is removed or the animation destroyed.
///
/// Lookups by name are exact (letter case counts). operator[] walks the
/// tracks in an order that depends on their names, not on the order they were
/// added in; the order is stable while no track is added or removed.
class KTRT_API KTComponentAnimation {
public:
    /// No tracks, empty names and messages, line number 0, not loaded.
    KTComponentAnimation();
    /// Same names, messages, line number, loaded flag, and copies of every
    /// track under the same part names.
    KTComponentAnimation(const KTComponentAnimation& other);
    /// Deletes the tracks held so far and takes copies of the source's.
    KTComponentAnimation& operator=(const KTComponentAnimation& other);
    /// Deletes every track and the sentinel.
    ~KTComponentAnimation();

    /// 1 when the component names are equal ignoring letter case; tracks are
    /// not compared.
    int operator==(const KTComponentAnimation& other) const;

    /// The track at `index` of the table's order; any index at or past
    /// getNumPartAnimations() gets the animation's empty, unnamed sentinel.
    KTPartAnimation* operator[](unsigned int index);
    /// Number of tracks, the sentinel not counted.
    unsigned int getNumPartAnimations() const;

    /// Takes ownership of `track` and files it under its part name. Refuses
    /// (0, nothing taken) a null track, an empty name, a name already in the
    /// table, or a track the animation already owns (its sentinel included).
    int addPartAnimation(KTPartAnimation* track);
    /// Stores the track filed under `partName` in `track` and returns 1; 0
    /// (and `track` untouched) for a null or unknown name.
    int getPartAnimation(const char* partName, KTPartAnimation*& track);
    /// 1 when a track is filed under `partName`; 0 for null or unknown.
    int containsAnimationForPart(const char* partName);
    /// Deletes the track filed under `partName`; 0 for a null or unknown name.
    int removePartAnimation(const char* partName);

    /// Valid until the component name changes.
    const char* getComponentName() const { return componentName.data(); }
    /// A null name is ignored.
    void setComponentName(const char* name);
    /// 1 once any read has reached the end of its file; never reset.
    int isLoaded() const { return loaded; }

    /// Reads the animation file registered under `animationName` with the
    /// registry loader and adds its tracks (a track of a name already present
    /// replaces it). 1 when the file was read to its end; 0 for an unknown
    /// name, an unreadable file (both with an empty message and line 0) or an
    /// error in the file (message, 1-based line number and line text kept).
    /// Tracks read from a file have usePositions() 0, so they play
    /// orientations only until the host sets the flag. On error, the tracks
    /// completed before the bad line stay in the animation.
    int loadAnimationFromFile(const RWCString& animationName);

    /// Message of the last failed read; "" after a success or a read that
    /// failed without a message.
    const RWCString& getErrorMessage() const { return errorMessage; }
    /// The offending line after a read stopped by an error.
    const RWCString& getLineText() const { return lineText; }
    /// Lines read by the last read, or the 1-based offending line on error.
    int getLineNumber() const { return lineNumber; }

private:
    // Its load function reads a file with a receiver through readFile().
    friend class KTAnimationDiagnostics;

    /// Reads a file into this animation; `diagnostics` may be null.
    int readFile(const RWCString& animationName, KTAnimationDiagnostics* diagnostics);

    KTPartAnimation* invalidPartAnimation;
    RWCString componentName;
    RWCString lineText;
    RWCString errorMessage;
    int lineNumber;
    std::unique_ptr<ktrt::detail::TrackTable> partAnimations;
    int loaded;
};
