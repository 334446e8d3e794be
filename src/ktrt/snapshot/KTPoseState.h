#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <ktrt/binding/KTPartBinding.h>
#include <ktrt/visibility.h>

class KTAnimationMixer;
class KTAnimationPlayer;
class KTWorldAnimations;

/// The pose of animated parts and the state of their players, which a world
/// snapshot (KTWorldState) does not cover: for every recorded player, its
/// time, play state, speed, wrap mode, interpolation and key rate, and the
/// five transform fields (translation, rotation, scale factor, scale
/// orientation, center) of every part it animates; for every recorded mixer,
/// the state of its actions (time, speed, timing, weights, fades, play
/// state) and the fields of its parts. restoreFromSnapshot() puts them back
/// exactly, as single-precision values are kept as they were.
///
/// The players and mixers are not owned (the same rules hold for mixers). A player deleted since
/// the snapshot (for instance by KTWorldAnimations::load()) is skipped, and so is one whose
/// component was deleted or removed from its world: nothing is restored for
/// it. The state holds a reference on every recorded part's transform node.
/// Used from one thread, as Coin is.
class KTRT_API KTPoseState {
public:
    /// Records nothing.
    KTPoseState();
    /// The same records.
    KTPoseState(const KTPoseState& other);
    /// As the copy constructor.
    KTPoseState& operator=(const KTPoseState& other);
    /// Touches no player.
    ~KTPoseState();

    /// 1 when both states record the same players and mixers in the same
    /// order.
    int operator==(const KTPoseState& other) const;

    /// Forgets what was recorded, then records every player and mixer of
    /// `animations`.
    void makeSnapshot(const KTWorldAnimations& animations);
    /// Records one more player and its parts; 0 (nothing recorded) for null.
    int addPlayer(KTAnimationPlayer* player);
    /// Records one more mixer: the state of its actions and the transforms of
    /// its parts; 0 (nothing recorded) for null.
    int addMixer(KTAnimationMixer* mixer);
    /// Puts back every recorded player's state, then its parts' transforms,
    /// skipping players that are gone or whose component is. No callback is
    /// called.
    void restoreFromSnapshot() const;
    /// Forgets every record.
    void clear();

    /// Number of players recorded.
    unsigned int getNumPlayers() const;
    /// Number of mixers recorded.
    unsigned int getNumMixers() const;

private:
    // A player or a mixer: `target` (for comparisons) may be used only while
    // `lifetime` has not expired; `parts` (a copy of its binding with the
    // fields saved at the snapshot) holds the nodes, puts the fields back and
    // says whether the component it was bound to (`bound`) is gone;
    // `restore` puts back the state saved with it (a player's playhead and
    // timing, a mixer's actions).
    struct Record {
        const void* target;
        bool mixer;
        std::weak_ptr<const void> lifetime;
        KTPartBinding parts;
        bool bound;
        std::function<void()> restore;
    };

    std::vector<Record> records;
};
