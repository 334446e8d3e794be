#include <ktrt/geometry/KTAngle.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

namespace {

constexpr double pi = 3.14159265358979323846;

struct Quaternion {
    float q[4];
};

Quaternion quaternionOf(const KTAngle& angle) {
    Quaternion result{};
    angle.getValue(result.q);
    return result;
}

Quaternion quaternionOf(const SbRotation& rotation) {
    Quaternion result{};
    rotation.getValue(result.q[0], result.q[1], result.q[2], result.q[3]);
    return result;
}

Quaternion axisTurn(float x, float y, float z, double degrees) {
    return quaternionOf(SbRotation(SbVec3f(x, y, z), static_cast<float>(degrees * pi / 180.0)));
}

KTAngle anglesOf(const Quaternion& quaternion) {
    KTAngle angle;
    angle.setValue(quaternion.q);
    return angle;
}

// Angle in degrees of the rotation taking one orientation to the other; q and
// -q are the same rotation.
double degreesBetween(const Quaternion& a, const Quaternion& b) {
    double dot = 0.0;
    for (int i = 0; i < 4; ++i)
        dot += static_cast<double>(a.q[i]) * b.q[i];
    return 2.0 * std::acos(std::fmin(1.0, std::fabs(dot))) * 180.0 / pi;
}

std::string describe(const KTAngle& angle) {
    return "(" + std::to_string(angle[0]) + ", " + std::to_string(angle[1]) + ", " +
           std::to_string(angle[2]) + ")";
}

} // namespace

TEST(AngleConversion, NullQuaternionPointersChangeNothing) {
    KTAngle angle(1, 2, 3);
    angle.setValue(static_cast<const float*>(nullptr));
    angle = static_cast<const float*>(nullptr);
    EXPECT_TRUE(angle == KTAngle(1, 2, 3));
    angle.getValue(static_cast<float*>(nullptr)); // must not write anywhere
}

TEST(AngleConversion, IdentityBothWays) {
    const KTAngle fromIdentity(0.0, 0.0, 0.0, 1.0);
    EXPECT_TRUE(fromIdentity == KTAngle(0, 0, 0));
    const Quaternion q = quaternionOf(KTAngle(0, 0, 0));
    EXPECT_FLOAT_EQ(q.q[0], 0.0f);
    EXPECT_FLOAT_EQ(q.q[1], 0.0f);
    EXPECT_FLOAT_EQ(q.q[2], 0.0f);
    EXPECT_FLOAT_EQ(q.q[3], 1.0f);
}

TEST(AngleConversion, QuaternionConstructorAndAssignmentAgreeWithSetValue) {
    const Quaternion q = quaternionOf(KTAngle(10, 20, 30));
    const KTAngle constructed(q.q[0], q.q[1], q.q[2], q.q[3]);
    KTAngle assigned;
    assigned = q.q;
    EXPECT_TRUE(constructed == anglesOf(q));
    EXPECT_TRUE(assigned == anglesOf(q));
    EXPECT_NEAR(constructed[0], 10.0, 1e-3);
    EXPECT_NEAR(constructed[1], 20.0, 1e-3);
    EXPECT_NEAR(constructed[2], 30.0, 1e-3);
}

// One row per special case of the rotation-to-angles conversion, with the
// angles it must give exactly (snapped rows) or within float accuracy.
struct SpecialRow {
    const char* row;
    Quaternion input;
    double x, y, z;
    double tolerance;
};

TEST(AngleConversion, EverySpecialRowGivesItsAnglesAndReproducesTheRotation) {
    constexpr double exact = 1e-12;
    constexpr double close = 0.03; // asin near +-1 loses accuracy in float
    const SpecialRow rows[] = {
        {"1a half-turn about X", axisTurn(1, 0, 0, 180), 180, 0, 0, exact},
        {"1b quarter-turn about X", axisTurn(1, 0, 0, 90), 90, 0, 0, exact},
        {"1c negative quarter-turn about X", axisTurn(1, 0, 0, -90), -90, 0, 0, exact},
        {"1d turn about X", axisTurn(1, 0, 0, 30), 30, 0, 0, 1e-4},
        {"1d turn about X past 90", axisTurn(1, 0, 0, -135), -135, 0, 0, 1e-4},
        {"1d drops tiny y and z", quaternionOf(KTAngle(0, 0.05, 0.05)), 0, 0, 0, 1e-4},
        {"2a half-turn about Y", axisTurn(0, 1, 0, 180), 0, 180, 0, exact},
        {"2b quarter-turn about Y", axisTurn(0, 1, 0, 90), 0, 90, 0, exact},
        {"2c negative quarter-turn about Y", axisTurn(0, 1, 0, -90), 0, -90, 0, exact},
        {"2e turn about Y", axisTurn(0, 1, 0, 30), 0, 30, 0, 1e-4},
        {"2e turn about Y past 90", axisTurn(0, 1, 0, 150), 0, 150, 0, 1e-4},
        {"2e negative turn about Y past 90", axisTurn(0, 1, 0, -150), 0, -150, 0, 1e-4},
        {"2e negative turn about Y", axisTurn(0, 1, 0, -30), 0, -30, 0, 1e-4},
        {"3a half-turn about Z", axisTurn(0, 0, 1, 180), 0, 0, 180, exact},
        {"3b quarter-turn about Z", axisTurn(0, 0, 1, 90), 0, 0, 90, exact},
        {"3c negative quarter-turn about Z", axisTurn(0, 0, 1, -90), 0, 0, -90, exact},
        {"3d turn about Z", axisTurn(0, 0, 1, -120), 0, 0, -120, 1e-4},
        {"4a gimbal lock, m21 = -1", quaternionOf(KTAngle(0, 90, 90)), -90, 90, 0, close},
        {"4a gimbal lock, m21 = +1", quaternionOf(KTAngle(0, -90, 90)), 90, -90, 0, close},
        {"4b gimbal lock, m20 = -1", quaternionOf(KTAngle(90, 90, -90)), 180, 90, 0, close},
        {"4b half-turn about X+Z", axisTurn(1, 0, 1, 180), 180, -90, 0, close},
        {"4c gimbal lock at y = 90", quaternionOf(KTAngle(30, 90, 0)), 30, 90, 0, close},
        {"4c same rotation, turn in z", quaternionOf(KTAngle(0, 90, -30)), 30, 90, 0, close},
        {"4d gimbal lock at y = -90", quaternionOf(KTAngle(30, -90, 20)), 50, -90, 0, close},
        {"5 general", quaternionOf(KTAngle(10, 20, 30)), 10, 20, 30, 1e-3},
        {"5 general, negative", quaternionOf(KTAngle(-170, -60, 100)), -170, -60, 100, 1e-3},
    };
    for (const SpecialRow& row : rows) {
        SCOPED_TRACE(row.row);
        const KTAngle angle = anglesOf(row.input);
        EXPECT_NEAR(angle[0], row.x, row.tolerance) << describe(angle);
        EXPECT_NEAR(angle[1], row.y, row.tolerance) << describe(angle);
        EXPECT_NEAR(angle[2], row.z, row.tolerance) << describe(angle);
        // Snapping onto an axis moves the rotation by less than 0.1 degree.
        EXPECT_LT(degreesBetween(quaternionOf(angle), row.input), 0.1) << describe(angle);
    }
    // Snapped rows leave the dropped angles at exactly zero.
    const KTAngle nearX = anglesOf(quaternionOf(KTAngle(0, 0.05, 0.05)));
    EXPECT_EQ(nearX[1], 0.0);
    EXPECT_EQ(nearX[2], 0.0);
    EXPECT_EQ(anglesOf(quaternionOf(KTAngle(0, 90, -30)))[2], 0.0);
}

TEST(AngleConversion, RandomRotationsSurviveTheRoundTrip) {
    std::mt19937 random(20260501);
    std::uniform_real_distribution<double> anyAngle(-360.0, 360.0);
    std::uniform_int_distribution<int> pick(0, 5);
    for (int i = 0; i < 20000; ++i) {
        KTAngle original(anyAngle(random), anyAngle(random), anyAngle(random));
        // Mix in the awkward families: gimbal lock, pure axis turns, and
        // half-turns about an axis in the XZ plane (Y turned into -Y).
        switch (pick(random)) {
        case 0:
            original[1] = (i % 2) ? 90.0 : -90.0;
            break;
        case 1:
            original[1] = original[2] = 0.0;
            break;
        case 2:
            original[0] = original[2] = 0.0;
            break;
        case 3: {
            const double axisAngle = anyAngle(random) * pi / 180.0;
            const Quaternion halfTurn = axisTurn(static_cast<float>(std::cos(axisAngle)), 0,
                                                 static_cast<float>(std::sin(axisAngle)), 180);
            original = anglesOf(halfTurn);
            break;
        }
        default:
            break;
        }
        const Quaternion first = quaternionOf(original);
        const KTAngle recovered = anglesOf(first);
        const Quaternion second = quaternionOf(recovered);
        SCOPED_TRACE(describe(original) + " -> " + describe(recovered));
        // Within 0.08 degree of a pure axis turn or of the gimbal lock the
        // conversion snaps, which may move the rotation by up to about twice
        // that; any wrong sign or quadrant would be off by far more.
        ASSERT_LT(degreesBetween(first, second), 0.2);
        // The recovered angles are in the canonical ranges.
        ASSERT_LE(std::fabs(recovered[0]), 180.0 + 1e-9);
        ASSERT_LE(std::fabs(recovered[1]), 180.0 + 1e-9);
        ASSERT_LE(std::fabs(recovered[2]), 180.0 + 1e-9);
    }
}

TEST(AngleConversion, AnglesAwayFromThresholdsComeBackUnchanged) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> outer(-179.0, 179.0);
    std::uniform_real_distribution<double> middle(-89.0, 89.0);
    for (int i = 0; i < 2000; ++i) {
        const KTAngle original(outer(random), middle(random), outer(random));
        const KTAngle recovered = anglesOf(quaternionOf(original));
        // Near a pure axis turn the other two angles are dropped on purpose.
        const bool nearPureTurn =
            (std::fabs(original[1]) < 0.2 &&
             (std::fabs(original[0]) < 0.2 || std::fabs(original[2]) < 0.2)) ||
            (std::fabs(original[0]) < 0.2 && std::fabs(original[2]) < 0.2);
        if (nearPureTurn)
            continue;
        SCOPED_TRACE(describe(original) + " -> " + describe(recovered));
        ASSERT_NEAR(recovered[0], original[0], 0.01);
        ASSERT_NEAR(recovered[1], original[1], 0.01);
        ASSERT_NEAR(recovered[2], original[2], 0.01);
    }
}
