#include <rw/RWTValSortedVector.h>

#include <rw/RWBoundsErr.h>
#include <rw/RWCString.h>

#include <gtest/gtest.h>

TEST(RWTValSortedVectorValidity, StaysSortedWithExactMembershipAndRaisesPastTheCount) {
    RWTValSortedVector<RWCString> names;
    for (const char* n : {"walk", "Idle", "idle", "blink", "walk"})
        names.insert(n);
    ASSERT_EQ(names.entries(), 5u);
    EXPECT_EQ(names[0], RWCString("Idle"));
    EXPECT_EQ(names[1], RWCString("blink"));
    EXPECT_EQ(names[4], RWCString("walk"));
    EXPECT_TRUE(names.contains("idle"));
    EXPECT_FALSE(names.contains("IDLE"));
    EXPECT_EQ(names.occurrencesOf("walk"), 2u);
    EXPECT_TRUE(names.remove("walk"));
    EXPECT_EQ(names.occurrencesOf("walk"), 1u);
    EXPECT_THROW(names[4], RWBoundsErr);
}
