#include <rw/RWCString.h>

#include <sstream>
#include <string>
#include <vector>

#include <rw/RWBoundsErr.h>

#include <gtest/gtest.h>

TEST(RWCStringValidity, NullTextIsEmptyAndIndexingPastTheEndRaises) {
    RWCString s(static_cast<const char*>(nullptr));
    EXPECT_TRUE(s.isNull());
    EXPECT_STREQ(s.data(), "");
    EXPECT_THROW(s[0], RWBoundsErr);
    RWCString abc("abc");
    try {
        (void)abc[3];
        FAIL() << "no bounds error";
    } catch (const RWBoundsErr& e) {
        EXPECT_EQ(e.index(), 3u);
        EXPECT_EQ(e.count(), 3u);
    }
}

TEST(RWCString, ComparesExactlyOrIgnoringCase) {
    RWCString a("Lid"), b("lid"), c("lids");
    EXPECT_NE(a.compareTo(b), 0);
    EXPECT_EQ(a.compareTo(b, RWCString::ignoreCase), 0);
    EXPECT_LT(b.compareTo(c, RWCString::ignoreCase), 0);
    EXPECT_GT(c.compareTo("LID", RWCString::ignoreCase), 0);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a == "Lid");
    EXPECT_TRUE(a < b); // 'L' sorts before 'l'
    EXPECT_EQ(a.hash(), RWCString("Lid").hash());
    EXPECT_NE(a.hash(), b.hash());
    // Embedded zero bytes take part in comparisons.
    EXPECT_NE(RWCString("a\0b", 3).compareTo(RWCString("a\0c", 3)), 0);
}

TEST(RWCString, ReadsLinesWithoutTheirLineEnds) {
    std::istringstream in("first\r\nsecond\n\nlast");
    RWCString line;
    std::vector<std::string> lines;
    while (line.readLine(in))
        lines.push_back(line.std());
    EXPECT_EQ(lines, (std::vector<std::string>{"first", "second", "", "last"}));
}
