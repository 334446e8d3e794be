#include <ktrt/playback/KTAnimationInstance.h>

#include <utility>

#include <Inventor/nodes/SoTransform.h>

#include <rw/RWBoundsErr.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTPart.h>

#include <ktrt/keys/KTComponentAnimation.h>
#include <ktrt/keys/KTPartAnimation.h>
#include <ktrt/binding/detail/SceneAccess.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/detail/TransformFields.h>

KTAnimationInstance::KTAnimationInstance(KTComponent* component, KTComponentAnimation* played)
    : animation(played), currentFrame(0), numFrames(0), object(component) {
    if (!object || !animation)
        return;
    const unsigned int count = animation->getNumPartAnimations();
    partTransforms.reserve(count);
    savedTransforms.reserve(count);
    boundTracks.reserve(count);
    const SbName transformName("transform");
    for (unsigned int i = 0; i < count; ++i) {
        KTPartAnimation* track = (*animation)[i];
        SoTransform* live = nullptr;
        coinref::CoinRef<SoTransform> saved;
        KTPart* part = object->getLogicalPart(track->getPartName());
        if (part)
            live = ktrt::detail::transformPartOf(part, transformName);
        if (live) {
            saved.reset(new SoTransform);
            ktrt::detail::copyTransformFields(*live, *saved);
        }
        partTransforms.append(live);
        boundTracks.push_back(track);
        savedTransforms.push_back(std::move(saved));
        if (numFrames == 0 && track->getNumStates() > 0)
            numFrames = track->getNumStates();
    }
}

KTAnimationInstance::KTAnimationInstance(const KTAnimationInstance& other)
    : animation(nullptr), currentFrame(0), numFrames(0), object(nullptr) {
    copyFrom(other);
}

KTAnimationInstance& KTAnimationInstance::operator=(const KTAnimationInstance& other) {
    if (this != &other)
        copyFrom(other);
    return *this;
}

KTAnimationInstance::~KTAnimationInstance() = default;

void KTAnimationInstance::copyFrom(const KTAnimationInstance& other) {
    // The source's nodes are referenced before ours are released: they may be
    // the same.
    std::vector<coinref::CoinRef<SoTransform>> shared;
    shared.reserve(other.savedTransforms.size());
    for (const coinref::CoinRef<SoTransform>& saved : other.savedTransforms)
        shared.emplace_back(saved.get());
    savedTransforms = std::move(shared);
    animation = other.animation;
    currentFrame = other.currentFrame;
    numFrames = other.numFrames;
    object = other.object;
    partTransforms = other.partTransforms;
    boundTracks = other.boundTracks;
}

int KTAnimationInstance::operator==(const KTAnimationInstance& other) const {
    return object == other.object && animation == other.animation ? 1 : 0;
}

void KTAnimationInstance::update() {
    if (!animation)
        return;
    const unsigned int count = animation->getNumPartAnimations();
    for (unsigned int i = 0; i < count; ++i) {
        // A track added or removed since construction shifts the table's
        // order: the track now at i may not be the one whose part was found
        // for i, and must not play into that part.
        KTPartAnimation* track = (*animation)[i];
        if (i >= boundTracks.size() || boundTracks[i] != track)
            rw_detail::throwBoundsErr(i, boundTracks.size());
        SoTransform* node = partTransforms[i];
        if (!node)
            continue;
        // The key is read afresh every frame, so a key edited in place plays
        // as it is now; converting its angles costs little beside the field
        // writes and their notifications.
        const KTAnimationState* key = (*track)[currentFrame];
        if (track->usePositions()) {
            double x, y, z;
            key->getPosition().getValues(x, y, z);
            node->translation.setValue(static_cast<float>(x), static_cast<float>(y),
                                       static_cast<float>(z));
        }
        if (track->useOrientations()) {
            float q[4];
            key->getOrientation().getValue(q);
            node->rotation.setValue(q[0], q[1], q[2], q[3]);
        }
    }
    if (++currentFrame >= numFrames)
        currentFrame = 0;
}

void KTAnimationInstance::resetState() {
    const std::size_t slots = partTransforms.entries();
    for (std::size_t k = 0; k < slots; ++k) {
        if (SoTransform* node = partTransforms(k))
            ktrt::detail::copyTransformFields(*savedTransforms[k], *node);
    }
}
