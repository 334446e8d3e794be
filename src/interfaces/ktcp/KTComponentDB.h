#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include <coinref/CoinRef.h>
#include <rw/RWCString.h>
#include <ktcp/ktcpdefs.h>

class KTComponent;
class SoNode;

/// A world: the components of a scene, in the order they were added. The
/// database holds one reference to each component and releases it when the
/// component is removed or the database destroyed; both count as the
/// component leaving the world in its presence record
/// (KTComponent::getPresence()). Name lookups cost O(1) on average. Not
/// copyable.
class KTCP_API KTComponentDB {
public:
    /// An empty world.
    KTComponentDB();
    /// Counts every component as removed, then releases it.
    virtual ~KTComponentDB();
    /// Not copyable.
    KTComponentDB(const KTComponentDB&) = delete;
    /// Not assignable.
    KTComponentDB& operator=(const KTComponentDB&) = delete;

    /// Creates a component named `name`, appends it and returns it (the
    /// database holds its reference). Names should be Inventor identifiers.
    KTComponent* addComponent(const RWCString& name);
    /// Appends a component built by the caller (of any class derived from
    /// KTComponent) and references it; 0 for null or one already present.
    int addComponent(KTComponent* component);
    /// Removes the component, counts the removal in its presence record and
    /// releases the database's reference (which may delete it); 0 when it is
    /// not in the database.
    int removeComponent(KTComponent* component);

    /// Number of components held.
    unsigned int getNumComponents() const { return static_cast<unsigned int>(components.size()); }
    /// The first added component whose node name is exactly `name`, or null.
    KTComponent* getComponent(const RWCString& name) const;
    /// The component at `index` in the order of adding, or null past the end.
    KTComponent* getComponent(unsigned int index) const {
        return index < components.size() ? components[index].get() : nullptr;
    }
    /// 1 when the database holds `component`.
    int containsComponent(const KTComponent* component) const;

    /// Activates the behavior of the named component; 0 when the component
    /// or the behavior is missing. `immediate` is passed on to the component.
    virtual int activateBehavior(const RWCString& component, const RWCString& behavior,
                                 int immediate);

    /// Adds every KTComponent at or below `root` (nested ones and those
    /// inside node kits included, depth first) that is not in the database
    /// yet; returns how many were added. A null root adds none.
    int addComponentsBelow(SoNode* root);
    /// Reads the Inventor file at `path` and adds every KTComponent in it
    /// (nested ones included) that is not in
    /// the database yet. 1 when at least one was added; 0 when the file cannot
    /// be read or holds no new component. Coin's read errors are not printed:
    /// getReadError() keeps the first.
    int readWorld(const char* path);
    /// Why the last readWorld() could not read its file: Coin's first read
    /// error ("Coin read error: MESSAGE" and where it occurred), or "cannot
    /// open PATH: REASON"; "" after a clean read and before any read.
    const char* getReadError() const { return readError.c_str(); }

private:
    friend class KTComponentIterator;

    std::vector<coinref::CoinRef<KTComponent>> components;
    // Membership and order of adding, to pick the first of several
    // components that share a name.
    std::unordered_map<const KTComponent*, unsigned long> addOrder;
    unsigned long nextOrder = 0;

    void indexNames() const;

    // Name -> first added component of that name. Rebuilt on the next lookup
    // after a component was renamed or the indexed one removed.
    mutable std::unordered_map<std::string, KTComponent*> byName;
    mutable unsigned long indexedRenames = 0;
    mutable bool indexValid = false;
    std::string readError;
};
