#include <ktrt/animation/KTAnimationInstance.h>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTComponent.h>
#include <ktcp/KTPart.h>

#include <ktrt/animation/KTComponentAnimation.h>
#include <ktrt/animation/KTPartAnimation.h>

namespace {

void copyTransformFields(const SoTransform& from, SoTransform& to) {
    to.translation.setValue(from.translation.getValue());
    to.rotation.setValue(from.rotation.getValue());
    to.scaleFactor.setValue(from.scaleFactor.getValue());
    to.scaleOrientation.setValue(from.scaleOrientation.getValue());
    to.center.setValue(from.center.getValue());
}

} // namespace

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
            copyTransformFields(*live, *saved);
        }
        partTransforms.append(live);
        savedTransforms.append(saved);
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
    const std::size_t slots = partTransforms.entries();
    for (unsigned int i = 0; i < count && i < slots; ++i) {
        SoTransform* node = partTransforms(i);
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
            float q[4];
            (*track)[currentFrame]->getOrientation().getValue(q);
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
            copyTransformFields(*savedTransforms(k), *node);
    }
}
