#include <ktrt/binding/KTPartBinding.h>

#include <algorithm>

#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTPart.h>

#include <ktrt/binding/detail/SceneAccess.h>
#include <ktrt/pose/detail/RotationMath.h>

KTPartBinding::KTPartBinding() : component(nullptr), removalsWhenBound(0) {}

KTPartBinding::KTPartBinding(KTComponent* bound)
    : component(bound), presence(bound ? bound->getPresence() : nullptr),
      removalsWhenBound(presence ? presence->removals : 0) {}

KTPartBinding::KTPartBinding(const KTPartBinding& other)
    : component(nullptr), removalsWhenBound(0) {
    copyFrom(other);
}

KTPartBinding& KTPartBinding::operator=(const KTPartBinding& other) {
    if (this != &other)
        copyFrom(other);
    return *this;
}

KTPartBinding::~KTPartBinding() = default;

void KTPartBinding::copyFrom(const KTPartBinding& other) {
    // Reference the other's nodes before releasing ours: they may be the same.
    std::vector<Part> shared;
    shared.reserve(other.parts.size());
    for (const Part& part : other.parts)
        shared.push_back(Part{coinref::CoinRef<SoTransform>(part.node.get()), part.saved});
    parts = std::move(shared);
    component = other.component;
    presence = other.presence;
    removalsWhenBound = other.removalsWhenBound;
}

int KTPartBinding::operator==(const KTPartBinding& other) const {
    if (component != other.component || parts.size() != other.parts.size())
        return 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].node.get() != other.parts[i].node.get())
            return 0;
    }
    return 1;
}

int KTPartBinding::isComponentPresent() const {
    return presence && presence->alive && presence->removals == removalsWhenBound ? 1 : 0;
}

KTComponent* KTPartBinding::getComponent() const {
    return presence && presence->alive ? component : nullptr;
}

KTPartBinding::Fields KTPartBinding::fieldsOf(const SoTransform& node) {
    return Fields{node.translation.getValue(), node.rotation.getValue(),
                  node.scaleFactor.getValue(), node.scaleOrientation.getValue(),
                  node.center.getValue()};
}

int KTPartBinding::addPart(const RWCString& partName) {
    if (!isComponentPresent())
        return 0;
    KTPart* part = component->getLogicalPart(partName);
    SoTransform* node = part ? ktrt::detail::transformPartOf(part, SbName("transform")) : nullptr;
    if (!node)
        return 0;
    parts.push_back(Part{coinref::CoinRef<SoTransform>(node), fieldsOf(*node)});
    return 1;
}

SoTransform* KTPartBinding::getTransform(unsigned int index) const {
    return index < parts.size() ? parts[index].node.get() : nullptr;
}

namespace {

// Writes the channels of one part that change. When both change, the node and
// the scene above it hear of it once, from the rotation: the translation's own
// auditors (field sensors, connected fields) are notified as usual, but its
// container is not, which halves the cost of notifying the scene.
void store(SoTransform& node, int channels, const SbVec3f& translation,
           const SbRotation& rotation) {
    // A field that already holds the value bit for bit is not written again:
    // that would only notify the scene of a change that is not one. The
    // comparison is with the field itself, so a value a host set by hand is
    // still overwritten.
    using ktrt::detail::sameBits;
    const bool moves =
        (channels & KTPose::TRANSLATION) && !sameBits(node.translation.getValue(), translation);
    const bool turns =
        (channels & KTPose::ROTATION) && !sameBits(node.rotation.getValue(), rotation);
    if (moves) {
        const SbBool notifying = turns ? node.enableNotify(FALSE) : TRUE;
        node.translation.setValue(translation);
        if (turns)
            node.enableNotify(notifying);
    }
    if (turns)
        node.rotation.setValue(rotation);
}

} // namespace

void KTPartBinding::writePart(unsigned int index, int channels, const SbVec3f& translation,
                              const SbRotation& rotation) const {
    if (index < parts.size() && isComponentPresent())
        store(*parts[index].node, channels, translation, rotation);
}

void KTPartBinding::write(const KTPose& pose) const {
    if (!isComponentPresent())
        return;
    const std::size_t count = std::min<std::size_t>(parts.size(), pose.getNumParts());
    for (std::size_t i = 0; i < count; ++i) {
        const auto index = static_cast<unsigned int>(i);
        store(*parts[i].node, pose.getChannels(index), pose.getTranslation(index),
              pose.getRotation(index));
    }
}

void KTPartBinding::saveFields() {
    if (!isComponentPresent())
        return;
    for (Part& part : parts)
        part.saved = fieldsOf(*part.node);
}

void KTPartBinding::restore() const {
    if (!isComponentPresent())
        return;
    for (const Part& part : parts) {
        SoTransform& node = *part.node;
        node.translation.setValue(part.saved.translation);
        node.rotation.setValue(part.saved.rotation);
        node.scaleFactor.setValue(part.saved.scaleFactor);
        node.scaleOrientation.setValue(part.saved.scaleOrientation);
        node.center.setValue(part.saved.center);
    }
}

void KTPartBinding::getRestPose(KTPose& pose) const {
    pose.setNumParts(static_cast<unsigned int>(parts.size()));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto index = static_cast<unsigned int>(i);
        pose.setTranslation(index, parts[i].saved.translation);
        pose.setRotation(index, parts[i].saved.rotation);
    }
}

KTPose KTPartBinding::getRestPose() const {
    KTPose pose;
    getRestPose(pose);
    return pose;
}
