#include <ktrt/geometry/KTAngle.h>
#include <ktrt/geometry/KTTransform.h>
#include <ktrt/geometry/KTVector3.h>

#include <gtest/gtest.h>

TEST(VectorAndAngle, SpareSlotIsReachedPastIndexTwoButNeverCopiedOrCompared) {
    KTVector3 vector(1, 2, 3);
    KTAngle angle(4, 5, 6);
    EXPECT_EQ(vector[3], 0.0);
    EXPECT_EQ(angle[3], 0.0);
    vector[3] = 42.0;
    angle[1000] = 43.0;
    EXPECT_EQ(vector[1000], 42.0);
    EXPECT_EQ(angle[3], 43.0);
    EXPECT_EQ(vector[0], 1.0);
    EXPECT_EQ(angle[2], 6.0);

    EXPECT_TRUE(vector == KTVector3(1, 2, 3));
    EXPECT_TRUE(angle == KTAngle(4, 5, 6));
    const KTVector3 vectorCopy(vector);
    const KTAngle angleCopy(angle);
    EXPECT_EQ(vectorCopy[3], 0.0);
    EXPECT_EQ(angleCopy[3], 0.0);
    KTVector3 vectorTarget;
    vectorTarget[3] = 7.0;
    vectorTarget = vector;
    EXPECT_EQ(vectorTarget[3], 7.0);
    EXPECT_EQ(vectorTarget[2], 3.0);
}

TEST(VectorAndAngle, EqualityIsExactPerValue) {
    EXPECT_FALSE(KTVector3(1, 2, 3) == KTVector3(1, 2, 3.0000000001));
    EXPECT_FALSE(KTAngle(0, 0, 360) == KTAngle(0, 0, 0));
    EXPECT_TRUE(KTAngle(0, 0, 360) == KTAngle(0, 0, 360));
    // The comparison is virtual, so it works through base references too.
    const KTVector3& a = KTVector3(0, -0.0, 0);
    EXPECT_TRUE(a == KTVector3());
    double x, y, z;
    KTAngle(7, 8, 9).getValue(x, y, z);
    EXPECT_EQ(x + 10 * y + 100 * z, 7 + 80 + 900);
}

TEST(Transform, EqualityIsIdentityAndCopiesCarryBothParts) {
    KTTransform a;
    a.setOrientation(KTAngle(10, 20, 30));
    a.setPosition(KTVector3(1, 2, 3));
    const KTTransform b(a);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a == a);
    EXPECT_TRUE(b.getOrientation() == KTAngle(10, 20, 30));
    EXPECT_TRUE(b.getPosition() == KTVector3(1, 2, 3));
    KTTransform c;
    c = a;
    EXPECT_TRUE(c.getOrientation() == a.getOrientation());
    EXPECT_TRUE(c.getPosition() == a.getPosition());
    EXPECT_TRUE(KTTransform().getPosition() == KTVector3(0, 0, 0));
}
