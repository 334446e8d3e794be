#include <ktrt/keys/KTComponentAnimation.h>

#include <cstring>
#include <memory>
#include <utility>

#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/detail/AnimationFileReader.h>
#include <ktrt/keys/detail/TrackTable.h>

using ktrt::detail::TrackTable;

KTComponentAnimation::KTComponentAnimation()
    : invalidPartAnimation(new KTPartAnimation()), lineNumber(0),
      partAnimations(std::make_unique<TrackTable>()), loaded(0) {}

KTComponentAnimation::KTComponentAnimation(const KTComponentAnimation& other)
    : KTComponentAnimation() {
    // Delegating first means the destructor frees the sentinel if copying the
    // tracks throws.
    *partAnimations = *other.partAnimations;
    componentName = other.componentName;
    lineText = other.lineText;
    errorMessage = other.errorMessage;
    lineNumber = other.lineNumber;
    loaded = other.loaded;
}

// cppcheck-suppress operatorEqVarError ; the sentinel track belongs to this object
KTComponentAnimation& KTComponentAnimation::operator=(const KTComponentAnimation& other) {
    if (this == &other)
        return *this;
    // Copy first, then drop the old tracks: a failed copy leaves this as it
    // was. The sentinel stays, so pointers to it handed out earlier survive.
    *partAnimations = *other.partAnimations;
    componentName = other.componentName;
    lineText = other.lineText;
    errorMessage = other.errorMessage;
    lineNumber = other.lineNumber;
    loaded = other.loaded;
    return *this;
}

KTComponentAnimation::~KTComponentAnimation() {
    partAnimations->clearAndDestroy();
    delete invalidPartAnimation;
}

int KTComponentAnimation::operator==(const KTComponentAnimation& other) const {
    return componentName.compareTo(other.componentName, RWCString::ignoreCase) == 0;
}

KTPartAnimation* KTComponentAnimation::operator[](unsigned int index) {
    KTPartAnimation* track = partAnimations->at(index);
    return track ? track : invalidPartAnimation;
}

unsigned int KTComponentAnimation::getNumPartAnimations() const {
    return static_cast<unsigned int>(partAnimations->size());
}

int KTComponentAnimation::addPartAnimation(KTPartAnimation* track) {
    // A track the animation already owns (renamed since, or the sentinel)
    // would be deleted twice.
    if (!track || track->getPartName().isNull() || track == invalidPartAnimation ||
        partAnimations->holds(track))
        return 0;
    return partAnimations->insert(track->getPartName(), track) ? 1 : 0;
}

int KTComponentAnimation::getPartAnimation(const char* partName, KTPartAnimation*& track) {
    if (!partName)
        return 0;
    KTPartAnimation* found = partAnimations->find(partName, std::strlen(partName));
    if (!found)
        return 0;
    track = found;
    return 1;
}

int KTComponentAnimation::containsAnimationForPart(const char* partName) {
    return partName && partAnimations->find(partName, std::strlen(partName)) ? 1 : 0;
}

int KTComponentAnimation::removePartAnimation(const char* partName) {
    if (!partName)
        return 0;
    KTPartAnimation* track = partAnimations->remove(partName, std::strlen(partName));
    if (!track)
        return 0;
    delete track;
    return 1;
}

void KTComponentAnimation::setComponentName(const char* name) {
    if (name)
        componentName = name;
}

int KTComponentAnimation::loadAnimationFromFile(const RWCString& animationName) {
    return readFile(animationName, nullptr);
}

int KTComponentAnimation::readFile(const RWCString& animationName,
                                   KTAnimationDiagnostics* diagnostics) {
    const ktrt::detail::ReadTarget target{*partAnimations, lineText, errorMessage, lineNumber,
                                          loaded};
    return ktrt::detail::AnimationFileReader(target, diagnostics).read(animationName);
}
