#include <ktrt/keys/KTPartAnimation.h>

#include <memory>

KTPartAnimation::KTPartAnimation()
    : invalidState(new KTAnimationState()), useOrientationsFlag(0), usePositionsFlag(0) {
    invalidState->setValidity(0);
}

KTPartAnimation::KTPartAnimation(const KTPartAnimation& other) : KTPartAnimation() {
    // Delegating first means the destructor cleans up if a key copy throws.
    copyKeysFrom(other);
    partName = other.partName;
    useOrientationsFlag = other.useOrientationsFlag;
    usePositionsFlag = other.usePositionsFlag;
    keyFractions = other.keyFractions;
}

// cppcheck-suppress operatorEqVarError ; the sentinel key belongs to this object
KTPartAnimation& KTPartAnimation::operator=(const KTPartAnimation& other) {
    if (this == &other)
        return *this;
    // The sentinel stays: pointers to it handed out earlier remain valid.
    states.clearAndDestroy();
    copyKeysFrom(other);
    partName = other.partName;
    useOrientationsFlag = other.useOrientationsFlag;
    usePositionsFlag = other.usePositionsFlag;
    keyFractions = other.keyFractions;
    return *this;
}

KTPartAnimation::~KTPartAnimation() {
    delete invalidState;
    clear();
}

void KTPartAnimation::copyKeysFrom(const KTPartAnimation& other) {
    states.reserve(other.states.entries());
    for (const KTAnimationState* key : other.states) {
        // Keep the source's validity: the copy constructor alone would make
        // every copied key valid.
        std::unique_ptr<KTAnimationState> copy;
        if (key) {
            copy = std::make_unique<KTAnimationState>(*key);
            copy->setValidity(key->isValid());
        }
        states.append(copy.get());
        static_cast<void>(copy.release()); // the track owns it now
    }
}

int KTPartAnimation::operator==(const KTPartAnimation& other) const {
    return partName.compareTo(other.partName, RWCString::ignoreCase) == 0;
}

KTAnimationState* KTPartAnimation::operator[](unsigned int index) {
    return index < states.entries() ? states(index) : invalidState;
}

void KTPartAnimation::appendState(KTAnimationState* state) {
    states.append(state);
    keyFractions.clear();
}

int KTPartAnimation::insertState(unsigned int index, KTAnimationState* state) {
    if (index >= states.entries() || state->isValid() == 0)
        return 0;
    states.insertAt(index, state);
    keyFractions.clear();
    return 1;
}

int KTPartAnimation::removeState(unsigned int index) {
    if (index >= states.entries())
        return 0;
    delete states.removeAt(index);
    keyFractions.clear();
    return 1;
}

void KTPartAnimation::clear() {
    states.clearAndDestroy();
    partName = "";
    useOrientationsFlag = 0;
    usePositionsFlag = 0;
    keyFractions.clear();
}

unsigned int KTPartAnimation::getNumStates() const {
    return static_cast<unsigned int>(states.entries());
}

void KTPartAnimation::setPartName(const char* name) {
    if (name)
        partName = name;
}

int KTPartAnimation::setKeyFractions(const std::vector<float>& fractions) {
    if (fractions.size() != states.entries() && !fractions.empty())
        return 0;
    keyFractions = fractions;
    return 1;
}
