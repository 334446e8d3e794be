#pragma once

#include <cstdint>
#include <vector>

#include <coinref/CoinRef.h>
#include <rw/RWTPtrOrderedVector.h>

#include <ktrt/visibility.h>

class KTComponent;
class KTComponentAnimation;
class KTPartAnimation;
class SoTransform;

/// Plays one component animation on one live component, one frame per
/// update(): key number currentFrame of every track goes into the
/// "transform" node of the component's logical part that the track names.
/// Playback is stepped, not timed: key values play no part, and the host sets
/// the pace by how often it calls update(). resetState() puts back the
/// transforms as they were when the instance was built.
///
/// Neither the component nor the animation is owned; both must outlive the
/// instance, and the animation's tracks must not be added or removed while it
/// plays. The instance keeps a private copy of each found part's transform,
/// referenced once by every instance that holds it. Its own memory grows with
/// the number of parts only: keys are read from the animation as they play,
/// and copies share the saved transforms.
class KTRT_API KTAnimationInstance {
public:
    /// Binds `animation` to `object`: finds, for every track, the logical part
    /// it names and saves that part's transform fields. A null animation gives
    /// an instance whose update() does nothing; a null component one bound to
    /// no track, whose update() raises RWBoundsErr at track 0 when the
    /// animation has tracks. Tracks whose part is missing write nothing but
    /// still count for the number of frames.
    KTAnimationInstance(KTComponent* object, KTComponentAnimation* animation);
    /// Shares the source's saved transforms, taking a reference of its own.
    KTAnimationInstance(const KTAnimationInstance& other);
    /// Takes references on the source's saved transforms, then releases its
    /// own.
    KTAnimationInstance& operator=(const KTAnimationInstance& other);
    /// Releases the saved transforms; the parts' transforms are not touched.
    ~KTAnimationInstance();

    /// 1 when both instances hold the same component and the same animation.
    int operator==(const KTAnimationInstance& other) const;

    /// The component given at construction (not owned; may be null).
    KTComponent* getObject() const { return object; }
    /// The animation given at construction (not owned; may be null).
    KTComponentAnimation* getAnimation() const { return animation; }

    /// Writes the current frame into the parts (positions when a track's
    /// usePositions() is set, orientations when its useOrientations() is set;
    /// past the end of a shorter track its sentinel key is written), then
    /// advances the frame, wrapping to 0. Each track drives the part it names;
    /// tracks without a part are skipped. The cycle is as long as the first
    /// track (in operator[] order) that has keys. Does nothing without an
    /// animation. Raises RWBoundsErr (index, number of bound tracks) at the
    /// first track index whose track is not the one bound there at
    /// construction (tracks added or removed since, or any track when built
    /// without a component), before writing anything for it; the tracks
    /// before it are applied, the frame is not advanced.
    void update();
    /// Writes the saved translation, rotation, scale factor, scale
    /// orientation and center back into every found part's transform. The
    /// current frame is kept.
    void resetState();

private:
    void copyFrom(const KTAnimationInstance& other);

    KTComponentAnimation* animation;
    std::uint32_t currentFrame;
    std::uint32_t numFrames;
    KTComponent* object;
    // One slot per track, in track order; empty or null where the component
    // lacks the track's part. Every instance holds its own reference on each
    // saved node, also on those it shares with the instance it was copied from.
    std::vector<coinref::CoinRef<SoTransform>> savedTransforms;
    RWTPtrOrderedVector<SoTransform> partTransforms;
    // The track bound at each index, to catch a table changed since.
    std::vector<const KTPartAnimation*> boundTracks;
};
