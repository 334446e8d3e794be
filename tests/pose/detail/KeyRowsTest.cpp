#include <ktrt/pose/detail/KeyRows.h>

#include <cmath>
#include <random>
#include <vector>

#include <hwy/targets.h>

#include <gtest/gtest.h>

using namespace ktrt::detail;

// Random pairs of keys, lane by lane of each kind in turn: equal (linear
// blend), a small arc, any two, orthogonal quaternions (half turns apart);
// every other four in the opposite hemisphere; lane counts that no vector
// width divides. On every SIMD target the processor has.
TEST(KeyRows, SimdBlendAgreesWithTheScalarReference) {
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
    for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        for (std::size_t count : {std::size_t{1}, std::size_t{7}, lanes}) {
            for (float fraction : {0.01f, 0.5f, 0.93f}) {
                std::vector<float> out(blendPlanes * stride);
                blendKeyRows(from.data(), to.data(), stride, count, fraction, out.data(), stride);
                for (std::size_t lane = 0; lane < count; ++lane) {
                    SCOPED_TRACE(testing::Message() << keyRowsTarget() << " lane " << lane << " of "
                                                    << count << " at " << fraction);
                    float expected[blendPlanes], difference = 0;
                    for (int c = 0; c < KEY_PLANES; ++c)
                        f[c] = from[c * stride + lane], t[c] = to[c * stride + lane];
                    blendKey(f.data(), t.data(), fraction, expected);
                    for (int c = 0; c < 4; ++c)
                        difference += std::pow(out[c * stride + lane] - expected[c], 2.0f);
                    // The turn between the results, exact for small angles.
                    EXPECT_LT(4 * std::asin(std::sqrt(difference) / 2), 1e-6);
                    for (int c = 4; c < 7; ++c)
                        EXPECT_NEAR(out[c * stride + lane], expected[c], 1e-5);
                }
            }
        }
    }
    hwy::SetSupportedTargetsForTest(0);
}
