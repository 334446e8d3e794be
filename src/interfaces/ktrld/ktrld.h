#pragma once

// Umbrella header of the registry loader stand-in library.
#include <ktrld/KTRegistryInfo.h>
#include <ktrld/KTRegistryLoader.h>
