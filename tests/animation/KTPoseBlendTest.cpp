#include <cmath>
#include <limits>
#include <vector>

#include <Inventor/SbRotation.h>
#include <Inventor/SbVec3f.h>

#include <ktrt/animation/KTPose.h>
#include <ktrt/animation/KTPoseBlend.h>

#include <gtest/gtest.h>

namespace {

const SbVec3f zAxis(0.0f, 0.0f, 1.0f);

SbRotation aboutZ(double degrees) {
    return SbRotation(zAxis, static_cast<float>(degrees * M_PI / 180.0));
}

// The angle in degrees between two rotations, whatever the quaternions' signs.
double degreesBetween(const SbRotation& a, const SbRotation& b) {
    const float* p = a.getValue();
    const float* q = b.getValue();
    const double cosine = std::fabs(p[0] * q[0] + p[1] * q[1] + p[2] * q[2] + p[3] * q[3]);
    return 2.0 * std::acos(std::fmin(cosine, 1.0)) * 180.0 / M_PI;
}

KTPose onePart(const SbVec3f& translation, const SbRotation& rotation) {
    KTPose pose(1);
    pose.setTranslation(0, translation);
    pose.setRotation(0, rotation);
    return pose;
}

TEST(KTPoseBlendValidity, RefusesBadWeightsAndLeavesTheResultAsItWas) {
    const KTPose a = onePart(SbVec3f(1, 2, 3), aboutZ(10));
    const KTPose before = onePart(SbVec3f(7, 7, 7), aboutZ(70));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<float> badMask{1.0f, -1.0f};
    for (double weight : {-0.5, 1.5, nan, inf}) {
        KTPose result = before;
        EXPECT_EQ(KTPoseBlend::blend(a, a, weight, result), 0) << weight;
        EXPECT_EQ(KTPoseBlend::blend({KTPoseBlend::Layer{&a, weight, nullptr}}, nullptr, result),
                  weight == 1.5 ? 1 : 0)
            << weight;
        if (weight != 1.5) {
            EXPECT_TRUE(result == before) << weight;
        }
    }
    KTPose result = before;
    EXPECT_EQ(KTPoseBlend::blend({KTPoseBlend::Layer{nullptr, 1.0, nullptr}}, nullptr, result), 0);
    EXPECT_EQ(KTPoseBlend::blend({KTPoseBlend::Layer{&a, 1.0, &badMask}}, nullptr, result), 0);
    EXPECT_EQ(KTPoseBlend::add(KTPoseBlend::Layer{&a, nan, nullptr}, a, result), 0);
    EXPECT_TRUE(result == before);
}

TEST(KTPoseBlend, TwoWayBlendsFollowTheWeightAlongTheShorterArc) {
    const KTPose a = onePart(SbVec3f(0, 0, 0), aboutZ(0));
    const KTPose b = onePart(SbVec3f(2, 0, 0), aboutZ(90));
    // The same rotation as b with every quaternion component negated.
    const SbRotation ninety = aboutZ(90);
    const float* q = ninety.getValue();
    const KTPose bFlipped = onePart(SbVec3f(2, 0, 0), SbRotation(-q[0], -q[1], -q[2], -q[3]));
    // Rotations 340 and 20 degrees apart the short way are 40 apart.
    const KTPose near = onePart(SbVec3f(0, 0, 0), aboutZ(-20));
    const KTPose far = onePart(SbVec3f(0, 0, 0), aboutZ(20));
    struct Row {
        const char* name;
        const KTPose* from;
        const KTPose* to;
        double weight;
        float x;
        const KTPose* expectedRotation; // null: check `degrees` from `from`
        double degrees;
    } rows[] = {
        {"weight 0 gives the first bit for bit", &a, &b, 0.0, 0.0f, &a, 0},
        {"weight 1 gives the second bit for bit", &a, &b, 1.0, 2.0f, &b, 0},
        {"half way", &a, &b, 0.5, 1.0f, nullptr, 45},
        {"a quarter", &a, &b, 0.25, 0.5f, nullptr, 22.5},
        {"opposite hemispheres take the shorter arc", &a, &bFlipped, 0.5, 1.0f, nullptr, 45},
        {"across zero", &near, &far, 0.5, 0.0f, nullptr, 20},
    };
    for (const Row& row : rows) {
        KTPose result;
        ASSERT_EQ(KTPoseBlend::blend(*row.from, *row.to, row.weight, result), 1) << row.name;
        EXPECT_FLOAT_EQ(result.getTranslation(0)[0], row.x) << row.name;
        if (row.expectedRotation) {
            EXPECT_TRUE(result == *row.expectedRotation) << row.name;
        } else {
            EXPECT_NEAR(degreesBetween(result.getRotation(0), row.from->getRotation(0)),
                        row.degrees, 1e-3)
                << row.name;
            EXPECT_NEAR(degreesBetween(result.getRotation(0), row.to->getRotation(0)),
                        std::fabs(degreesBetween(row.from->getRotation(0), row.to->getRotation(0)) -
                                  row.degrees),
                        1e-3)
                << row.name;
        }
    }
}

TEST(KTPoseBlend, NWayNormalisesWeightsAndFillsMissingWeightFromTheRestPose) {
    // Part 0: animated by both layers. Part 1: by the first only. Part 2: by
    // neither, only the rest pose has it.
    KTPose first(3);
    first.setTranslation(0, SbVec3f(0, 0, 0));
    first.setRotation(0, aboutZ(0));
    first.setTranslation(1, SbVec3f(10, 0, 0));
    KTPose second(2);
    second.setTranslation(0, SbVec3f(4, 0, 0));
    const SbRotation sixty = aboutZ(60);
    const float* q = sixty.getValue();
    second.setRotation(0, SbRotation(-q[0], -q[1], -q[2], -q[3]));
    KTPose rest(3);
    for (unsigned int part = 0; part < 3; ++part) {
        rest.setTranslation(part, SbVec3f(2, 0, 0));
        rest.setRotation(part, aboutZ(0));
    }
    const std::vector<float> maskOutPart1{1.0f, 0.0f};
    struct Row {
        const char* name;
        double firstWeight, secondWeight;
        const std::vector<float>* firstMask;
        bool withRest;
        float x0, x1;
        double degrees0; // part 0's turn
        int channels2;
    } rows[] = {
        {"weights summing to 1", 0.5, 0.5, nullptr, true, 2.0f, 6.0f, 30, 3},
        {"weights above 1 are normalised", 3.0, 1.0, nullptr, true, 1.0f, 10.0f, 15, 3},
        {"weights below 1 take the rest pose", 0.25, 0.25, nullptr, true, 2.0f, 4.0f, 14.7384, 3},
        {"without a rest pose they are normalised", 0.25, 0.25, nullptr, false, 2.0f, 10.0f, 30, 0},
        {"a mask of 0 leaves part 1 to the rest pose", 1.0, 0.0, &maskOutPart1, true, 0.0f, 2.0f, 0,
         3},
    };
    for (const Row& row : rows) {
        const std::vector<KTPoseBlend::Layer> layers{{&first, row.firstWeight, row.firstMask},
                                                     {&second, row.secondWeight, nullptr}};
        KTPose result;
        ASSERT_EQ(KTPoseBlend::blend(layers, row.withRest ? &rest : nullptr, result), 1)
            << row.name;
        EXPECT_NEAR(result.getTranslation(0)[0], row.x0, 1e-6) << row.name;
        EXPECT_NEAR(result.getTranslation(1)[0], row.x1, 1e-6) << row.name;
        EXPECT_NEAR(degreesBetween(result.getRotation(0), aboutZ(0)), row.degrees0, 1e-3)
            << row.name;
        EXPECT_EQ(result.getChannels(2), row.channels2) << row.name;
    }

    // Three rotations, one of them on the other hemisphere: turned to the
    // first one's side before they are summed.
    KTPose third = onePart(SbVec3f(0, 0, 0), aboutZ(30));
    KTPose result;
    ASSERT_EQ(KTPoseBlend::blend(
                  {{&first, 1.0, nullptr}, {&second, 1.0, nullptr}, {&third, 1.0, nullptr}},
                  nullptr, result),
              1);
    const SbRotation thirty = aboutZ(30);
    const float* expected = thirty.getValue();
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(result.getRotation(0).getValue()[i], expected[i], 1e-6) << i;
}

TEST(KTPoseBlend, AdditiveLayersAddTheScaledDifferenceFromTheReference) {
    const KTPose base = onePart(SbVec3f(1, 2, 3), aboutZ(10));
    const KTPose reference = onePart(SbVec3f(5, 5, 5), SbRotation(SbVec3f(1, 0, 0), 0.3f));
    KTPose turned = reference;
    turned.setTranslation(0, SbVec3f(7, 5, 5));
    turned.setRotation(0, SbRotation(SbVec3f(1, 0, 0), 0.3f) * aboutZ(40));

    KTPose result = base;
    ASSERT_EQ(KTPoseBlend::add({&reference, 1.0, nullptr}, reference, result), 1);
    EXPECT_TRUE(result == base) << "a zero difference leaves the base bit for bit";

    result = base;
    ASSERT_EQ(KTPoseBlend::add({&turned, 0.5, nullptr}, reference, result), 1);
    EXPECT_NEAR(result.getTranslation(0)[0], 2.0f, 1e-6);
    EXPECT_NEAR(degreesBetween(result.getRotation(0), base.getRotation(0)), 20.0, 1e-2);

    const std::vector<float> none{0.0f};
    result = base;
    ASSERT_EQ(KTPoseBlend::add({&turned, 1.0, &none}, reference, result), 1);
    EXPECT_TRUE(result == base) << "a mask of 0 adds nothing";
}

} // namespace
