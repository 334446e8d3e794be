#include <ktcp/KTRotationAttribute.h>

#include <ktcp/KTComponentLibrary.h>

SoType KTRotationAttribute::classTypeId;

KTRotationAttribute::KTRotationAttribute(const RWCString& name, const SbRotation& initialValue)
    : KTAttribute(name), value(initialValue) {}

SoType KTRotationAttribute::getTypeId() const {
    return classTypeId;
}

SoType KTRotationAttribute::getClassTypeId() {
    if (classTypeId.isBad())
        KTComponentLibrary::init();
    return classTypeId;
}

void KTRotationAttribute::initClass() {
    registerType(&classTypeId, KTAttribute::getClassTypeId(), "KTRotationAttribute");
}
