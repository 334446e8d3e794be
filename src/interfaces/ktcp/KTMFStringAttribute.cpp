#include <ktcp/KTMFStringAttribute.h>

#include <ktcp/KTComponentLibrary.h>

SoType KTMFStringAttribute::classTypeId;

KTMFStringAttribute::KTMFStringAttribute(const RWCString& name) : KTAttribute(name) {
    value.setNum(0);
}

KTMFStringAttribute::KTMFStringAttribute(const RWCString& name, const SoMFString& initialValue)
    : KTAttribute(name) {
    // cppcheck-suppress useInitializationList ; Coin fields cannot be copy-constructed
    value = initialValue;
}

SoType KTMFStringAttribute::getTypeId() const {
    return classTypeId;
}

SoType KTMFStringAttribute::getClassTypeId() {
    if (classTypeId.isBad())
        KTComponentLibrary::init();
    return classTypeId;
}

void KTMFStringAttribute::initClass() {
    registerType(&classTypeId, KTAttribute::getClassTypeId(), "KTMFStringAttribute");
}
