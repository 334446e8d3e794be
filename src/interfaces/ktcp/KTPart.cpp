#include <ktcp/KTPart.h>

#include <Inventor/nodes/SoSeparator.h>
#include <Inventor/nodes/SoTransform.h>

SO_KIT_SOURCE(KTPart)

unsigned long KTPart::renameCount = 0;

KTPart::KTPart() {
    SO_KIT_CONSTRUCTOR(KTPart);
    SO_KIT_ADD_CATALOG_ENTRY(topSeparator, SoSeparator, FALSE, this, \x0, FALSE);
    SO_KIT_ADD_CATALOG_ENTRY(transform, SoTransform, TRUE, topSeparator, geometry, TRUE);
    SO_KIT_ADD_CATALOG_ENTRY(geometry, SoSeparator, TRUE, topSeparator, \x0, TRUE);
    SO_KIT_INIT_INSTANCE();
}

KTPart::~KTPart() = default;

void KTPart::initClass() {
    if (getClassTypeId() == SoType::badType())
        SO_KIT_INIT_CLASS(KTPart, SoBaseKit, "BaseKit");
}

void KTPart::setName(const SbName& newName) {
    inherited::setName(newName);
    ++renameCount;
}
