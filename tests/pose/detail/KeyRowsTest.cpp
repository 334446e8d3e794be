#include <ktrt/pose/detail/KeyRows.h>
#include <ktrt/pose/detail/PoseRows.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include <hwy/targets.h>

#include <gtest/gtest.h>

using namespace ktrt::detail;

// The turn between rotations a and b (their floats `stride` and
// `bStride` apart), in radians, exact for small angles.
double turnBetween(const float* a, std::size_t stride, const float* b, std::size_t bStride = 1) {
    float difference = 0;
    for (std::size_t c = 0; c < 4; ++c)
        difference += std::pow(a[c * stride] - b[c * bStride], 2.0f);
    return 4 * std::asin(std::sqrt(difference) / 2);
}

// Random pairs of keys, lane by lane of each kind in turn: equal (linear
// blend), a small arc, any two, orthogonal quaternions (half turns apart);
// every other four in the opposite hemisphere; lane counts that no vector
// width divides. The same pairs as poses A and B blended over a rest pose
// with weights summing above, at and below 1, the channels varying by part,
// and B added over A as an additive layer. On every SIMD target.
TEST(KeyRows, SimdBlendsAgreeWithTheScalarReference) {
    std::mt19937 random(29);
    std::normal_distribution<float> normal;
    const std::size_t lanes = 301, stride = lanes + rowPadding;
    std::vector<float> from(KEY_PLANES * stride), to(KEY_PLANES * stride), f(KEY_PLANES), t(f);
    for (std::size_t lane = 0; lane < lanes; ++lane) {
        float dot = 0, aLength = 0, bLength = 0;
        for (int c = 0; c < 7; ++c) {
            f[c] = normal(random);
            t[c] = lane % 4 == 2 ? normal(random) : f[c] + 1e-3f * (lane % 4) * normal(random);
            dot += c < 4 ? f[c] * t[c] : 0, aLength += c < 4 ? f[c] * f[c] : 0;
        }
        for (int c = 0; c < 4; ++c) {
            t[c] = (lane / 4 % 2 ? -1 : 1) * (t[c] - (lane % 4 == 3 ? dot / aLength : 0) * f[c]);
            bLength += t[c] * t[c];
        }
        for (int c = 0; c < 4; ++c)
            f[c] /= std::sqrt(aLength), t[c] /= std::sqrt(bLength);
        f[ARC] = arcBetween(f.data(), t.data());
        for (int c = 0; c < KEY_PLANES; ++c)
            from[c * stride + lane] = f[c], to[c * stride + lane] = t[c];
    }
    // Poses as planes: A is `from`, B `to`, the rest pose `to` a part on.
    std::vector<float> poses[3], partWeights(lanes), simd(blendPlanes * stride), scalar(simd);
    std::vector<int> channels[3], all(stride, 3), simdChannels(stride), scalarChannels(stride);
    for (int p = 0; p < 3; ++p) {
        poses[p].resize(blendPlanes * stride);
        channels[p].resize(stride);
        for (std::size_t lane = 0; lane < lanes; ++lane) {
            for (std::size_t c = 0; c < blendPlanes; ++c)
                poses[p][c * stride + lane] =
                    (p == 0 ? from : to)[c * stride + (lane + p / 2) % lanes];
            // Every 32 lanes in three, whole vectors of parts that set both.
            channels[p][lane] = lane / 32 % 3 == 1 ? 3
                                : p == 0           ? int(lane % 3 + 1)
                                : p == 1           ? int(3 - lane / 12 % 4)
                                                   : 3;
        }
    }
    for (std::size_t lane = 0; lane < lanes; ++lane)
        partWeights[lane] = 0.01f * (lane % 200);
    for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        for (std::size_t count : {std::size_t{1}, std::size_t{7}, lanes}) {
            for (float fraction : {0.01f, 0.5f, 0.93f}) {
                std::vector<float> out(blendPlanes * stride, -9.0f);
                sampleKeyRows(from.data(), to.data(), stride, all.data(), count, fraction,
                              out.data(), simdChannels.data(), stride);
                EXPECT_EQ(out[count], -9.0f) << "written past the last lane";
                for (std::size_t lane = 0; lane < count; ++lane) {
                    SCOPED_TRACE(testing::Message() << keyRowsTarget() << " lane " << lane << " of "
                                                    << count << " at " << fraction);
                    float expected[blendPlanes];
                    for (int c = 0; c < KEY_PLANES; ++c)
                        f[c] = from[c * stride + lane], t[c] = to[c * stride + lane];
                    blendKey(f.data(), t.data(), fraction, expected);
                    EXPECT_LT(turnBetween(&out[lane], stride, expected), 1e-6);
                    for (int c = 4; c < 7; ++c)
                        EXPECT_NEAR(out[c * stride + lane], expected[c], 1e-5);
                }
            }
            for (const auto& w : std::vector<std::vector<double>>{
                     {0.25, 0.75, 0.4, 0}, {0.2, 0.3, 1, 1}, {1.5, 0.7, 1.6, 0}, {0.5, 1, 2, 1}}) {
                PosePlanes pose[3];
                for (int p = 0; p < 3; ++p)
                    pose[p] = {poses[p].data(), channels[p].data(), stride, count};
                const PoseRows layers[3] = {
                    {pose[0], w[0], w[3] ? partWeights.data() : nullptr, lanes, {}},
                    {pose[1], w[1], nullptr, 0, {}},
                    {pose[1], w[2], nullptr, 0, pose[0]}};
                const std::size_t done = blendPoseRows(layers, 2, layers + 2, 1, pose[2], count,
                                                       {simd.data(), simdChannels.data(), stride});
                blendPoseRowsReference(layers, 2, layers + 2, 1, pose[2], 0, count,
                                       {scalar.data(), scalarChannels.data(), stride});
                EXPECT_GE(done, target != HWY_SCALAR ? count - count % 16 : 0);
                for (std::size_t part = 0; part < done; ++part) {
                    SCOPED_TRACE(testing::Message() << poseRowsTarget() << " part " << part
                                                    << " of " << count << " by " << w[0]);
                    EXPECT_EQ(simdChannels[part], scalarChannels[part]);
                    EXPECT_LT(turnBetween(&simd[part], stride, &scalar[part], stride), 1e-6);
                    for (std::size_t c = 4; c < blendPlanes; ++c)
                        EXPECT_NEAR(simd[c * stride + part], scalar[c * stride + part], 1e-5);
                }
            }
        }
    }
    hwy::SetSupportedTargetsForTest(0);
}
