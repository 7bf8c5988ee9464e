#include "imaging/demosaic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "imaging/cpu_dispatch.h"
#include "conversion_test_util.h"

namespace vantix {
namespace {

using test::Colour;
using test::ColourAt;
using test::Get;

// Where a neighbour at index i of a run of n samples is read from: itself
// when inside; else four samples further inside; if that is still outside
// (runs under four long), the nearest index inside of the same parity, or the
// nearest index when there is none.
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

// The demosaic written out pixel by pixel from its definition.
void ReferenceDemosaic(CDibImage& out, const CDibImage& raw, int32_t mode, int32_t redGain, int32_t blueGain) {
    const int32_t w = raw.Width();
    const int32_t h = raw.Height();
    const uint32_t top = raw.BitsPerPixel() == 8 ? 255 : 65535;
    const auto factor = [](int32_t gain) {
        return static_cast<uint32_t>(std::trunc(std::clamp(gain, 0, 400) * 1.28));
    };
    const uint32_t kRed = factor(redGain);
    const uint32_t kBlue = factor(blueGain);
    auto at = [&](int32_t x, int32_t y) { return Get(raw, ReferenceIndex(x, w), ReferenceIndex(y, h)); };
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            uint32_t green = 0;
            uint32_t red = 0;
            uint32_t blue = 0;
            for (int32_t sy = y - 1; sy <= y; ++sy) {
                for (int32_t sx = x - 1; sx <= x; ++sx) {
                    const Colour colour = ColourAt(mode, sx, sy);
                    if (colour == Colour::kGreen) {
                        green += at(sx, sy);
                        continue;
                    }
                    // The same colour two samples along the row and the column,
                    // on the side of the block's centre, and diagonally.
                    const int32_t ox = sx == x - 1 ? sx + 2 : sx - 2;
                    const int32_t oy = sy == y - 1 ? sy + 2 : sy - 2;
                    const uint32_t sum = 9 * at(sx, sy) + 3 * at(ox, sy) + 3 * at(sx, oy) + at(ox, oy);
                    const uint32_t k = colour == Colour::kRed ? kRed : kBlue;
                    const uint32_t value = std::min<uint32_t>((sum * k) >> 11, top);
                    (colour == Colour::kRed ? red : blue) = value;
                }
            }
            test::Set(out, x, y, blue, 0);
            test::Set(out, x, y, green >> 1, 1);
            test::Set(out, x, y, red, 2);
        }
    }
}

// A raw frame whose samples are red, green or blue by the pattern of `mode`.
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
    // The interior by definition; the edges too, since their stand-in
    // neighbours have the same colour.
    for (int32_t y = 0; y < 12; ++y) {
        for (int32_t x = 0; x < 16; ++x) {
            ASSERT_EQ(Get(out, x, y, 0), 50u) << x << "," << y;
            ASSERT_EQ(Get(out, x, y, 1), 100u) << x << "," << y;
            ASSERT_EQ(Get(out, x, y, 2), 200u) << x << "," << y;
        }
    }
}

TEST(DemosaicEdgeCases, GainsScaleRedAndBlueAndClipAtTheTop) {
    const CDibImage raw8 = FlatBayer(40, 8, 8, 2, 100, 100, 100);
    CDibImage out8;
    ASSERT_EQ(out8.Create(40, 8, 24), 1);
    // 100 x 16 x 512 >= 0x80000: red clips; blue at gain 0 is black; green
    // ignores its gain.
    ASSERT_EQ(Demosaic(out8, raw8, 2, 400, 0), 1);
    EXPECT_EQ(Get(out8, 20, 4, 2), 255u);
    EXPECT_EQ(Get(out8, 20, 4, 1), 100u);
    EXPECT_EQ(Get(out8, 20, 4, 0), 0u);
    // Gain 250: trunc(250 x 1.28) = 320, 1600 x 320 >> 11 = 250.
    ASSERT_EQ(Demosaic(out8, raw8, 2, 250, 50), 1);
    EXPECT_EQ(Get(out8, 21, 5, 2), 250u);
    EXPECT_EQ(Get(out8, 21, 5, 0), 50u);

    // 16-bit full scale at the largest gain neither wraps nor overflows.
    const CDibImage raw16 = FlatBayer(40, 8, 16, 1, 65535, 65535, 30000);
    CDibImage out16;
    ASSERT_EQ(out16.Create(40, 8, 48), 1);
    ASSERT_EQ(Demosaic(out16, raw16, 1, 400, 400), 1);
    EXPECT_EQ(Get(out16, 20, 4, 2), 65535u);
    EXPECT_EQ(Get(out16, 20, 4, 1), 65535u);
    EXPECT_EQ(Get(out16, 20, 4, 0), 65535u);
}

TEST(DemosaicEdgeCases, GainsOutsideTheirRangeAreClamped) {
    const CDibImage raw = test::RandomImage(37, 9, 8, 11);
    CDibImage expected;
    CDibImage actual;
    ASSERT_EQ(expected.Create(37, 9, 24), 1);
    ASSERT_EQ(actual.Create(37, 9, 24), 1);
    ASSERT_EQ(Demosaic(expected, raw, 3, 400, 0), 1);
    ASSERT_EQ(Demosaic(actual, raw, 3, 1 << 30, -(1 << 30)), 1);
    EXPECT_TRUE(test::SameBytes(expected, actual));
}

TEST(DemosaicEdgeCases, RefusesMismatchedImagesWithoutWriting) {
    const CDibImage raw8 = test::RandomImage(8, 8, 8, 1);
    const CDibImage raw16 = test::RandomImage(8, 8, 16, 2);
    struct Case {
        const CDibImage* raw;
        int32_t w, h, bits;
    };
    for (const Case& c : {Case{&raw8, 8, 8, 48}, Case{&raw16, 8, 8, 24}, Case{&raw8, 8, 8, 8}, Case{&raw8, 9, 8, 24},
                          Case{&raw8, 8, 7, 32}, Case{&raw16, 8, 8, 16}}) {
        CDibImage out = test::RandomImage(c.w, c.h, c.bits, 3);
        const CDibImage before = test::CopyOf(out);
        EXPECT_EQ(Demosaic(out, *c.raw, 0, 100, 100), 0) << c.bits << " " << c.w << "x" << c.h;
        EXPECT_TRUE(test::SameBytes(out, before));
    }
    CDibImage empty;
    CDibImage out;
    ASSERT_EQ(out.Create(8, 8, 24), 1);
    EXPECT_EQ(Demosaic(out, empty, 0, 100, 100), 0);
}

// Every format, every Bayer mode, sizes from 1 x 1 up, odd widths (padded
// strides) and random gains: the kernels of both levels against the
// reference, with the fourth channel and the row padding left alone.
TEST(DemosaicReference, MatchesReferenceForEveryFormatModeAndSize) {
    struct Size {
        int32_t w, h;
    };
    constexpr Size kSizes[] = {{1, 1}, {2, 1}, {1, 3}, {2, 2}, {3, 3}, {4, 4},  {5, 2},
                               {5, 5}, {7, 6}, {33, 5}, {38, 4}, {71, 9}, {100, 7}};
    std::mt19937 random(42);
    uint32_t seed = 100;
    for (const KernelLevel level : {KernelLevel::kBaseline, KernelLevel::kAvx2}) {
        if (level == KernelLevel::kAvx2 && !CpuHasAvx2()) continue;
        for (const Format& format : kFormats) {
            for (const Size& size : kSizes) {
                for (int32_t mode = 0; mode < 4; ++mode) {
                    const CDibImage raw = test::RandomImage(size.w, size.h, format.rawBits, ++seed);
                    const int32_t redGain = static_cast<int32_t>(random() % 401);
                    const int32_t blueGain = static_cast<int32_t>(random() % 401);
                    CDibImage actual = test::RandomImage(size.w, size.h, format.outBits, ++seed);
                    CDibImage expected = test::CopyOf(actual);
                    ReferenceDemosaic(expected, raw, mode, redGain, blueGain);
                    ASSERT_EQ(Demosaic(actual, raw, mode, redGain, blueGain, level), 1);
                    ASSERT_TRUE(test::SameBytes(actual, expected))
                        << "level " << static_cast<int>(level) << " raw " << format.rawBits << " out "
                        << format.outBits << " size " << size.w << "x" << size.h << " mode " << mode;
                }
            }
        }
    }
}

// The vector kernels against the portable ones on frames wide enough for
// many blocks per row, with extreme samples mixed in.
TEST(DemosaicVariants, Avx2AndBaselineAgreeBitForBit) {
    if (!CpuHasAvx2()) GTEST_SKIP() << "no AVX2 on this processor";
    uint32_t seed = 7;
    for (const Format& format : kFormats) {
        for (const int32_t width : {203, 256, 517}) {
            CDibImage raw = test::RandomImage(width, 21, format.rawBits, ++seed);
            // Runs of full-scale and zero samples to reach the clipping paths.
            std::memset(raw.Row(3), 0xFF, raw.Stride());
            std::memset(raw.Row(4), 0x00, raw.Stride());
            for (int32_t mode = 0; mode < 4; ++mode) {
                for (const int32_t gain : {0, 100, 173, 400}) {
                    CDibImage baseline = test::RandomImage(width, 21, format.outBits, ++seed);
                    CDibImage avx2 = test::CopyOf(baseline);
                    ASSERT_EQ(Demosaic(baseline, raw, mode, gain, 400 - gain, KernelLevel::kBaseline), 1);
                    ASSERT_EQ(Demosaic(avx2, raw, mode, gain, 400 - gain, KernelLevel::kAvx2), 1);
                    ASSERT_TRUE(test::SameBytes(baseline, avx2))
                        << "out " << format.outBits << " width " << width << " mode " << mode << " gain " << gain;
                }
            }
        }
    }
}

TEST(WhiteBalance, MeansFiftyHundredTwoHundredGiveTwoHundredAndFifty) {
    for (const int32_t bits : {8, 16}) {
        for (int32_t mode = 0; mode < 4; ++mode) {
            const CDibImage raw = FlatBayer(10, 6, bits, mode, 50, 100, 200);
            WhiteBalanceGains gains{1, 2, 3};
            ASSERT_TRUE(MeasureWhiteBalance(raw, mode, &gains));
            EXPECT_EQ(gains.red, 200);
            EXPECT_EQ(gains.green, 100);
            EXPECT_EQ(gains.blue, 50);
        }
    }
}

TEST(WhiteBalance, CountsBothGreensAndUsesTheGivenPattern) {
    // Mode 1 frame: the greens average 120 (100 and 140), red 60, blue 240.
    CDibImage raw;
    ASSERT_EQ(raw.Create(8, 4, 8), 1);
    for (int32_t y = 0; y < 4; ++y) {
        for (int32_t x = 0; x < 8; ++x) {
            const Colour c = ColourAt(1, x, y);
            test::Set(raw, x, y, c == Colour::kRed ? 60 : c == Colour::kBlue ? 240 : (y & 1) ? 140 : 100);
        }
    }
    WhiteBalanceGains gains;
    ASSERT_TRUE(MeasureWhiteBalance(raw, 1, &gains));
    EXPECT_EQ(gains.red, 200);
    EXPECT_EQ(gains.blue, 50);
    // Read as mode 2, the same samples are blue (60) and red (240).
    ASSERT_TRUE(MeasureWhiteBalance(raw, 2, &gains));
    EXPECT_EQ(gains.red, 50);
    EXPECT_EQ(gains.blue, 200);
}

TEST(WhiteBalance, CapsAtFourHundredAndSkipsFramesItCannotMeasure) {
    WhiteBalanceGains gains{7, 8, 9};
    // Red mean 10 against green 100 would be 1000; blue equal to green is
    // exactly neutral.
    ASSERT_TRUE(MeasureWhiteBalance(FlatBayer(6, 6, 8, 0, 10, 100, 100), 0, &gains));
    EXPECT_EQ(gains.red, 400);
    EXPECT_EQ(gains.blue, 100);
    // A black red channel takes the cap rather than dividing by zero.
    ASSERT_TRUE(MeasureWhiteBalance(FlatBayer(6, 6, 8, 0, 0, 100, 100), 0, &gains));
    EXPECT_EQ(gains.red, 400);
    // A black green channel gives 0 for the others.
    ASSERT_TRUE(MeasureWhiteBalance(FlatBayer(6, 6, 8, 0, 50, 0, 50), 0, &gains));
    EXPECT_EQ(gains.red, 0);
    EXPECT_EQ(gains.blue, 0);

    gains = {7, 8, 9};
    EXPECT_FALSE(MeasureWhiteBalance(FlatBayer(6, 6, 8, 0, 0, 0, 0), 0, &gains));  // black
    EXPECT_FALSE(MeasureWhiteBalance(FlatBayer(6, 1, 8, 0, 50, 100, 200), 0, &gains));  // one row: no red
    EXPECT_FALSE(MeasureWhiteBalance(FlatBayer(1, 6, 8, 0, 50, 100, 200), 0, &gains));  // one column: no blue
    EXPECT_EQ(gains.red, 7);
    EXPECT_EQ(gains.green, 8);
    EXPECT_EQ(gains.blue, 9);
}

}  // namespace
}  // namespace vantix
