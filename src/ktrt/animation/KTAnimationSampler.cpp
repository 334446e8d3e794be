#include <ktrt/animation/KTAnimationSampler.h>

#include <cmath>
#include <cstdint>

#include <Inventor/nodes/SoTransform.h>

#include <ktrt/animation/KTAnimationState.h>
#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>

namespace {

const double defaultKeyRate = 30.0;

// A time that lands this close to a key (in key intervals) is taken for the
// key itself: k / keyRate * keyRate need not give back k exactly.
const double keySnap = 1e-7;

// Quaternions closer than this (cosine of half the angle between them) are
// blended linearly: the spherical form divides by a vanishing sine.
const double nearlyParallel = 0.9999995;

// `value` modulo `period`, in [0, period).
double positiveModulo(double value, double period) {
    double rest = std::fmod(value, period);
    if (rest < 0.0)
        rest += period;
    return rest >= period ? 0.0 : rest;
}

// Where `position` (in key intervals) falls on a track spanning `span`
// intervals, under the wrap mode: a value in [0, span].
double wrapPosition(double position, double span, KTAnimationSampler::WrapMode mode) {
    if (span <= 0.0)
        return 0.0;
    switch (mode) {
    case KTAnimationSampler::CLAMP:
        return position < 0.0 ? 0.0 : (position > span ? span : position);
    case KTAnimationSampler::PING_PONG: {
        const double phase = positiveModulo(position, 2.0 * span);
        return phase > span ? 2.0 * span - phase : phase;
    }
    case KTAnimationSampler::LOOP:
    default:
        return positiveModulo(position, span);
    }
}

// The frame of the frame sequence that `frame` (any integer) stands for
// under the wrap mode, with `count` frames.
std::int64_t wrapFrame(std::int64_t frame, std::int64_t count, KTAnimationSampler::WrapMode mode) {
    if (count <= 0)
        return 0;
    switch (mode) {
    case KTAnimationSampler::CLAMP:
        return frame < 0 ? 0 : (frame >= count ? count - 1 : frame);
    case KTAnimationSampler::PING_PONG: {
        std::int64_t phase = frame % (2 * count);
        if (phase < 0)
            phase += 2 * count;
        return phase < count ? phase : 2 * count - 1 - phase;
    }
    case KTAnimationSampler::LOOP:
    default: {
        const std::int64_t rest = frame % count;
        return rest < 0 ? rest + count : rest;
    }
    }
}

} // namespace

KTAnimationSampler::KTAnimationSampler()
    : object(nullptr), animation(nullptr), keyRate(defaultKeyRate), interpolation(LINEAR),
      wrapMode(LOOP), numFrames(0), longestTrack(0) {}

KTAnimationSampler::KTAnimationSampler(KTComponent* component, KTComponentAnimation* played,
                                       double keysPerSecond)
    : object(component), animation(played), keyRate(defaultKeyRate), interpolation(LINEAR),
      wrapMode(LOOP), numFrames(0), longestTrack(0), parts(component) {
    setKeyRate(keysPerSecond);
    bind();
}

KTAnimationSampler::KTAnimationSampler(const KTAnimationSampler& other) = default;

KTAnimationSampler& KTAnimationSampler::operator=(const KTAnimationSampler& other) = default;

KTAnimationSampler::~KTAnimationSampler() = default;

int KTAnimationSampler::operator==(const KTAnimationSampler& other) const {
    return object == other.object && animation == other.animation ? 1 : 0;
}

void KTAnimationSampler::setKeyRate(double keysPerSecond) {
    if (keysPerSecond > 0.0 && std::isfinite(keysPerSecond))
        keyRate = keysPerSecond;
}

void KTAnimationSampler::bind() {
    if (!object || !animation)
        return;
    const unsigned int count = animation->getNumPartAnimations();
    for (unsigned int i = 0; i < count; ++i) {
        KTPartAnimation* track = (*animation)[i];
        if (!parts.addPart(track->getPartName()))
            continue;
        Binding binding{};
        binding.part = parts.getNumParts() - 1;
        binding.track = track;
        bindings.push_back(binding);
    }
    refresh();
}

void KTAnimationSampler::refresh() {
    numFrames = 0;
    longestTrack = 0;
    keys.clear();
    if (!animation)
        return;
    // The frame count of update() and the longest track count every track,
    // bound or not.
    const unsigned int count = animation->getNumPartAnimations();
    for (unsigned int i = 0; i < count; ++i) {
        const std::size_t states = (*animation)[i]->getNumStates();
        if (numFrames == 0)
            numFrames = states;
        if (states > longestTrack)
            longestTrack = states;
    }

    for (Binding& binding : bindings) {
        KTPartAnimation& track = *binding.track;
        binding.positions = track.usePositions() != 0;
        binding.orientations = track.useOrientations() != 0;
        binding.first = keys.size();
        binding.count = track.getNumStates();
        // The keys, then the sentinel: operator[] past the end hands it out.
        for (std::size_t k = 0; k <= binding.count; ++k) {
            const KTAnimationState& state = *track[static_cast<unsigned int>(k)];
            Key key{};
            const KTVector3& position = state.getPosition();
            for (unsigned int c = 0; c < 3; ++c)
                key.position[c] = position[c];
            state.getOrientation().getValue(key.rotation);
            keys.push_back(key);
        }
        binding.sentinel = binding.first + binding.count;
        for (std::size_t k = 0; k + 1 < binding.count; ++k) {
            Key& from = keys[binding.first + k];
            const Key& to = keys[binding.first + k + 1];
            double cosine = 0.0;
            for (unsigned int c = 0; c < 4; ++c)
                cosine += static_cast<double>(from.rotation[c]) * to.rotation[c];
            // q and -q are the same rotation; the shorter arc starts from
            // whichever is nearer.
            from.sign = cosine < 0.0 ? -1.0 : 1.0;
            cosine = std::fabs(cosine);
            if (cosine > nearlyParallel) {
                from.angle = 0.0;
                from.inverseSine = 0.0;
            } else {
                from.angle = std::acos(cosine);
                from.inverseSine = 1.0 / std::sin(from.angle);
            }
        }
    }
}

double KTAnimationSampler::getDuration() const {
    if (interpolation == STEP)
        return static_cast<double>(numFrames) / keyRate;
    return longestTrack > 1 ? static_cast<double>(longestTrack - 1) / keyRate : 0.0;
}

SoTransform* KTAnimationSampler::getPartTransform(unsigned int index) const {
    return parts.getTransform(index);
}

KTPartAnimation* KTAnimationSampler::getPartAnimation(unsigned int index) const {
    return index < bindings.size() ? bindings[index].track : nullptr;
}

// The one step that touches the scene: the binding writes the part (and
// writes nothing once the component is gone).
void KTAnimationSampler::store(const Binding& binding, const float translation[3],
                               const float rotation[4]) const {
    const int channels = (binding.positions ? KTPose::TRANSLATION : 0) |
                         (binding.orientations ? KTPose::ROTATION : 0);
    parts.writePart(binding.part, channels, SbVec3f(translation[0], translation[1], translation[2]),
                    SbRotation(rotation[0], rotation[1], rotation[2], rotation[3]));
}

void KTAnimationSampler::write(const Binding& binding, const Key& key) const {
    float translation[3];
    for (unsigned int c = 0; c < 3; ++c)
        translation[c] = static_cast<float>(key.position[c]);
    store(binding, translation, key.rotation);
}

void KTAnimationSampler::writeBetween(const Binding& binding, const Key& from, const Key& to,
                                      double fraction) const {
    float translation[3] = {0.0f, 0.0f, 0.0f};
    if (binding.positions) {
        for (unsigned int c = 0; c < 3; ++c) {
            translation[c] = static_cast<float>(from.position[c] +
                                                (to.position[c] - from.position[c]) * fraction);
        }
    }
    float rotation[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    if (binding.orientations) {
        double fromWeight = 1.0 - fraction;
        double toWeight = fraction;
        if (from.inverseSine != 0.0) {
            fromWeight = std::sin(fromWeight * from.angle) * from.inverseSine;
            toWeight = std::sin(toWeight * from.angle) * from.inverseSine;
        }
        toWeight *= from.sign;
        double q[4];
        double norm = 0.0;
        for (unsigned int c = 0; c < 4; ++c) {
            q[c] = fromWeight * from.rotation[c] + toWeight * to.rotation[c];
            norm += q[c] * q[c];
        }
        // Exact on the arc up to rounding; the linear blend of nearly equal
        // keys needs it.
        const double scale = 1.0 / std::sqrt(norm);
        for (unsigned int c = 0; c < 4; ++c)
            rotation[c] = static_cast<float>(q[c] * scale);
    }
    store(binding, translation, rotation);
}

void KTAnimationSampler::sampleFrames(double seconds) {
    const double position = std::floor(seconds * keyRate + keySnap);
    // Far beyond any animation's length; keeps the conversion defined.
    const double limit = 4.0e18;
    const auto frame = static_cast<std::int64_t>(
        position < -limit ? -limit : (position > limit ? limit : position));
    const auto played =
        static_cast<std::size_t>(wrapFrame(frame, static_cast<std::int64_t>(numFrames), wrapMode));
    for (const Binding& binding : bindings)
        write(binding, keys[played < binding.count ? binding.first + played : binding.sentinel]);
}

void KTAnimationSampler::sample(double seconds) {
    if (!std::isfinite(seconds) || !parts.isComponentPresent())
        return;
    if (interpolation == STEP) {
        sampleFrames(seconds);
        return;
    }
    const double position = seconds * keyRate;
    // Tracks of one length share where the time falls; most animations have
    // a single length.
    std::size_t lastCount = 0;
    std::size_t index = 0;
    double fraction = 0.0;
    for (const Binding& binding : bindings) {
        if (binding.count == 0)
            continue;
        if (binding.count != lastCount) {
            lastCount = binding.count;
            const auto span = static_cast<double>(binding.count - 1);
            const double wrapped = wrapPosition(position, span, wrapMode);
            double whole = std::floor(wrapped);
            fraction = wrapped - whole;
            if (fraction > 1.0 - keySnap) {
                whole += 1.0;
                fraction = 0.0;
            } else if (fraction < keySnap || interpolation == HOLD) {
                fraction = 0.0;
            }
            index = static_cast<std::size_t>(whole);
            if (index >= binding.count - 1) {
                index = binding.count - 1;
                fraction = 0.0;
            }
        }
        const Key& from = keys[binding.first + index];
        if (fraction == 0.0)
            write(binding, from);
        else
            writeBetween(binding, from, keys[binding.first + index + 1], fraction);
    }
}
