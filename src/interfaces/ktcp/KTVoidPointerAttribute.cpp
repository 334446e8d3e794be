#include <ktcp/KTVoidPointerAttribute.h>

#include <ktcp/KTComponentLibrary.h>

SoType KTVoidPointerAttribute::classTypeId;

KTVoidPointerAttribute::KTVoidPointerAttribute(const RWCString& name, void* initialValue)
    : KTAttribute(name), value(initialValue) {}

SoType KTVoidPointerAttribute::getTypeId() const {
    return classTypeId;
}

SoType KTVoidPointerAttribute::getClassTypeId() {
    if (classTypeId.isBad())
        KTComponentLibrary::init();
    return classTypeId;
}

void KTVoidPointerAttribute::initClass() {
    registerType(&classTypeId, KTAttribute::getClassTypeId(), "KTVoidPointerAttribute");
}
