#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "filter_test_images.h"
#include "imaging/filters/filters.h"

namespace vantix {
namespace {

using namespace filter_test;

// Value-by-value definitions on a scale 0..top.
int32_t ContrastOf(int32_t i, int32_t c8, int32_t top) {
    const int32_t c = top == 255 ? c8 : c8 * 256;
    if (i < c) return 0;
    if (i > top - c) return top;
    return static_cast<int32_t>(std::trunc((top + 1.0) / (top + 1.0 - 2.0 * c) * (i - c)));
}

int32_t GammaOf(int32_t i, int32_t g, int32_t top) {
    if (i == 0) return 0;
    const double v = top * std::pow(static_cast<double>(i) / top, 1.0 / (g / 100.0));
    return static_cast<int32_t>(std::min(std::trunc(v), static_cast<double>(top)));
}

// The image with every B, G, R (or gray) sample v replaced by f(v, top).
CDibImage Mapped(const CDibImage& image, const std::function<int32_t(int32_t, int32_t)>& f) {
    CDibImage out = Copy(image);
    const int32_t bits = image.BitsPerPixel();
    for (int32_t y = 0; y < image.Height(); ++y)
        for (int32_t x = 0; x < image.Width(); ++x)
            for (int32_t c = 0; c < Channels(bits); ++c) Set(out, x, y, c, f(Get(image, x, y, c), TopOf(bits)));
    return out;
}

TEST(ContrastGammaFilter, KnownValues) {
    CDibImage ramp;
    ASSERT_EQ(ramp.Create(256, 1, 8), 1);
    for (int32_t i = 0; i < 256; ++i) ramp.Bits()[i] = static_cast<uint8_t>(i);
    CDibImage image = Copy(ramp);
    ApplyContrast(image, 100);
    EXPECT_TRUE(image.Bits()[99] == 0 && image.Bits()[156] == 255 && image.Bits()[128] == 128);
    image = Copy(ramp);
    ApplyContrast(image, -127);
    EXPECT_TRUE(image.Bits()[0] == 63 && image.Bits()[255] == 191);
    image = Copy(ramp);
    ApplyGamma(image, 200);
    EXPECT_EQ(image.Bits()[64], 127);
    for (const int32_t bits : {8, 16, 24, 48}) {  // gamma 0: all black but full scale
        CDibImage dark = Filled(2, 2, bits, TopOf(bits) - 1);
        Set(dark, 1, 1, 0, TopOf(bits));
        ApplyGamma(dark, 0);
        EXPECT_TRUE(Get(dark, 0, 0) == 0 && Get(dark, 1, 1) == TopOf(bits)) << bits;
    }
}

// Random images of every format, and every 16-bit table entry once, at the
// ends of the ranges and beyond them.
TEST(ContrastGammaFilter, MatchDefinitionsForEveryFormat) {
    using Filter = int (*)(CDibImage&, int32_t);
    using Definition = int32_t (*)(int32_t, int32_t, int32_t);
    const struct {
        Filter filter;
        Definition definition;
        std::vector<int32_t> settings;
        int32_t low, high;
    } cases[] = {{ApplyContrast, ContrastOf, {-5000, -127, -64, -1, 0, 1, 100, 127}, -127, 127},
                 {ApplyGamma, GammaOf, {-50, 0, 1, 37, 100, 101, 200, 900}, 0, 200}};
    CDibImage ramp;
    ASSERT_EQ(ramp.Create(256, 256, 16), 1);
    for (int32_t i = 0; i < 65536; ++i) Set(ramp, i % 256, i / 256, 0, i);
    uint32_t seed = 100;
    for (const auto& filter : cases) {
        for (const int32_t setting : filter.settings) {
            const int32_t clamped = std::clamp(setting, filter.low, filter.high);
            const auto f = [&](int32_t v, int32_t top) { return filter.definition(v, clamped, top); };
            for (const int32_t bits : kAllDepths) {
                CDibImage image = RandomImage(bits <= 16 ? 61 : 13, 7, bits, seed++);
                const CDibImage expected = Mapped(image, f);
                ASSERT_EQ(filter.filter(image, setting), 1);
                ASSERT_TRUE(SameImage(image, expected)) << setting;
            }
            CDibImage image = Copy(ramp);
            filter.filter(image, setting);
            ASSERT_TRUE(SameImage(image, Mapped(ramp, f))) << setting;
        }
    }
}

}  // namespace
}  // namespace vantix
