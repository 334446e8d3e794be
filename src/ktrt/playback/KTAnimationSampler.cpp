#include <ktrt/playback/KTAnimationSampler.h>

#include <cmath>
#include <utility>

#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>

namespace {

const double defaultKeyRate = 30.0;

const std::shared_ptr<const KTAnimationClip>& emptyClip() {
    static const std::shared_ptr<const KTAnimationClip> empty =
        std::make_shared<const KTAnimationClip>();
    return empty;
}

} // namespace

KTAnimationSampler::KTAnimationSampler() : object(nullptr), animation(nullptr), clip(emptyClip()) {
    timing.keysPerSecond = defaultKeyRate;
}

KTAnimationSampler::KTAnimationSampler(KTComponent* component, KTComponentAnimation* played,
                                       double keysPerSecond)
    : KTAnimationSampler(component, played, nullptr, keysPerSecond) {}

KTAnimationSampler::KTAnimationSampler(KTComponent* component, KTComponentAnimation* played,
                                       std::shared_ptr<const KTAnimationClip> shared,
                                       double keysPerSecond)
    : object(component), animation(played), clip(std::move(shared)), parts(component) {
    timing.keysPerSecond = defaultKeyRate;
    setKeyRate(keysPerSecond);
    if (animation && (!clip || clip->getNumTracks() != animation->getNumPartAnimations()))
        clip = KTAnimationClip::create(*animation);
    if (!animation || !clip)
        clip = emptyClip();
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
        timing.keysPerSecond = keysPerSecond;
}

// Timing is validated as a whole, as the clip does for every sample: a mode
// the clip does not know is refused here too.
void KTAnimationSampler::setInterpolation(Interpolation mode) {
    KTAnimationClip::Timing changed = timing;
    changed.interpolation = mode;
    if (KTAnimationClip::validate(0.0, changed))
        timing = changed;
}

void KTAnimationSampler::setWrapMode(WrapMode mode) {
    KTAnimationClip::Timing changed = timing;
    changed.wrap = mode;
    if (KTAnimationClip::validate(0.0, changed))
        timing = changed;
}

void KTAnimationSampler::setCycleLength(double seconds) {
    if (seconds >= 0.0 && std::isfinite(seconds))
        timing.cycleSeconds = seconds;
}

void KTAnimationSampler::setRotations(KTAnimationClip::Rotations rotations) {
    if (animation && rotations != clip->getRotations()) {
        clip = KTAnimationClip::create(*animation, rotations);
        mapTracks();
    }
}

void KTAnimationSampler::bind() {
    if (!object || !animation)
        return;
    const unsigned int count = animation->getNumPartAnimations();
    for (unsigned int i = 0; i < count; ++i) {
        KTPartAnimation* track = (*animation)[i];
        if (parts.addPart(track->getPartName()))
            bindings.push_back(Binding{track, i});
    }
    pose.setNumParts(getNumParts());
    mapTracks();
}

void KTAnimationSampler::mapTracks() {
    partOfTrack.assign(clip->getNumTracks(), -1);
    for (std::size_t b = 0; b < bindings.size(); ++b) {
        if (bindings[b].trackIndex < partOfTrack.size())
            partOfTrack[bindings[b].trackIndex] = static_cast<int>(b);
    }
}

void KTAnimationSampler::refresh() {
    if (!animation)
        return;
    clip = KTAnimationClip::create(*animation, clip->getRotations());
    mapTracks();
}

double KTAnimationSampler::getDuration() const {
    // A sampler bound to nothing has no cycle, whatever its animation holds.
    return object != nullptr ? clip->getDuration(timing) : 0.0;
}

SoTransform* KTAnimationSampler::getPartTransform(unsigned int index) const {
    return parts.getTransform(index);
}

KTPartAnimation* KTAnimationSampler::getPartAnimation(unsigned int index) const {
    return index < bindings.size() ? bindings[index].track : nullptr;
}

void KTAnimationSampler::sample(double seconds) {
    // The one step that touches the scene: the binding writes the parts (and
    // writes nothing once the component is gone).
    if (parts.isComponentPresent() && clip->sample(seconds, timing, partOfTrack, pose, &cursor))
        parts.write(pose);
}
