#include <ktrt/keys/KTAnimationState.h>

#include <gtest/gtest.h>

TEST(KTAnimationStateValidity, CopyMakesValidAssignmentKeepsValidityAndEqualityComparesKeysOnly) {
    KTAnimationState invalid(2.0, KTVector3(1, 2, 3), KTAngle(4, 5, 6));
    invalid.setValidity(0);
    const KTAnimationState copied(invalid);
    EXPECT_EQ(copied.isValid(), 1);
    EXPECT_TRUE(copied.getPosition() == KTVector3(1, 2, 3));
    KTAnimationState assigned;
    EXPECT_EQ(assigned.isValid(), 1);
    assigned = invalid;
    EXPECT_EQ(assigned.isValid(), 0);
    EXPECT_TRUE(assigned.getOrientation() == KTAngle(4, 5, 6));

    EXPECT_TRUE(KTAnimationState(1.5, KTVector3(1, 1, 1), KTAngle()) ==
                KTAnimationState(1.5, KTVector3(9, 9, 9), KTAngle(9, 9, 9)));
    EXPECT_FALSE(KTAnimationState(1.5, KTTransform()) == KTAnimationState(2.5, KTTransform()));
}
