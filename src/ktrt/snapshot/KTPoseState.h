#pragma once

#include <vector>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include <ktrt/animation/KTAnimationSampler.h>
#include <ktrt/visibility.h>

class KTAnimationPlayer;
class KTWorldAnimations;
class SoTransform;

/// The pose of animated parts and the state of their players, which a world
/// snapshot (KTWorldState) does not cover: for every recorded player, its
/// time, play state, speed, wrap mode, interpolation and key rate, and the
/// five transform fields (translation, rotation, scale factor, scale
/// orientation, center) of every part it animates. restoreFromSnapshot() puts
/// them back exactly, as single-precision values are kept as they were.
///
/// The players are not owned: they must outlive the state or be forgotten
/// with clear().
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

    /// 1 when both states record the same players in the same order.
    int operator==(const KTPoseState& other) const;

    /// Forgets what was recorded, then records every player of `animations`.
    void makeSnapshot(const KTWorldAnimations& animations);
    /// Records one more player and its parts; 0 (nothing recorded) for null.
    int addPlayer(KTAnimationPlayer* player);
    /// Puts back every recorded player's state, then its parts' transforms.
    /// No callback is called.
    void restoreFromSnapshot() const;
    /// Forgets every record.
    void clear();

    /// Number of players recorded.
    unsigned int getNumPlayers() const { return static_cast<unsigned int>(players.size()); }

private:
    struct PartPose {
        SoTransform* node;
        SbVec3f translation;
        SbRotation rotation;
        SbVec3f scaleFactor;
        SbRotation scaleOrientation;
        SbVec3f center;
    };
    struct PlayerRecord {
        KTAnimationPlayer* player;
        double time;
        double speed;
        double keyRate;
        bool playing;
        KTAnimationSampler::WrapMode wrapMode;
        KTAnimationSampler::Interpolation interpolation;
        std::size_t firstPart;
        std::size_t numParts;
        double cycleLength;
    };

    std::vector<PlayerRecord> players;
    std::vector<PartPose> parts;
};
