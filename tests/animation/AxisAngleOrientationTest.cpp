#include <ktrt/animation/detail/AxisAngleOrientation.h>
#include <ktrt/animation/detail/ElementSearch.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

using ktrt::detail::orientationFromAxisAngle;

namespace {

// The general path: SbRotation from axis and angle, its quaternion, and the
// quaternion constructor of KTAngle.
KTAngle throughSbRotation(float x, float y, float z, float radians) {
    float q[4];
    SbRotation(SbVec3f(x, y, z), radians).getValue(q[0], q[1], q[2], q[3]);
    return KTAngle(q[0], q[1], q[2], q[3]);
}

bool sameBits(const KTAngle& a, const KTAngle& b) {
    double av[3], bv[3];
    a.getValue(av[0], av[1], av[2]);
    b.getValue(bv[0], bv[1], bv[2]);
    return std::memcmp(av, bv, sizeof av) == 0;
}

// 1 when the two paths differ in any bit on the input, reported for the first
// few.
int countDifferences(float x, float y, float z, float radians, int& reported) {
    const bool same =
        sameBits(throughSbRotation(x, y, z, radians), orientationFromAxisAngle(x, y, z, radians));
    if (!same && reported++ < 5)
        ADD_FAILURE() << "axis (" << x << ", " << y << ", " << z << ") angle " << radians;
    return same ? 0 : 1;
}

TEST(AxisAngleOrientation, MatchesTheSbRotationPathBitForBitOnSpecialAndRandomKeys) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> axis = {0.0f,  -0.0f, 1.0f,   -1.0f, 0.5f, -0.5f, 1e-20f,     1e-40f,
                                     1e30f, 3e38f, -3e38f, inf,   -inf, nan,   0.70710677f};
    const std::vector<float> angles = {0.0f,       1e-7f,       -1e-7f,     1.5707964f, -1.5707964f,
                                       3.1415927f, -3.1415927f, 6.2831855f, 1e30f,      inf,
                                       nan,        0.00174533f, 3.14e-3f,   100.0f};
    int reported = 0, differences = 0, total = 0;
    for (float x : axis)
        for (float y : axis)
            for (float z : axis)
                for (float radians : angles) {
                    differences += countDifferences(x, y, z, radians, reported);
                    ++total;
                }
    EXPECT_EQ(differences, 0) << "of " << total;

    std::mt19937 random(99);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_real_distribution<float> angle(-7.0f, 7.0f);
    std::uniform_real_distribution<float> tiny(-2e-3f, 2e-3f);
    for (int i = 0; i < 300000; ++i) {
        // Random axes and angles, then axes close to a coordinate axis and
        // angles close to the quarter and half turns, where the threshold
        // rows and the gimbal lock rows decide.
        differences +=
            countDifferences(unit(random), unit(random), unit(random), angle(random), reported);
        const int major = i % 3;
        float a[3] = {tiny(random), tiny(random), tiny(random)};
        a[major] = (i % 2) ? 1.0f : -1.0f;
        const float turns[] = {0.0f, 1.5707964f, 3.1415927f, -1.5707964f, -3.1415927f};
        differences += countDifferences(a[0], a[1], a[2], turns[i % 5] + tiny(random), reported);
        // Quarter turns about Y composed with turns about X or Z lie on the
        // gimbal lock.
        const float c = 0.70710677f + tiny(random);
        differences += countDifferences((i % 2) ? c : tiny(random), c, (i % 2) ? tiny(random) : c,
                                        angle(random), reported);
    }
    EXPECT_EQ(differences, 0);
}

// The writer's search from the matrix elements: for the angles the reader
// makes of random axes and angles, it finds numbers that read back to the
// very same angles for all but a few, and never numbers that do not.
TEST(ElementSearch, FindsExactNumbersForAlmostEveryGeneralRotation) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    int searched = 0, missed = 0;
    for (int i = 0; i < 2000; ++i) {
        const KTAngle target = orientationFromAxisAngle(unit(random), unit(random), unit(random),
                                                        3.14159f * unit(random));
        double degrees[3];
        target.getValue(degrees[0], degrees[1], degrees[2]);
        float numbers[4];
        ++searched;
        if (!ktrt::detail::axisAngleFromElements(degrees, numbers)) {
            ++missed;
            continue;
        }
        EXPECT_TRUE(sameBits(
            orientationFromAxisAngle(numbers[0], numbers[1], numbers[2], numbers[3]), target));
    }
    EXPECT_LT(missed * 100, searched) << missed << " of " << searched;
}

} // namespace
