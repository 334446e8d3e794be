#include <ktcp/KTViewpoint.h>

KTViewpoint::KTViewpoint(const RWCString& viewpointName)
    : position(0.0f, 0.0f, 1.0f), orientation(SbRotation::identity()), fieldOfView(0.785398163f),
      jump(1), name(viewpointName) {}

void KTViewpoint::setName(const char* newName) {
    if (newName)
        name = newName;
}

void KTViewpoint::setDescription(const char* text) {
    description = text ? text : "";
}
