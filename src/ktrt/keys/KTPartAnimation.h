#pragma once

#include <vector>

#include <rw/RWCString.h>
#include <rw/RWTPtrOrderedVector.h>

#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/visibility.h>

/// The track of one logical part: its keys in play order, and two flags that
/// tell playback whether to write the keys' orientations and positions.
///
/// Ownership: a key passed to appendState(), or accepted by insertState(),
/// belongs to the track, which deletes it in removeState(), clear() and its
/// destructor. A refused key stays with the caller. Out-of-range indexes get
/// the track's own invalid sentinel key, never a null pointer.
class KTRT_API KTPartAnimation {
public:
    /// No keys, empty part name, both flags 0.
    KTPartAnimation();
    /// Name, flags and copies of the source's keys; the copy owns its copies.
    KTPartAnimation(const KTPartAnimation& other);
    /// Deletes the keys held so far and takes copies of the source's keys,
    /// name and flags. The target keeps its own sentinel.
    KTPartAnimation& operator=(const KTPartAnimation& other);
    /// Deletes the sentinel and every key.
    ~KTPartAnimation();

    /// 1 when the part names are equal ignoring letter case; keys and flags
    /// are not compared.
    int operator==(const KTPartAnimation& other) const;

    /// The key at `index`, which the caller may change in place but must not
    /// delete; any index at or past getNumStates() gets the sentinel
    /// (invalid, key 0.0, default transform).
    KTAnimationState* operator[](unsigned int index);

    /// Adds `state` at the end and takes ownership; the key is not examined.
    /// Pass real keys only: a null entry would be handed back by operator[].
    void appendState(KTAnimationState* state);
    /// Moves the keys from `index` on one place back and stores `state` at
    /// `index`. Refuses (0, ownership stays with the caller) an invalid key
    /// or an index not below getNumStates(); `state` must not be null.
    int insertState(unsigned int index, KTAnimationState* state);
    /// Deletes the key at `index` and closes the gap; 0 for an index not
    /// below getNumStates().
    int removeState(unsigned int index);
    /// Deletes every key, empties the name and sets both flags to 0; the
    /// sentinel stays.
    void clear();

    /// Number of keys, the sentinel not counted.
    unsigned int getNumStates() const;
    /// The name of the logical part the track drives.
    const RWCString& getPartName() const { return partName; }
    /// Copies the name; a null name is ignored. Rename a track only before
    /// adding it to a KTComponentAnimation, which files it by name.
    void setPartName(const char* name);
    /// The orientation flag as stored: non-zero makes playback write the keys'
    /// orientations into the part's rotation.
    int useOrientations() const { return useOrientationsFlag; }
    /// Stores the orientation flag as given.
    void setUseOrientations(int value) { useOrientationsFlag = value; }
    /// The position flag as stored: non-zero makes playback write the keys'
    /// positions into the part's translation. A track built from a file has 0
    /// here even when its keys carry positions: set it to play them.
    int usePositions() const { return usePositionsFlag; }
    /// Stores the position flag as given.
    void setUsePositions(int value) { usePositionsFlag = value; }

    /// The fractions of a cycle at which the keys sit, one per key in key
    /// order, as an animation file's "Key" list gave them (the keys' own key
    /// values stay 0.0); empty when unknown. Any change to the keys
    /// (append, insert, remove, clear) forgets them.
    const std::vector<float>& getKeyFractions() const { return keyFractions; }
    /// Stores one fraction per key, as given (order and range are not
    /// checked here; KTAnimationClip plays only finite, non-decreasing
    /// ones). Refuses (0, nothing stored) a list whose length is not
    /// getNumStates(); an empty list forgets the fractions when the track
    /// has keys.
    int setKeyFractions(const std::vector<float>& fractions);

private:
    void copyKeysFrom(const KTPartAnimation& other);

    RWTPtrOrderedVector<KTAnimationState> states;
    KTAnimationState* invalidState;
    RWCString partName;
    int useOrientationsFlag;
    int usePositionsFlag;
    // Beside the keys, so that their key values stay as the file reader
    // makes them.
    std::vector<float> keyFractions;
};
