#include <ktrt/pose/KTAnimationClip.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <type_traits>

#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTAxisAngle.h>
#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/pose/KTPose.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/pose/detail/KeyRows.h>
#include <ktrt/pose/detail/RotationMath.h>

static_assert(sizeof(SbRotation) == 4 * sizeof(float) &&
                  std::is_trivially_copyable<SbRotation>::value,
              "a rotation is its quaternion's four floats");

namespace {

// A time that lands this close to a key (in key intervals) is taken for the
// key itself: k / keyRate * keyRate need not give back k exactly.
const double keySnap = 1e-7;

const RWCString noName;

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

using ktrt::detail::KEY_PLANES;

// A track without key fractions can share rows with its neighbours of the
// same key count.
bool joins(unsigned int count, bool hasFractions, unsigned int groupCount, bool groupFractions) {
    return !hasFractions && !groupFractions && count == groupCount;
}

} // namespace

KTAnimationClip::KTAnimationClip()
    : rotations(EXACT), planeStride(0), numFrames(0), longestTrack(0) {}

KTAnimationClip::KTAnimationClip(KTComponentAnimation& animation, Rotations chosen)
    : rotations(chosen), planeStride(0), numFrames(0), longestTrack(0) {
    const unsigned int count = animation.getNumPartAnimations();
    tracks.resize(count);
    partNames.reserve(count);
    // The groups first: they decide where every key goes.
    std::size_t keyCount = 0;
    bool lastFractions = false;
    for (unsigned int t = 0; t < count; ++t) {
        KTPartAnimation& source = *animation[t];
        Track& track = tracks[t];
        track.count = source.getNumStates();
        track.channels = (source.usePositions() ? KTPose::TRANSLATION : 0) |
                         (source.useOrientations() ? KTPose::ROTATION : 0);
        track.hasFractions = playableFractions(source.getKeyFractions(), track.count);
        if (numFrames == 0)
            numFrames = track.count;
        longestTrack = std::max(longestTrack, track.count);
        if (groups.empty() ||
            !joins(track.count, track.hasFractions, groups.back().count, lastFractions))
            groups.push_back(Group{t, 0, track.count, keyCount});
        ++groups.back().numTracks;
        lastFractions = track.hasFractions;
        keyCount += track.count;
        partNames.push_back(source.getPartName());
    }
    for (const Group& group : groups) {
        for (unsigned int t = group.firstTrack; t < group.firstTrack + group.numTracks; ++t) {
            tracks[t].first = group.firstKey + (t - group.firstTrack);
            tracks[t].stride = group.numTracks;
        }
    }
    planeStride = keyCount + ktrt::detail::rowPadding;
    planes.assign(KEY_PLANES * planeStride, 0.0f);
    trackChannels.assign(count + ktrt::detail::rowPadding, 0);
    for (unsigned int t = 0; t < count; ++t)
        trackChannels[t] = tracks[t].channels;

    std::map<std::array<std::uint32_t, 7>, unsigned int> sentinelOf;
    for (unsigned int t = 0; t < count; ++t) {
        KTPartAnimation& source = *animation[t];
        Track& track = tracks[t];
        track.stepAt = stepKeys.size();
        for (unsigned int k = 0; k < track.count; ++k) {
            const KTAnimationState& state = *source[k];
            const KTVector3& position = state.getPosition();
            const SbRotation converted = convertedRotation(state);
            SbRotation rotation = converted;
            if (rotations == EXACT && exactRotation(state, rotation) &&
                !ktrt::detail::sameBits(rotation, converted)) {
                stepKeys.push_back(k);
                stepRotations.push_back(converted);
            }
            const std::size_t entry = track.first + static_cast<std::size_t>(k) * track.stride;
            for (unsigned int c = 0; c < 4; ++c)
                planes[c * planeStride + entry] = rotation.getValue()[c];
            for (unsigned int c = 0; c < 3; ++c)
                planes[(4 + c) * planeStride + entry] = static_cast<float>(position[c]);
        }
        track.stepCount = static_cast<unsigned int>(stepKeys.size() - track.stepAt);
        for (unsigned int k = 0; k + 1 < track.count; ++k) {
            const std::size_t entry = track.first + static_cast<std::size_t>(k) * track.stride;
            float from[4];
            float to[4];
            for (unsigned int c = 0; c < 4; ++c) {
                from[c] = planes[c * planeStride + entry];
                to[c] = planes[c * planeStride + entry + track.stride];
            }
            planes[ktrt::detail::ARC * planeStride + entry] = ktrt::detail::arcBetween(from, to);
        }
        // The sentinel: operator[] past the end hands it out. Tracks share
        // equal ones (all of them, as a rule).
        const KTAnimationState& end = *source[track.count];
        const KTVector3& position = end.getPosition();
        const SbRotation rotation = convertedRotation(end);
        float sentinel[7] = {static_cast<float>(position[0]), static_cast<float>(position[1]),
                             static_cast<float>(position[2])};
        std::memcpy(sentinel + 3, rotation.getValue(), 4 * sizeof(float));
        std::array<std::uint32_t, 7> bits{};
        std::memcpy(bits.data(), sentinel, sizeof(sentinel));
        const auto found =
            sentinelOf.emplace(bits, static_cast<unsigned int>(sentinels.size() / 7));
        if (found.second)
            sentinels.insert(sentinels.end(), sentinel, sentinel + 7);
        track.sentinel = found.first->second;
        track.fractionsAt = fractions.size();
        if (track.hasFractions) {
            const std::vector<float>& given = source.getKeyFractions();
            fractions.insert(fractions.end(), given.begin(), given.end());
        }
    }
}

KTAnimationClip::KTAnimationClip(const KTAnimationClip& other) = default;

KTAnimationClip& KTAnimationClip::operator=(const KTAnimationClip& other) = default;

KTAnimationClip::~KTAnimationClip() = default;

int KTAnimationClip::operator==(const KTAnimationClip& other) const {
    if (tracks.size() != other.tracks.size() || planes.size() != other.planes.size() ||
        sentinels.size() != other.sentinels.size() || stepKeys != other.stepKeys ||
        fractions.size() != other.fractions.size())
        return 0;
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        const Track& a = tracks[t];
        const Track& b = other.tracks[t];
        if (a.count != b.count || a.channels != b.channels || a.hasFractions != b.hasFractions ||
            a.first != b.first || a.stride != b.stride || a.sentinel != b.sentinel ||
            a.stepCount != b.stepCount || partNames[t] != other.partNames[t])
            return 0;
    }
    using ktrt::detail::sameBits;
    return sameBits(planes.data(), other.planes.data(), planes.size()) &&
                   sameBits(sentinels.data(), other.sentinels.data(), sentinels.size()) &&
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
    return planes.size() * sizeof(float) + sentinels.size() * sizeof(float) +
           stepKeys.size() * sizeof(unsigned int) + stepRotations.size() * sizeof(SbRotation) +
           fractions.size() * sizeof(float);
}

const char* KTAnimationClip::getSimdTarget() {
    return ktrt::detail::keyRowsTarget();
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

int KTAnimationClip::sample(double seconds, const Timing& timing, KTPose& pose,
                            Cursor* cursor) const {
    if (!validate(seconds, timing))
        return 0;
    pose.setNumParts(getNumTracks());
    sampleTracks(seconds, timing, nullptr, pose, cursor);
    return 1;
}

int KTAnimationClip::sample(double seconds, const Timing& timing,
                            const std::vector<int>& partOfTrack, KTPose& pose,
                            Cursor* cursor) const {
    if (!validate(seconds, timing) || partOfTrack.size() != tracks.size())
        return 0;
    const auto parts = static_cast<int>(pose.getNumParts());
    for (int part : partOfTrack) {
        if (part >= parts)
            return 0;
    }
    sampleTracks(seconds, timing, partOfTrack.data(), pose, cursor);
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
// fractions: before the first key the first, after the last the last. The
// key `hint` and the one after it are tried before searching: the key is the
// one index with fractions[index] <= phase < fractions[index + 1], so any
// way of finding it finds the same.
Place placeAmong(const float* fractions, unsigned int count, double phase, bool hold,
                 unsigned int& hint) {
    if (count == 1 || phase <= fractions[0])
        return Place{0, 0.0};
    if (phase >= fractions[count - 1])
        return Place{count - 1, 0.0};
    unsigned int index = hint;
    const auto holds = [&](unsigned int k) {
        return k + 1 < count && fractions[k] <= phase && phase < fractions[k + 1];
    };
    if (!holds(index) && !holds(++index)) {
        const float* after = std::upper_bound(fractions, fractions + count, phase,
                                              [](double p, float f) { return p < f; });
        index = static_cast<unsigned int>(after - fractions - 1);
    }
    hint = index;
    const double from = fractions[index];
    return settle(index, (phase - from) / (static_cast<double>(fractions[index + 1]) - from), count,
                  hold);
}

const SbVec3f zeroTranslation(0.0f, 0.0f, 0.0f);
const SbRotation noTurn(0.0f, 0.0f, 0.0f, 1.0f);

// Tracks blended in SIMD per pass: the results wait on the stack.
const std::size_t rowChunk = 256;

} // namespace

void KTAnimationClip::sampleStep(double seconds, const Timing& timing, const int* partOfTrack,
                                 KTPose& pose) const {
    const double position = std::floor(seconds * timing.keysPerSecond + keySnap);
    // Far beyond any animation's length; keeps the conversion defined.
    const double limit = 4.0e18;
    const auto frame = static_cast<std::int64_t>(
        position < -limit ? -limit : (position > limit ? limit : position));
    const auto played = static_cast<unsigned int>(
        wrapFrame(frame, static_cast<std::int64_t>(numFrames), timing.wrap));
    const auto count = static_cast<unsigned int>(tracks.size());
    for (unsigned int t = 0; t < count; ++t) {
        const int part = partOfTrack ? partOfTrack[t] : static_cast<int>(t);
        if (part < 0)
            continue;
        const Track& track = tracks[t];
        if (played >= track.count) {
            // A shorter track writes its sentinel past its end.
            const float* sentinel = &sentinels[7 * static_cast<std::size_t>(track.sentinel)];
            pose.put(static_cast<std::size_t>(part), sentinel, sentinel + 3, track.channels);
            continue;
        }
        const std::size_t entry = track.first + static_cast<std::size_t>(played) * track.stride;
        float rotation[4];
        for (unsigned int c = 0; c < 4; ++c)
            rotation[c] = *keyAt(entry, c);
        const unsigned int* keysAt = stepKeys.data() + track.stepAt;
        const unsigned int* found =
            track.stepCount == track.count
                ? keysAt + played
                : std::lower_bound(keysAt, keysAt + track.stepCount, played);
        if (found != keysAt + track.stepCount && *found == played)
            std::memcpy(rotation, stepRotations[track.stepAt + (found - keysAt)].getValue(),
                        sizeof(rotation));
        const float translation[3] = {*keyAt(entry, 4), *keyAt(entry, 5), *keyAt(entry, 6)};
        pose.put(static_cast<std::size_t>(part), translation, rotation, track.channels);
    }
}

void KTAnimationClip::sampleTracks(double seconds, const Timing& timing, const int* partOfTrack,
                                   KTPose& pose, Cursor* cursor) const {
    if (timing.interpolation == STEP) {
        sampleStep(seconds, timing, partOfTrack, pose);
        return;
    }
    const bool hold = timing.interpolation == HOLD;
    const bool cycle = timing.cycleSeconds > 0.0;
    // A cycle fraction with a cycle length, else key intervals.
    const double position = cycle ? wrapPosition(seconds / timing.cycleSeconds, 1.0, timing.wrap)
                                  : seconds * timing.keysPerSecond;
    if (cursor && cursor->lastKey.size() != tracks.size())
        cursor->lastKey.assign(tracks.size(), 0);
    for (const Group& group : groups) {
        const unsigned int end = group.firstTrack + group.numTracks;
        if (group.count == 0) {
            for (unsigned int t = group.firstTrack; t < end; ++t) {
                const int part = partOfTrack ? partOfTrack[t] : static_cast<int>(t);
                if (part >= 0)
                    pose.put(static_cast<std::size_t>(part), zeroTranslation.getValue(),
                             noTurn.getValue(), 0);
            }
            continue;
        }
        Place place{0, 0.0};
        if (cycle && tracks[group.firstTrack].hasFractions) {
            // A group of one track.
            const Track& track = tracks[group.firstTrack];
            unsigned int noCursor = 0;
            unsigned int& hint = cursor ? cursor->lastKey[group.firstTrack] : noCursor;
            place = placeAmong(&fractions[track.fractionsAt], track.count, position, hold, hint);
        } else {
            const auto span = static_cast<double>(group.count - 1);
            const double wrapped =
                cycle ? position * span : wrapPosition(position, span, timing.wrap);
            const double whole = std::floor(wrapped);
            place = settle(whole, wrapped - whole, group.count, hold);
        }
        const std::size_t row =
            group.firstKey + static_cast<std::size_t>(place.index) * group.numTracks;
        if (group.numTracks == 1 && place.fraction != 0.0) {
            const int part =
                partOfTrack ? partOfTrack[group.firstTrack] : static_cast<int>(group.firstTrack);
            if (part < 0)
                continue;
            float from[KEY_PLANES];
            float to[KEY_PLANES];
            for (unsigned int c = 0; c < KEY_PLANES; ++c) {
                from[c] = *keyAt(row, c);
                to[c] = *keyAt(row + 1, c);
            }
            float out[ktrt::detail::blendPlanes];
            ktrt::detail::blendKey(from, to, place.fraction, out);
            pose.put(static_cast<std::size_t>(part), out + 4, out,
                     tracks[group.firstTrack].channels);
            continue;
        }
        // On a key the row as it is, else the blend with the next row.
        const auto fraction = static_cast<float>(place.fraction);
        const std::size_t next = fraction == 0.0f ? row : row + group.numTracks;
        if (!partOfTrack) {
            // Track t is part t: straight into the pose's planes.
            ktrt::detail::sampleKeyRows(keyAt(row, 0), keyAt(next, 0), planeStride,
                                        &trackChannels[group.firstTrack], group.numTracks, fraction,
                                        &pose.values[group.firstTrack],
                                        &pose.channelBits[group.firstTrack], pose.stride);
            continue;
        }
        // Else in chunks that wait on the stack for their parts.
        float sampled[ktrt::detail::blendPlanes * rowChunk];
        int channels[rowChunk];
        for (unsigned int first = group.firstTrack; first < end;
             first += static_cast<unsigned int>(rowChunk)) {
            const auto lanes = std::min<std::size_t>(rowChunk, end - first);
            const std::size_t offset = first - group.firstTrack;
            ktrt::detail::sampleKeyRows(keyAt(row + offset, 0), keyAt(next + offset, 0),
                                        planeStride, &trackChannels[first], lanes, fraction,
                                        sampled, channels, rowChunk);
            for (std::size_t lane = 0; lane < lanes; ++lane) {
                const int part = partOfTrack[first + lane];
                if (part < 0)
                    continue;
                const float translation[3] = {sampled[4 * rowChunk + lane],
                                              sampled[5 * rowChunk + lane],
                                              sampled[6 * rowChunk + lane]};
                const float rotation[4] = {sampled[lane], sampled[rowChunk + lane],
                                           sampled[2 * rowChunk + lane],
                                           sampled[3 * rowChunk + lane]};
                pose.put(static_cast<std::size_t>(part), translation, rotation, channels[lane]);
            }
        }
    }
}
