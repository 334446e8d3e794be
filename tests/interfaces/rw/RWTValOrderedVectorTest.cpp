#include <rw/RWTValOrderedVector.h>

#include <rw/RWBoundsErr.h>

#include <gtest/gtest.h>

TEST(RWTValOrderedVectorValidity, RaisesPastTheCountAndKeepsTheRest) {
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
