#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

#include <vector>

#include "filter_test_images.h"
#include "imaging/cpu_dispatch.h"
#include "imaging/filters/filter_bands.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/filters.h"
#include "imaging/row_bands.h"

namespace vantix {
namespace {

using namespace filter_test;

enum Colour { R, G, B };

// Colour by Bayer mode, row parity and column parity (memory order).
constexpr Colour kBayer[4][2][2] = {{{G, B}, {R, G}}, {{R, G}, {G, B}}, {{B, G}, {G, R}}, {{G, R}, {B, G}}};

// The demosaic's colour of the 2 x 2 block ending at (x, y), found from
// distances: R and B weigh the four samples of their colour in the 4 x 4
// window around the block's centre by nearness (9, 3, 3, 1); G is the mean of
// the block's two greens. Strong when two channel differences exceed 30.
bool StrongColour(const CDibImage& raw, int32_t x, int32_t y, int32_t mode, int32_t kR, int32_t kB) {
    int32_t sums[3] = {0, 0, 0};
    for (int32_t j = y - 2; j <= y + 1; ++j)
        for (int32_t i = x - 2; i <= x + 1; ++i) {
            const int32_t d2 = (2 * (i - x) + 1) * (2 * (i - x) + 1) + (2 * (j - y) + 1) * (2 * (j - y) + 1);
            const Colour colour = kBayer[mode][j & 1][i & 1];
            const int32_t weight = colour == G ? (d2 == 2) : d2 == 2 ? 9 : d2 == 10 ? 3 : d2 == 18 ? 1 : 0;
            sums[colour] += weight * Get(raw, i, j);
        }
    const int32_t red = ((sums[R] * kR) >> 11) & 0xFF, blue = ((sums[B] * kB) >> 11) & 0xFF, green = sums[G] >> 1;
    return (std::abs(red - green) > 30) + (std::abs(red - blue) > 30) + (std::abs(green - blue) > 30) >= 2;
}

// Sample by sample in memory order, in place; returns the replacements.
int32_t ReferenceHotPixels(CDibImage& raw, int32_t mode, int32_t redGain, int32_t blueGain) {
    int32_t replaced = 0;
    for (int32_t y = 2; y < raw.Height() - 2; ++y)
        for (int32_t x = 2; x < raw.Width() - 2; ++x) {
            const int32_t v = Get(raw, x, y);
            const int32_t u = (Get(raw, x - 2, y) + Get(raw, x + 2, y) + Get(raw, x, y - 2) + Get(raw, x, y + 2)) >> 2;
            bool replace = v - u >= 30 && StrongColour(raw, x, y, mode, static_cast<int32_t>(redGain * 1.28),
                                                       static_cast<int32_t>(blueGain * 1.28));
            if (raw.BitsPerPixel() == 16) {
                replace = std::abs(v - u) >= 7680;
                for (int32_t j = y - 1; j <= y + 1; ++j)
                    for (int32_t i = x - 1; i <= x + 1; ++i)
                        replace = replace && ((i == x && j == y) || std::abs(v - Get(raw, i, j)) >= 7680);
            }
            if (replace) Set(raw, x, y, 0, u), ++replaced;
        }
    return replaced;
}

// Random samples make many replacements, often side by side, so later
// samples see earlier replacements.
TEST(HotPixelFilter, MatchesReferenceOnRandomImages) {
    uint32_t seed = 1000;
    for (const int32_t bits : {8, 16}) {
        for (int32_t mode = 0; mode < 4; ++mode) {
            for (const auto& [redGain, blueGain] : {std::pair{100, 100}, std::pair{400, 37}, std::pair{0, 250}}) {
                for (const auto& [w, h] :
                     {std::pair{1, 1}, std::pair{4, 9}, std::pair{5, 5}, std::pair{40, 23}, std::pair{139, 7}}) {
                    CDibImage image = RandomImage(w, h, bits, seed++);
                    CDibImage expected = Copy(image);
                    const int32_t count = ReferenceHotPixels(expected, mode, redGain, blueGain);
                    const int32_t result = ApplyHotPixelFilter(image, mode, redGain, blueGain);
                    ASSERT_TRUE(SameImage(image, expected)) << "mode " << mode << " gains " << redGain;
                    EXPECT_EQ(result, bits == 8 ? count : 1);
                }
            }
        }
    }
}

// The 8-bit screen's row kernel gives both tests of every sample at every
// level, against the reference tests: rows of random samples (a third pass
// the mean test) and of a smooth scene with a few dots (blocks with none),
// widths on both sides of the 32-sample blocks, every Bayer mode, both row
// parities, gains that make the colour test's product overflow 16 bits.
TEST(HotPixelFilter, ScreenKernelsGiveBothTestsOfEverySample) {
    std::vector<KernelLevel> levels{KernelLevel::kBaseline};
    for (const KernelLevel level : {KernelLevel::kAvx2, KernelLevel::kAvx512}) {
        if (SupportedLevel(level) == level) levels.push_back(level);
    }
    uint32_t seed = 7000;
    int32_t flagged = 0;
    for (const int32_t width : {5, 6, 33, 35, 36, 37, 70, 131, 200}) {
        for (const bool smooth : {false, true}) {
            CDibImage image = RandomImage(width, 6, 8, seed++);
            if (smooth) {
                for (int32_t y = 0; y < 6; ++y)
                    for (int32_t x = 0; x < width; ++x)
                        Set(image, x, y, 0, 60 + x % 7 + ((x * 7 + y * 3) % 97 == 0) * 150);
            }
            for (int32_t mode = 0; mode < 4; ++mode) {
                for (const auto& [redGain, blueGain] : {std::pair{100, 100}, std::pair{400, 37}, std::pair{0, 250}}) {
                    const int32_t kR = redGain * 128 / 100, kB = blueGain * 128 / 100;
                    for (const int32_t y : {2, 3}) {
                        std::vector<uint8_t> expected(static_cast<size_t>(width), 9);
                        for (int32_t x = 2; x < width - 2; ++x) {
                            const int32_t u = (Get(image, x - 2, y) + Get(image, x + 2, y) + Get(image, x, y - 2) +
                                               Get(image, x, y + 2)) >> 2;
                            expected[static_cast<size_t>(x)] =
                                Get(image, x, y) - u >= 30 && StrongColour(image, x, y, mode, kR, kB);
                            flagged += expected[static_cast<size_t>(x)];
                        }
                        for (const KernelLevel level : levels) {
                            std::vector<uint8_t> flags(static_cast<size_t>(width), 9);
                            filter_detail::HotPixelScreenJob job{};
                            for (int32_t i = 0; i < 5; ++i) job.rows[i] = image.Row(y - 2 + i);
                            job.flags = flags.data();
                            job.width = width;
                            job.rowFlag = ((mode & 1) != 0) != ((y & 1) != 0);
                            job.flaggedColumnParity = (mode & 2) != 0 ? 0 : 1;
                            job.redGain = kR;
                            job.blueGain = kB;
                            filter_detail::FilterKernelsFor(level).hotPixelScreen8(job);
                            ASSERT_EQ(flags, expected) << "level " << static_cast<int>(level) << ", width " << width
                                                       << ", mode " << mode << ", row " << y << ", gains " << redGain;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(flagged, 100);  // the images do exercise the colour test
}

// The two passes the conversion runs on several threads: bands (here run
// bottom band first, as a pool may) and mend.
void FilterInBands(CDibImage& raw, int32_t mode, int32_t redGain, int32_t blueGain, int32_t bands) {
    HotPixelScratch scratch;
    HotPixelPrepareBands(scratch, bands);
    for (int32_t k = bands - 1; k >= 0; --k) {
        HotPixelResolveBand(raw, mode, redGain, blueGain, BandOf(k, bands, raw.Height()), bands, scratch);
    }
    HotPixelMendBands(raw, mode, redGain, blueGain, bands, scratch);
}

// Random samples: replacements everywhere, so the rows under each band's
// first rows come out differently from the band's guess, often far down.
// A smooth field with bright dots on the rows around the band edges: the
// band's guess is wrong only there. Every band holds at least six rows.
TEST(HotPixelFilter, BandsAndMendGiveTheWholeImageResult) {
    uint32_t seed = 3000;
    for (const int32_t bits : {8, 16}) {
        for (const auto& [w, h, bands] : {std::tuple{37, 12, 2}, std::tuple{40, 41, 3}, std::tuple{64, 97, 7}}) {
            for (int32_t variant = 0; variant < 2; ++variant) {
                CDibImage image = RandomImage(w, h, bits, seed++);
                if (variant == 1) {
                    const int32_t unit = bits == 8 ? 1 : 256;
                    for (int32_t y = 0; y < h; ++y)
                        for (int32_t x = 0; x < w; ++x) Set(image, x, y, 0, (40 + (x + y) % 3) * unit);
                    for (int32_t k = 1; k < bands; ++k) {
                        const int32_t edge = BandOf(k, bands, h).begin;
                        for (int32_t y = edge - 3; y <= edge + 2; ++y)
                            for (int32_t x = 2 + (y & 1); x < w - 2; x += 5) Set(image, x, y, 0, (y % 2 ? 200 : 160) * unit);
                    }
                }
                for (const int32_t mode : {0, 3}) {
                    CDibImage expected = Copy(image);
                    ApplyHotPixelFilter(expected, mode, 150, 80);
                    CDibImage banded = Copy(image);
                    FilterInBands(banded, mode, 150, 80, bands);
                    ASSERT_TRUE(SameImage(banded, expected))
                        << bits << " bits, " << w << " x " << h << ", " << bands << " bands, variant " << variant;
                }
            }
        }
    }
}

TEST(HotPixelFilter, EightBitNeverTouchesADarkerSample) {
    for (int32_t mode = 0; mode < 4; ++mode) {
        CDibImage image = RandomImage(64, 48, 8, 2000 + static_cast<uint32_t>(mode));
        const CDibImage before = Copy(image);
        ASSERT_GT(ApplyHotPixelFilter(image, mode, 100, 100), 0);
        for (size_t i = 0; i < image.ImageBytes(); ++i) ASSERT_LE(image.Bits()[i], before.Bits()[i]) << i;
    }
}

TEST(HotPixelFilter, LoneSamplesGoButColourlessOrClusteredOnesStay) {
    // Mode 0: (4, 3) is red. 100 over a field of 100 makes its block red; 35
    // over it leaves the colour weak.
    for (const auto& [value, replaced] : {std::pair{200, 1}, std::pair{135, 0}}) {
        CDibImage image = Filled(9, 9, 8, 100);
        Set(image, 4, 3, 0, value);
        EXPECT_EQ(ApplyHotPixelFilter(image, 0, 100, 100), replaced);
        EXPECT_EQ(Get(image, 4, 3), replaced ? 100 : value);
    }
    CDibImage wide = Filled(12, 12, 16, 20000);
    Set(wide, 3, 3, 0, 40000);  // alone, bright
    Set(wide, 8, 3, 0, 2000);   // alone, dark
    Set(wide, 4, 8, 0, 40000);  // side by side: neither is alone
    Set(wide, 5, 8, 0, 40000);
    ApplyHotPixelFilter(wide, 3, 100, 100);
    EXPECT_TRUE(Get(wide, 3, 3) == 20000 && Get(wide, 8, 3) == 20000);
    EXPECT_TRUE(Get(wide, 4, 8) == 40000 && Get(wide, 5, 8) == 40000);

    CDibImage colour = RandomImage(10, 10, 24, 3001);
    EXPECT_EQ(ApplyHotPixelFilter(colour, 0, 100, 100), 0);
}

}  // namespace
}  // namespace vantix
