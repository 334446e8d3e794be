#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTTransform.h>
#include <ktrt/geometry/KTVector3.h>

#include <gtest/gtest.h>

TEST(VectorAndAngle, SpareSlotPastIndexTwoIsNeverCopiedOrComparedAndEqualityIsExact) {
    KTVector3 vector(1, 2, 3);
    KTAngle angle(4, 5, 6);
    vector[3] = 42.0;
    angle[1000] = 43.0;
    EXPECT_EQ(vector[1000], 42.0);
    EXPECT_EQ(angle[3], 43.0);
    EXPECT_EQ(angle[2], 6.0);
    EXPECT_TRUE(vector == KTVector3(1, 2, 3));
    EXPECT_TRUE(angle == KTAngle(4, 5, 6));
    EXPECT_EQ(KTAngle(angle)[3], 0.0);
    KTVector3 target;
    target[3] = 7.0;
    target = vector;
    EXPECT_EQ(target[3], 7.0);
    EXPECT_EQ(target[2], 3.0);

    EXPECT_FALSE(KTVector3(1, 2, 3) == KTVector3(1, 2, 3.0000000001));
    EXPECT_FALSE(KTAngle(0, 0, 360) == KTAngle(0, 0, 0));
    const KTVector3& base = KTVector3(0, -0.0, 0); // virtual comparison
    EXPECT_TRUE(base == KTVector3());
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
