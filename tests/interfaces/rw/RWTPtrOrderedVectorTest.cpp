#include <rw/RWTPtrOrderedVector.h>

#include <memory>

#include <rw/RWBoundsErr.h>
#include <rw/RWCString.h>

#include <gtest/gtest.h>

TEST(RWTPtrOrderedVectorValidity, SearchesByValueRaisesPastTheCountAndDeletesOnlyWhenAsked) {
    auto a = std::make_unique<RWCString>("a");
    RWTPtrOrderedVector<RWCString> v;
    v.insert(a.get());
    v.insert(new RWCString("b"));
    RWCString probe("b");
    EXPECT_EQ(v.index(&probe), 1u);
    EXPECT_EQ(v.removeAt(0), a.get());
    EXPECT_THROW(v[1], RWBoundsErr);
    v.clearAndDestroy(); // deletes "b"; the sanitizer build checks for a leak
    EXPECT_EQ(v.entries(), 0u);
}
