#pragma once

#include <memory>
#include <vector>

#include <ktrt/pose/KTAnimationClip.h>
#include <ktrt/binding/KTPartBinding.h>
#include <ktrt/pose/KTPose.h>
#include <ktrt/visibility.h>

class KTComponent;
class KTComponentAnimation;
class KTPartAnimation;
class SoTransform;

/// Evaluates a component animation at a time in seconds and writes the pose
/// into the "transform" nodes of the component's parts, the same nodes and
/// fields that KTAnimationInstance::update() writes: a track's positions go
/// into `translation` only when its usePositions() is set, its orientations
/// into `rotation` only when its useOrientations() is set, and nothing else is
/// touched. Evaluation goes through the animation's prepared keys
/// (KTAnimationClip) into a pose (KTPose); only the write touches nodes.
///
/// Key k of every track sits at time k / keyRate (30 keys per second by
/// default). Three interpolations:
/// - STEP plays the frame-stepped keys of update(): at time t the frame
///   floor(t * keyRate), wrapped over the key count of the first track with
///   keys; a shorter track writes its sentinel key past its end. Sampling at
///   k / keyRate writes exactly what the (k+1)-th update() writes.
/// - LINEAR interpolates between the two keys around t: positions linearly,
///   orientations spherically along the shorter arc. At a key's time the key
///   is written exactly.
/// - HOLD writes the last key at or before t.
/// Under LINEAR and HOLD each track runs on its own length, (keys - 1) /
/// keyRate, and wraps on its own: LOOP starts it over, CLAMP holds its first
/// and last key, PING_PONG plays it back and forth; a track without keys
/// writes nothing. Under STEP the wrap applies to the frame sequence.
///
/// Under LINEAR and HOLD a key that remembers the axis and angle it was read
/// from (KTAxisAngle) plays their exact rotation; setRotations(CONVERTED)
/// plays every key as update() converts it. With a cycle length
/// (setCycleLength()), LINEAR and HOLD play the keys at the fractions the
/// file's "Key" lists gave them over that many seconds, every track on the
/// same cycle, as VRML interpolators do.
///
/// A part whose translation and rotation are both written notifies the scene
/// above it once (from the rotation); the translation's own field sensors
/// and connections are notified as usual.
///
/// The sampler reads the tracks' keys and flags when it is built and when
/// refresh() is called, not on every sample: call refresh() after changing
/// keys or flags. Neither the component nor the animation is owned. The
/// parts are held through a KTPartBinding (getBinding()): the component may
/// be removed from its world or deleted at any time, after which samples
/// write nothing. The animation must outlive the sampler, and tracks must not
/// be added or removed while it is in use. Used from one thread, as Coin is.
class KTRT_API KTAnimationSampler {
public:
    /// How the pose between two keys is found (the clip's modes).
    using Interpolation = KTAnimationClip::Interpolation;
    /// What happens before the start and after the end of a track (the
    /// clip's modes).
    using WrapMode = KTAnimationClip::WrapMode;

    /// A sampler bound to nothing: samples write nothing, duration 0.
    KTAnimationSampler();
    /// Binds `animation` to `object`: for every track, the logical part it
    /// names and that part's "transform" (created if missing). Tracks whose
    /// part is missing are skipped; a null pointer binds nothing. LINEAR,
    /// LOOP, `keysPerSecond` keys per second (30 when not positive).
    KTAnimationSampler(KTComponent* object, KTComponentAnimation* animation,
                       double keysPerSecond = 30.0);
    /// As above, sampling the shared `clip`, which must have been built from
    /// `animation` as it is now; a null clip, or one with another number of
    /// tracks, is replaced by a clip of the sampler's own.
    KTAnimationSampler(KTComponent* object, KTComponentAnimation* animation,
                       std::shared_ptr<const KTAnimationClip> clip, double keysPerSecond = 30.0);
    /// Binds the same parts with the same settings and shares the clip.
    KTAnimationSampler(const KTAnimationSampler& other);
    /// As the copy constructor.
    KTAnimationSampler& operator=(const KTAnimationSampler& other);
    /// Touches neither the component nor the animation.
    ~KTAnimationSampler();

    /// 1 when both samplers hold the same component and the same animation.
    int operator==(const KTAnimationSampler& other) const;

    /// The component given at construction (not owned; may be null). Once
    /// the component is deleted this pointer dangles:
    /// getBinding().getComponent() says null then.
    KTComponent* getObject() const { return object; }
    /// The animation given at construction (not owned; may be null).
    KTComponentAnimation* getAnimation() const { return animation; }
    /// The prepared keys sampled (never null; shared with other samplers of
    /// the same clip).
    const std::shared_ptr<const KTAnimationClip>& getClip() const { return clip; }

    /// Reads the keys and flags of the bound tracks again, into a clip of
    /// the sampler's own.
    void refresh();

    /// Keys per second; a value that is not positive and finite is ignored.
    void setKeyRate(double keysPerSecond);
    /// Keys per second, 30 by default.
    double getKeyRate() const { return timing.keysPerSecond; }
    /// Chooses how the pose between keys is found; a mode the clip does not know is ignored.
    void setInterpolation(Interpolation mode);
    /// LINEAR by default.
    Interpolation getInterpolation() const { return timing.interpolation; }
    /// Chooses what happens before the start and after the end of a track;
    /// a mode the clip does not know is ignored.
    void setWrapMode(WrapMode mode);
    /// LOOP by default.
    WrapMode getWrapMode() const { return timing.wrap; }
    /// Seconds of one cycle over which LINEAR and HOLD play the keys at
    /// their key fractions; 0 (the default) spaces keys evenly at the key
    /// rate. A negative or non-finite value is ignored.
    void setCycleLength(double seconds);
    /// 0 by default.
    double getCycleLength() const { return timing.cycleSeconds; }
    /// EXACT (the default) plays remembered axes and angles exactly under
    /// LINEAR and HOLD; CONVERTED plays every key as update() converts it.
    /// A change rebuilds the sampler's clip of its own.
    void setRotations(KTAnimationClip::Rotations rotations);
    /// The clip's rotations.
    KTAnimationClip::Rotations getRotations() const { return clip->getRotations(); }

    /// Seconds of one cycle: under STEP the frames of update() over the key
    /// rate; with a cycle length, that length; otherwise the longest track,
    /// (keys - 1) / keyRate.
    double getDuration() const;

    /// Writes the pose at `seconds` (any finite time, negative included) into
    /// every bound part; a time that is not finite (or overflows in keys)
    /// writes nothing, and nothing is written once the component is gone.
    void sample(double seconds);
    /// The pose the last sample() wrote (bound part order).
    const KTPose& getPose() const { return pose; }

    /// Number of bound parts (tracks whose part was found).
    unsigned int getNumParts() const { return static_cast<unsigned int>(bindings.size()); }
    /// The "transform" node of bound part `index` (referenced by the
    /// binding), or null past the end.
    SoTransform* getPartTransform(unsigned int index) const;
    /// The bound parts, in the order of getPartTransform(), with the five
    /// fields they had when the sampler was built.
    const KTPartBinding& getBinding() const { return parts; }
    /// The track of bound part `index` (owned by the animation), or null past
    /// the end.
    KTPartAnimation* getPartAnimation(unsigned int index) const;

private:
    // A track bound to a part: part i of `parts` for bindings[i].
    struct Binding {
        KTPartAnimation* track;
        unsigned int trackIndex;
    };

    void bind();
    void mapTracks();

    KTComponent* object;
    KTComponentAnimation* animation;
    KTAnimationClip::Timing timing;
    std::shared_ptr<const KTAnimationClip> clip;
    // Per clip track, the bound part it goes into, or -1.
    std::vector<int> partOfTrack;
    std::vector<Binding> bindings;
    KTPose pose;
    // Where the last sample() fell on each track.
    KTAnimationClip::Cursor cursor;
    // The parts' transform nodes, one per entry of `bindings`, in order.
    KTPartBinding parts;
};
