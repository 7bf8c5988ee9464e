#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "filter_test_images.h"
#include "imaging/filters/filters.h"

namespace vantix {
namespace {

using namespace filter_test;

// Each B, G, R (or gray) sample becomes trunc(sample * t), t rounded to float,
// the product taken in float and clamped to the scale; nothing else changes.
CDibImage ReferenceBrightness(const CDibImage& image, int32_t b) {
    const auto t = static_cast<float>(b > 0 ? 1.0 + b * 10.0 / 255.0 : 1.0 - std::abs(b) / 255.0);
    CDibImage out = Copy(image);
    const int32_t bits = image.BitsPerPixel();
    for (int32_t y = 0; y < image.Height(); ++y)
        for (int32_t x = 0; x < image.Width(); ++x)
            for (int32_t c = 0; c < Channels(bits); ++c) {
                const float product = static_cast<float>(Get(image, x, y, c)) * t;
                Set(out, x, y, c, static_cast<int32_t>(std::min<double>(std::trunc(product), TopOf(bits))));
            }
    return out;
}

TEST(BrightnessFilter, MatchesReferenceForEveryFormat) {
    uint32_t seed = 1;
    for (const int32_t bits : kAllDepths) {
        for (const int32_t b : {-255, -200, -1, 0, 1, 37, 128, 255}) {
            for (const auto& [w, h] : {std::pair{1, 1}, std::pair{7, 3}, std::pair{33, 5}}) {
                CDibImage image = RandomImage(w, h, bits, seed++);
                const CDibImage expected = ReferenceBrightness(image, b);
                ASSERT_EQ(ApplyBrightness(image, b), 1);
                ASSERT_TRUE(SameImage(image, expected)) << "brightness " << b;
            }
        }
    }
}

TEST(BrightnessFilter, EndsOfTheRangeAndBeyond) {
    for (const int32_t bits : kAllDepths) {
        const int32_t top = TopOf(bits);
        CDibImage image = Filled(5, 2, bits, top / 11 + 1);
        Set(image, 0, 0, 0, top / 12);
        ApplyBrightness(image, 255);  // x 11
        EXPECT_EQ(Get(image, 1, 1), top) << bits;
        EXPECT_EQ(Get(image, 0, 0), top / 12 * 11) << bits;
        ApplyBrightness(image, -255);
        EXPECT_EQ(Get(image, 1, 1) | Get(image, 0, 0), 0) << bits;
    }
    CDibImage image = RandomImage(9, 4, 48, 77);
    CDibImage clamped = Copy(image);
    ApplyBrightness(image, 100000);
    ApplyBrightness(clamped, 255);
    EXPECT_TRUE(SameImage(image, clamped));
}

// Through Apply the routine keeps to the rectangle it is handed, and with
// another image as source writes the filtered source into the destination.
TEST(BrightnessFilter, RoutineKeepsToItsRectangleAndSource) {
    CDibImage image = RandomImage(12, 9, 32, 5);
    const CDibImage before = Copy(image);
    const CDibImage all = ReferenceBrightness(before, 60);
    BrightnessSettings settings{60};
    const Rect rect{3, 2, 8, 6};  // picture rows 2..5 are memory rows 3..6
    ASSERT_EQ(image.Apply(BrightnessRoutine, nullptr, &rect, 3, 2, &settings, nullptr), 1);
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 12; ++x)
            for (int32_t c = 0; c < 4; ++c) {
                const bool inside = y >= 3 && y <= 6 && x >= 3 && x < 8;
                ASSERT_EQ(Get(image, x, y, c), Get(inside ? all : before, x, y, c)) << x << "," << y;
            }

    const CDibImage source = RandomImage(12, 9, 32, 6);
    CDibImage target = Filled(12, 9, 32, 0);
    settings.brightness = -90;
    ASSERT_EQ(target.Apply(BrightnessRoutine, &source, nullptr, 0, 0, &settings, nullptr), 1);
    CDibImage expected = ReferenceBrightness(source, -90);
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 12; ++x) Set(expected, x, y, 3, 0);  // the fourth byte is not taken over
    EXPECT_TRUE(SameImage(target, expected));

    CDibImage gray = RandomImage(12, 9, 8, 8);
    EXPECT_EQ(image.Apply(BrightnessRoutine, &gray, nullptr, 0, 0, &settings, nullptr), 0);
    EXPECT_EQ(image.Apply(BrightnessRoutine, nullptr, nullptr, 0, 0, nullptr, nullptr), 0);
}

}  // namespace
}  // namespace vantix
