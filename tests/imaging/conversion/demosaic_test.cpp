#include "imaging/demosaic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "conversion_test_util.h"

namespace vantix {
namespace {

using test::Colour;
using test::ColourAt;
using test::Get;

// Where a neighbour at index i of a run of n samples is read: itself when
// inside; else four further inside; failing that (runs under four long) the
// nearest index of the same parity, or the nearest index.
int32_t ReferenceIndex(int32_t i, int32_t n) {
    if (i >= 0 && i < n) return i;
    const int32_t moved = i < 0 ? i + 4 : i - 4;
    if (moved >= 0 && moved < n) return moved;
    int32_t best = -1;
    for (int32_t j = 0; j < n; ++j) {
        if (((j - i) & 1) == 0 && (best < 0 || std::abs(j - i) < std::abs(best - i))) best = j;
    }
    return best >= 0 ? best : std::clamp(i, 0, n - 1);
}

// The demosaic pixel by pixel from its definition.
void ReferenceDemosaic(CDibImage& out, const CDibImage& raw, int32_t mode, int32_t redGain, int32_t blueGain) {
    const uint32_t top = raw.BitsPerPixel() == 8 ? 255 : 65535;
    auto factor = [](int32_t gain) { return static_cast<uint32_t>(std::trunc(std::clamp(gain, 0, 400) * 1.28)); };
    auto at = [&](int32_t x, int32_t y) {
        return Get(raw, ReferenceIndex(x, raw.Width()), ReferenceIndex(y, raw.Height()));
    };
    for (int32_t y = 0; y < raw.Height(); ++y) {
        for (int32_t x = 0; x < raw.Width(); ++x) {
            uint32_t rgb[3] = {0, 0, 0};
            for (int32_t sy = y - 1; sy <= y; ++sy) {
                for (int32_t sx = x - 1; sx <= x; ++sx) {
                    const Colour colour = ColourAt(mode, sx, sy);
                    if (colour == Colour::kGreen) {
                        rgb[1] += at(sx, sy);
                        continue;
                    }
                    // Same colour two along the row and column towards the
                    // block's centre, and diagonally: weights 9, 3, 3, 1.
                    const int32_t ox = sx == x - 1 ? sx + 2 : sx - 2;
                    const int32_t oy = sy == y - 1 ? sy + 2 : sy - 2;
                    const uint32_t sum = 9 * at(sx, sy) + 3 * at(ox, sy) + 3 * at(sx, oy) + at(ox, oy);
                    const bool red = colour == Colour::kRed;
                    rgb[red ? 0 : 2] = std::min<uint32_t>((sum * factor(red ? redGain : blueGain)) >> 11, top);
                }
            }
            test::Set(out, x, y, rgb[2], 0);
            test::Set(out, x, y, rgb[1] >> 1, 1);
            test::Set(out, x, y, rgb[0], 2);
        }
    }
}

CDibImage FlatBayer(int32_t w, int32_t h, int32_t bits, int32_t mode, uint32_t r, uint32_t g, uint32_t b) {
    CDibImage raw;
    EXPECT_EQ(raw.Create(w, h, bits), 1);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const Colour c = ColourAt(mode, x, y);
            test::Set(raw, x, y, c == Colour::kRed ? r : c == Colour::kGreen ? g : b);
        }
    }
    return raw;
}

struct Format {
    int32_t rawBits;
    int32_t outBits;
};
constexpr Format kFormats[] = {{8, 24}, {8, 32}, {16, 48}, {16, 64}};

TEST(DemosaicEdgeCases, FlatChannelsComeOutExactlyEverywhere) {
    const CDibImage raw = FlatBayer(16, 12, 8, 0, 200, 100, 50);
    CDibImage out;
    ASSERT_EQ(out.Create(16, 12, 24), 1);
    ASSERT_EQ(Demosaic(out, raw, 0, 100, 100), 1);
    // The edges too: their stand-in neighbours have the same colour.
    for (int32_t y = 0; y < 12; ++y) {
        for (int32_t x = 0; x < 16; ++x) {
            ASSERT_EQ(Get(out, x, y, 0) + 1000 * Get(out, x, y, 1) + 1000000 * Get(out, x, y, 2), 200100050u);
        }
    }
}

TEST(DemosaicEdgeCases, GainsScaleRedAndBlueAndClipAtTheTop) {
    const CDibImage raw8 = FlatBayer(40, 8, 8, 2, 100, 100, 100);
    CDibImage out8;
    ASSERT_EQ(out8.Create(40, 8, 24), 1);
    // 100 x 16 x 512 >= 0x80000 clips red; gain 0 blackens blue; green
    // has no gain.
    ASSERT_EQ(Demosaic(out8, raw8, 2, 400, 0), 1);
    EXPECT_EQ(Get(out8, 20, 4, 2), 255u);
    EXPECT_EQ(Get(out8, 20, 4, 1), 100u);
    EXPECT_EQ(Get(out8, 20, 4, 0), 0u);
    // Full-scale 16-bit samples at the largest gain neither wrap nor overflow.
    const CDibImage raw16 = FlatBayer(40, 8, 16, 1, 65535, 65535, 30000);
    CDibImage out16;
    ASSERT_EQ(out16.Create(40, 8, 48), 1);
    ASSERT_EQ(Demosaic(out16, raw16, 1, 400, 400), 1);
    for (int32_t c = 0; c < 3; ++c) EXPECT_EQ(Get(out16, 20, 4, c), 65535u);
}

TEST(DemosaicEdgeCases, RefusesMismatchedImagesWithoutWriting) {
    const CDibImage raw8 = test::RandomImage(8, 8, 8, 1);
    const CDibImage raw16 = test::RandomImage(8, 8, 16, 2);
    const CDibImage empty;
    struct Case {
        const CDibImage* raw;
        int32_t w, h, bits;
    };
    for (const Case& c : {Case{&raw8, 8, 8, 48}, Case{&raw16, 8, 8, 24}, Case{&raw8, 8, 8, 8}, Case{&raw8, 9, 8, 24},
                          Case{&raw8, 8, 7, 32}, Case{&empty, 8, 8, 24}}) {
        CDibImage out = test::RandomImage(c.w, c.h, c.bits, 3);
        const CDibImage before = test::CopyOf(out);
        EXPECT_EQ(Demosaic(out, *c.raw, 0, 100, 100), 0) << c.bits << " " << c.w << "x" << c.h;
        EXPECT_TRUE(test::SameBytes(out, before));
    }
}

// Every format and Bayer mode, sizes from 1 x 1 up with odd widths (padded
// strides), gains beyond both ends of their range, both kernel levels; the
// fourth channel and the row padding keep their random bytes.
TEST(DemosaicReference, MatchesReferenceForEveryFormatModeAndSize) {
    constexpr std::pair<int32_t, int32_t> kSizes[] = {{1, 1}, {2, 1}, {1, 3}, {2, 2},  {3, 3},  {4, 4},  {5, 2},
                                                      {5, 5}, {7, 6}, {33, 5}, {38, 4}, {71, 9}, {100, 7}};
    std::mt19937 random(42);
    uint32_t seed = 100;
    for (const KernelLevel level : {KernelLevel::kBaseline, KernelLevel::kAvx2}) {
        if (level == KernelLevel::kAvx2 && !CpuHasAvx2()) continue;
        for (const Format& format : kFormats) {
            for (const auto& [w, h] : kSizes) {
                for (int32_t mode = 0; mode < 4; ++mode) {
                    const CDibImage raw = test::RandomImage(w, h, format.rawBits, ++seed);
                    const auto redGain = static_cast<int32_t>(random() % 601) - 100;
                    const auto blueGain = static_cast<int32_t>(random() % 601) - 100;
                    CDibImage actual = test::RandomImage(w, h, format.outBits, ++seed);
                    CDibImage expected = test::CopyOf(actual);
                    ReferenceDemosaic(expected, raw, mode, redGain, blueGain);
                    ASSERT_EQ(Demosaic(actual, raw, mode, redGain, blueGain, level), 1);
                    ASSERT_TRUE(test::SameBytes(actual, expected)) << "level " << static_cast<int>(level) << " out "
                                                                   << format.outBits << " " << w << "x" << h
                                                                   << " mode " << mode;
                }
            }
        }
    }
}

// Wide frames (many vector blocks per row) with runs of full-scale and zero
// samples: the AVX2 and portable kernels agree bit for bit.
TEST(DemosaicVariants, Avx2AndBaselineAgreeBitForBit) {
    if (!CpuHasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    uint32_t seed = 7;
    for (const Format& format : kFormats) {
        for (const int32_t width : {203, 256, 517}) {
            CDibImage raw = test::RandomImage(width, 21, format.rawBits, ++seed);
            std::memset(raw.Row(3), 0xFF, static_cast<size_t>(raw.Stride()));
            std::memset(raw.Row(4), 0x00, static_cast<size_t>(raw.Stride()));
            for (int32_t mode = 0; mode < 4; ++mode) {
                for (const int32_t gain : {0, 100, 173, 400}) {
                    CDibImage baseline = test::RandomImage(width, 21, format.outBits, ++seed);
                    CDibImage avx2 = test::CopyOf(baseline);
                    ASSERT_EQ(Demosaic(baseline, raw, mode, gain, 400 - gain, KernelLevel::kBaseline), 1);
                    ASSERT_EQ(Demosaic(avx2, raw, mode, gain, 400 - gain, KernelLevel::kAvx2), 1);
                    ASSERT_TRUE(test::SameBytes(baseline, avx2)) << format.outBits << " " << width << " " << mode;
                }
            }
        }
    }
}

TEST(WhiteBalance, MeansFiftyHundredTwoHundredGiveTwoHundredAndFifty) {
    for (const int32_t bits : {8, 16}) {
        for (int32_t mode = 0; mode < 4; ++mode) {
            WhiteBalanceGains gains{1, 2, 3};
            ASSERT_TRUE(MeasureWhiteBalance(FlatBayer(10, 6, bits, mode, 50, 100, 200), mode, &gains));
            EXPECT_EQ(gains.red, 200);
            EXPECT_EQ(gains.green, 100);
            EXPECT_EQ(gains.blue, 50);
        }
    }
    // Both green positions count: greens of 100 and 140 average 120.
    CDibImage raw = FlatBayer(8, 4, 8, 1, 60, 100, 240);
    for (int32_t x = 0; x < 8; x += 2) {
        test::Set(raw, x, 1, 140);
        test::Set(raw, x, 3, 140);
    }
    WhiteBalanceGains gains;
    ASSERT_TRUE(MeasureWhiteBalance(raw, 1, &gains));
    EXPECT_EQ(gains.red, 200);
    EXPECT_EQ(gains.blue, 50);
}

TEST(WhiteBalance, CapsAtFourHundredAndSkipsFramesItCannotMeasure) {
    WhiteBalanceGains gains;
    // Red 10 against green 100 would be 1000; blue equal to green is exactly
    // neutral; a black channel takes the cap instead of dividing by zero.
    ASSERT_TRUE(MeasureWhiteBalance(FlatBayer(6, 6, 8, 0, 10, 100, 100), 0, &gains));
    EXPECT_EQ(gains.red, 400);
    EXPECT_EQ(gains.blue, 100);
    ASSERT_TRUE(MeasureWhiteBalance(FlatBayer(6, 6, 8, 0, 0, 100, 50), 0, &gains));
    EXPECT_EQ(gains.red, 400);
    EXPECT_EQ(gains.blue, 200);

    gains = {7, 8, 9};
    EXPECT_FALSE(MeasureWhiteBalance(FlatBayer(6, 6, 8, 0, 0, 0, 0), 0, &gains));       // black
    EXPECT_FALSE(MeasureWhiteBalance(FlatBayer(6, 1, 8, 0, 50, 100, 200), 0, &gains));  // no red
    EXPECT_FALSE(MeasureWhiteBalance(FlatBayer(1, 6, 8, 0, 50, 100, 200), 0, &gains));  // no blue
    EXPECT_EQ(gains.red + gains.green + gains.blue, 24);
}

}  // namespace
}  // namespace vantix
