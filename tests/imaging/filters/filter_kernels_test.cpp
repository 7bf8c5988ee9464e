// Every kernel level of every picture filter against the portable kernels,
// which are the filters as they were before the vector kernels came: random
// images of every format the filter takes, widths on both sides of the
// vector blocks (8, 16, 32 and 64 samples), and the ends of the settings'
// ranges. Byte for byte, the fourth channel and the row padding included.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "filter_test_images.h"
#include "imaging/cpu_dispatch.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/filters.h"
#include "imaging/filters/tone_table.h"

namespace vantix {
namespace {

using namespace filter_test;

constexpr int32_t kWidths[] = {1, 2, 5, 7, 8, 15, 16, 17, 21, 31, 32, 33, 63, 64, 65, 97, 131};
// The tone filters build a 65536-entry table per call; fewer widths keep
// them quick and still cross every block size.
constexpr int32_t kToneWidths[] = {1, 7, 17, 33, 63, 65, 131};

// The levels above the portable one that this processor runs (a level it
// lacks would only repeat a lower one).
std::vector<KernelLevel> VectorLevels() {
    std::vector<KernelLevel> levels;
    for (const KernelLevel level : {KernelLevel::kAvx2, KernelLevel::kAvx512}) {
        if (SupportedLevel(level) == level) levels.push_back(level);
    }
    return levels;
}

using Filter = std::function<int(CDibImage&, KernelLevel)>;

// Runs filter at every vector level on random images and compares each with
// the portable result.
template <size_t kCount>
void ExpectSameAsPortable(const Filter& filter, const std::vector<int32_t>& depths, const int32_t (&widths)[kCount],
                          uint32_t seed, const char* what) {
    for (const int32_t bits : depths) {
        for (const int32_t width : widths) {
            const CDibImage original = RandomImage(width, 3, bits, seed++);
            CDibImage expected = Copy(original);
            ASSERT_EQ(filter(expected, KernelLevel::kBaseline), 1) << what;
            for (const KernelLevel level : VectorLevels()) {
                CDibImage image = Copy(original);
                ASSERT_EQ(filter(image, level), 1) << what;
                ASSERT_TRUE(SameImage(image, expected))
                    << what << ", level " << static_cast<int>(level) << ", width " << width;
            }
        }
    }
}

const std::vector<int32_t> kEveryDepth{8, 16, 24, 32, 48, 64};
const std::vector<int32_t> kColourDepths{24, 32, 48, 64};

TEST(FilterKernels, ToneFiltersMatchThePortableKernels) {
    for (const int32_t gamma : {0, 1, 37, 99, 101, 140, 200}) {
        ExpectSameAsPortable([gamma](CDibImage& image, KernelLevel level) { return ApplyGamma(image, gamma, level); },
                             kEveryDepth, kToneWidths, 1000 + static_cast<uint32_t>(gamma), "gamma");
    }
    for (const int32_t contrast : {-127, -64, -1, 1, 30, 100, 127}) {
        ExpectSameAsPortable(
            [contrast](CDibImage& image, KernelLevel level) { return ApplyContrast(image, contrast, level); },
            kEveryDepth, kToneWidths, 2000 + static_cast<uint32_t>(contrast + 200), "contrast");
    }
    for (const int32_t brightness : {-255, -254, -100, -1, 1, 40, 128, 254, 255}) {
        ExpectSameAsPortable(
            [brightness](CDibImage& image, KernelLevel level) { return ApplyBrightness(image, brightness, level); },
            kEveryDepth, kToneWidths, 3000 + static_cast<uint32_t>(brightness + 300), "brightness");
    }
}

TEST(FilterKernels, HueSaturationMatchesThePortableKernels) {
    uint32_t seed = 4000;
    for (const auto& [hue, saturation] :
         {std::pair{0, 1}, std::pair{1, 0}, std::pair{40, 60}, std::pair{120, 0}, std::pair{-90, 40},
          std::pair{179, 200}, std::pair{300, -17}, std::pair{360, -255}, std::pair{-360, 255}, std::pair{-1, -1}}) {
        ExpectSameAsPortable([hue = hue, saturation = saturation](CDibImage& image, KernelLevel level) {
            return ApplyHueSaturation(image, hue, saturation, level);
        }, kColourDepths, kWidths, seed, "hue and saturation");
        seed += 100;
    }
}

// Samples the hue filter has rewritten keep only a high byte; the pipeline
// looks them up in the 256 entries they can reach. Against the whole table,
// at every level, for three and four samples per pixel (the fourth kept).
TEST(FilterKernels, HighByteToneLookupMatchesTheWholeTable) {
    filter_detail::ToneTable table;
    table.Reset(2);
    table.Then([](uint8_t* t) { filter_detail::BuildGammaTable(140, t); },
               [](uint16_t* t) { filter_detail::BuildGammaTable(140, t); });
    table.Then([](uint8_t* t) { filter_detail::BuildContrastTable(30, t); },
               [](uint16_t* t) { filter_detail::BuildContrastTable(30, t); });
    table.IndexHighBytes();
    std::mt19937 rng(6000);
    std::vector<KernelLevel> levels = VectorLevels();
    levels.push_back(KernelLevel::kBaseline);
    for (const int32_t step : {3, 4}) {
        for (const int32_t width : kWidths) {
            std::vector<uint16_t> original(static_cast<size_t>(width * step));
            for (uint16_t& sample : original) sample = static_cast<uint16_t>(rng() << 8);
            // Fourth samples are not the hue filter's: any value, kept.
            for (size_t i = 3; step == 4 && i < original.size(); i += 4) original[i] = static_cast<uint16_t>(rng());
            std::vector<uint16_t> expected = original;
            filter_detail::FilterKernelsFor(KernelLevel::kBaseline).tone16(expected.data(), width, step,
                                                                            table.entries16.data());
            for (const KernelLevel level : levels) {
                std::vector<uint16_t> row = original;
                filter_detail::FilterKernelsFor(level).toneHigh16(row.data(), width, step, table.highEntriesLow,
                                                                  table.highEntriesHigh);
                ASSERT_EQ(row, expected) << "level " << static_cast<int>(level) << ", step " << step << ", width "
                                         << width;
            }
        }
    }
}

// The vector kernels keep the per-pixel arithmetic in narrower lanes than
// the portable one: every one of the 16.7 million 8-bit colours, at the
// ends of the saturation range and at turns that land in different
// sextants, so that no rare colour escapes a random sample.
TEST(FilterKernels, HueSaturationMatchesThePortableKernelsForEveryColour) {
    CDibImage original;
    ASSERT_EQ(original.Create(4096, 4096, 24), 1);
    for (int32_t y = 0; y < 4096; ++y) {
        uint8_t* row = original.Row(y);
        for (int32_t x = 0; x < 4096; ++x) {
            const int32_t colour = y * 4096 + x;
            row[3 * x] = static_cast<uint8_t>(colour);
            row[3 * x + 1] = static_cast<uint8_t>(colour >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(colour >> 16);
        }
    }
    for (const auto& [hue, saturation] : {std::pair{40, 255}, std::pair{-90, -255}, std::pair{179, 200},
                                          std::pair{300, -17}}) {
        CDibImage expected = Copy(original);
        ASSERT_EQ(ApplyHueSaturation(expected, hue, saturation, KernelLevel::kBaseline), 1);
        for (const KernelLevel level : VectorLevels()) {
            CDibImage image = Copy(original);
            ASSERT_EQ(ApplyHueSaturation(image, hue, saturation, level), 1);
            ASSERT_TRUE(SameImage(image, expected))
                << "hue " << hue << ", saturation " << saturation << ", level " << static_cast<int>(level);
        }
    }
}

// The sharpness filter's tenth of a correction through the reciprocal, over
// every value a correction can take.
TEST(FilterKernels, TruncatedTenthIsTheIntegerDivisionOverTheWholeRange) {
    for (int32_t x = -30 * 65535; x <= 30 * 65535; ++x) {
        ASSERT_EQ(filter_detail::TruncatedTenth(x), x / 10) << x;
    }
}

// Sharpness needs five rows for an interior row; the scratch image is a
// different random image so that a kernel reading the destination shows.
TEST(FilterKernels, SharpnessMatchesThePortableKernels) {
    uint32_t seed = 5000;
    for (const int32_t strength : {1, 7, 10, 29, 30}) {
        for (const int32_t bits : kEveryDepth) {
            for (const int32_t width : kWidths) {
                const CDibImage original = RandomImage(width, 7, bits, seed++);
                const CDibImage scratch = RandomImage(width, 7, bits, seed++);
                CDibImage expected = Copy(original);
                ASSERT_EQ(ApplySharpness(expected, scratch, strength, KernelLevel::kBaseline), 1);
                for (const KernelLevel level : VectorLevels()) {
                    CDibImage image = Copy(original);
                    ASSERT_EQ(ApplySharpness(image, scratch, strength, level), 1);
                    ASSERT_TRUE(SameImage(image, expected))
                        << "sharpness " << strength << ", level " << static_cast<int>(level) << ", width " << width;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vantix
