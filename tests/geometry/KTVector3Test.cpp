#include <ktrt/geometry/KTVector3.h>

#include <gtest/gtest.h>

#include "ThreeValuesChecks.h"

TEST(KTVector3Validity, IndexesPastTwoReachASpareSlotNeverCopiedOrCompared) {
    ktrt_test::expectSpareSlotIsNeverCopiedOrCompared<KTVector3>();
}
