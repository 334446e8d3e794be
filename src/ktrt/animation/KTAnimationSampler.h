#pragma once

#include <cstddef>
#include <vector>

#include <ktrt/animation/KTPartBinding.h>
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
/// touched.
///
/// Key k of every track sits at time k / keyRate (30 keys per second by
/// default). Three interpolations:
/// - STEP plays the frame-stepped keys of update(): at time t the frame
///   floor(t * keyRate), wrapped over the key count of the first track with
///   keys; a shorter track writes its sentinel key past its end. Sampling at
///   k / keyRate writes exactly what the (k+1)-th update() writes.
/// - LINEAR interpolates between the two keys around t: positions linearly,
///   orientations spherically along the shorter arc. At a key's time the key
///   is written exactly (its orientation as update() converts it).
/// - HOLD writes the last key at or before t.
/// Under LINEAR and HOLD each track runs on its own length, (keys - 1) /
/// keyRate, and wraps on its own: LOOP starts it over, CLAMP holds its first
/// and last key, PING_PONG plays it back and forth; a track without keys
/// writes nothing. Under STEP the wrap applies to the frame sequence.
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
    /// How the pose between two keys is found.
    enum Interpolation {
        STEP,   ///< the frame-stepped keys of KTAnimationInstance::update()
        LINEAR, ///< linear positions, spherical-linear orientations
        HOLD    ///< the last key at or before the time
    };
    /// What happens to a track before its start and after its end.
    enum WrapMode {
        LOOP,     ///< starts over
        CLAMP,    ///< holds the first or last key
        PING_PONG ///< plays back and forth
    };

    /// A sampler bound to nothing: samples write nothing, duration 0.
    KTAnimationSampler();
    /// Binds `animation` to `object`: for every track, the logical part it
    /// names and that part's "transform" (created if missing). Tracks whose
    /// part is missing are skipped; a null pointer binds nothing. LINEAR,
    /// LOOP, `keysPerSecond` keys per second (30 when not positive).
    KTAnimationSampler(KTComponent* object, KTComponentAnimation* animation,
                       double keysPerSecond = 30.0);
    /// Binds the same parts with the same settings.
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

    /// Reads the keys and flags of the bound tracks again.
    void refresh();

    /// Keys per second; a value that is not positive and finite is ignored.
    void setKeyRate(double keysPerSecond);
    /// Keys per second, 30 by default.
    double getKeyRate() const { return keyRate; }
    /// Chooses how the pose between keys is found.
    void setInterpolation(Interpolation mode) { interpolation = mode; }
    /// LINEAR by default.
    Interpolation getInterpolation() const { return interpolation; }
    /// Chooses what happens before the start and after the end of a track.
    void setWrapMode(WrapMode mode) { wrapMode = mode; }
    /// LOOP by default.
    WrapMode getWrapMode() const { return wrapMode; }

    /// Seconds of one cycle: under STEP the frames of update() over the key
    /// rate; otherwise the longest track, (keys - 1) / keyRate.
    double getDuration() const;

    /// Writes the pose at `seconds` (any finite time, negative included) into
    /// every bound part; a time that is not finite writes nothing, and
    /// nothing is written once the component is gone.
    void sample(double seconds);

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
    // One key, read from a track: its position and its orientation's
    // quaternion as update() converts it; `angle` and `inverseSine` describe
    // the arc to the next key, whose quaternion `sign` turns to the shorter
    // side.
    struct Key {
        double position[3];
        float rotation[4];
        double angle;
        double inverseSine;
        double sign;
    };
    // A track bound to a part (part number `part` of `parts`): its keys are
    // keys[first, first + count), and keys[sentinel] is the track's sentinel
    // key (for STEP).
    struct Binding {
        unsigned int part;
        KTPartAnimation* track;
        std::size_t first;
        std::size_t count;
        std::size_t sentinel;
        bool positions;
        bool orientations;
    };

    void bind();
    void store(const Binding& binding, const float translation[3], const float rotation[4]) const;
    void write(const Binding& binding, const Key& key) const;
    void writeBetween(const Binding& binding, const Key& from, const Key& to,
                      double fraction) const;
    void sampleFrames(double seconds);

    KTComponent* object;
    KTComponentAnimation* animation;
    double keyRate;
    Interpolation interpolation;
    WrapMode wrapMode;
    // The frame count of update(): keys of the first track that has any.
    std::size_t numFrames;
    // The key count of the longest track.
    std::size_t longestTrack;
    std::vector<Binding> bindings;
    std::vector<Key> keys;
    // The parts' transform nodes, one per entry of `bindings`, in order.
    KTPartBinding parts;
};
