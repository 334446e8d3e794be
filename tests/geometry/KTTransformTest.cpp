#include <ktrt/geometry/KTTransform.h>

#include <gtest/gtest.h>

TEST(KTTransformValidity, EqualityIsIdentityAndCopiesAndSelfAssignmentKeepBothParts) {
    KTTransform a;
    a.setOrientation(KTAngle(10, 20, 30));
    a.setPosition(KTVector3(1, 2, 3));
    const KTTransform b(a);
    EXPECT_FALSE(a == b);
    EXPECT_TRUE(a == a);
    KTTransform c;
    c = b;
    const KTTransform& alias = c;
    c = alias;
    EXPECT_TRUE(c.getOrientation() == KTAngle(10, 20, 30));
    EXPECT_TRUE(c.getPosition() == KTVector3(1, 2, 3));
}
