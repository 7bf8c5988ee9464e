#include "imaging/gray_mode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "conversion_test_util.h"

namespace vantix {
namespace {

using test::Get;

// The cell multiplier of sample (x, y) written out from the table.
int32_t ReferenceMultiplier(const GrayMultipliers& m, int32_t mode, int32_t x, int32_t y) {
    const int32_t state = ((mode == 1 || mode == 3 ? 1 : 0) + y) % 4;
    const bool flag = ((mode == 2 || mode == 3) ? 1 : 0) != (x % 2);
    const int32_t table[4][2] = {{m.gainG1, m.gainR}, {m.gainB, m.gainG2}, {m.offsetG1, m.offsetR},
                                 {m.offsetB, m.offsetG2}};
    return table[state][flag ? 1 : 0];
}

void ReferenceGains(CDibImage& raw, int32_t mode, const GrayMultipliers& m, int64_t top) {
    for (int32_t y = 0; y < raw.Height(); ++y) {
        for (int32_t x = 0; x < raw.Width(); ++x) {
            const int64_t v = int64_t{Get(raw, x, y)} * ReferenceMultiplier(m, mode, x, y) / 128;
            test::Set(raw, x, y, static_cast<uint32_t>(std::clamp<int64_t>(v, 0, top)));
        }
    }
}

GrayMultipliers RandomMultipliers(std::mt19937& random, int32_t low, int32_t high) {
    std::uniform_int_distribution<int32_t> pick(low, high);
    GrayMultipliers m;
    for (int32_t state = 0; state < 4; ++state) {
        m.At(state, false) = pick(random);
        m.At(state, true) = pick(random);
    }
    return m;
}

TEST(GrayGains, OnlyTheG1GainPositionChanges) {
    CDibImage raw;
    ASSERT_EQ(raw.Create(6, 8, 8), 1);
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 6; ++x) test::Set(raw, x, y, 100);
    GrayMultipliers m;
    m.gainG1 = 255;
    ASSERT_EQ(ApplyGrayGains(raw, 0, m, 8), 1);
    for (int32_t y = 0; y < 8; ++y) {
        for (int32_t x = 0; x < 6; ++x) {
            const bool g1 = y % 4 == 0 && x % 2 == 0;  // row state 0, column flag clear in mode 0
            EXPECT_EQ(Get(raw, x, y), g1 ? 199u : 100u) << x << "," << y;  // 100 x 255 / 128
        }
    }
}

// Random frames and multipliers across and beyond the settings' ranges
// (offsets go down to -255; levelled gains far above 255), every Bayer mode,
// both depths and the 16-bit tops, both kernel levels.
TEST(GrayGains, MatchReferenceIncludingRangeEnds) {
    std::mt19937 random(5);
    uint32_t seed = 50;
    struct Depth {
        int32_t bits, bitDepth;
        int64_t top;
    };
    for (const KernelLevel level : {KernelLevel::kBaseline, KernelLevel::kAvx2}) {
        if (level == KernelLevel::kAvx2 && !CpuHasAvx2()) continue;
        for (const Depth d : {Depth{8, 8, 255}, Depth{16, 16, 65535}, Depth{16, 10, 1023}, Depth{16, 12, 4095},
                              Depth{16, 14, 16383}}) {
            for (const int32_t width : {1, 3, 8, 77}) {
                for (int32_t mode = 0; mode < 4; ++mode) {
                    for (const auto& [low, high] : {std::pair{-255, 255}, std::pair{0, 1 << 24}}) {
                        const GrayMultipliers m = RandomMultipliers(random, low, high);
                        CDibImage actual = test::RandomImage(width, 7, d.bits, ++seed);
                        CDibImage expected = test::CopyOf(actual);
                        ReferenceGains(expected, mode, m, d.top);
                        ASSERT_EQ(ApplyGrayGains(actual, mode, m, d.bitDepth, level), 1);
                        ASSERT_TRUE(test::SameBytes(actual, expected))
                            << "bits " << d.bitDepth << " width " << width << " mode " << mode;
                    }
                }
            }
        }
    }
}

TEST(GrayLevelling, LevelsTheEightPositionsToTheBrightest) {
    // Mode 3: row state starts at 1 and the column flag set. Fill each cell
    // position with its own level; the brightest (200) keeps 128.
    const int32_t levels[4][2] = {{100, 200}, {50, 160}, {128, 64}, {25, 199}};
    CDibImage raw;
    ASSERT_EQ(raw.Create(10, 12, 8), 1);
    for (int32_t y = 0; y < 12; ++y) {
        for (int32_t x = 0; x < 10; ++x) {
            const int32_t state = (1 + y) % 4;
            const int32_t flag = 1 - x % 2;
            test::Set(raw, x, y, static_cast<uint32_t>(levels[state][flag]));
        }
    }
    // Excluded samples (0 and full scale) change nothing.
    test::Set(raw, 0, 0, 0);
    test::Set(raw, 1, 0, 255);
    GrayMultipliers m;
    ASSERT_TRUE(MeasureGrayGains(raw, 3, &m));
    for (int32_t state = 0; state < 4; ++state) {
        for (int32_t flag = 0; flag < 2; ++flag) {
            EXPECT_EQ(m.At(state, flag != 0), static_cast<int32_t>(std::trunc(200.0 / levels[state][flag] * 128)))
                << state << "," << flag;
        }
    }
    EXPECT_EQ(m.gainG2, 160);     // (1, set): 200 / 160 x 128
    EXPECT_EQ(m.offsetB, 1024);  // (3, clear): 200 / 25 x 128, beyond the setters' range
}

TEST(GrayLevelling, SkipsWhenAPositionHasNoSamples) {
    GrayMultipliers m;
    m.gainR = 7;
    const GrayMultipliers before = m;
    CDibImage threeRows = test::RandomImage(8, 3, 8, 4);  // row state 3 never occurs
    EXPECT_FALSE(MeasureGrayGains(threeRows, 0, &m));
    CDibImage saturated;
    ASSERT_EQ(saturated.Create(8, 8, 16), 1);
    std::memset(saturated.Bits(), 0xFF, saturated.ImageBytes());
    EXPECT_FALSE(MeasureGrayGains(saturated, 0, &m));
    EXPECT_EQ(m, before);
}

TEST(GrayLevelling, KernelLevelsAgree) {
    if (!CpuHasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    for (const int32_t bits : {8, 16}) {
        CDibImage raw = test::RandomImage(301, 17, bits, 77);
        std::memset(raw.Row(2), 0xFF, raw.Stride());
        std::memset(raw.Row(5), 0, raw.Stride());
        GrayMultipliers a;
        GrayMultipliers b;
        ASSERT_TRUE(MeasureGrayGains(raw, 1, &a, KernelLevel::kBaseline));
        ASSERT_TRUE(MeasureGrayGains(raw, 1, &b, KernelLevel::kAvx2));
        EXPECT_EQ(a, b);
    }
}

// The weighting itself is checked through the whole conversion (gray mode 2);
// here the formats it accepts and the two kernel levels.
TEST(ColorToGray, AcceptsMatchingColourImagesAndAgreesAcrossLevels) {
    for (const int32_t colorBits : {24, 32}) {
        const CDibImage color = test::RandomImage(67, 4, colorBits, 900);
        CDibImage baseline = test::RandomImage(67, 4, 8, 901);
        CDibImage avx2 = test::CopyOf(baseline);
        ASSERT_EQ(ColorToGray(baseline, color, KernelLevel::kBaseline), 1);
        const uint32_t b = Get(color, 66, 3, 0), g = Get(color, 66, 3, 1), r = Get(color, 66, 3, 2);
        EXPECT_EQ(Get(baseline, 66, 3), (30 * r + 59 * g + 11 * b) / 100);
        if (CpuHasAvx2()) {
            ASSERT_EQ(ColorToGray(avx2, color, KernelLevel::kAvx2), 1);
            EXPECT_TRUE(test::SameBytes(baseline, avx2));
        }
    }
    CDibImage gray = test::RandomImage(4, 4, 8, 1);
    EXPECT_EQ(ColorToGray(gray, test::RandomImage(5, 4, 24, 1)), 0);
    EXPECT_EQ(ColorToGray(gray, test::RandomImage(4, 4, 48, 1)), 0);
}

}  // namespace
}  // namespace vantix
