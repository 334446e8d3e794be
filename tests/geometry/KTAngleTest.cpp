#include <ktrt/geometry/KTAngle.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include "ThreeValuesChecks.h"

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

Quaternion axisTurn(float x, float y, float z, double degrees) {
    Quaternion r{};
    SbRotation(SbVec3f(x, y, z), static_cast<float>(degrees * pi / 180.0))
        .getValue(r.q[0], r.q[1], r.q[2], r.q[3]);
    return r;
}

KTAngle anglesOf(const Quaternion& quaternion) {
    KTAngle angle;
    angle.setValue(quaternion.q);
    return angle;
}

// Degrees of the rotation between two orientations; q and -q are the same.
double degreesBetween(const Quaternion& a, const Quaternion& b) {
    double dot = 0.0;
    for (int i = 0; i < 4; ++i)
        dot += static_cast<double>(a.q[i]) * b.q[i];
    return 2.0 * std::acos(std::fmin(1.0, std::fabs(dot))) * 180.0 / pi;
}

std::string describe(const KTAngle& a) {
    return "(" + std::to_string(a[0]) + ", " + std::to_string(a[1]) + ", " + std::to_string(a[2]) +
           ")";
}

} // namespace

TEST(KTAngleValidity, NullPointersChangeNothingAndQuaternionEntryPointsAgree) {
    ktrt_test::expectSpareSlotIsNeverCopiedOrCompared<KTAngle>();
    KTAngle angle(1, 2, 3);
    angle.setValue(static_cast<const float*>(nullptr));
    angle = static_cast<const float*>(nullptr);
    EXPECT_TRUE(angle == KTAngle(1, 2, 3));
    angle.getValue(static_cast<float*>(nullptr)); // must not write anywhere

    const Quaternion q = quaternionOf(KTAngle(10, 20, 30));
    KTAngle assigned;
    assigned = q.q;
    EXPECT_TRUE(KTAngle(q.q[0], q.q[1], q.q[2], q.q[3]) == anglesOf(q));
    EXPECT_TRUE(assigned == anglesOf(q));
    const Quaternion identity = quaternionOf(KTAngle(0, 0, 0));
    EXPECT_EQ(identity.q[3], 1.0f);
}

TEST(AngleConversion, EverySpecialRowGivesItsAnglesAndReproducesTheRotation) {
    constexpr double exact = 1e-12, fine = 1e-4;
    constexpr double close = 0.03; // asin near +-1 loses accuracy in float
    const struct {
        const char* row;
        Quaternion input;
        double x, y, z, tolerance;
    } rows[] = {
        {"identity", axisTurn(1, 0, 0, 0), 0, 0, 0, exact},
        {"1a half-turn X", axisTurn(1, 0, 0, 180), 180, 0, 0, exact},
        {"1b quarter-turn X", axisTurn(1, 0, 0, 90), 90, 0, 0, exact},
        {"1c negative quarter-turn X", axisTurn(1, 0, 0, -90), -90, 0, 0, exact},
        {"1d turn X", axisTurn(1, 0, 0, 30), 30, 0, 0, fine},
        {"1d turn X past 90", axisTurn(1, 0, 0, -135), -135, 0, 0, fine},
        {"1d drops tiny y and z", quaternionOf(KTAngle(0, 0.05, 0.05)), 0, 0, 0, fine},
        {"2a half-turn Y", axisTurn(0, 1, 0, 180), 0, 180, 0, exact},
        {"2b quarter-turn Y", axisTurn(0, 1, 0, 90), 0, 90, 0, exact},
        {"2c negative quarter-turn Y", axisTurn(0, 1, 0, -90), 0, -90, 0, exact},
        {"2e turn Y", axisTurn(0, 1, 0, 30), 0, 30, 0, fine},
        {"2e turn Y past 90", axisTurn(0, 1, 0, 150), 0, 150, 0, fine},
        {"2e negative turn Y past 90", axisTurn(0, 1, 0, -150), 0, -150, 0, fine},
        {"2e negative turn Y", axisTurn(0, 1, 0, -30), 0, -30, 0, fine},
        {"3a half-turn Z", axisTurn(0, 0, 1, 180), 0, 0, 180, exact},
        {"3b quarter-turn Z", axisTurn(0, 0, 1, 90), 0, 0, 90, exact},
        {"3c negative quarter-turn Z", axisTurn(0, 0, 1, -90), 0, 0, -90, exact},
        {"3d turn Z", axisTurn(0, 0, 1, -120), 0, 0, -120, fine},
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
    for (const auto& row : rows) {
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

// Millions of samples in an optimized build; a tenth of them without
// optimization or under AddressSanitizer, which slow each one down.
#if defined(__OPTIMIZE__) && !defined(KTRT_TEST_SANITIZED)
constexpr int nearTurnSamples = 2000000;
#else
constexpr int nearTurnSamples = 200000;
#endif

TEST(AngleConversion, RotationsNearEveryQuarterAndHalfTurnSurviveTheRoundTrip) {
    // The 24 rotations that map the axes onto each other, each reached by
    // several angle triples.
    std::vector<SbRotation> turns;
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 4; ++y)
            for (int z = 0; z < 4; ++z)
                turns.emplace_back(quaternionOf(KTAngle(90.0 * x, 90.0 * y, 90.0 * z)).q);
    // Each turn itself, then tilted about a random axis by 1e-4 to 1e-2
    // radians. Snapping onto an axis or into the gimbal lock (two angles at
    // once in row 4a) moves a rotation by less than 0.25 degree; a flip moves
    // it by 180.
    std::mt19937 random(20261206);
    std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
    std::uniform_real_distribution<double> exponent(-4.0, -2.0);
    for (int i = 0; i < nearTurnSamples; ++i) {
        SbVec3f axis(coordinate(random), coordinate(random), coordinate(random));
        const float tilt = static_cast<float>(std::pow(10.0, exponent(random)));
        if (axis.normalize() == 0.0f)
            continue;
        Quaternion sample{};
        const SbRotation& turn = turns[i % turns.size()];
        (i < static_cast<int>(turns.size()) ? turn : SbRotation(axis, tilt) * turn)
            .getValue(sample.q[0], sample.q[1], sample.q[2], sample.q[3]);
        const KTAngle angle(sample.q[0], sample.q[1], sample.q[2], sample.q[3]);
        const double error = degreesBetween(sample, quaternionOf(angle));
        if (!(error < 0.3)) {
            ADD_FAILURE() << "quaternion (" << sample.q[0] << ", " << sample.q[1] << ", "
                          << sample.q[2] << ", " << sample.q[3] << ") -> " << describe(angle)
                          << " is off by " << error << " degrees";
            return;
        }
    }
}
