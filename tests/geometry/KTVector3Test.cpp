#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTTransform.h>
#include <ktrt/geometry/KTVector3.h>

#include <gtest/gtest.h>

// Both value types hold three numbers and a spare slot that every index past
// two reaches; the spare is never copied, assigned or compared.
template <class Value> class ThreeValues : public ::testing::Test {};
using ValueTypes = ::testing::Types<KTVector3, KTAngle>;
TYPED_TEST_SUITE(ThreeValues, ValueTypes);

TYPED_TEST(ThreeValues, SpareSlotPastIndexTwoIsNeverCopiedOrComparedAndEqualityIsExact) {
    TypeParam value(1, 2, 3);
    value[3] = 42.0;
    EXPECT_EQ(value[1000], 42.0);
    EXPECT_EQ(value[2], 3.0);
    EXPECT_TRUE(value == TypeParam(1, 2, 3));
    EXPECT_EQ(TypeParam(value)[3], 0.0);
    TypeParam target;
    target[3] = 7.0;
    target = value;
    EXPECT_EQ(target[3], 7.0);
    EXPECT_EQ(target[2], 3.0);
    EXPECT_FALSE(TypeParam(1, 2, 3) == TypeParam(1, 2, 3.0000000001));
    EXPECT_FALSE(TypeParam(1, 2, 3) == TypeParam(1, 2.5, 3));
    EXPECT_FALSE(TypeParam(0, 0, 360) == TypeParam(0, 0, 0));
    const TypeParam& base = TypeParam(0, -0.0, 0); // virtual comparison
    EXPECT_TRUE(base == TypeParam());
}

TEST(Transform, EqualityIsIdentityAndCopiesCarryBothParts) {
    KTTransform a;
    a.setOrientation(KTAngle(10, 20, 30));
    a.setPosition(KTVector3(1, 2, 3));
    const KTTransform b(a);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a == a);
    KTTransform c;
    c = b;
    EXPECT_TRUE(c.getOrientation() == KTAngle(10, 20, 30));
    EXPECT_TRUE(c.getPosition() == KTVector3(1, 2, 3));
}
