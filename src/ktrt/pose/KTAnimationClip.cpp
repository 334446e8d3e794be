#include <ktrt/pose/KTAnimationClip.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>

#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTAxisAngle.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/pose/KTPose.h>
#include <ktrt/pose/detail/RotationMath.h>

namespace {

// A time that lands this close to a key (in key intervals) is taken for the
// key itself: k / keyRate * keyRate need not give back k exactly.
const double keySnap = 1e-7;

const RWCString noName;

// How many tracks ahead sampling fetches keys.
const unsigned int prefetchAhead = 8;

// `value` modulo `period`, in [0, period).
double positiveModulo(double value, double period) {
    double rest = std::fmod(value, period);
    if (rest < 0.0)
        rest += period;
    return rest >= period ? 0.0 : rest;
}

// Where `position` falls on a span of `span` under the wrap mode: a value in
// [0, span].
double wrapPosition(double position, double span, KTAnimationClip::WrapMode mode) {
    if (span <= 0.0)
        return 0.0;
    switch (mode) {
    case KTAnimationClip::CLAMP:
        return position < 0.0 ? 0.0 : (position > span ? span : position);
    case KTAnimationClip::PING_PONG: {
        const double phase = positiveModulo(position, 2.0 * span);
        return phase > span ? 2.0 * span - phase : phase;
    }
    case KTAnimationClip::LOOP:
    default:
        return positiveModulo(position, span);
    }
}

// The frame of the frame sequence that `frame` (any integer) stands for
// under the wrap mode, with `count` frames.
std::int64_t wrapFrame(std::int64_t frame, std::int64_t count, KTAnimationClip::WrapMode mode) {
    if (count <= 0)
        return 0;
    switch (mode) {
    case KTAnimationClip::CLAMP:
        return frame < 0 ? 0 : (frame >= count ? count - 1 : frame);
    case KTAnimationClip::PING_PONG: {
        std::int64_t phase = frame % (2 * count);
        if (phase < 0)
            phase += 2 * count;
        return phase < count ? phase : 2 * count - 1 - phase;
    }
    case KTAnimationClip::LOOP:
    default: {
        const std::int64_t rest = frame % count;
        return rest < 0 ? rest + count : rest;
    }
    }
}

// The only reading of what a key remembers of its axis and angle.
bool rememberedAxisAngle(const KTAnimationState& key, float numbers[4]) {
    KTAxisAngle value;
    if (!key.getAxisAngle(value))
        return false;
    value.getValue(numbers[0], numbers[1], numbers[2], numbers[3]);
    return true;
}

// The rotation update() writes for `key`: its angles converted, then set
// as four numbers (which SbRotation normalises).
SbRotation convertedRotation(const KTAnimationState& key) {
    float q[4];
    key.getOrientation().getValue(q);
    return SbRotation(q[0], q[1], q[2], q[3]);
}

// The exact rotation of a remembered axis and angle, when it has one: a
// finite angle about a finite axis whose length Coin can take.
bool exactRotation(const KTAnimationState& key, SbRotation& rotation) {
    float n[4];
    if (!rememberedAxisAngle(key, n))
        return false;
    for (float number : n) {
        if (!std::isfinite(number))
            return false;
    }
    const float lengthSquared = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    if (!(lengthSquared >= FLT_MIN) || !std::isfinite(lengthSquared))
        return false;
    rotation = SbRotation(SbVec3f(n[0], n[1], n[2]), n[3]);
    return true;
}

// Fractions that a track can play: one per key, finite and never decreasing.
bool playableFractions(const std::vector<float>& fractions, unsigned int count) {
    if (count == 0 || fractions.size() != count)
        return false;
    for (std::size_t k = 0; k < fractions.size(); ++k) {
        if (!std::isfinite(fractions[k]) || (k > 0 && fractions[k] < fractions[k - 1]))
            return false;
    }
    return true;
}

} // namespace

KTAnimationClip::KTAnimationClip() : rotations(EXACT), numFrames(0), longestTrack(0) {}

KTAnimationClip::KTAnimationClip(KTComponentAnimation& animation, Rotations chosen)
    : rotations(chosen), numFrames(0), longestTrack(0) {
    const unsigned int count = animation.getNumPartAnimations();
    tracks.reserve(count);
    partNames.reserve(count);
    std::size_t keyCount = 0;
    for (unsigned int t = 0; t < count; ++t)
        keyCount += animation[t]->getNumStates() + 1;
    keys.reserve(keyCount);

    bool exactSeen = false;
    std::vector<SbRotation> converted;
    converted.reserve(keyCount);
    for (unsigned int t = 0; t < count; ++t) {
        KTPartAnimation& source = *animation[t];
        Track track{};
        track.first = keys.size();
        track.count = source.getNumStates();
        track.channels = (source.usePositions() ? KTPose::TRANSLATION : 0) |
                         (source.useOrientations() ? KTPose::ROTATION : 0);
        if (numFrames == 0)
            numFrames = track.count;
        longestTrack = std::max(longestTrack, track.count);
        // The keys, then the sentinel: operator[] past the end hands it out.
        for (unsigned int k = 0; k <= track.count; ++k) {
            const KTAnimationState& state = *source[k];
            const KTVector3& position = state.getPosition();
            Key key{};
            key.translation.setValue(static_cast<float>(position[0]),
                                     static_cast<float>(position[1]),
                                     static_cast<float>(position[2]));
            key.rotation = convertedRotation(state);
            converted.push_back(key.rotation);
            if (rotations == EXACT && k < track.count && exactRotation(state, key.rotation))
                exactSeen = true;
            keys.push_back(key);
        }
        for (unsigned int k = 0; k + 1 < track.count; ++k) {
            Key& from = keys[track.first + k];
            const ktrt::detail::ShortArc arc =
                ktrt::detail::shortArc(from.rotation, keys[track.first + k + 1].rotation);
            // Kept in two floats: the sign of the inverse sine says which way
            // the arc ends, the angle is rounded before its sine is taken.
            const float sign = arc.flip ? -1.0f : 1.0f;
            if (arc.inverseSine == 0.0) {
                from.arcAngle = 0.0f;
                from.arcInverseSine = std::copysign(0.0f, sign);
            } else {
                from.arcAngle = static_cast<float>(arc.angle);
                from.arcInverseSine =
                    sign * static_cast<float>(1.0 / std::sin(static_cast<double>(from.arcAngle)));
            }
        }
        const std::vector<float>& given = source.getKeyFractions();
        track.hasFractions = playableFractions(given, track.count);
        track.fractionsAt = fractions.size();
        if (track.hasFractions)
            fractions.insert(fractions.end(), given.begin(), given.end());
        tracks.push_back(track);
        partNames.push_back(source.getPartName());
    }
    if (exactSeen)
        stepRotations = std::move(converted);
}

KTAnimationClip::KTAnimationClip(const KTAnimationClip& other) = default;

KTAnimationClip& KTAnimationClip::operator=(const KTAnimationClip& other) = default;

KTAnimationClip::~KTAnimationClip() = default;

int KTAnimationClip::operator==(const KTAnimationClip& other) const {
    if (tracks.size() != other.tracks.size() || keys.size() != other.keys.size() ||
        stepRotations.size() != other.stepRotations.size() ||
        fractions.size() != other.fractions.size())
        return 0;
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        const Track& a = tracks[t];
        const Track& b = other.tracks[t];
        if (a.count != b.count || a.channels != b.channels || a.hasFractions != b.hasFractions ||
            partNames[t] != other.partNames[t])
            return 0;
    }
    using ktrt::detail::sameBits;
    return sameBits(keys.data(), other.keys.data(), keys.size()) &&
                   sameBits(stepRotations.data(), other.stepRotations.data(),
                            stepRotations.size()) &&
                   sameBits(fractions.data(), other.fractions.data(), fractions.size())
               ? 1
               : 0;
}

std::shared_ptr<const KTAnimationClip> KTAnimationClip::create(KTComponentAnimation& animation,
                                                               Rotations chosen) {
    return std::make_shared<const KTAnimationClip>(animation, chosen);
}

const RWCString& KTAnimationClip::getPartName(unsigned int track) const {
    return track < partNames.size() ? partNames[track] : noName;
}

int KTAnimationClip::getChannels(unsigned int track) const {
    return track < tracks.size() ? tracks[track].channels : 0;
}

unsigned int KTAnimationClip::getNumKeys(unsigned int track) const {
    return track < tracks.size() ? tracks[track].count : 0;
}

double KTAnimationClip::getDuration(const Timing& timing) const {
    if (!validate(0.0, timing))
        return 0.0;
    if (timing.interpolation == STEP)
        return static_cast<double>(numFrames) / timing.keysPerSecond;
    if (timing.cycleSeconds > 0.0)
        return timing.cycleSeconds;
    return longestTrack > 1 ? static_cast<double>(longestTrack - 1) / timing.keysPerSecond : 0.0;
}

std::size_t KTAnimationClip::getKeyBytes() const {
    return keys.size() * sizeof(Key) + stepRotations.size() * sizeof(SbRotation) +
           fractions.size() * sizeof(float);
}

int KTAnimationClip::validate(double seconds, const Timing& timing) {
    if (!(std::isfinite(seconds) && timing.keysPerSecond > 0.0 &&
          std::isfinite(timing.keysPerSecond) && timing.cycleSeconds >= 0.0 &&
          std::isfinite(timing.cycleSeconds) && timing.interpolation >= STEP &&
          timing.interpolation <= HOLD && timing.wrap >= LOOP && timing.wrap <= PING_PONG))
        return 0;
    // A time so far out that it overflows in keys or cycles has no place.
    return std::isfinite(seconds * timing.keysPerSecond) &&
                   (timing.cycleSeconds == 0.0 || std::isfinite(seconds / timing.cycleSeconds))
               ? 1
               : 0;
}

int KTAnimationClip::sample(double seconds, const Timing& timing, KTPose& pose) const {
    if (!validate(seconds, timing))
        return 0;
    pose.setNumParts(getNumTracks());
    sampleTracks(
        seconds, timing, [](unsigned int t) { return static_cast<int>(t); }, pose);
    return 1;
}

int KTAnimationClip::sample(double seconds, const Timing& timing,
                            const std::vector<int>& partOfTrack, KTPose& pose) const {
    if (!validate(seconds, timing) || partOfTrack.size() != tracks.size())
        return 0;
    const auto parts = static_cast<int>(pose.getNumParts());
    for (int part : partOfTrack) {
        if (part >= parts)
            return 0;
    }
    const int* map = partOfTrack.data();
    sampleTracks(
        seconds, timing, [map](unsigned int t) { return map[t]; }, pose);
    return 1;
}

namespace {

// Where a time falls on a track: between key `index` and the next one, at
// `fraction` of the way (0 on the key itself).
struct Place {
    unsigned int index;
    double fraction;
};

// Snaps a place near a key onto it, and onto the key before under HOLD.
Place settle(double whole, double fraction, unsigned int count, bool hold) {
    if (fraction > 1.0 - keySnap) {
        whole += 1.0;
        fraction = 0.0;
    } else if (fraction < keySnap || hold) {
        fraction = 0.0;
    }
    Place place{static_cast<unsigned int>(whole), fraction};
    if (place.index >= count - 1) {
        place.index = count - 1;
        place.fraction = 0.0;
    }
    return place;
}

// The place of `phase` (a cycle fraction in [0, 1]) among a track's key
// fractions: before the first key the first, after the last the last.
Place placeAmong(const float* fractions, unsigned int count, double phase, bool hold) {
    if (count == 1 || phase <= fractions[0])
        return Place{0, 0.0};
    if (phase >= fractions[count - 1])
        return Place{count - 1, 0.0};
    const float* after = std::upper_bound(fractions, fractions + count, phase,
                                          [](double p, float f) { return p < f; });
    const auto index = static_cast<unsigned int>(after - fractions - 1);
    const double from = fractions[index];
    return settle(index, (phase - from) / (static_cast<double>(*after) - from), count, hold);
}

} // namespace

template <class PartOf>
void KTAnimationClip::sampleTracks(double seconds, const Timing& timing, PartOf partOf,
                                   KTPose& pose) const {
    const unsigned int count = getNumTracks();
    if (timing.interpolation == STEP) {
        const double position = std::floor(seconds * timing.keysPerSecond + keySnap);
        // Far beyond any animation's length; keeps the conversion defined.
        const double limit = 4.0e18;
        const auto frame = static_cast<std::int64_t>(
            position < -limit ? -limit : (position > limit ? limit : position));
        const auto played = static_cast<unsigned int>(
            wrapFrame(frame, static_cast<std::int64_t>(numFrames), timing.wrap));
        const SbRotation* rotationOf = stepRotations.empty() ? nullptr : stepRotations.data();
        for (unsigned int t = 0; t < count; ++t) {
            const int part = partOf(t);
            if (part < 0)
                continue;
            const Track& track = tracks[t];
            // A shorter track writes its sentinel past its end.
            const std::size_t at = track.first + (played < track.count ? played : track.count);
            pose.setPart(static_cast<unsigned int>(part), keys[at].translation,
                         rotationOf ? rotationOf[at] : keys[at].rotation, track.channels);
        }
        return;
    }

    const bool hold = timing.interpolation == HOLD;
    const bool cycle = timing.cycleSeconds > 0.0;
    // A cycle fraction with a cycle length, else key intervals.
    const double position = cycle ? wrapPosition(seconds / timing.cycleSeconds, 1.0, timing.wrap)
                                  : seconds * timing.keysPerSecond;
    // Evenly spaced tracks of one length share where the time falls; most
    // animations have a single length.
    unsigned int lastCount = 0;
    Place place{0, 0.0};
    for (unsigned int t = 0; t < count; ++t) {
        const int part = partOf(t);
        if (part < 0)
            continue;
        const Track& track = tracks[t];
#if defined(__GNUC__)
        // The keys a few tracks on, most likely at the same place: their
        // fetch overlaps this track's arithmetic.
        if (t + prefetchAhead < count) {
            const Track& ahead = tracks[t + prefetchAhead];
            if (place.index + 1 < ahead.count) {
                const char* at = reinterpret_cast<const char*>(&keys[ahead.first + place.index]);
                __builtin_prefetch(at);
                __builtin_prefetch(at + 2 * sizeof(Key) - 1);
            }
        }
#endif
        if (track.count == 0) {
            pose.setPart(static_cast<unsigned int>(part), SbVec3f(0.0f, 0.0f, 0.0f),
                         SbRotation::identity(), 0);
            continue;
        }
        if (cycle && track.hasFractions) {
            place = placeAmong(&fractions[track.fractionsAt], track.count, position, hold);
            lastCount = 0;
        } else if (track.count != lastCount) {
            lastCount = track.count;
            const auto span = static_cast<double>(track.count - 1);
            const double wrapped =
                cycle ? position * span : wrapPosition(position, span, timing.wrap);
            const double whole = std::floor(wrapped);
            place = settle(whole, wrapped - whole, track.count, hold);
        }
        const Key& from = keys[track.first + place.index];
        if (place.fraction == 0.0) {
            pose.setPart(static_cast<unsigned int>(part), from.translation, from.rotation,
                         track.channels);
            continue;
        }
        const Key& to = keys[track.first + place.index + 1];
        const double f = place.fraction;
        SbVec3f translation(0.0f, 0.0f, 0.0f);
        if (track.channels & KTPose::TRANSLATION) {
            const float* a = from.translation.getValue();
            const float* b = to.translation.getValue();
            translation.setValue(static_cast<float>(a[0] + (b[0] - static_cast<double>(a[0])) * f),
                                 static_cast<float>(a[1] + (b[1] - static_cast<double>(a[1])) * f),
                                 static_cast<float>(a[2] + (b[2] - static_cast<double>(a[2])) * f));
        }
        const SbRotation rotation =
            (track.channels & KTPose::ROTATION)
                ? ktrt::detail::slerpOnArc(
                      from.rotation, to.rotation,
                      ktrt::detail::ShortArc{from.arcAngle, std::fabs(from.arcInverseSine),
                                             std::signbit(from.arcInverseSine)},
                      f)
                : SbRotation::identity();
        pose.setPart(static_cast<unsigned int>(part), translation, rotation, track.channels);
    }
}
