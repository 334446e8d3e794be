#include <ktcp/KTTimeAttribute.h>

#include <ktcp/KTComponentLibrary.h>

SoType KTTimeAttribute::classTypeId;

KTTimeAttribute::KTTimeAttribute(const RWCString& name, const SbTime& initialValue)
    : KTAttribute(name), value(initialValue) {}

SoType KTTimeAttribute::getTypeId() const {
    return classTypeId;
}

SoType KTTimeAttribute::getClassTypeId() {
    if (classTypeId.isBad())
        KTComponentLibrary::init();
    return classTypeId;
}

void KTTimeAttribute::initClass() {
    registerType(&classTypeId, KTAttribute::getClassTypeId(), "KTTimeAttribute");
}
