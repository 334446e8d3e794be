#pragma once

#include <memory>
#include <unordered_map>
#include <vector>

#include <Inventor/nodekits/SoBaseKit.h>
#include <Inventor/nodekits/SoSubKit.h>

#include <rw/RWCString.h>
#include <rw/RWTValSortedVector.h>
#include <ktcp/KTAttribute.h>
#include <ktcp/KTBehavior.h>
#include <ktcp/ktcpdefs.h>

class KTPart;

/// A component of a world: a node kit whose node name is the component's
/// name, with a "transform" (SoTransform) and a "geometry" (SoSeparator that
/// holds the shapes and the logical parts) under a separator. Besides the
/// scene it keeps named behaviors, owned attributes, a geometry file name and
/// a count of tick() calls. Reference-counted like every Coin node; hosts may
/// derive from it (tick() is virtual).
///
/// Whoever must know, without keeping the component alive, whether it still
/// exists and whether it was taken out of a world holds its presence record
/// (getPresence()): a small shared record that the component and the worlds
/// that hold it keep up to date, read without any lookup.
class KTCP_API KTComponent : public SoBaseKit {
    typedef SoBaseKit inherited;
    SO_KIT_HEADER(KTComponent);
    SO_KIT_CATALOG_ENTRY_HEADER(topSeparator);
    SO_KIT_CATALOG_ENTRY_HEADER(transform);
    SO_KIT_CATALOG_ENTRY_HEADER(geometry);

public:
    /// An unnamed component without parts, behaviors or attributes.
    KTComponent();
    /// Registers the class with Coin; called by KTComponentLibrary::init().
    static void initClass();

    /// The node name, which is the component's name.
    SbName getName() const override;
    /// Renames the node as SoBase::setName does (Coin replaces characters that
    /// are not allowed in names).
    void setName(const SbName& newName) override;

    /// Whether a component exists and how often it was taken out of a world.
    /// The component owns the record and shares it; a holder of the record
    /// reads these fields at any time, also after the component was deleted.
    struct Presence {
        /// 1 from construction until the component's destructor runs.
        int alive = 1;
        /// Times the component was removed from a world (removeComponent, or
        /// the world destroyed while holding it); never decreases. A holder
        /// that noted the count earlier knows the component left a world since
        /// when the count differs.
        unsigned long removals = 0;
    };
    /// The component's presence record, shared: it outlives the component for
    /// as long as anyone holds it.
    std::shared_ptr<const Presence> getPresence() const { return presence; }

    /// Called once per timer tick by the world driver; counts the calls.
    /// Derived classes that override it call it too if they want the count.
    virtual void tick();
    /// Number of tick() calls so far.
    unsigned long getTickCount() const { return tickCount; }

    /// Replaces the contents of `names` with the names of every attribute, in
    /// ascending order (as do the three behavior queries below).
    void getAttributeNames(RWTValSortedVector<RWCString>& names) const;
    /// Replaces `names` with the names of every behavior, ascending.
    void getBehaviorNames(RWTValSortedVector<RWCString>& names) const;
    /// Replaces `names` with the names of the active behaviors, ascending.
    void getActiveBehaviorNames(RWTValSortedVector<RWCString>& names) const;
    /// Replaces `names` with the names of the behaviors activated when the
    /// world starts, ascending.
    void getBehaviorsActivatedAtStartup(RWTValSortedVector<RWCString>& names) const;

    /// The attribute of that exact name (still owned by the component), or
    /// null.
    KTAttribute* getAttribute(const RWCString& name) const;
    /// Takes ownership of `attribute`, deleting an attribute of the same name
    /// that it replaces. A null pointer is ignored.
    void addAttribute(KTAttribute* attribute);
    /// Deletes the attribute of that name; 0 when there is none.
    int removeAttribute(const RWCString& name);

    /// Adds an inactive behavior. A behavior of that name already present
    /// keeps its active flag and takes the new start-up flag.
    void addBehavior(const RWCString& name, int activatedAtStartup = 0);
    /// The behavior of that exact name; an invalid KTBehavior when there is
    /// none.
    KTBehavior getBehavior(const RWCString& name) const;
    /// Marks the behavior active. `immediate` is accepted for hosts that
    /// distinguish deferred activation; it has no effect here. 1 when the
    /// behavior exists, else 0.
    int activateBehavior(const RWCString& name, int immediate);
    /// Marks the behavior inactive; as activateBehavior() otherwise.
    int deactivateBehavior(const RWCString& name, int immediate);
    /// Sets whether starting the world activates the behavior; 0 when there
    /// is no behavior of that name.
    int setActivatedAtStartup(const RWCString& name, int flag);

    /// The name of the file the component's geometry comes from; "" if none.
    RWCString getGeometryFile() const { return geometryFile; }
    /// Replaces the geometry file name; the scene is not reloaded.
    void setGeometryFile(const RWCString& fileName) { geometryFile = fileName; }

    /// The first logical part (depth first, nested parts included) below the
    /// component whose node name is exactly `name`; null when there is none or
    /// `name` is empty. The part stays owned by the scene. Answered from a name
    /// index, rebuilt in one walk after parts were added, removed or renamed;
    /// an edit below the component made while a node between it and the
    /// component has notification switched off must be followed by touch().
    KTPart* getLogicalPart(const RWCString& name) const;
    /// Creates a part named `name` under the component's geometry, or under
    /// `parent`'s geometry when `parent` is given, and returns it (owned by
    /// the scene). Names should be Inventor identifiers: Coin replaces other
    /// characters with underscores.
    KTPart* addLogicalPart(const RWCString& name, KTPart* parent = nullptr);

    /// Notes changes below the component that may add, remove or move logical
    /// parts, then passes the notification on as every node kit does.
    void notify(SoNotList* list) override;

protected:
    /// Protected: a component goes away when its last reference is released.
    ~KTComponent() override;

private:
    struct BehaviorEntry {
        RWCString name;
        int active;
        int activatedAtStartup;
    };
    struct AttributeEntry {
        RWCString name;
        std::unique_ptr<KTAttribute> attribute;
    };

    friend class KTComponentDB;
    // Renames of components that something references, and so of every
    // component in a world; a world rebuilds its name index when this changed.
    static unsigned long renameCount;

    // Coin looks a node's name up in a global table on every getName(); the
    // copy kept here answers without that lookup.
    SbName name;
    // Both kept in ascending order of name: a component has few of each, and
    // a binary search over contiguous entries beats walking a tree.
    std::vector<BehaviorEntry> behaviors;
    std::vector<AttributeEntry> attributes;
    RWCString geometryFile;
    unsigned long tickCount = 0;
    // Cleared by the destructor; counted by KTComponentDB on removal.
    std::shared_ptr<Presence> presence = std::make_shared<Presence>();

    void indexParts() const;

    // Part name (SbName's unique text) -> first part of that name in
    // depth-first order. Rebuilt on the next lookup after a change below the
    // component could have moved parts, or after any part was renamed.
    mutable std::unordered_map<const char*, KTPart*> partsByName;
    mutable unsigned long indexedPartRenames = 0;
    mutable bool partIndexValid = false;
};
