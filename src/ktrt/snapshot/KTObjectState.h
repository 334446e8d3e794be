#pragma once

#include <vector>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>
#include <coinref/CoinRef.h>
#include <rw/RWCString.h>
#include <ktrt/snapshot/KTAttributeState.h>
#include <ktrt/snapshot/KTBehaviorState.h>
#include <ktrt/visibility.h>

class KTComponent;
class KTAttribute;
class KTComponentDB;
class SoTransform;
namespace ktrt::detail {
struct NameLists;
}

/// The snapshot of one component: its name, the five fields of its
/// "transform" part, its typed attribute values and its behavior flags.
///
/// The state keeps the transform's five values and owns the SoTransform node
/// that getTransform() hands out (one reference, held until the state goes),
/// made on the first request and kept holding those values; copies never
/// share it. The node is in no scene and sends no notifications. The collections hold copies and
/// hand out copies. Equality compares the names, ignoring letter case.
class KTRT_API KTObjectState {
public:
    /// Empty collections and names, a default SoTransform, transformSet() false.
    KTObjectState();
    /// Copies collections, names, the transform's values and transformSet();
    /// the copy has a node of its own.
    KTObjectState(const KTObjectState& other);
    /// As the copy constructor, the values going into this state's own node;
    /// assigning a state to itself changes nothing.
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
    const SoTransform* getTransform() const { return transform.node(); }
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

    // The five transform fields as values. The node is made on the first
    // request and written with every later change; a copy takes the values
    // into its own node, never the source's node.
    class TransformFields {
    public:
        TransformFields();
        TransformFields(const TransformFields& other);
        TransformFields& operator=(const TransformFields& other);
        ~TransformFields();
        // Reads the five fields of `from`, in order, as their current values.
        void capture(const SoTransform& from);
        // Writes the five values into `to` with setValue, in field order.
        void restore(SoTransform& to) const;
        // The values of a cleared state.
        void clear();
        const SoTransform* node() const;

    private:
        void updateNode() const;

        SbVec3f translation;
        SbRotation rotation;
        SbVec3f scaleFactor;
        SbRotation scaleOrientation;
        SbVec3f center;
        mutable coinref::CoinRef<SoTransform> view;
    };

    void captureBehaviors(KTComponent& component, ktrt::detail::NameLists& names);
    void captureAttributes(KTComponent& component, ktrt::detail::NameLists& names);
    // Behavior restore shared with the world snapshot: activation goes through
    // `world` with `componentName` when a world is given, else through the
    // component itself.
    void restoreBehaviorFlags(KTComponent& component, KTComponentDB* world,
                              const RWCString& componentName) const;
    // The scene's follow-up after `attribute` was restored: recolouring for a
    // colour attribute, the texture step for "textureUrl".
    void followUpInScene(KTComponent* component, KTAttribute* attribute) const;
    RWCString getGeometryLocation(KTComponent* component) const;

    std::vector<KTAttributeState> attributeStates;
    std::vector<KTBehaviorState> behaviorStates;
    RWCString name;
    RWCString oldName;
    TransformFields transform;
    bool transformIsSet;
};
