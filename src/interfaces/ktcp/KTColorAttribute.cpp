#include <ktcp/KTColorAttribute.h>

#include <ktcp/KTComponentLibrary.h>

SoType KTColorAttribute::classTypeId;

KTColorAttribute::KTColorAttribute(const RWCString& name, const SbColor& initialValue)
    : KTAttribute(name), value(initialValue) {}

SoType KTColorAttribute::getTypeId() const {
    return classTypeId;
}

SoType KTColorAttribute::getClassTypeId() {
    if (classTypeId.isBad())
        KTComponentLibrary::init();
    return classTypeId;
}

void KTColorAttribute::initClass() {
    registerType(&classTypeId, KTAttribute::getClassTypeId(), "KTColorAttribute");
}
