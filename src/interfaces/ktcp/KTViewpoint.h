#pragma once

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include <rw/RWCString.h>
#include <ktcp/ktcpdefs.h>

/// A named camera position of a world, a plain value: the host reads and
/// writes its public members directly.
class KTCP_API KTViewpoint {
public:
    /// Named `name`, empty description, at (0, 0, 1) looking down -Z, field
    /// of view pi/4, jumping.
    explicit KTViewpoint(const RWCString& name = RWCString());

    /// The name, by value.
    RWCString getName() const { return name; }
    /// A null name is ignored.
    void setName(const char* newName);
    /// Replaces the description; a null text empties it.
    void setDescription(const char* text);

    /// Free text shown to the user.
    RWCString description;
    SbVec3f position;
    SbRotation orientation;
    /// Vertical field of view in radians.
    float fieldOfView;
    /// 1: the camera jumps to the viewpoint; 0: it moves there smoothly.
    int jump;

private:
    RWCString name;
};
