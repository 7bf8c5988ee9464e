// The flat-field correction's vector kernels (floating-point division)
// against the portable ones (integer division): every 8-bit combination of
// sample, dark and bright reference, and random 16-bit ones with the ends of
// the scale, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "imaging/cpu_dispatch.h"
#include "imaging/defect_mask.h"

namespace vantix {
namespace {

std::vector<KernelLevel> VectorLevels() {
    std::vector<KernelLevel> levels;
    for (const KernelLevel level : {KernelLevel::kAvx2, KernelLevel::kAvx512}) {
        if (SupportedLevel(level) == level) levels.push_back(level);
    }
    return levels;
}

CDibImage CopyOf(const CDibImage& image) {
    CDibImage copy;
    EXPECT_EQ(copy.CopyFormat(&image), 1);
    std::memcpy(copy.Bits(), image.Bits(), image.ImageBytes());
    return copy;
}

// dark(x, y) = x, bright(x, y) = y, and the sample walks through all 256
// values over the runs, so every (sample, dark, bright) triple is met once.
TEST(FlatFieldKernels, EveryEightBitCombinationMatchesTheIntegerDivision) {
    CDibImage dark, bright, raw;
    ASSERT_EQ(dark.Create(256, 256, 8), 1);
    ASSERT_EQ(bright.Create(256, 256, 8), 1);
    ASSERT_EQ(raw.Create(256, 256, 8), 1);
    for (int32_t y = 0; y < 256; ++y) {
        for (int32_t x = 0; x < 256; ++x) {
            dark.Row(y)[x] = static_cast<uint8_t>(x);
            bright.Row(y)[x] = static_cast<uint8_t>(y);
        }
    }
    FlatFieldWindow window;
    window.width = 256;
    window.height = 256;
    const std::vector<KernelLevel> levels = VectorLevels();
    for (int32_t run = 0; run < 256; ++run) {
        for (int32_t y = 0; y < 256; ++y) {
            for (int32_t x = 0; x < 256; ++x) raw.Row(y)[x] = static_cast<uint8_t>(x * 7 + y * 13 + run);
        }
        CDibImage expected = CopyOf(raw);
        ASSERT_TRUE(FlatFieldCorrection(&expected, dark, bright, window, 0, 256, KernelLevel::kBaseline));
        for (const KernelLevel level : levels) {
            CDibImage actual = CopyOf(raw);
            ASSERT_TRUE(FlatFieldCorrection(&actual, dark, bright, window, 0, 256, level));
            ASSERT_EQ(std::memcmp(actual.Bits(), expected.Bits(), expected.ImageBytes()), 0)
                << "run " << run << ", level " << static_cast<int>(level);
        }
    }
}

TEST(FlatFieldKernels, SixteenBitMatchesTheIntegerDivision) {
    const int32_t width = 203;
    const int32_t height = 61;
    CDibImage dark, bright, raw;
    ASSERT_EQ(dark.Create(width, height, 16), 1);
    ASSERT_EQ(bright.Create(width, height, 16), 1);
    ASSERT_EQ(raw.Create(width, height, 16), 1);
    std::mt19937 random(16);
    const uint16_t ends[] = {0, 1, 2, 32767, 32768, 65534, 65535};
    auto sample = [&]() -> uint16_t {
        return random() % 4 == 0 ? ends[random() % 7] : static_cast<uint16_t>(random());
    };
    for (int32_t y = 0; y < height; ++y) {
        auto* d = reinterpret_cast<uint16_t*>(dark.Row(y));
        auto* b = reinterpret_cast<uint16_t*>(bright.Row(y));
        auto* v = reinterpret_cast<uint16_t*>(raw.Row(y));
        for (int32_t x = 0; x < width; ++x) {
            d[x] = sample();
            // Mostly a bright reference above the dark one, as after a
            // calibration; some equal or below.
            b[x] = random() % 8 == 0 ? sample() : static_cast<uint16_t>(d[x] + 1 + random() % (65535 - d[x] + 1));
            if (b[x] < d[x] && random() % 2 == 0) b[x] = d[x];
            v[x] = sample();
        }
    }
    FlatFieldWindow window;
    window.width = width;
    window.height = height;
    CDibImage expected = CopyOf(raw);
    ASSERT_TRUE(FlatFieldCorrection(&expected, dark, bright, window, 0, height, KernelLevel::kBaseline));
    for (const KernelLevel level : VectorLevels()) {
        CDibImage actual = CopyOf(raw);
        ASSERT_TRUE(FlatFieldCorrection(&actual, dark, bright, window, 0, height, level));
        EXPECT_EQ(std::memcmp(actual.Bits(), expected.Bits(), expected.ImageBytes()), 0)
            << "level " << static_cast<int>(level);
    }
}

}  // namespace
}  // namespace vantix
