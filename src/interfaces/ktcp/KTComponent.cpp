#include <ktcp/KTComponent.h>

#include <algorithm>
#include <cstring>

#include <Inventor/misc/SoChildList.h>
#include <Inventor/misc/SoNotification.h>
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

// Files every logical part below `node` under its name, depth first, a part
// before the parts inside it; the first part of a name keeps the entry.
void collectParts(const SoNode* node, SoType partType,
                  std::unordered_map<const char*, KTPart*>& parts) {
    const SoChildList* children = node->getChildren();
    if (!children)
        return;
    for (int i = 0; i < children->getLength(); ++i) {
        SoNode* child = (*children)[i];
        if (child->isOfType(partType))
            parts.emplace(child->getName().getString(), static_cast<KTPart*>(child));
        collectParts(child, partType, parts);
    }
}

// Whether `base`, added to or taken from a group, may bring or take logical
// parts with it: anything that has children (parts and node kits included).
bool mayHoldParts(const SoBase* base) {
    return base == nullptr || !base->isOfType(SoNode::getClassTypeId()) ||
           static_cast<const SoNode*>(base)->getChildren() != nullptr;
}

// Whether the change that `list` reports may have added, removed or moved
// logical parts. Field values written into leaf nodes (the transforms that
// playback drives) and leaves added to groups (a part's transform created on
// first use) leave them where they are; a changed part field of a node kit
// comes with the change of the kit's child list, which is judged on its own.
bool mayMoveParts(const SoNotList* list) {
    const SoNotRec* origin = list != nullptr ? list->getFirstRec() : nullptr;
    if (origin == nullptr)
        return true;
    const SoBase* base = origin->getBase();
    switch (origin->getOperationType()) {
    case SoNotRec::FIELD_UPDATE:
        if (base == nullptr)
            return true;
        if (base->getTypeId() == SoTransform::getClassTypeId()) // the frequent case, answered first
            return false;
        return mayHoldParts(base) && !base->isOfType(SoBaseKit::getClassTypeId());
    case SoNotRec::GROUP_ADDCHILD:
    case SoNotRec::GROUP_INSERTCHILD:
    case SoNotRec::GROUP_REMOVECHILD:
        return mayHoldParts(origin->getGroupChild());
    case SoNotRec::GROUP_REPLACECHILD:
        return mayHoldParts(origin->getGroupChild()) || mayHoldParts(origin->getGroupPrevChild());
    default:
        return true;
    }
}

} // namespace

KTComponent::KTComponent() {
    SO_KIT_CONSTRUCTOR(KTComponent);
    SO_KIT_ADD_CATALOG_ENTRY(topSeparator, SoSeparator, FALSE, this, \x0, FALSE);
    SO_KIT_ADD_CATALOG_ENTRY(transform, SoTransform, TRUE, topSeparator, geometry, TRUE);
    SO_KIT_ADD_CATALOG_ENTRY(geometry, SoSeparator, TRUE, topSeparator, \x0, TRUE);
    SO_KIT_INIT_INSTANCE();
}

KTComponent::~KTComponent() {
    presence->alive = 0;
}

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
    if (!partIndexValid || indexedPartRenames != KTPart::renameCount)
        indexParts();
    const auto found = partsByName.find(SbName(name.data()).getString());
    return found == partsByName.end() ? nullptr : found->second;
}

void KTComponent::indexParts() const {
    partsByName.clear();
    collectParts(this, KTPart::getClassTypeId(), partsByName);
    indexedPartRenames = KTPart::renameCount;
    partIndexValid = true;
}

void KTComponent::notify(SoNotList* list) {
    if (partIndexValid && mayMoveParts(list))
        partIndexValid = false;
    inherited::notify(list);
}

KTPart* KTComponent::addLogicalPart(const RWCString& name, KTPart* parent) {
    SoBaseKit* owner = parent ? static_cast<SoBaseKit*>(parent) : static_cast<SoBaseKit*>(this);
    auto* geometryNode = static_cast<SoSeparator*>(owner->getPart("geometry", TRUE));
    auto* part = new KTPart;
    part->setName(name.data());
    geometryNode->addChild(part);
    return part;
}
