#include <cmath>
#include <random>
#include <vector>

#include <hwy/targets.h>

#include <ktrt/pose/detail/KeyRows.h>

#include <gtest/gtest.h>

using namespace ktrt::detail;

namespace {

void checkAgainstScalar() {
    std::mt19937 random(29);
    std::normal_distribution<double> normal;
    const double spreads[] = {0.0, 1e-7, 1e-3, 1.0};
    for (std::size_t lanes : {1u, 7u, 37u, 301u}) {
        const std::size_t stride = lanes + rowPadding;
        std::vector<float> from(KEY_PLANES * stride), to(KEY_PLANES * stride);
        for (std::size_t lane = 0; lane < lanes; ++lane) {
            double a[4], b[4], aNorm = 0, bNorm = 0;
            const double spread = spreads[lane % 4];
            const double sign = (lane / 4) % 2 ? -1.0 : 1.0;
            for (int c = 0; c < 4; ++c) {
                a[c] = normal(random);
                b[c] = sign * (a[c] + spread * normal(random));
                if (lane % 8 == 7) // orthogonal but for a small part of a
                    b[c] = normal(random);
            }
            if (lane % 8 == 7) {
                double dot = 0, aa = 0;
                for (int c = 0; c < 4; ++c)
                    dot += a[c] * b[c], aa += a[c] * a[c];
                for (int c = 0; c < 4; ++c)
                    b[c] += (sign * 1e-4 - dot / aa) * a[c];
            }
            for (int c = 0; c < 4; ++c)
                aNorm += a[c] * a[c], bNorm += b[c] * b[c];
            for (int c = 0; c < 7; ++c) {
                from[c * stride + lane] =
                    static_cast<float>(c < 4 ? a[c] / std::sqrt(aNorm) : 10 * normal(random));
                to[c * stride + lane] =
                    static_cast<float>(c < 4 ? b[c] / std::sqrt(bNorm) : 10 * normal(random));
            }
            float qa[4], qb[4];
            for (int c = 0; c < 4; ++c)
                qa[c] = from[c * stride + lane], qb[c] = to[c * stride + lane];
            from[ARC * stride + lane] = arcBetween(qa, qb);
        }
        for (float fraction : {0.01f, 0.5f, 0.93f}) {
            std::vector<float> out(blendPlanes * stride);
            blendKeyRows(from.data(), to.data(), stride, lanes, fraction, out.data(), stride);
            for (std::size_t lane = 0; lane < lanes; ++lane) {
                SCOPED_TRACE(testing::Message() << lanes << " lanes, lane " << lane << " at "
                                                << fraction << " on " << keyRowsTarget());
                float f[KEY_PLANES], t[KEY_PLANES], expected[blendPlanes];
                for (int c = 0; c < KEY_PLANES; ++c)
                    f[c] = from[c * stride + lane], t[c] = to[c * stride + lane];
                blendKey(f, t, fraction, expected);
                // The turn between the two results: 4 asin(|q1 - q2| / 2),
                // exact for small angles.
                double dot = 0, difference = 0, norm = 0;
                for (int c = 0; c < 4; ++c)
                    dot += static_cast<double>(out[c * stride + lane]) * expected[c];
                for (int c = 0; c < 4; ++c) {
                    const double q = out[c * stride + lane];
                    difference += std::pow(q - std::copysign(1.0, dot) * expected[c], 2);
                    norm += q * q;
                }
                EXPECT_LT(4 * std::asin(std::sqrt(difference) / 2), 1e-6);
                EXPECT_NEAR(norm, 1.0, 1e-6);
                for (int c = 4; c < 7; ++c)
                    EXPECT_NEAR(out[c * stride + lane], expected[c], 1e-5);
            }
        }
    }
}

} // namespace

// Random keys in every kind of pair: any two rotations, nearly equal ones
// (linear and spherical sides of the threshold), and quaternions nearly
// opposite or nearly orthogonal (half turns apart), either hemisphere; lane
// counts that no vector width divides. Every SIMD target the processor has.
TEST(KeyRows, SimdBlendAgreesWithTheScalarReference) {
    for (const std::int64_t target : hwy::SupportedAndGeneratedTargets()) {
        hwy::SetSupportedTargetsForTest(target);
        SCOPED_TRACE(keyRowsTarget());
        checkAgainstScalar();
    }
    hwy::SetSupportedTargetsForTest(0);
}
