#pragma once

// Umbrella header of the RW stand-in library.
#include <rw/RWBoundsErr.h>
#include <rw/RWCString.h>
#include <rw/RWTPtrOrderedVector.h>
#include <rw/RWTValOrderedVector.h>
#include <rw/RWTValSortedVector.h>
