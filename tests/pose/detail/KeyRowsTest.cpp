#include <ktrt/pose/detail/KeyRows.h>

#include <cmath>
#include <random>
#include <vector>

#include <hwy/targets.h>

#include <gtest/gtest.h>

using namespace ktrt::detail;

// Random pairs of keys, lane l of every kind in turn: nearly equal (linear
// blend), a small arc, any two, and nearly orthogonal quaternions (half turns
// apart); every other four in the opposite hemisphere; lane counts that no
// vector width divides. On every SIMD target the processor has.
TEST(KeyRows, SimdBlendAgreesWithTheScalarReference) {
    std::mt19937 random(29);
    std::normal_distribution<float> normal;
    const std::size_t lanes = 301;
    const std::size_t stride = lanes + rowPadding;
    std::vector<float> from(KEY_PLANES * stride), to(KEY_PLANES * stride);
    for (std::size_t lane = 0; lane < lanes; ++lane) {
        float a[KEY_PLANES], b[KEY_PLANES], dot = 0, aLength = 0, bLength = 0;
        for (int c = 0; c < 7; ++c) {
            a[c] = normal(random);
            b[c] = lane % 4 == 2 ? normal(random) : a[c] + 1e-3f * (lane % 4) * normal(random);
            dot += c < 4 ? a[c] * b[c] : 0;
            aLength += c < 4 ? a[c] * a[c] : 0;
        }
        for (int c = 0; c < 4; ++c) {
            b[c] = (lane / 4 % 2 ? -1 : 1) * (b[c] - (lane % 4 == 3 ? dot / aLength : 0) * a[c]);
            bLength += b[c] * b[c];
        }
        for (int c = 0; c < 4; ++c)
            a[c] /= std::sqrt(aLength), b[c] /= std::sqrt(bLength);
        a[ARC] = arcBetween(a, b);
        for (int c = 0; c < KEY_PLANES; ++c)
            from[c * stride + lane] = a[c], to[c * stride + lane] = b[c];
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
                    float f[KEY_PLANES], t[KEY_PLANES], expected[blendPlanes];
                    for (int c = 0; c < KEY_PLANES; ++c)
                        f[c] = from[c * stride + lane], t[c] = to[c * stride + lane];
                    blendKey(f, t, fraction, expected);
                    // The turn between the results, 4 asin(|q1 - q2| / 2):
                    // exact for small angles.
                    double difference = 0;
                    for (int c = 0; c < 4; ++c)
                        difference += std::pow(out[c * stride + lane] - expected[c], 2);
                    EXPECT_LT(4 * std::asin(std::sqrt(difference) / 2), 1e-6);
                    for (int c = 4; c < 7; ++c)
                        EXPECT_NEAR(out[c * stride + lane], expected[c], 1e-5);
                }
            }
        }
    }
    hwy::SetSupportedTargetsForTest(0);
}
