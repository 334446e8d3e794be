#pragma once

#include <memory>
#include <vector>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include <coinref/CoinRef.h>
#include <rw/RWCString.h>
#include <ktcp/KTComponent.h>

#include <ktrt/pose/KTPose.h>
#include <ktrt/visibility.h>

class SoTransform;

/// The parts of one component that playback writes, bound by name: for each
/// part added, the logical part of that name and its "transform" node (an
/// SoTransform, checked; created when the part has none), with the five
/// fields (translation, rotation, scale factor, scale orientation, center)
/// that the node had when the part was added. Part numbers follow the order
/// of adding; a pose written through the binding uses the same numbers.
///
/// The binding holds one Coin reference on every node it may write, so the
/// nodes outlive it whatever the scene does, and it knows when its component
/// is gone: deleted, or removed from a world (KTComponentDB::removeComponent
/// or the world destroyed) after the binding was made. From then on it writes
/// and restores nothing, and isComponentPresent() says 0. A component that was
/// never in a world counts as present until it is deleted. The component may
/// be removed or deleted at any time; the binding keeps no reference on it.
///
/// A part's transform that is replaced in the scene after the part was added
/// is not followed: the binding writes the node it bound, which it keeps
/// alive; bind again to write the new one.
///
/// Copies share the nodes, each holder with a reference of its own, and the
/// saved fields. Like all of the library it is used from one thread, the
/// host's Coin thread: Coin is not thread-safe.
class KTRT_API KTPartBinding {
public:
    /// No component and no parts: nothing is written, and
    /// isComponentPresent() is 0.
    KTPartBinding();
    /// Binds parts of `component` (not owned) as addPart() adds them; a null
    /// component binds nothing.
    explicit KTPartBinding(KTComponent* component);
    /// The same component, nodes (each referenced once more) and saved fields.
    KTPartBinding(const KTPartBinding& other);
    /// As the copy constructor; releases the nodes held before.
    KTPartBinding& operator=(const KTPartBinding& other);
    /// Releases the nodes; neither the nodes nor the component are written.
    ~KTPartBinding();

    /// 1 when both bind the same component and the same nodes in the same
    /// order.
    int operator==(const KTPartBinding& other) const;

    /// Binds the logical part named `partName` exactly, as part number
    /// getNumParts(), and saves its transform's five fields. 0 (nothing bound)
    /// when the component is null or gone, has no such part, or the part hands
    /// out a "transform" that is not an SoTransform.
    int addPart(const RWCString& partName);
    /// Number of parts bound.
    unsigned int getNumParts() const { return static_cast<unsigned int>(parts.size()); }
    /// The "transform" node of part `index` (referenced by the binding), or
    /// null past the end.
    SoTransform* getTransform(unsigned int index) const;

    /// The component bound, not owned; null when none was given or the
    /// component was deleted. A component removed from its world is still
    /// returned.
    KTComponent* getComponent() const;
    /// 1 while the component exists and has not been removed from a world
    /// since the binding was made; 0 once it has, or when there is none.
    int isComponentPresent() const;

    /// Writes part `index`'s translation when `channels` has
    /// KTPose::TRANSLATION and its rotation when it has KTPose::ROTATION,
    /// each only when its field does not already hold the value bit for bit
    /// (a field left alone sends no notification; one a host changed in
    /// between is written). A part whose two fields change notifies the scene
    /// above it once (from the rotation); the translation's own field sensors
    /// and connections hear of it as usual. Nothing is written past the end or
    /// once the component is gone.
    void writePart(unsigned int index, int channels, const SbVec3f& translation,
                   const SbRotation& rotation) const;
    /// Writes every part that `pose` has (part i from pose part i), only the
    /// channels set and changed, as writePart(); parts beyond the pose's are left alone,
    /// as are the pose's parts beyond the binding's. Nothing once the
    /// component is gone.
    void write(const KTPose& pose) const;
    /// Writes the five saved fields back into every part, in the order
    /// translation, rotation, scale factor, scale orientation, center;
    /// nothing once the component is gone.
    void restore() const;
    /// Saves the five fields of every part as they are now, in place of
    /// those saved when the part was bound (a copy of a binding so becomes a
    /// snapshot of its parts); nothing once the component is gone.
    void saveFields();
    /// The saved translation and rotation of every part, both channels set:
    /// the pose the parts had when bound. Replaces the contents of `pose`.
    void getRestPose(KTPose& pose) const;
    /// As getRestPose(KTPose&), returned by value.
    KTPose getRestPose() const;

private:
    // A transform's five fields, as read when the part was bound or saved.
    struct Fields {
        SbVec3f translation;
        SbRotation rotation;
        SbVec3f scaleFactor;
        SbRotation scaleOrientation;
        SbVec3f center;
    };
    static Fields fieldsOf(const SoTransform& node);
    struct Part {
        coinref::CoinRef<SoTransform> node;
        Fields saved;
    };

    void copyFrom(const KTPartBinding& other);

    KTComponent* component;
    // Shared with the component; it outlives it for as long as we hold it.
    std::shared_ptr<const KTComponent::Presence> presence;
    // The component's removals when the binding was made: a different count
    // means it left a world since.
    unsigned long removalsWhenBound;
    std::vector<Part> parts;
};
