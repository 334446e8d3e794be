#include <ktcp/KTVec3fAttribute.h>

#include <ktcp/KTComponentLibrary.h>

SoType KTVec3fAttribute::classTypeId;

KTVec3fAttribute::KTVec3fAttribute(const RWCString& name, const SbVec3f& initialValue)
    : KTAttribute(name), value(initialValue) {}

SoType KTVec3fAttribute::getTypeId() const {
    return classTypeId;
}

SoType KTVec3fAttribute::getClassTypeId() {
    if (classTypeId.isBad())
        KTComponentLibrary::init();
    return classTypeId;
}

void KTVec3fAttribute::initClass() {
    registerType(&classTypeId, KTAttribute::getClassTypeId(), "KTVec3fAttribute");
}
