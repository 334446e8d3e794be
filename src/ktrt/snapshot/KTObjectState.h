#pragma once

#include <vector>

#include <coinref/CoinRef.h>
#include <rw/RWCString.h>
#include <ktrt/snapshot/KTAttributeState.h>
#include <ktrt/snapshot/KTBehaviorState.h>
#include <ktrt/visibility.h>

class KTComponent;
class KTComponentDB;
class SoTransform;
namespace ktrt::detail {
struct NameLists;
}

/// The snapshot of one component: its name, the five fields of its
/// "transform" part, its typed attribute values and its behavior flags.
///
/// The state owns an SoTransform node (one reference, held for its whole
/// life) that keeps the transform; copies make a node of their own. The node
/// is in no scene and sends no notifications. The collections hold copies and
/// hand out copies. Equality compares the names, ignoring letter case.
class KTRT_API KTObjectState {
public:
    /// Empty collections and names, a default SoTransform, transformSet() false.
    KTObjectState();
    /// Copies collections and names; its own node takes the source's fields.
    KTObjectState(const KTObjectState& other);
    /// As the copy constructor, into this state's own node; assigning a state
    /// to itself changes nothing.
    KTObjectState& operator=(const KTObjectState& other);
    /// Gives up the reference on the owned node.
    ~KTObjectState();

    /// 1 when the names are equal ignoring letter case, else 0.
    int operator==(const KTObjectState& other) const;

    /// The component's name: the key by which a world snapshot finds it again.
    const RWCString& getName() const { return name; }
    /// Copies the text; a null pointer keeps the previous name.
    void setName(const char* text);
    /// A second name the host may keep with the state.
    const RWCString& getOldName() const { return oldName; }
    /// Copies the text; a null pointer keeps the previous name.
    void setOldName(const char* text);

    /// Appends a copy; an entry of the same name already present stays first.
    void addAttributeState(const KTAttributeState& state);
    /// Copies the first entry whose name equals the name ignoring case into
    /// `state` and returns true; false leaves `state` as it was.
    bool getAttributeState(RWCString attributeName, KTAttributeState& state) const;
    /// Copies entry `index` into `state` and returns true; an index at or past
    /// the count returns false and leaves `state` as it was.
    bool getAttributeStateAt(unsigned int index, KTAttributeState& state) const;
    /// Removes the first entry whose name equals the name ignoring case; true
    /// when one was removed.
    bool removeAttributeState(const RWCString& attributeName);
    /// Number of attribute entries.
    unsigned int numAttributeStates() const;

    /// Appends a copy; an entry of the same name already present stays first.
    void addBehaviorState(const KTBehaviorState& state);
    /// As getAttributeState, for behaviors.
    bool getBehaviorState(const RWCString& behaviorName, KTBehaviorState& state) const;
    /// As getAttributeStateAt, for behaviors.
    bool getBehaviorStateAt(unsigned int index, KTBehaviorState& state) const;
    /// As removeAttributeState, for behaviors.
    bool removeBehaviorState(const RWCString& behaviorName);
    /// Number of behavior entries.
    unsigned int numBehaviorStates() const;

    /// Empties both collections and names, sets the owned node to zero
    /// translation, identity rotations, scale factor (0, 0, 0) and zero
    /// center, and transformSet() to false.
    void clear();

    /// Copies the five fields of `source` into the owned node and sets
    /// transformSet(); a null source changes nothing.
    void setTransform(const SoTransform* source);
    /// Copies the owned node's five fields into `target`, whether or not a
    /// transform was captured; a null target gets nothing.
    void restoreTransform(SoTransform* target);
    /// The owned node, never null; it stays owned by this state.
    const SoTransform* getTransform() const { return transform.get(); }
    /// True once setTransform() copied a transform.
    bool transformSet() const { return transformIsSet; }

    /// Replaces the behavior entries by every behavior of the component, in
    /// sorted name order, with flags 0 or 1. A null component empties them.
    void setBehaviors(KTComponent* component);
    /// Activates the behaviors recorded as active (through `world` when it is
    /// not null, else through the component) and sets every recorded startup
    /// flag. Unknown behaviors are skipped; a null component does nothing.
    void restoreBehaviors(KTComponent* component, KTComponentDB* world);

    /// Replaces the attribute entries by every attribute of the component, in
    /// sorted name order. A multiple-value string attribute holding no
    /// strings is given one empty string. A null component empties them.
    void setAttributes(KTComponent* component);
    /// Writes the recorded values back into the component's attributes of the
    /// same names; a colour attribute also recolours every SoVRMLMaterial
    /// below the component, and "textureUrl" makes the directory of the
    /// component's registered geometry the process's current directory (for
    /// every thread; not changed back) and sets the first url of every
    /// SoVRMLImageTexture to its first string, if it is a string list holding
    /// one. A null component does nothing.
    void restoreAttributes(KTComponent* component);

private:
    // A world snapshot captures straight into its entries and restores from
    // them in place.
    friend class KTWorldState;

    void copy(const KTObjectState& other);
    void captureBehaviors(KTComponent& component, ktrt::detail::NameLists& names);
    void captureAttributes(KTComponent& component, ktrt::detail::NameLists& names);
    /// Takes the transform and its flag from another state.
    void takeTransform(const KTObjectState& other);
    RWCString getGeometryLocation(KTComponent* component) const;

    std::vector<KTAttributeState> attributeStates;
    std::vector<KTBehaviorState> behaviorStates;
    RWCString name;
    RWCString oldName;
    coinref::CoinRef<SoTransform> transform;
    bool transformIsSet;
};
