#include <rw/RWBoundsErr.h>
#include <rw/RWCString.h>
#include <rw/RWTPtrOrderedVector.h>
#include <rw/RWTValOrderedVector.h>
#include <rw/RWTValSortedVector.h>

#include <gtest/gtest.h>

#include <memory>

TEST(RWTValOrderedVector, KeepsOrderAndRaisesPastTheCount) {
    RWTValOrderedVector<int> v;
    EXPECT_GE(v.capacity(), 64u);
    EXPECT_THROW(v[0], RWBoundsErr);
    for (int i = 0; i < 200; ++i)
        v.insert(i);
    v.insertAt(0, -1);
    v.insertAt(v.entries(), 1000);
    EXPECT_EQ(v.entries(), 202u);
    EXPECT_EQ(v[0], -1);
    EXPECT_EQ(v[201], 1000);
    EXPECT_THROW(v[202], RWBoundsErr);
    EXPECT_THROW(v.insertAt(204, 5), RWBoundsErr);
    EXPECT_EQ(v.removeAt(1), 0);
    EXPECT_TRUE(v.remove(1000));
    EXPECT_FALSE(v.remove(1000));
    EXPECT_EQ(v.index(5), 5u);
    EXPECT_EQ(v.index(4242), RW_NPOS);
    v.clear();
    EXPECT_TRUE(v.isEmpty());
    EXPECT_GE(v.capacity(), 64u);
}

TEST(RWTValOrderedVector, ClearKeepsSmallRoomAndGivesLargeRoomBack) {
    RWTValOrderedVector<int> small(0);
    for (int i = 0; i < 3; ++i)
        small.insert(i);
    const std::size_t room = small.capacity();
    const int* storage = &small(0);
    small.clear();
    small.insert(7);
    EXPECT_EQ(small.capacity(), room);
    EXPECT_EQ(&small(0), storage);

    RWTValOrderedVector<int> large;
    for (int i = 0; i < 1000; ++i)
        large.insert(i);
    large.clear();
    EXPECT_EQ(large.capacity(), 64u);
}

TEST(RWTPtrOrderedVector, SearchesByValueAndDeletesOnlyWhenAsked) {
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

TEST(RWTValSortedVector, StaysSortedWithExactMembership) {
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
