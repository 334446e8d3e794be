#include <ktrt/snapshot/KTObjectState.h>

#include <algorithm>
#include <unistd.h>

#include <Inventor/VRMLnodes/SoVRMLImageTexture.h>
#include <Inventor/VRMLnodes/SoVRMLMaterial.h>
#include <Inventor/nodes/SoTransform.h>
#include <ktcp/ktcp.h>
#include <ktrld/ktrld.h>
#include <rw/RWTValSortedVector.h>
#include <ktrt/snapshot/detail/AttributeTable.h>
#include <ktrt/snapshot/detail/NameLists.h>
#include <ktrt/binding/detail/SceneAccess.h>

namespace {

// Geometry file names are examined through a buffer of 80 characters.
constexpr std::size_t geometryNameLimit = 79;

template <class State, class Name>
typename std::vector<State>::const_iterator findByName(const std::vector<State>& states,
                                                       const Name& name) {
    return std::find_if(states.begin(), states.end(), [&](const State& state) {
        return state.getName().compareTo(name, RWCString::ignoreCase) == 0;
    });
}

template <class State>
bool getAt(const std::vector<State>& states, unsigned int index, State& state) {
    if (index >= states.size())
        return false;
    state = states[index];
    return true;
}

template <class State> bool removeByName(std::vector<State>& states, const RWCString& name) {
    const auto found = findByName(states, name);
    if (found == states.end())
        return false;
    states.erase(found);
    return true;
}

void recolour(KTComponent* component, const SbColor& colour) {
    ktrt::detail::forEachNodeOfType(component, SoVRMLMaterial::getClassTypeId(), [&](SoNode* node) {
        static_cast<SoVRMLMaterial*>(node)->diffuseColor.setValue(colour);
    });
}

void retexture(KTComponent* component, const SbString& url) {
    ktrt::detail::forEachNodeOfType(
        component, SoVRMLImageTexture::getClassTypeId(),
        [&](SoNode* node) { static_cast<SoVRMLImageTexture*>(node)->url.set1Value(0, url); });
}

// The values of a new SoTransform, as the scene library gives them.
struct DefaultTransform {
    DefaultTransform() {
        const coinref::CoinRef<SoTransform> node(new SoTransform);
        translation = node->translation.getValue();
        rotation = node->rotation.getValue();
        scaleFactor = node->scaleFactor.getValue();
        scaleOrientation = node->scaleOrientation.getValue();
        center = node->center.getValue();
    }
    SbVec3f translation, scaleFactor, center;
    SbRotation rotation, scaleOrientation;
};

const DefaultTransform& defaultTransform() {
    static const DefaultTransform values;
    return values;
}

} // namespace

KTObjectState::TransformFields::TransformFields()
    : translation(defaultTransform().translation), rotation(defaultTransform().rotation),
      scaleFactor(defaultTransform().scaleFactor),
      scaleOrientation(defaultTransform().scaleOrientation), center(defaultTransform().center) {}

KTObjectState::TransformFields::TransformFields(const TransformFields& other)
    : translation(other.translation), rotation(other.rotation), scaleFactor(other.scaleFactor),
      scaleOrientation(other.scaleOrientation), center(other.center) {}

KTObjectState::TransformFields&
KTObjectState::TransformFields::operator=(const TransformFields& other) {
    if (this != &other) {
        translation = other.translation;
        rotation = other.rotation;
        scaleFactor = other.scaleFactor;
        scaleOrientation = other.scaleOrientation;
        center = other.center;
        updateNode();
    }
    return *this;
}

KTObjectState::TransformFields::~TransformFields() = default;

void KTObjectState::TransformFields::capture(const SoTransform& from) {
    translation = from.translation.getValue();
    rotation = from.rotation.getValue();
    scaleFactor = from.scaleFactor.getValue();
    scaleOrientation = from.scaleOrientation.getValue();
    center = from.center.getValue();
    updateNode();
}

void KTObjectState::TransformFields::restore(SoTransform& to) const {
    to.translation.setValue(translation);
    to.rotation.setValue(rotation);
    to.scaleFactor.setValue(scaleFactor);
    to.scaleOrientation.setValue(scaleOrientation);
    to.center.setValue(center);
}

void KTObjectState::TransformFields::clear() {
    translation.setValue(0.0f, 0.0f, 0.0f);
    rotation.setValue(SbVec3f(0.0f, 1.0f, 0.0f), 0.0f);
    // A cleared state holds a zero scale, unlike the unit scale of a new one.
    scaleFactor.setValue(0.0f, 0.0f, 0.0f);
    scaleOrientation.setValue(SbVec3f(0.0f, 1.0f, 0.0f), 0.0f);
    center.setValue(0.0f, 0.0f, 0.0f);
    updateNode();
}

const SoTransform* KTObjectState::TransformFields::node() const {
    if (!view) {
        // In no scene and watched by nothing: neither the node nor its fields
        // send notifications.
        view.reset(new SoTransform);
        view->enableNotify(FALSE);
        for (SoField* field :
             {static_cast<SoField*>(&view->translation), static_cast<SoField*>(&view->rotation),
              static_cast<SoField*>(&view->scaleFactor),
              static_cast<SoField*>(&view->scaleOrientation), static_cast<SoField*>(&view->center)})
            field->enableNotify(FALSE);
        updateNode();
    }
    return view.get();
}

void KTObjectState::TransformFields::updateNode() const {
    if (view)
        restore(*view);
}

KTObjectState::KTObjectState() : transformIsSet(false) {}

// Every member copies itself: the values, the collections and the names,
// while the transform's node stays with its state.
KTObjectState::KTObjectState(const KTObjectState& other) = default;

KTObjectState& KTObjectState::operator=(const KTObjectState& other) = default;

KTObjectState::~KTObjectState() = default;

int KTObjectState::operator==(const KTObjectState& other) const {
    return name.compareTo(other.name, RWCString::ignoreCase) == 0 ? 1 : 0;
}

void KTObjectState::setName(const char* text) {
    if (text != nullptr)
        name = text;
}

void KTObjectState::setOldName(const char* text) {
    if (text != nullptr)
        oldName = text;
}

void KTObjectState::addAttributeState(const KTAttributeState& state) {
    attributeStates.push_back(state);
}

// cppcheck-suppress passedByValue ; the public signature takes the name by value
// NOLINTNEXTLINE(performance-unnecessary-value-param): the public signature takes it by value
bool KTObjectState::getAttributeState(RWCString attributeName, KTAttributeState& state) const {
    const auto found = findByName(attributeStates, attributeName);
    if (found == attributeStates.end())
        return false;
    state = *found;
    return true;
}

bool KTObjectState::getAttributeStateAt(unsigned int index, KTAttributeState& state) const {
    return getAt(attributeStates, index, state);
}

bool KTObjectState::removeAttributeState(const RWCString& attributeName) {
    return removeByName(attributeStates, attributeName);
}

unsigned int KTObjectState::numAttributeStates() const {
    return static_cast<unsigned int>(attributeStates.size());
}

void KTObjectState::addBehaviorState(const KTBehaviorState& state) {
    behaviorStates.push_back(state);
}

bool KTObjectState::getBehaviorState(const RWCString& behaviorName, KTBehaviorState& state) const {
    const auto found = findByName(behaviorStates, behaviorName);
    if (found == behaviorStates.end())
        return false;
    state = *found;
    return true;
}

bool KTObjectState::getBehaviorStateAt(unsigned int index, KTBehaviorState& state) const {
    return getAt(behaviorStates, index, state);
}

bool KTObjectState::removeBehaviorState(const RWCString& behaviorName) {
    return removeByName(behaviorStates, behaviorName);
}

unsigned int KTObjectState::numBehaviorStates() const {
    return static_cast<unsigned int>(behaviorStates.size());
}

void KTObjectState::clear() {
    attributeStates.clear();
    behaviorStates.clear();
    name = "";
    oldName = "";
    transform.clear();
    transformIsSet = false;
}

void KTObjectState::setTransform(const SoTransform* source) {
    if (source == nullptr)
        return;
    transform.capture(*source);
    transformIsSet = true;
}

void KTObjectState::restoreTransform(SoTransform* target) {
    if (target == nullptr)
        return;
    transform.restore(*target);
}

void KTObjectState::setBehaviors(KTComponent* component) {
    if (component == nullptr) {
        behaviorStates.clear();
        return;
    }
    ktrt::detail::NameLists names;
    captureBehaviors(*component, names);
}

void KTObjectState::captureBehaviors(KTComponent& component, ktrt::detail::NameLists& names) {
    component.getActiveBehaviorNames(names.activeBehaviors);
    component.getBehaviorNames(names.behaviors);
    component.getBehaviorsActivatedAtStartup(names.behaviorsAtStartup);
    // Every field of every entry is written below, so entries already there
    // are reused as they are.
    behaviorStates.resize(names.behaviors.entries());
    std::size_t i = 0;
    for (const RWCString& behaviorName : names.behaviors) {
        KTBehaviorState& state = behaviorStates[i++];
        state.setName(behaviorName);
        state.setActive(names.activeBehaviors.contains(behaviorName) ? 1 : 0);
        state.setActivatedAtStartup(names.behaviorsAtStartup.contains(behaviorName) ? 1 : 0);
    }
}

void KTObjectState::restoreBehaviors(KTComponent* component, KTComponentDB* world) {
    if (component == nullptr || behaviorStates.empty())
        return;
    restoreBehaviorFlags(*component, world,
                         world != nullptr ? RWCString(component->getName().getString())
                                          : RWCString());
}

void KTObjectState::restoreBehaviorFlags(KTComponent& component, KTComponentDB* world,
                                         const RWCString& componentName) const {
    for (const KTBehaviorState& state : behaviorStates) {
        if (!component.getBehavior(state.getName()).isValid())
            continue;
        // An inactive record activates nothing and deactivates nothing.
        if (state.active() != 0) {
            if (world != nullptr)
                world->activateBehavior(componentName, state.getName(), 0);
            else
                component.activateBehavior(state.getName(), 0);
        }
        component.setActivatedAtStartup(state.getName(), state.activatedAtStartup());
    }
}

void KTObjectState::setAttributes(KTComponent* component) {
    if (component == nullptr) {
        attributeStates.clear();
        return;
    }
    ktrt::detail::NameLists names;
    captureAttributes(*component, names);
}

void KTObjectState::captureAttributes(KTComponent& component, ktrt::detail::NameLists& names) {
    attributeStates.clear();
    component.getAttributeNames(names.attributes);
    attributeStates.reserve(names.attributes.entries());
    for (const RWCString& attributeName : names.attributes) {
        KTAttribute* attribute = component.getAttribute(attributeName);
        if (attribute == nullptr)
            continue;
        attributeStates.emplace_back();
        KTAttributeState& state = attributeStates.back();
        state.setName(attributeName);
        // An attribute of no typed class keeps NO_TYPE and no value.
        const ktrt::detail::AttributeKind& kind = ktrt::detail::attributeKindOf(*attribute);
        kind.capture(*attribute, state);
        state.setType(kind.code);
    }
}

void KTObjectState::restoreAttributes(KTComponent* component) {
    if (component == nullptr || attributeStates.empty())
        return;
    for (KTAttributeState& state : attributeStates) {
        KTAttribute* attribute = component->getAttribute(state.getName());
        if (attribute == nullptr)
            continue;
        state.restoreValue(attribute);
        followUpInScene(component, attribute);
    }
}

void KTObjectState::followUpInScene(KTComponent* component, KTAttribute* attribute) const {
    // The scene follows the attribute's current colour, whether or not the
    // recorded value could be written.
    if (ktrt::detail::attributeKindOf(*attribute).followUp == ktrt::detail::SceneFollowUp::recolour)
        recolour(component, static_cast<KTColorAttribute*>(attribute)->getValue());

    if (attribute->getName() == "textureUrl") {
        const RWCString location = getGeometryLocation(component);
        // Texture nodes resolve relative urls against the current directory,
        // also after this call returns, so it is not changed back. An empty or
        // missing location leaves it as it is.
        if (chdir(location.data()) != 0) {
            // The step goes on in the directory that was current.
        }
        if (attribute->getTypeId().isDerivedFrom(KTMFStringAttribute::getClassTypeId())) {
            const SoMFString& urls = static_cast<KTMFStringAttribute*>(attribute)->getActualValue();
            if (urls.getNum() > 0)
                retexture(component, urls[0]);
        }
    }
}

RWCString KTObjectState::getGeometryLocation(KTComponent* component) const {
    const RWCString file = component->getGeometryFile();
    const RWCString cut = file(0, geometryNameLimit);
    RWCString key = cut;
    const std::size_t dot = cut.last('.');
    if (dot != RWCString::npos && dot + 4 == cut.length() &&
        cut(dot, 4).compareTo(".wrl", RWCString::ignoreCase) == 0)
        key = cut(0, dot);

    KTRegistryLoader loader;
    KTRegistryInfo info;
    if (!loader.GetGeometry(key.data(), info))
        return RWCString();
    RWCString localPath(static_cast<const char*>(info.GetLocalPath()));
    const std::size_t at = localPath.index(file.data(), 0, RWCString::ignoreCase);
    if (at == RWCString::npos)
        return localPath;
    return localPath(0, at);
}
