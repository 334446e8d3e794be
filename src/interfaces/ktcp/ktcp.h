#pragma once

// Umbrella header of the component library stand-in.
#include <ktcp/KTAttribute.h>
#include <ktcp/KTBehavior.h>
#include <ktcp/KTBoolAttribute.h>
#include <ktcp/KTColorAttribute.h>
#include <ktcp/KTComponent.h>
#include <ktcp/KTComponentDB.h>
#include <ktcp/KTComponentIterator.h>
#include <ktcp/KTComponentLibrary.h>
#include <ktcp/KTFloatAttribute.h>
#include <ktcp/KTMFStringAttribute.h>
#include <ktcp/KTPart.h>
#include <ktcp/KTRotationAttribute.h>
#include <ktcp/KTStringAttribute.h>
#include <ktcp/KTTimeAttribute.h>
#include <ktcp/KTVec3fAttribute.h>
#include <ktcp/KTViewpoint.h>
#include <ktcp/KTVoidPointerAttribute.h>
