#include <ktrt/animation/KTAnimationSampler.h>

#include <cmath>
#include <utility>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTPart.h>

#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>
#include <ktrt/detail/SceneAccess.h>

namespace {

const double defaultKeyRate = 30.0;

static_assert(static_cast<int>(KTAnimationSampler::STEP) == KTAnimationClip::STEP &&
                  static_cast<int>(KTAnimationSampler::LINEAR) == KTAnimationClip::LINEAR &&
                  static_cast<int>(KTAnimationSampler::HOLD) == KTAnimationClip::HOLD,
              "the sampler's interpolations are the clip's");
static_assert(static_cast<int>(KTAnimationSampler::LOOP) == KTAnimationClip::LOOP &&
                  static_cast<int>(KTAnimationSampler::CLAMP) == KTAnimationClip::CLAMP &&
                  static_cast<int>(KTAnimationSampler::PING_PONG) == KTAnimationClip::PING_PONG,
              "the sampler's wrap modes are the clip's");

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
    : object(component), animation(played), clip(std::move(shared)) {
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

void KTAnimationSampler::setInterpolation(Interpolation mode) {
    timing.interpolation = static_cast<KTAnimationClip::Interpolation>(mode);
}

void KTAnimationSampler::setWrapMode(WrapMode mode) {
    timing.wrap = static_cast<KTAnimationClip::WrapMode>(mode);
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
    const SbName transformName("transform");
    const unsigned int count = animation->getNumPartAnimations();
    for (unsigned int i = 0; i < count; ++i) {
        KTPartAnimation* track = (*animation)[i];
        KTPart* part = object->getLogicalPart(track->getPartName());
        SoTransform* node = part ? ktrt::detail::transformPartOf(part, transformName) : nullptr;
        if (!node)
            continue;
        bindings.push_back(Binding{node, track, i});
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
    return clip->getDuration(timing);
}

SoTransform* KTAnimationSampler::getPartTransform(unsigned int index) const {
    return index < bindings.size() ? bindings[index].node : nullptr;
}

KTPartAnimation* KTAnimationSampler::getPartAnimation(unsigned int index) const {
    return index < bindings.size() ? bindings[index].track : nullptr;
}

int KTAnimationSampler::evaluate(double seconds, KTPose& result) const {
    if (!std::isfinite(seconds))
        return 0;
    result.setNumParts(getNumParts());
    return clip->sample(seconds, timing, partOfTrack, result);
}

namespace {

// Writes a part's translation and rotation. When both change, the node and
// the scene above it hear of it once, from the rotation: the translation's
// own auditors (field sensors, connected fields) are notified as usual, but
// its container is not, which halves the cost of notifying the scene.
void store(SoTransform& node, int channels, const SbVec3f& translation,
           const SbRotation& rotation) {
    const bool orientations = (channels & KTPose::ROTATION) != 0;
    if (channels & KTPose::TRANSLATION) {
        const SbBool notifying = orientations ? node.enableNotify(FALSE) : TRUE;
        node.translation.setValue(translation);
        if (orientations)
            node.enableNotify(notifying);
    }
    if (orientations)
        node.rotation.setValue(rotation);
}

} // namespace

void KTAnimationSampler::write() const {
    for (unsigned int i = 0; i < bindings.size(); ++i)
        store(*bindings[i].node, pose.getChannels(i), pose.getTranslation(i), pose.getRotation(i));
}

void KTAnimationSampler::sample(double seconds) {
    if (clip->sample(seconds, timing, partOfTrack, pose))
        write();
}
