#pragma once

#include <rw/RWCString.h>
#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTVector3.h>
#include <ktrt/visibility.h>

class KTViewpoint;

/// The settings of one viewpoint: description, field of view, jump flag,
/// orientation (as Euler angles) and position, taken from a viewpoint and put
/// back onto one later. Equality compares the names, ignoring letter case.
class KTRT_API KTViewpointState {
public:
    /// A cleared state (see clear()).
    KTViewpointState();
    /// Copies every member.
    KTViewpointState(const KTViewpointState& other);
    /// Copies every member; assigning a state to itself changes nothing.
    KTViewpointState& operator=(const KTViewpointState& other);
    /// Nothing to release beyond the members.
    ~KTViewpointState();

    /// 1 when the names are equal ignoring letter case, else 0.
    int operator==(const KTViewpointState& other) const;

    /// Empty description and names, field of view 0, jump true, zero
    /// orientation and position.
    void clear();

    /// Fills the state (name included) from `viewpoint`; null does nothing.
    /// Only a jump flag of exactly 1 is recorded as true.
    void snapshotViewpoint(const KTViewpoint* viewpoint);
    /// Writes description, field of view, jump flag (0 or 1), orientation and
    /// position into `viewpoint`, never its name; null does nothing.
    void restoreViewpoint(KTViewpoint* viewpoint);

    /// The viewpoint's description text.
    const RWCString& getDesc() const { return desc; }
    /// Replaces the description text.
    void setDesc(const RWCString& text) { desc = text; }
    /// True: the camera jumps to the viewpoint.
    bool getJump() const { return jump; }
    /// Sets the jump flag.
    void setJump(bool value) { jump = value; }
    /// The viewpoint's name, as the last snapshot or setName() left it.
    const RWCString& getName() const { return name; }
    /// A second label of the host's.
    const RWCString& getOldName() const { return oldName; }
    /// Copies the text; a null pointer keeps the previous name.
    void setName(const char* text);
    /// Copies the text; a null pointer keeps the previous name.
    void setOldName(const char* text);

private:
    void copy(const KTViewpointState& other);

    RWCString desc;
    float fieldOfView;
    bool jump;
    RWCString name;
    RWCString oldName;
    KTAngle orientation;
    KTVector3 position;
};
