#include <ktcp/KTStringAttribute.h>

#include <ktcp/KTComponentLibrary.h>

SoType KTStringAttribute::classTypeId;

KTStringAttribute::KTStringAttribute(const RWCString& name, const RWCString& initialValue)
    : KTAttribute(name), value(initialValue) {}

SoType KTStringAttribute::getTypeId() const {
    return classTypeId;
}

SoType KTStringAttribute::getClassTypeId() {
    if (classTypeId.isBad())
        KTComponentLibrary::init();
    return classTypeId;
}

void KTStringAttribute::initClass() {
    registerType(&classTypeId, KTAttribute::getClassTypeId(), "KTStringAttribute");
}
