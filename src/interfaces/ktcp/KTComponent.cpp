#include <ktcp/KTComponent.h>

#include <Inventor/misc/SoChildList.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTPart.h>

SO_KIT_SOURCE(KTComponent)

unsigned long KTComponent::renameCount = 0;

namespace {

KTPart* findPartNamed(const SoNode* node, const SbName& name) {
    const SoChildList* children = node->getChildren();
    if (!children)
        return nullptr;
    const SoType partType = KTPart::getClassTypeId();
    for (int i = 0; i < children->getLength(); ++i) {
        SoNode* child = (*children)[i];
        if (child->isOfType(partType) && child->getName() == name)
            return static_cast<KTPart*>(child);
        if (KTPart* found = findPartNamed(child, name))
            return found;
    }
    return nullptr;
}

} // namespace

KTComponent::KTComponent() {
    SO_KIT_CONSTRUCTOR(KTComponent);
    SO_KIT_ADD_CATALOG_ENTRY(topSeparator, SoSeparator, FALSE, this, \x0, FALSE);
    SO_KIT_ADD_CATALOG_ENTRY(transform, SoTransform, TRUE, topSeparator, geometry, TRUE);
    SO_KIT_ADD_CATALOG_ENTRY(geometry, SoSeparator, TRUE, topSeparator, \x0, TRUE);
    SO_KIT_INIT_INSTANCE();
}

KTComponent::~KTComponent() = default;

void KTComponent::initClass() {
    if (getClassTypeId() == SoType::badType())
        SO_KIT_INIT_CLASS(KTComponent, SoBaseKit, "BaseKit");
}

SbName KTComponent::getName() const {
    return name;
}

void KTComponent::setName(const SbName& newName) {
    inherited::setName(newName);
    const SbName given = inherited::getName();
    // An unreferenced component is in no world, whose index would need to know.
    if (given != name && getRefCount() > 0)
        ++renameCount;
    name = given;
}

void KTComponent::tick() {
    ++tickCount;
}

void KTComponent::getAttributeNames(RWTValSortedVector<RWCString>& names) const {
    names.clear();
    for (const auto& entry : attributes)
        names.insert(entry.first);
}

void KTComponent::getBehaviorNames(RWTValSortedVector<RWCString>& names) const {
    names.clear();
    for (const auto& entry : behaviors)
        names.insert(entry.first);
}

void KTComponent::getActiveBehaviorNames(RWTValSortedVector<RWCString>& names) const {
    names.clear();
    for (const auto& entry : behaviors) {
        if (entry.second.active)
            names.insert(entry.first);
    }
}

void KTComponent::getBehaviorsActivatedAtStartup(RWTValSortedVector<RWCString>& names) const {
    names.clear();
    for (const auto& entry : behaviors) {
        if (entry.second.activatedAtStartup)
            names.insert(entry.first);
    }
}

KTAttribute* KTComponent::getAttribute(const RWCString& name) const {
    auto found = attributes.find(name);
    return found == attributes.end() ? nullptr : found->second.get();
}

void KTComponent::addAttribute(KTAttribute* attribute) {
    if (!attribute)
        return;
    std::unique_ptr<KTAttribute>& slot = attributes[attribute->getName()];
    if (slot.get() != attribute)
        slot.reset(attribute);
}

int KTComponent::removeAttribute(const RWCString& name) {
    return attributes.erase(name) ? 1 : 0;
}

void KTComponent::addBehavior(const RWCString& name, int activatedAtStartup) {
    auto inserted = behaviors.insert({name, BehaviorFlags{0, 0}});
    inserted.first->second.activatedAtStartup = activatedAtStartup ? 1 : 0;
}

KTBehavior KTComponent::getBehavior(const RWCString& name) const {
    auto found = behaviors.find(name);
    if (found == behaviors.end())
        return KTBehavior();
    return KTBehavior(found->first, found->second.active, found->second.activatedAtStartup);
}

int KTComponent::activateBehavior(const RWCString& name, int /*immediate*/) {
    auto found = behaviors.find(name);
    if (found == behaviors.end())
        return 0;
    found->second.active = 1;
    return 1;
}

int KTComponent::deactivateBehavior(const RWCString& name, int /*immediate*/) {
    auto found = behaviors.find(name);
    if (found == behaviors.end())
        return 0;
    found->second.active = 0;
    return 1;
}

int KTComponent::setActivatedAtStartup(const RWCString& name, int flag) {
    auto found = behaviors.find(name);
    if (found == behaviors.end())
        return 0;
    found->second.activatedAtStartup = flag ? 1 : 0;
    return 1;
}

KTPart* KTComponent::getLogicalPart(const RWCString& name) const {
    if (name.isNull())
        return nullptr;
    return findPartNamed(this, SbName(name.data()));
}

KTPart* KTComponent::addLogicalPart(const RWCString& name, KTPart* parent) {
    SoBaseKit* owner = parent ? static_cast<SoBaseKit*>(parent) : static_cast<SoBaseKit*>(this);
    auto* geometryNode = static_cast<SoSeparator*>(owner->getPart("geometry", TRUE));
    auto* part = new KTPart;
    part->setName(name.data());
    geometryNode->addChild(part);
    return part;
}
