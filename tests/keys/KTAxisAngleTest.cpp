// KTAxisAngle against Coin's own path (SbRotation from axis and angle, its
// quaternion, the quaternion constructor of KTAngle), and the axis and angle
// a key remembers.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include <ktrt/keys/KTAnimationState.h>
#include <ktrt/keys/KTAxisAngle.h>

namespace {

const float inf = std::numeric_limits<float>::infinity();
const float nan = std::numeric_limits<float>::quiet_NaN();

// Bit for bit, except that a NaN matches any NaN: the payload a NaN carries
// out of arithmetic differs between compilers.
bool same(double a, double b) {
    return std::isnan(a) ? std::isnan(b) : std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameBits(const KTAngle& a, const KTAngle& b) {
    return same(a[0], b[0]) && same(a[1], b[1]) && same(a[2], b[2]);
}

TEST(AxisAngleValidity, NullQuaternionNonNumbersAndBitwiseEquality) {
    KTAxisAngle none;
    float x, y, z, radians;
    none.getValue(x, y, z, radians);
    EXPECT_TRUE(x == 0 && y == 0 && z == 1 && radians == 0);
    none.getQuaternion(nullptr); // writes nothing, does not crash
    float q[4];
    none.getQuaternion(q);
    EXPECT_TRUE(q[0] == 0 && q[1] == 0 && q[2] == 0 && q[3] == 1);
    EXPECT_TRUE(sameBits(none.getOrientation(), KTAngle(0, 0, 0)));

    // Numbers that are no finite floats give no turn at all.
    for (const KTAxisAngle& odd : {KTAxisAngle(inf, 0, 1, -inf), KTAxisAngle(nan, 0, 1, 1),
                                   KTAxisAngle(0, 0, 1, nan), KTAxisAngle(1, 0, 0, inf)})
        EXPECT_TRUE(sameBits(odd.getOrientation(), KTAngle(0, 0, 0)));

    EXPECT_EQ(KTAxisAngle(1, 0, 0, 0.5f) == KTAxisAngle(1, 0, 0, 0.5f), 1);
    EXPECT_EQ(KTAxisAngle(1, 0, 0, 0.0f) == KTAxisAngle(1, 0, 0, -0.0f), 0);
    EXPECT_EQ(KTAxisAngle(nan, 0, 1, 0) == KTAxisAngle(nan, 0, 1, 0), 1);
    EXPECT_EQ(KTAxisAngle(nan, 0, 1, 0) == KTAxisAngle(-nan, 0, 1, 0), 0);

    // A key built from Euler angles remembers nothing; the value is left alone.
    KTAxisAngle kept(1, 2, 3, 4);
    EXPECT_EQ(KTAnimationState().getAxisAngle(kept), 0);
    EXPECT_TRUE(kept == KTAxisAngle(1, 2, 3, 4));
}

// 1 when KTAxisAngle differs from Coin's path in any bit, reported for the
// first few.
int countDifferences(float x, float y, float z, float radians, int& reported) {
    const SbRotation rotation(SbVec3f(x, y, z), radians);
    float coin[4], ours[4];
    rotation.getValue(coin[0], coin[1], coin[2], coin[3]);
    const KTAxisAngle value(x, y, z, radians);
    value.getQuaternion(ours);
    // A float widened to a double keeps its bits apart and its NaNs NaNs.
    const bool alike =
        std::equal(coin, coin + 4, ours, same) &&
        sameBits(KTAngle(coin[0], coin[1], coin[2], coin[3]), value.getOrientation());
    if (!alike && reported++ < 5)
        ADD_FAILURE() << "axis (" << x << ", " << y << ", " << z << ") angle " << radians;
    return alike ? 0 : 1;
}

TEST(AxisAngle, MatchesCoinBitForBitOnSpecialAndRandomValues) {
    const std::vector<float> axis = {0.0f,  -0.0f, 1.0f,   -1.0f, 0.5f, -0.5f, 1e-20f,     1e-40f,
                                     1e30f, 3e38f, -3e38f, inf,   -inf, nan,   0.70710677f};
    const std::vector<float> angles = {0.0f,       1e-7f,       -1e-7f,     1.5707964f, -1.5707964f,
                                       3.1415927f, -3.1415927f, 6.2831855f, 1e30f,      inf,
                                       nan,        0.00174533f, 3.14e-3f,   100.0f};
    int reported = 0, differences = 0;
    for (float x : axis)
        for (float y : axis)
            for (float z : axis)
                for (float radians : angles)
                    differences += countDifferences(x, y, z, radians, reported);

    std::mt19937 random(99);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::uniform_real_distribution<float> angle(-7.0f, 7.0f);
    std::uniform_real_distribution<float> tiny(-2e-3f, 2e-3f);
    for (int i = 0; i < 300000; ++i) {
        // Random axes and angles, then axes close to a coordinate axis and
        // angles close to the quarter and half turns, where the snapping rows
        // and the gimbal lock rows of the angle conversion decide.
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

// What a key given an axis and angle remembers after each change.
TEST(AxisAngle, KeysRememberTheirNumbersUntilTheOrientationChanges) {
    const KTAxisAngle made(0.25f, -1e-3f, 3.0f, 2.5f);
    const KTAxisAngle other(1, 0, 0, 0.5f); // angles (28.6..., 0, 0)
    const KTAngle madeAngles = made.getOrientation();
    const auto nudged = [](const KTAngle& a) {
        return KTAngle(a[0], std::nextafter(a[1], 1e9), a[2]);
    };
    struct Row {
        const char* name;
        KTAxisAngle start;
        std::function<void(KTAnimationState&)> change;
        int remembers; // and then remembers `expected`
        KTAxisAngle expected;
    };
    const std::vector<Row> rows = {
        {"untouched", made, [](KTAnimationState&) {}, 1, made},
        {"copied", made, [](KTAnimationState& k) { k = KTAnimationState(KTAnimationState(k)); }, 1,
         made},
        {"the same angles bit for bit", made,
         [&](KTAnimationState& k) { k.setOrientation(KTAngle(madeAngles)); }, 1, made},
        {"the same angles with a new position through setTransform", made,
         [&](KTAnimationState& k) {
             KTTransform t;
             t.setOrientation(madeAngles);
             t.setPosition(KTVector3(4, 5, 6));
             k.setTransform(t);
         },
         1, made},
        {"a new position only", made,
         [](KTAnimationState& k) { k.setPosition(KTVector3(1, 2, 3)); }, 1, made},
        {"a new axis and angle", made, [&](KTAnimationState& k) { k.setOrientation(other); }, 1,
         other},
        {"inf and NaN", KTAxisAngle(inf, nan, 1, -inf),
         [](KTAnimationState& k) { k.setOrientation(KTAngle(k.getOrientation())); }, 1,
         KTAxisAngle(inf, nan, 1, -inf)},
        {"angles one unit in the last place off", made,
         [&](KTAnimationState& k) { k.setOrientation(nudged(madeAngles)); }, 0, KTAxisAngle()},
        {"-0 for 0", other,
         [&](KTAnimationState& k) {
             const KTAngle a = other.getOrientation();
             k.setOrientation(KTAngle(a[0], -0.0, a[2]));
         },
         0, KTAxisAngle()},
        {"other angles through setTransform", made,
         [](KTAnimationState& k) { k.setTransform(KTTransform()); }, 0, KTAxisAngle()},
        {"assigned from a key that remembers nothing", made,
         [](KTAnimationState& k) { k = KTAnimationState(0.5, KTVector3(), KTAngle(1, 2, 3)); }, 0,
         KTAxisAngle()},
    };
    for (const Row& row : rows) {
        KTAnimationState key;
        key.setOrientation(row.start);
        row.change(key);
        KTAxisAngle remembered;
        EXPECT_EQ(key.getAxisAngle(remembered), row.remembers) << row.name;
        EXPECT_TRUE(remembered == row.expected) << row.name;
        // The orientation is still the one the numbers give.
        if (row.remembers) {
            EXPECT_TRUE(sameBits(key.getOrientation(), row.expected.getOrientation())) << row.name;
        }
    }
}

} // namespace
