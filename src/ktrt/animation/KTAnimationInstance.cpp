#include <ktrt/animation/KTAnimationInstance.h>

#include <cstdint>
#include <cstring>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTPart.h>

#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/detail/TransformFields.h>

KTAnimationInstance::KTAnimationInstance(KTComponent* component, KTComponentAnimation* played)
    : animation(played), currentFrame(0), numFrames(0), object(component) {
    if (!object || !animation)
        return;
    const unsigned int count = animation->getNumPartAnimations();
    for (unsigned int i = 0; i < count; ++i) {
        KTPartAnimation* track = (*animation)[i];
        SoTransform* live = nullptr;
        SoTransform* saved = nullptr;
        if (KTPart* part = object->getLogicalPart(track->getPartName())) {
            live = static_cast<SoTransform*>(part->getPart("transform", TRUE));
            saved = new SoTransform;
            saved->ref();
            ktrt::detail::copyTransformFields(*live, *saved);
        }
        partTransforms.append(live);
        savedTransforms.append(saved);
        if (numFrames == 0 && track->getNumStates() > 0)
            numFrames = track->getNumStates();
    }
    rotationCache.resize(partTransforms.entries());
    for (std::size_t slot = 0; slot < rotationCache.size(); ++slot) {
        if (partTransforms(slot))
            rotationCache[slot].assign(numFrames, CachedRotation{{0, 0, 0}, {0, 0, 0, 1}, false});
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

KTAnimationInstance::~KTAnimationInstance() {
    releaseSaved();
}

void KTAnimationInstance::copyFrom(const KTAnimationInstance& other) {
    // Reference the source's nodes before releasing ours: they may be the same.
    for (SoTransform* saved : other.savedTransforms) {
        if (saved)
            saved->ref();
    }
    releaseSaved();
    animation = other.animation;
    currentFrame = other.currentFrame;
    numFrames = other.numFrames;
    object = other.object;
    savedTransforms = other.savedTransforms;
    partTransforms = other.partTransforms;
    rotationCache = other.rotationCache;
}

void KTAnimationInstance::releaseSaved() {
    for (SoTransform* saved : savedTransforms) {
        if (saved)
            saved->unref();
    }
    savedTransforms.clear();
    partTransforms.clear();
}

int KTAnimationInstance::operator==(const KTAnimationInstance& other) const {
    return object == other.object && animation == other.animation ? 1 : 0;
}

void KTAnimationInstance::update() {
    if (!animation)
        return;
    const unsigned int count = animation->getNumPartAnimations();
    for (unsigned int i = 0; i < count; ++i) {
        // Checked: a track added after construction (or any track without a
        // component) has no entry, and raises RWBoundsErr before currentFrame
        // moves on, rather than playing into another track's part.
        SoTransform* node = partTransforms[i];
        if (!node)
            continue;
        KTPartAnimation* track = (*animation)[i];
        if (track->usePositions()) {
            const KTVector3& position = (*track)[currentFrame]->getPosition();
            node->translation.setValue(static_cast<float>(position[0]),
                                       static_cast<float>(position[1]),
                                       static_cast<float>(position[2]));
        }
        if (track->useOrientations()) {
            float scratch[4];
            const float* q = rotationOf(i, (*track)[currentFrame]->getOrientation(), scratch);
            node->rotation.setValue(q[0], q[1], q[2], q[3]);
        }
    }
    if (++currentFrame >= numFrames)
        currentFrame = 0;
}

const float* KTAnimationInstance::rotationOf(std::size_t slot, const KTAngle& orientation,
                                             float scratch[4]) {
    std::vector<CachedRotation>& frames = rotationCache[slot];
    if (currentFrame >= frames.size()) {
        // Only without frames (numFrames 0): nothing to keep.
        orientation.getValue(scratch);
        return scratch;
    }
    CachedRotation& cached = frames[currentFrame];
    // Compared bit for bit, so that -0.0 against 0.0 or a NaN is converted
    // again rather than taken for the cached angle.
    std::uint64_t bits[3];
    for (unsigned int c = 0; c < 3; ++c) {
        const double angle = orientation[c];
        std::memcpy(&bits[c], &angle, sizeof angle);
    }
    if (!cached.filled || std::memcmp(cached.angleBits, bits, sizeof bits) != 0) {
        std::memcpy(cached.angleBits, bits, sizeof bits);
        orientation.getValue(cached.quaternion);
        cached.filled = true;
    }
    return cached.quaternion;
}

void KTAnimationInstance::resetState() {
    const std::size_t slots = partTransforms.entries();
    for (std::size_t k = 0; k < slots; ++k) {
        if (SoTransform* node = partTransforms(k))
            ktrt::detail::copyTransformFields(*savedTransforms(k), *node);
    }
}
