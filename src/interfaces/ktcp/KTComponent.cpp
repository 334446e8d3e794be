#include <ktcp/KTComponent.h>

#include <algorithm>
#include <cstring>

#include <Inventor/misc/SoChildList.h>
#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>

#include <ktcp/KTPart.h>

SO_KIT_SOURCE(KTComponent)

unsigned long KTComponent::renameCount = 0;

namespace {

// The first entry of `entries` (ascending by name) not before `name`,
// compared as RWCString's exact order does, without its out-of-line call.
template <class Entries> auto lowerBound(Entries& entries, const RWCString& name) {
    return std::lower_bound(entries.begin(), entries.end(), name,
                            [](const auto& entry, const RWCString& key) {
                                return entry.name.std().compare(key.std()) < 0;
                            });
}

// The entry of `entries` (ascending by name) named exactly `name`, or end().
template <class Entries> auto findEntry(Entries& entries, const RWCString& name) {
    // A component usually has a handful of entries: a scan that compares
    // bytes only where the lengths agree beats the string comparisons of a
    // binary search there.
    constexpr std::size_t scanLimit = 16;
    if (entries.size() <= scanLimit) {
        const std::size_t length = name.length();
        for (auto at = entries.begin(); at != entries.end(); ++at) {
            if (at->name.length() == length &&
                std::memcmp(at->name.data(), name.data(), length) == 0)
                return at;
        }
        return entries.end();
    }
    auto at = lowerBound(entries, name);
    return at != entries.end() && at->name.std() == name.std() ? at : entries.end();
}

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
    for (const AttributeEntry& entry : attributes)
        names.insert(entry.name);
}

void KTComponent::getBehaviorNames(RWTValSortedVector<RWCString>& names) const {
    names.clear();
    for (const BehaviorEntry& entry : behaviors)
        names.insert(entry.name);
}

void KTComponent::getActiveBehaviorNames(RWTValSortedVector<RWCString>& names) const {
    names.clear();
    for (const BehaviorEntry& entry : behaviors) {
        if (entry.active)
            names.insert(entry.name);
    }
}

void KTComponent::getBehaviorsActivatedAtStartup(RWTValSortedVector<RWCString>& names) const {
    names.clear();
    for (const BehaviorEntry& entry : behaviors) {
        if (entry.activatedAtStartup)
            names.insert(entry.name);
    }
}

KTAttribute* KTComponent::getAttribute(const RWCString& name) const {
    auto found = findEntry(attributes, name);
    return found == attributes.end() ? nullptr : found->attribute.get();
}

void KTComponent::addAttribute(KTAttribute* attribute) {
    if (!attribute)
        return;
    auto at = lowerBound(attributes, attribute->getName());
    if (at != attributes.end() && at->name.std() == attribute->getName().std()) {
        if (at->attribute.get() != attribute)
            at->attribute.reset(attribute);
        return;
    }
    attributes.insert(
        at, AttributeEntry{attribute->getName(), std::unique_ptr<KTAttribute>(attribute)});
}

int KTComponent::removeAttribute(const RWCString& name) {
    auto found = findEntry(attributes, name);
    if (found == attributes.end())
        return 0;
    attributes.erase(found);
    return 1;
}

void KTComponent::addBehavior(const RWCString& name, int activatedAtStartup) {
    auto at = lowerBound(behaviors, name);
    if (at == behaviors.end() || at->name.std() != name.std())
        at = behaviors.insert(at, BehaviorEntry{name, 0, 0});
    at->activatedAtStartup = activatedAtStartup ? 1 : 0;
}

KTBehavior KTComponent::getBehavior(const RWCString& name) const {
    auto found = findEntry(behaviors, name);
    if (found == behaviors.end())
        return KTBehavior();
    return KTBehavior(found->name, found->active, found->activatedAtStartup);
}

int KTComponent::activateBehavior(const RWCString& name, int /*immediate*/) {
    auto found = findEntry(behaviors, name);
    if (found == behaviors.end())
        return 0;
    found->active = 1;
    return 1;
}

int KTComponent::deactivateBehavior(const RWCString& name, int /*immediate*/) {
    auto found = findEntry(behaviors, name);
    if (found == behaviors.end())
        return 0;
    found->active = 0;
    return 1;
}

int KTComponent::setActivatedAtStartup(const RWCString& name, int flag) {
    auto found = findEntry(behaviors, name);
    if (found == behaviors.end())
        return 0;
    found->activatedAtStartup = flag ? 1 : 0;
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
