#include <ktstd/Std_CString.h>

#include <gtest/gtest.h>

TEST(Std_CStringValidity, NullGivesEmptyAndCopiesAreIndependent) {
    EXPECT_STREQ(Std_CString(nullptr), "");
    Std_CString b("path");
    const Std_CString c = b;
    EXPECT_STREQ(b.assign(nullptr), "");
    EXPECT_STREQ(c, "path");
}
