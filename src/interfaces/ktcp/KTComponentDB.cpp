#include <ktcp/KTComponentDB.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <Inventor/SoDB.h>
#include <Inventor/SoInput.h>
#include <Inventor/errors/SoDebugError.h>
#include <Inventor/errors/SoReadError.h>
#include <Inventor/misc/SoChildList.h>
#include <Inventor/nodes/SoSeparator.h>

#include <ktcp/KTComponent.h>

namespace {

void ignoreError(const SoError*, void*) {}

// Keeps Coin's read and debug messages off the console while a world file is
// read, keeps the first read error in a string, and puts the previous
// handlers back afterwards.
class QuietCoinErrors {
public:
    explicit QuietCoinErrors(std::string& firstReadError)
        : readHandler(SoReadError::getHandlerCallback()), readData(SoReadError::getHandlerData()),
          debugHandler(SoDebugError::getHandlerCallback()),
          debugData(SoDebugError::getHandlerData()) {
        SoReadError::setHandlerCallback(keepFirstError, &firstReadError);
        SoDebugError::setHandlerCallback(ignoreError, nullptr);
    }
    ~QuietCoinErrors() {
        SoReadError::setHandlerCallback(readHandler, readData);
        SoDebugError::setHandlerCallback(debugHandler, debugData);
    }
    QuietCoinErrors(const QuietCoinErrors&) = delete;
    static void keepFirstError(const SoError* error, void* data) {
        auto* first = static_cast<std::string*>(data);
        if (first->empty())
            *first = error->getDebugString().getString();
    }

    QuietCoinErrors& operator=(const QuietCoinErrors&) = delete;

private:
    SoErrorCB* readHandler;
    void* readData;
    SoErrorCB* debugHandler;
    void* debugData;
};

// Collects every component below `node` in depth-first order, looking
// inside groups and node kits alike. (A search action would stop descending
// into node kits after its first match.)
void collectComponents(SoNode* node, std::vector<KTComponent*>& found) {
    if (node->isOfType(KTComponent::getClassTypeId()))
        found.push_back(static_cast<KTComponent*>(node));
    if (const SoChildList* children = node->getChildren()) {
        for (int i = 0; i < children->getLength(); ++i)
            collectComponents((*children)[i], found);
    }
}

} // namespace

KTComponentDB::KTComponentDB() {
    components.reserve(64);
}

KTComponentDB::~KTComponentDB() {
    for (const auto& component : components)
        ++component->presence->removals;
}

KTComponent* KTComponentDB::addComponent(const RWCString& name) {
    auto* component = new KTComponent;
    component->setName(name.data());
    addComponent(component);
    return component;
}

int KTComponentDB::addComponent(KTComponent* component) {
    if (!component || addOrder.count(component))
        return 0;
    components.emplace_back(component);
    addOrder.emplace(component, nextOrder++);
    // An earlier component of the same name keeps its place in the index.
    if (indexValid && indexedRenames == KTComponent::renameCount)
        byName.emplace(component->getName().getString(), component);
    return 1;
}

int KTComponentDB::removeComponent(KTComponent* component) {
    if (!component || !addOrder.erase(component))
        return 0;
    if (indexValid) {
        auto indexed = byName.find(component->getName().getString());
        if (indexed != byName.end() && indexed->second == component)
            indexValid = false;
    }
    ++component->presence->removals;
    // Releasing the database's reference may delete the component.
    components.erase(std::find_if(components.begin(), components.end(),
                                  [&](const auto& held) { return held.get() == component; }));
    return 1;
}

KTComponent* KTComponentDB::getComponent(const RWCString& name) const {
    if (name.isNull() || components.empty())
        return nullptr;
    if (!indexValid || indexedRenames != KTComponent::renameCount)
        indexNames();
    // Node names end at the first zero byte.
    const char* text = name.data();
    const auto found = std::strlen(text) == name.length() ? byName.find(name.std())
                                                          : byName.find(std::string(text));
    return found == byName.end() ? nullptr : found->second;
}

void KTComponentDB::indexNames() const {
    byName.clear();
    byName.reserve(components.size());
    for (const auto& component : components)
        byName.emplace(component->getName().getString(), component.get());
    indexedRenames = KTComponent::renameCount;
    indexValid = true;
}

int KTComponentDB::containsComponent(const KTComponent* component) const {
    return addOrder.count(component) ? 1 : 0;
}

int KTComponentDB::activateBehavior(const RWCString& component, const RWCString& behavior,
                                    int immediate) {
    KTComponent* found = getComponent(component);
    return found ? found->activateBehavior(behavior, immediate) : 0;
}

int KTComponentDB::readWorld(const char* path) {
    readError.clear();
    if (!path)
        return 0;
    // SoInput::openFile reports a missing file itself; check first.
    if (FILE* probe = std::fopen(path, "rb")) {
        std::fclose(probe);
    } else {
        readError = std::string("cannot open ") + path + ": " + std::strerror(errno);
        return 0;
    }

    QuietCoinErrors quiet(readError);
    SoInput input;
    if (!input.openFile(path))
        return 0;
    const coinref::CoinRef<SoSeparator> root(SoDB::readAll(&input));
    if (!root)
        return 0;

    return addComponentsBelow(root.get()) > 0 ? 1 : 0;
}

int KTComponentDB::addComponentsBelow(SoNode* root) {
    if (!root)
        return 0;
    std::vector<KTComponent*> found;
    collectComponents(root, found);
    int added = 0;
    for (KTComponent* component : found)
        added += addComponent(component);
    return added;
}
