#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include <rw/RWCString.h>

#include <ktrt/visibility.h>

class KTComponentAnimation;
class KTPose;

/// The keys of a component animation prepared for sampling by time: built
/// once, never changed, and shared (std::shared_ptr<const KTAnimationClip>)
/// by every sampler and player of that animation. Sampling computes a pose
/// (KTPose) and touches no node.
///
/// The clip copies what sampling needs from the animation's tracks when it is
/// built: part names, the two flags, positions, orientations and the key
/// fractions a file gave (KTPartAnimation::getKeyFractions()). Later changes
/// to the animation do not reach it; build a new clip after changing keys or
/// flags. Track t of the clip is the animation's operator[](t).
///
/// Rotations: a key that remembers the axis and angle it was read from
/// (KTAxisAngle) is sampled under LINEAR and HOLD as the exact quaternion of
/// SbRotation(SbVec3f(x, y, z), angle); other keys, every key under STEP, and
/// every key of a clip built with CONVERTED, as KTAnimationInstance::update()
/// converts the key's Euler angles.
class KTRT_API KTAnimationClip {
public:
    /// How the pose between two keys is found (as KTAnimationSampler).
    enum Interpolation {
        STEP,   ///< the frame-stepped keys of KTAnimationInstance::update()
        LINEAR, ///< linear positions, spherical-linear rotations (shorter arc)
        HOLD    ///< the last key at or before the time
    };
    /// What happens before the start and after the end of a cycle.
    enum WrapMode {
        LOOP,     ///< starts over
        CLAMP,    ///< holds the first or last key
        PING_PONG ///< plays back and forth
    };
    /// Which quaternion a key's orientation samples as under LINEAR and HOLD.
    enum Rotations {
        EXACT,    ///< a remembered axis and angle exactly, else the converted angles
        CONVERTED ///< always the Euler angles converted as update() does
    };

    /// Where keys sit in time and how a time falls onto them.
    struct Timing {
        /// Keys per second: key k at k / keysPerSecond. Must be positive and
        /// finite.
        double keysPerSecond = 30.0;
        /// 0: keys evenly spaced at keysPerSecond, each track on its own
        /// length. Positive: every track spans one cycle of this many seconds,
        /// its keys at their key fractions (evenly spaced over the cycle when
        /// a track has none); ignored under STEP. Must be finite.
        double cycleSeconds = 0.0;
        /// How the pose between two keys is found.
        Interpolation interpolation = LINEAR;
        /// What happens before the start and after the end of a cycle.
        WrapMode wrap = LOOP;
    };

    /// What a player or action keeps between its samples of one clip: each
    /// track's last key, so that playback moving forward through keys placed
    /// at key fractions finds the next key without a search. A hint only:
    /// sampling with a cursor gives the same pose as without one, whatever
    /// the cursor last saw (another clip included). Not shared between
    /// threads.
    class Cursor {
    public:
        /// Remembers nothing yet.
        Cursor() = default;

    private:
        friend class KTAnimationClip;
        std::vector<unsigned int> lastKey;
    };

    /// No tracks.
    KTAnimationClip();
    /// Prepares every track of `animation`, in its operator[] order.
    explicit KTAnimationClip(KTComponentAnimation& animation, Rotations rotations = EXACT);
    /// The same prepared keys.
    KTAnimationClip(const KTAnimationClip& other);
    /// As the copy constructor.
    KTAnimationClip& operator=(const KTAnimationClip& other);
    /// Nothing to release beyond the members.
    ~KTAnimationClip();

    /// 1 when both hold the same tracks (names, channels, key counts and key
    /// fractions) and the same prepared keys bit for bit.
    int operator==(const KTAnimationClip& other) const;

    /// A shared clip of `animation`, the form samplers and players share.
    static std::shared_ptr<const KTAnimationClip> create(KTComponentAnimation& animation,
                                                         Rotations rotations = EXACT);

    /// Number of tracks.
    unsigned int getNumTracks() const { return static_cast<unsigned int>(tracks.size()); }
    /// The part name of track `track`; "" past the end.
    const RWCString& getPartName(unsigned int track) const;
    /// The channels (KTPose::Channel bits) track `track` samples: TRANSLATION
    /// when its usePositions() was set, ROTATION when its useOrientations()
    /// was; 0 past the end.
    int getChannels(unsigned int track) const;
    /// Number of keys of track `track`; 0 past the end.
    unsigned int getNumKeys(unsigned int track) const;
    /// The rotations chosen at construction.
    Rotations getRotations() const { return rotations; }
    /// Seconds of one cycle: under STEP the frames of update() (the keys of
    /// the first track that has any) over the key rate; with a cycle length,
    /// that length; otherwise the longest track, (keys - 1) / keysPerSecond.
    /// 0 for invalid timing.
    double getDuration(const Timing& timing) const;
    /// Bytes that the prepared keys take (keys, sentinels, STEP rotations
    /// and key fractions), without the fixed size of the object: a key with
    /// a translation and a rotation takes 32, and 20 more when its STEP
    /// rotation differs from the one it samples under LINEAR and HOLD.
    std::size_t getKeyBytes() const;
    /// The name of the SIMD instruction set that sampling between keys runs
    /// on, as the processor offers it (for example "AVX2" or "AVX3").
    static const char* getSimdTarget();

    /// 1 when sample() takes `seconds` and `timing`: a finite time that stays
    /// finite in keys (and cycles), a positive finite key rate, a finite cycle
    /// length of at least 0, and known modes; else 0.
    static int validate(double seconds, const Timing& timing);
    /// Samples every track at `seconds` into `pose`, part t = track t: the
    /// pose gets getNumTracks() parts (allocating only when it grows), and
    /// each part exactly the channels its track samples at that time (none
    /// for a track without keys under LINEAR and HOLD). Returns 1; 0 with
    /// nothing written when `seconds` is not finite (or overflows when turned
    /// into keys or cycles) or the timing is invalid. A `cursor` (not owned,
    /// may be null) saves searching for keys when times follow each other.
    int sample(double seconds, const Timing& timing, KTPose& pose, Cursor* cursor = nullptr) const;
    /// As sample() above, but track t goes into part partOfTrack[t] of
    /// `pose`, and tracks mapped to a negative index are skipped; the pose's
    /// size and its other parts are left alone. So several clips can be
    /// mapped onto the parts of one component. Also 0 with nothing written
    /// when the map does not have getNumTracks() entries or maps a track past
    /// the pose's end.
    int sample(double seconds, const Timing& timing, const std::vector<int>& partOfTrack,
               KTPose& pose, Cursor* cursor = nullptr) const;

private:
    // Track t's key k is entry first + k * stride of every key plane. Tracks
    // side by side with the same key count and no key fractions make a
    // group whose keys lie row by row, one track per column, so that a time
    // (which falls on the same place in all of them) reads rows. Past its end
    // a track samples sentinels[sentinel] under STEP (what update() writes
    // there). Its fractions, when it plays them, are fractions[fractionsAt,
    // fractionsAt + count); its STEP rotations that differ from its key
    // planes are stepRotations[stepAt, stepAt + stepCount), for the keys
    // stepKeys[stepAt, stepAt + stepCount) in increasing order.
    struct Track {
        std::size_t first;
        unsigned int stride;
        unsigned int count;
        int channels;
        unsigned int sentinel;
        bool hasFractions;
        std::size_t fractionsAt;
        std::size_t stepAt;
        unsigned int stepCount;
    };
    // Tracks [firstTrack, firstTrack + numTracks), `count` keys each, their
    // rows starting at entry firstKey.
    struct Group {
        unsigned int firstTrack;
        unsigned int numTracks;
        unsigned int count;
        std::size_t firstKey;
    };

    // Track t goes to part partOfTrack[t] (none when negative), or to part t
    // when partOfTrack is null.
    void sampleTracks(double seconds, const Timing& timing, const int* partOfTrack, KTPose& pose,
                      Cursor* cursor) const;
    void sampleStep(double seconds, const Timing& timing, const int* partOfTrack,
                    KTPose& pose) const;
    const float* keyAt(std::size_t entry, unsigned int plane) const {
        return &planes[plane * planeStride + entry];
    }

    Rotations rotations;
    std::vector<RWCString> partNames;
    std::vector<Track> tracks;
    std::vector<Group> groups;
    // The key planes (ktrt::detail::KeyPlane), planeStride floats apart,
    // each padded for reads in whole vectors.
    std::vector<float> planes;
    std::size_t planeStride;
    // Each track's channel bits, padded for reads in whole vectors.
    std::vector<int> trackChannels;
    // Distinct sentinel keys: translation, then rotation, 7 floats each.
    std::vector<float> sentinels;
    std::vector<unsigned int> stepKeys;
    std::vector<SbRotation> stepRotations;
    std::vector<float> fractions;
    // The frame count of update(): keys of the first track that has any.
    unsigned int numFrames;
    // The key count of the longest track.
    unsigned int longestTrack;
};
