#include <cmath>
#include <vector>

#include <ktrt/pose/KTPose.h>
#include <ktrt/pose/KTPoseBlend.h>

#include <gtest/gtest.h>

namespace {

using Layer = KTPoseBlend::Layer;
const int both = KTPose::TRANSLATION | KTPose::ROTATION;
const double degrees = M_PI / 180.0;

SbRotation aboutZ(double angle) {
    return SbRotation(SbVec3f(0, 0, 1), static_cast<float>(angle * degrees));
}

// The turn about Z in degrees, whichever sign the quaternion has.
double turnAboutZ(const SbRotation& rotation) {
    const float* q = rotation.getValue();
    const double sign = q[3] < 0 ? -1.0 : 1.0;
    return 2.0 * std::atan2(sign * q[2], sign * q[3]) / degrees;
}

// Part 0 (the legs): A and B set both channels; B's rotation is stored on
// the opposite hemisphere (-q), so only the shorter arc gives what the
// weights say. Part 1 (the arms): only B turns it. Part 2: no layer moves
// it. C is an additive pose over its reference R: +30 degrees on part 1,
// +20 degrees and +2 in y on part 2.
struct Poses {
    Poses() : rest(3), a(3), b(3), c(3), r(3) {
        rest.setPart(0, SbVec3f(2, 0, 0), aboutZ(0), both);
        rest.setPart(1, SbVec3f(0, 1, 0), aboutZ(30), both);
        rest.setPart(2, SbVec3f(0, 4, 0), aboutZ(-10), both);
        a.setPart(0, SbVec3f(0, 0, 0), aboutZ(20), both);
        b.setPart(0, SbVec3f(10, 0, 0), aboutZ(420), both); // 60 degrees as -q
        b.setRotation(1, aboutZ(90));
        c.setRotation(1, aboutZ(40));
        r.setRotation(1, aboutZ(10));
        c.setPart(2, SbVec3f(0, 3, 0), aboutZ(25), both);
        r.setPart(2, SbVec3f(0, 1, 0), aboutZ(5), both);
    }
    KTPose rest, a, b, c, r;
};

} // namespace

TEST(PoseBlendValidity, BadLayersAndWeightsAreRefusedAndNothingWritten) {
    Poses p;
    const std::vector<float> nanMask = {1.0f, NAN}, negativeMask = {-1.0f};
    KTPose result(1);
    result.setTranslation(0, SbVec3f(7, 7, 7));
    const KTPose before = result;
    // The last one beyond a float.
    const Layer bad[] = {{nullptr, 1.0, nullptr, &p.r}, {&p.a, -1.0, nullptr, &p.r},
                         {&p.a, NAN, nullptr, &p.r},    {&p.a, INFINITY, nullptr, &p.r},
                         {&p.a, 1.0, &nanMask, &p.r},   {&p.a, 1.0, &negativeMask, &p.r},
                         {&p.a, 1e300, nullptr, &p.r}};
    const Layer good{&p.b, 1.0, nullptr, &p.r};
    for (const Layer& layer : bad) {
        EXPECT_EQ(KTPoseBlend::blend({good, layer}, {}, p.rest, result), 0);
        EXPECT_EQ(KTPoseBlend::blend({}, {good, layer}, p.rest, result), 0);
    }
    EXPECT_EQ(KTPoseBlend::blend({}, {Layer{&p.c, 1.0, nullptr, nullptr}}, p.rest, result), 0);
    for (float weight : {-0.1f, 1.1f, NAN})
        EXPECT_EQ(KTPoseBlend::blend(p.a, p.b, weight, p.rest, result), 0) << weight;
    EXPECT_EQ(result, before);
}

// The rule per part and channel: part 0's x and turn, part 1's turn, part 2's
// y and turn, and the channels of each part. A, B (masked by `maskB`) and
// the additive C enter with their weights, a negative weight leaving them
// out. All turns are about Z, so a blend of turns is the weighted mean of
// their angles.
TEST(PoseBlendRule, ReplaceWeightsPerPartOverRestThenAdditive) {
    Poses p;
    const std::vector<float> armsOnly = {0.0f};
    const int R = KTPose::ROTATION;
    struct Row {
        const char* what;
        double a, b;
        const std::vector<float>* maskB;
        double c, x0, turn0, turn1, y2, turn2;
        int channels0, channels1, channels2;
    };
    const Row rows[] = {
        {"W above 1: weights over W", 1, 3, nullptr, -1, 7.5, 50, 90, 0, 0, both, R, 0},
        {"W at 1, W below 1 on the arms", 0.25, 0.75, nullptr, -1, 7.5, 50, 75, 0, 0, both, R, 0},
        {"W below 1: rest takes 1 - W", 0.25, 0.25, nullptr, -1, 3.5, 20, 45, 0, 0, both, R, 0},
        {"W = 0: the rest pose, written", 0, 0, nullptr, -1, 2, 0, 30, 0, 0, both, R, 0},
        {"B on the arms: legs keep A in full", 1, 0.5, &armsOnly, -1, 0, 20, 60, 0, 0, both, R, 0},
        {"additive alone: onto rest", -1, -1, nullptr, 1, 0, 0, 60, 6, 10, 0, R, both},
        {"additive at 2: twice the difference", -1, -1, nullptr, 2, 0, 0, 90, 8, 30, 0, R, both},
        {"additive at 0.5 over B", -1, 1, nullptr, 0.5, 10, 60, 105, 5, 0, both, R, both},
        {"nothing: no channel", -1, -1, nullptr, -1, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<Layer> layers, additive;
        if (row.a >= 0)
            layers.push_back({&p.a, row.a});
        if (row.b >= 0)
            layers.push_back({&p.b, row.b, row.maskB});
        if (row.c >= 0)
            additive.push_back({&p.c, row.c, nullptr, &p.r});
        KTPose result;
        ASSERT_EQ(KTPoseBlend::blend(layers, additive, p.rest, result), 1);
        ASSERT_EQ(result.getNumParts(), 3u);
        EXPECT_EQ(result.getChannels(0), row.channels0);
        EXPECT_EQ(result.getChannels(1), row.channels1);
        EXPECT_EQ(result.getChannels(2), row.channels2);
        EXPECT_NEAR(result.getTranslation(0)[0], row.x0, 1e-5);
        EXPECT_NEAR(turnAboutZ(result.getRotation(0)), row.turn0, 1e-4);
        EXPECT_NEAR(turnAboutZ(result.getRotation(1)), row.turn1, 1e-4);
        EXPECT_NEAR(result.getTranslation(2)[1], row.y2, 1e-5);
        EXPECT_NEAR(turnAboutZ(result.getRotation(2)), row.turn2, 1e-4);
    }
}

// A two-way blend is the rule with two layers, bit for bit; its ends are its
// inputs exactly. The result may be any of the inputs.
TEST(PoseBlendRule, CrossfadeEqualsLayersAndResultMayBeAnInput) {
    Poses p;
    for (float weight : {0.0f, 0.3f, 0.5f, 1.0f}) {
        SCOPED_TRACE(weight);
        KTPose crossfade, layered;
        ASSERT_EQ(KTPoseBlend::blend(p.a, p.b, weight, p.rest, crossfade), 1);
        ASSERT_EQ(KTPoseBlend::blend({{&p.a, 1.0 - weight}, {&p.b, weight}}, {}, p.rest, layered),
                  1);
        EXPECT_EQ(crossfade, layered);
        if (weight == 0.0f || weight == 1.0f) {
            EXPECT_EQ(crossfade.getRotation(0), (weight == 0.0f ? p.a : p.b).getRotation(0));
        }
    }
    const auto blendInto = [](Poses& q, KTPose& result) {
        return KTPoseBlend::blend({{&q.a, 0.25}, {&q.b, 0.5}}, {{&q.c, 0.5, nullptr, &q.r}}, q.rest,
                                  result);
    };
    KTPose expected;
    ASSERT_EQ(blendInto(p, expected), 1);
    for (KTPose Poses::*alias : {&Poses::a, &Poses::b, &Poses::c, &Poses::rest}) {
        Poses q;
        ASSERT_EQ(blendInto(q, q.*alias), 1);
        EXPECT_EQ(q.*alias, expected);
    }
}
