#include <ktcp/KTComponentLibrary.h>

#include <Inventor/SoDB.h>
#include <Inventor/nodekits/SoNodeKit.h>

#include <ktcp/KTAttribute.h>
#include <ktcp/KTBoolAttribute.h>
#include <ktcp/KTColorAttribute.h>
#include <ktcp/KTComponent.h>
#include <ktcp/KTFloatAttribute.h>
#include <ktcp/KTMFStringAttribute.h>
#include <ktcp/KTPart.h>
#include <ktcp/KTRotationAttribute.h>
#include <ktcp/KTStringAttribute.h>
#include <ktcp/KTTimeAttribute.h>
#include <ktcp/KTVec3fAttribute.h>
#include <ktcp/KTVoidPointerAttribute.h>

namespace {
bool initialized = false;
}

void KTComponentLibrary::init() {
    if (initialized)
        return;
    // Set first: the attribute classes' getClassTypeId() calls back into
    // init() when it is used before registration.
    initialized = true;
    SoDB::init(); // also initialises the VRML97 nodes in Coin 4
    SoNodeKit::init();
    KTPart::initClass();
    KTComponent::initClass();
    KTAttribute::initClass();
    KTBoolAttribute::initClass();
    KTColorAttribute::initClass();
    KTFloatAttribute::initClass();
    KTMFStringAttribute::initClass();
    KTRotationAttribute::initClass();
    KTStringAttribute::initClass();
    KTTimeAttribute::initClass();
    KTVec3fAttribute::initClass();
    KTVoidPointerAttribute::initClass();
}

int KTComponentLibrary::isInitialized() {
    return initialized ? 1 : 0;
}
