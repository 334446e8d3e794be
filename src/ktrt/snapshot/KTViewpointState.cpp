#include <ktrt/snapshot/KTViewpointState.h>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>
#include <ktcp/ktcp.h>

KTViewpointState::KTViewpointState() {
    clear();
}

KTViewpointState::KTViewpointState(const KTViewpointState& other) {
    copy(other);
}

KTViewpointState& KTViewpointState::operator=(const KTViewpointState& other) {
    if (this != &other)
        copy(other);
    return *this;
}

KTViewpointState::~KTViewpointState() = default;

int KTViewpointState::operator==(const KTViewpointState& other) const {
    return name.compareTo(other.name, RWCString::ignoreCase) == 0 ? 1 : 0;
}

void KTViewpointState::clear() {
    desc = "";
    fieldOfView = 0.0f;
    jump = true;
    name = "";
    oldName = "";
    orientation.setValue(0.0, 0.0, 0.0);
    position.setValues(0.0, 0.0, 0.0);
}

void KTViewpointState::snapshotViewpoint(const KTViewpoint* viewpoint) {
    if (viewpoint == nullptr)
        return;
    desc = viewpoint->description;
    fieldOfView = viewpoint->fieldOfView;
    jump = viewpoint->jump == 1;
    name = viewpoint->getName();
    float quaternion[4];
    viewpoint->orientation.getValue(quaternion[0], quaternion[1], quaternion[2], quaternion[3]);
    orientation = quaternion;
    const SbVec3f& where = viewpoint->position;
    position.setValues(where[0], where[1], where[2]);
}

void KTViewpointState::restoreViewpoint(KTViewpoint* viewpoint) {
    if (viewpoint == nullptr)
        return;
    viewpoint->setDescription(desc.data());
    viewpoint->fieldOfView = fieldOfView;
    viewpoint->jump = jump ? 1 : 0;
    float quaternion[4];
    orientation.getValue(quaternion);
    viewpoint->orientation = SbRotation(quaternion);
    viewpoint->position.setValue(static_cast<float>(position[0]), static_cast<float>(position[1]),
                                 static_cast<float>(position[2]));
}

void KTViewpointState::setName(const char* text) {
    if (text != nullptr)
        name = text;
}

void KTViewpointState::setOldName(const char* text) {
    if (text != nullptr)
        oldName = text;
}

void KTViewpointState::copy(const KTViewpointState& other) {
    desc = other.desc;
    fieldOfView = other.fieldOfView;
    jump = other.jump;
    name = other.name;
    oldName = other.oldName;
    orientation = other.orientation;
    position = other.position;
}
