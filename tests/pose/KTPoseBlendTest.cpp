#include <cmath>
#include <cstring>
#include <limits>
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

bool sameBits(const SbRotation& a, const SbRotation& b) {
    return std::memcmp(a.getValue(), b.getValue(), 4 * sizeof(float)) == 0;
}

// Part 0: both inputs set both channels; B's rotation is stored on the
// opposite hemisphere (-q), so only the shorter arc gives 40 at half way.
// Part 1: A turns it, B moves it; the rest pose fills in for each. Part 2:
// nobody moves it.
struct Poses {
    Poses() : a(3), b(3), rest(3) {
        a.setPart(0, SbVec3f(0, 0, 0), aboutZ(20), both);
        const SbRotation sixty = aboutZ(60);
        const float* q = sixty.getValue();
        b.setPart(0, SbVec3f(10, 0, 0), SbRotation(-q[0], -q[1], -q[2], -q[3]), both);
        a.setRotation(1, aboutZ(90));
        b.setTranslation(1, SbVec3f(0, 5, 0));
        rest.setPart(1, SbVec3f(0, 1, 0), aboutZ(30), both);
    }
    KTPose a, b, rest;
};

} // namespace

TEST(PoseBlendValidity, BadWeightsAndLayersAreRefusedAndNothingWritten) {
    Poses p;
    const float notANumber = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> badMask = {1.0f, notANumber};
    KTPose result(1);
    result.setTranslation(0, SbVec3f(7, 7, 7));
    const KTPose before = result;
    for (float weight : {-0.1f, 1.1f, notANumber})
        EXPECT_EQ(KTPoseBlend::blend(p.a, p.b, weight, p.rest, result), 0) << weight;
    const std::vector<std::vector<Layer>> badLists = {
        {},
        {Layer{&p.a, 1.0f, nullptr}, Layer{nullptr, 1.0f, nullptr}},
        {Layer{&p.a, -1.0f, nullptr}},
        {Layer{&p.a, std::numeric_limits<float>::infinity(), nullptr}},
        {Layer{&p.a, 1.0f, &badMask}},
    };
    for (const std::vector<Layer>& layers : badLists) {
        EXPECT_EQ(KTPoseBlend::blend(layers, p.rest, result), 0);
        if (!layers.empty()) {
            EXPECT_EQ(KTPoseBlend::add(p.a, layers.back(), p.b, result), 0);
        }
    }
    EXPECT_EQ(result, before);
}

// Weights 0, 1 and 0.5, two-way and N-way, with masks: part 0's x and turn,
// part 1's channels, y and turn. NaN marks a value not checked (channel
// unset: identity).
TEST(PoseBlendCases, WeightsHemispheresRestAndMasks) {
    Poses p;
    const std::vector<float> maskOutPart0 = {0.0f};
    // The turn of the normalised weighted sum of two turns about Z.
    const auto nlerp = [](double w1, double turn1, double w2, double turn2) {
        const double h1 = turn1 * degrees / 2, h2 = turn2 * degrees / 2;
        return 2 *
               std::atan2(w1 * std::sin(h1) + w2 * std::sin(h2),
                          w1 * std::cos(h1) + w2 * std::cos(h2)) /
               degrees;
    };
    struct Row {
        const char* what;
        std::vector<Layer> layers; // empty: two-way A to B at `weight`
        float weight;
        double x0, turn0;
        int channels1;
        double y1, turn1;
        bool overRest = false; // blendOverRest: the rest pose fills the weight up to 1
    };
    const Row rows[] = {
        {"two-way 0: A", {}, 0.0f, 0, 20, KTPose::ROTATION, 0, 90},
        {"two-way 1: B", {}, 1.0f, 10, 60, KTPose::TRANSLATION, 5, 0},
        {"two-way 0.5: shorter arc, rest fills in", {}, 0.5f, 5, 40, both, 3, 60},
        {"N-way 1:3 normalised",
         {{&p.a, 1.0f, nullptr}, {&p.b, 3.0f, nullptr}},
         0,
         7.5,
         nlerp(0.25, 20, 0.75, 60),
         both,
         4,
         nlerp(0.25, 90, 0.75, 30)},
        {"N-way, B masked out of part 0",
         {{&p.a, 1.0f, nullptr}, {&p.b, 3.0f, &maskOutPart0}},
         0,
         0,
         20,
         both,
         4,
         nlerp(0.25, 90, 0.75, 30)},
        {"N-way, one layer", {{&p.b, 0.5f, nullptr}}, 0, 10, 60, KTPose::TRANSLATION, 5, 0},
        {"over rest: one layer at 0.5 shares with the rest pose",
         {{&p.b, 0.5f, nullptr}},
         0,
         5,
         30,
         KTPose::TRANSLATION,
         3,
         0,
         true},
        {"over rest: masked out of part 0, the rest pose takes it",
         {{&p.b, 1.0f, &maskOutPart0}},
         0,
         0,
         0,
         KTPose::TRANSLATION,
         5,
         0,
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        KTPose result;
        ASSERT_EQ(row.layers.empty() ? KTPoseBlend::blend(p.a, p.b, row.weight, p.rest, result)
                  : row.overRest     ? KTPoseBlend::blendOverRest(row.layers, p.rest, result)
                                     : KTPoseBlend::blend(row.layers, p.rest, result),
                  1);
        ASSERT_EQ(result.getNumParts(), 3u);
        EXPECT_EQ(result.getChannels(0), both);
        EXPECT_NEAR(result.getTranslation(0)[0], row.x0, 1e-5);
        EXPECT_NEAR(turnAboutZ(result.getRotation(0)), row.turn0, 1e-4);
        EXPECT_EQ(result.getChannels(1), row.channels1);
        EXPECT_NEAR(result.getTranslation(1)[1], row.y1, 1e-5);
        EXPECT_NEAR(turnAboutZ(result.getRotation(1)), row.turn1, 1e-4);
        EXPECT_EQ(result.getChannels(2), 0);
        // Where one input carries all the weight, its values come through bit for bit.
        if (row.turn0 == 20 || row.turn0 == 60) {
            const KTPose& input = row.turn0 == 20 ? p.a : p.b;
            EXPECT_TRUE(sameBits(result.getRotation(0), input.getRotation(0)));
        }
    }
}

// Additive layers: a zero difference leaves the base bit for bit; half of a
// difference of (2, 0, 0) and 40 degrees adds (1, 0, 0) and 20 degrees; a mask
// of 0 leaves the part; weight 1 onto the reference itself gives the layer.
TEST(PoseBlendCases, AdditiveLayers) {
    KTPose base(2), layer(2), reference(2);
    base.setPart(0, SbVec3f(1, 0, 0), aboutZ(10), both);
    base.setPart(1, SbVec3f(0, 3, 0), aboutZ(-50), both);
    layer.setPart(0, SbVec3f(2, 0, 0), aboutZ(40), both);
    layer.setPart(1, SbVec3f(0, 1, 0), aboutZ(15), both);
    reference.setPart(0, SbVec3f(0, 0, 0), SbRotation::identity(), both);
    reference.setPart(1, SbVec3f(0, 1, 0), aboutZ(15), both);
    const std::vector<float> maskOutPart0 = {0.0f};

    KTPose result;
    ASSERT_EQ(KTPoseBlend::add(base, Layer{&layer, 0.5f, nullptr}, reference, result), 1);
    EXPECT_NEAR(result.getTranslation(0)[0], 2, 1e-6);
    EXPECT_NEAR(turnAboutZ(result.getRotation(0)), 30, 1e-4);
    EXPECT_EQ(result.getTranslation(1), base.getTranslation(1)); // zero difference
    EXPECT_TRUE(sameBits(result.getRotation(1), base.getRotation(1)));

    ASSERT_EQ(KTPoseBlend::add(base, Layer{&layer, 1.0f, &maskOutPart0}, reference, result), 1);
    EXPECT_EQ(result, base);

    ASSERT_EQ(KTPoseBlend::add(reference, Layer{&layer, 1.0f, nullptr}, reference, result), 1);
    EXPECT_NEAR(result.getTranslation(0)[0], 2, 1e-6);
    EXPECT_NEAR(turnAboutZ(result.getRotation(0)), 40, 1e-4);
}
