#include <ktcp/KTFloatAttribute.h>

#include <ktcp/KTComponentLibrary.h>

SoType KTFloatAttribute::classTypeId;

KTFloatAttribute::KTFloatAttribute(const RWCString& name, float initialValue)
    : KTAttribute(name), value(initialValue) {}

SoType KTFloatAttribute::getTypeId() const {
    return classTypeId;
}

SoType KTFloatAttribute::getClassTypeId() {
    if (classTypeId.isBad())
        KTComponentLibrary::init();
    return classTypeId;
}

void KTFloatAttribute::initClass() {
    registerType(&classTypeId, KTAttribute::getClassTypeId(), "KTFloatAttribute");
}
