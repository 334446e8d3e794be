#include <ktcp/KTAttribute.h>

#include <Inventor/SbName.h>

#include <ktcp/KTComponentLibrary.h>

SoType KTAttribute::classTypeId;

KTAttribute::KTAttribute(const RWCString& attributeName) : name(attributeName) {}

KTAttribute::~KTAttribute() = default;

SoType KTAttribute::getClassTypeId() {
    if (classTypeId.isBad())
        KTComponentLibrary::init();
    return classTypeId;
}

void KTAttribute::initClass() {
    registerType(&classTypeId, SoType::badType(), "KTAttribute");
}

void KTAttribute::registerType(SoType* type, SoType parent, const char* typeName) {
    if (type->isBad())
        *type = SoType::createType(parent, typeName);
}
