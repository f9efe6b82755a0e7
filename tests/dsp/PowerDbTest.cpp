#include "dsp/PowerDb.h"
#include "numerics/SimdDispatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

TEST(PowerToDb, IsTheCorrectlyRoundedDecibelValueOverTheWholeFloatRange)
{
    // Random bit patterns cover every exponent and mantissa region evenly; the truth is
    // 10 log10 in long double, rounded to float.
    std::mt19937 gen(5);
    std::uniform_int_distribution<std::uint32_t> bits(0x00800000u, 0x7F7FFFFFu);
    std::vector<float> p(1 << 20), db(p.size());
    for (float& v : p) {
        const std::uint32_t b = bits(gen);
        std::memcpy(&v, &b, sizeof v);
    }
    // Around 1 (0 dB, where relative accuracy is hardest) and the mantissa's split at sqrt 2.
    for (int i = 0; i < 1000; ++i) {
        p[2 * i] = std::nextafter(1.0f, 2.0f * (i % 2)) * (1.0f + i * 1e-7f);
        p[2 * i + 1] = std::sqrt(2.0f) * (1.0f + (i - 500) * 1e-7f);
    }
    PowerToDb(p.data(), db.data(), p.size(), -999.9f);
    int notRounded = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const long double exact = 10.0L * std::log10(static_cast<long double>(p[i]));
        const float want = static_cast<float>(exact);
        if (db[i] != want) {
            ++notRounded;
            // Only a tie-close case may round the other way: within one unit in the last place.
            ASSERT_LE(std::fabs(db[i] - want), std::fabs(std::nextafter(want, 2 * want + 1) - want)) << p[i];
        }
    }
    // Rounding the double result to float misses only where it lies a hair from a boundary.
    EXPECT_LE(notRounded, 10); // of over a million

    // The SSE2 baseline gives the same bits as the road this processor takes.
    std::vector<float> baseline(p.size());
    simd::ForceBaseline(true);
    PowerToDb(p.data(), baseline.data(), p.size(), -999.9f);
    simd::ForceBaseline(false);
    EXPECT_EQ(std::memcmp(db.data(), baseline.data(), db.size() * sizeof(float)), 0);
}

TEST(PowerToDb, ZeroNegativeAndNotANumberHaveNoLevelAndExtremesTakeTheLibrary)
{
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> p = {0.0f, -0.0f, -1.0f, std::nanf(""), inf, 1e-40f, 1.0f, 1e-45f, 3.4e38f};
    std::vector<float> db(p.size());
    PowerToDb(p.data(), db.data(), p.size(), -999.9f);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(db[i], -999.9f) << i;
    EXPECT_EQ(db[4], inf);
    EXPECT_NEAR(db[5], -400.0, 1e-3); // subnormal
    EXPECT_EQ(db[6], 0.0f);
    EXPECT_NEAR(db[7], 10 * std::log10(static_cast<double>(1e-45f)), 1e-3); // the smallest subnormal
    EXPECT_NEAR(db[8], 10 * std::log10(3.4e38), 1e-4);
}
