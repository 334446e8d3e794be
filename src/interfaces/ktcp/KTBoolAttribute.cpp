#include <ktcp/KTBoolAttribute.h>

#include <ktcp/KTComponentLibrary.h>

SoType KTBoolAttribute::classTypeId;

KTBoolAttribute::KTBoolAttribute(const RWCString& name, int initialValue)
    : KTAttribute(name), value(initialValue) {}

SoType KTBoolAttribute::getTypeId() const {
    return classTypeId;
}

SoType KTBoolAttribute::getClassTypeId() {
    if (classTypeId.isBad())
        KTComponentLibrary::init();
    return classTypeId;
}

void KTBoolAttribute::initClass() {
    registerType(&classTypeId, KTAttribute::getClassTypeId(), "KTBoolAttribute");
}
