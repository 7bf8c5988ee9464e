#include <gtest/gtest.h>

#include <algorithm>

#include "filter_test_images.h"
#include "imaging/filters/filters.h"

namespace vantix {
namespace {

using namespace filter_test;

// The hue and saturation step as defined, with its tables: the hue offset on
// the 1530-step circle, then per pixel the sextant, the new chroma and the
// rebuilt packed R << 16 | G << 8 | B. Neutral settings leave the image
// alone (the arithmetic by itself would move some colours by a level).
CDibImage ReferenceHueSaturation(const CDibImage& image, int32_t hue, int32_t s) {
    const int32_t h16 = ((hue * 65536 / 360) % 65536 + 65536) % 65536;
    const int32_t h6 = (h16 * 6) >> 8;
    int32_t a = h6 % 512 >= 256 ? h6 % 512 - 512 : h6 % 512;
    a += 510 * (((h6 + 256) / 512) % 3);
    a += a < 0 ? 1530 : a > 1529 ? -1530 : 0;
    uint32_t gray[256], recip[256];
    int32_t scaled[256], limit[511];
    for (uint32_t v = 0; v < 256; ++v) {
        gray[v] = v * 0x010101;
        recip[v] = v == 0 ? 0 : 0xFF0000u / v;
        scaled[v] = (static_cast<int32_t>(v) * (s + 256) * 256 + 0x8000) >> 16;
    }
    for (int32_t n = 0; n <= 510; ++n) limit[n] = std::min(n, 510 - n);
    const uint32_t mask[6] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF};
    const int32_t multiplier[6] = {-1, 256, -65536, 1, -256, 65536};

    CDibImage out = Copy(image);
    if (a == 0 && s == 0) return out;
    const int32_t bits = image.BitsPerPixel();
    const int32_t shift = SampleBytes(bits) == 2 ? 8 : 0;
    for (int32_t y = 0; y < image.Height(); ++y) {
        for (int32_t x = 0; x < image.Width(); ++x) {
            const int32_t b = Get(image, x, y, 0) >> shift, g = Get(image, x, y, 1) >> shift,
                          r = Get(image, x, y, 2) >> shift;
            int32_t larger = g, smaller = r, base = 3, numerator = b - r;
            if (r >= g) larger = r, smaller = g, base = 1, numerator = g - b;
            const int32_t mn = std::min(b, smaller);
            int32_t mx = larger;
            if (b > larger) mx = b, base = 5, numerator = r - g;
            if (numerator < 0) base -= 1, numerator += mx - mn;
            const int32_t n = mx + mn, d = mx - mn;
            const int32_t m = std::min(limit[n], scaled[d]);
            const int32_t lo = (n - m) >> 1, w = ((n + m) >> 1) - lo;
            uint32_t p = gray[lo];
            if (d != 0) {
                int32_t v = static_cast<int32_t>((static_cast<uint32_t>(numerator) * recip[d] + 0x8000) >> 16) + a % 255;
                int32_t index = base + a / 255;
                if (v > 254) ++index, v -= 255;
                p += (gray[w] & mask[index % 6]) + static_cast<uint32_t>(((w * v + 128) >> 8) * multiplier[index % 6]);
            }
            for (int32_t c = 0; c < 3; ++c) Set(out, x, y, c, static_cast<int32_t>((p >> (8 * c)) & 0xFF) << shift);
            if (bits == 64) Set(out, x, y, 3, 0);
        }
    }
    return out;
}

CDibImage Pixel24(int32_t r, int32_t g, int32_t b) {
    CDibImage image = Filled(1, 1, 24, 0);
    Set(image, 0, 0, 0, b);
    Set(image, 0, 0, 1, g);
    Set(image, 0, 0, 2, r);
    return image;
}

TEST(HueSaturationFilter, KnownValues) {
    CDibImage red = Pixel24(255, 0, 0);
    ASSERT_EQ(ApplyHueSaturation(red, 120, 0), 1);  // offset 509 of 1530 steps
    EXPECT_TRUE(Get(red, 0, 0, 2) == 2 && Get(red, 0, 0, 1) == 255 && Get(red, 0, 0, 0) == 0);
    CDibImage muted = Pixel24(200, 100, 30);
    ApplyHueSaturation(muted, 0, -255);
    EXPECT_TRUE(Get(muted, 0, 0, 2) == 115 && Get(muted, 0, 0, 1) == 114 && Get(muted, 0, 0, 0) == 114);

    CDibImage ramp;  // gray stays the same gray
    ASSERT_EQ(ramp.Create(256, 1, 24), 1);
    for (int32_t v = 0; v < 256; ++v)
        for (int32_t c = 0; c < 3; ++c) Set(ramp, v, 0, c, v);
    for (const auto& [hue, saturation] : {std::pair{90, 0}, std::pair{-360, 255}, std::pair{200, -255}}) {
        CDibImage image = Copy(ramp);
        ApplyHueSaturation(image, hue, saturation);
        EXPECT_TRUE(SameImage(image, ramp)) << hue << " / " << saturation;
    }
}

TEST(HueSaturationFilter, MatchesReferenceForEveryColourFormat) {
    uint32_t seed = 300;
    for (const int32_t bits : {24, 32, 48, 64}) {
        for (const auto& [hue, saturation] : {std::pair{0, 0}, std::pair{360, 0}, std::pair{120, 0}, std::pair{-90, 40},
                                              std::pair{360, -255}, std::pair{-360, 255}, std::pair{-1, 1},
                                              std::pair{179, 200}, std::pair{300, -17}}) {
            for (const int32_t width : {1, 5, 64}) {
                CDibImage image = RandomImage(width, 9, bits, seed++);
                const CDibImage expected = ReferenceHueSaturation(image, hue, saturation);
                ASSERT_EQ(ApplyHueSaturation(image, hue, saturation), 1);
                ASSERT_TRUE(SameImage(image, expected)) << "hue " << hue << " saturation " << saturation;
            }
        }
    }
}

TEST(HueSaturationFilter, SettingsAreClampedAndGrayFormatsRefused) {
    CDibImage image = RandomImage(30, 4, 24, 12);
    const CDibImage expected = ReferenceHueSaturation(image, 360, -255);
    ApplyHueSaturation(image, 1000, -1000);
    EXPECT_TRUE(SameImage(image, expected));
    for (const int32_t bits : {8, 16}) {
        CDibImage gray = RandomImage(6, 6, bits, 13);
        const CDibImage before = Copy(gray);
        EXPECT_EQ(ApplyHueSaturation(gray, 90, 90), 0);
        EXPECT_TRUE(SameImage(gray, before));
    }
}

}  // namespace
}  // namespace vantix
