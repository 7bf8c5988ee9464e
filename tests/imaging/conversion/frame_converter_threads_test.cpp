// The conversion spread over several threads against the conversion on one:
// every colour mode, the filters on and off in many combinations, frames of
// odd sizes, byte for byte in the raw buffer, the output and the filter
// scratch, and in the settings written back. Each converter keeps its
// workspace across the frames, so a stale cached table or scratch shows too.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "conversion_test_util.h"
#include "imaging/conversion_workspace.h"
#include "imaging/defect_mask.h"
#include "imaging/demosaic.h"
#include "imaging/filters/filters.h"
#include "imaging/frame_converter.h"

namespace vantix {
namespace {

// The session's buffers for one frame size, filled identically for both
// converters.
struct Buffers {
    std::array<CDibImage, kImageSlotCount> images;
    ImageSlots slots{};
    CriticalSection maskLock;

    Buffers(int32_t width, int32_t height) {
        const int32_t bits[] = {8, 16, 24, 32, 48, 64};
        for (size_t slot = 0; slot < 6; ++slot) images[slot].Create(width, height, bits[slot]);
        const int32_t maskBits[] = {8, 8, 16, 16, 8, 8, 16, 16, 8, 16};
        for (int32_t i = 0; i < 10; ++i) {
            images[static_cast<size_t>(kSlotMaskDark8 + i)].Create(width, height, maskBits[i]);
        }
        for (size_t i = 0; i < slots.size(); ++i) slots[i] = &images[i];
    }
};

// Random mask references (dark low, bright high, some pairs equal or
// crossed) and sparse defect maps.
void FillMasks(Buffers& buffers, std::mt19937& random) {
    for (const int32_t slot : {kSlotMaskDark8, kSlotMaskBright8, kSlotMaskDark16, kSlotMaskBright16}) {
        CDibImage& image = buffers.images[static_cast<size_t>(slot)];
        const bool bright = slot == kSlotMaskBright8 || slot == kSlotMaskBright16;
        const uint32_t top = image.BitsPerPixel() == 8 ? 255 : 65535;
        for (int32_t y = 0; y < image.Height(); ++y) {
            for (int32_t x = 0; x < image.Width(); ++x) {
                const uint32_t r = random() % (top + 1);
                test::Set(image, x, y, random() % 16 == 0 ? r : bright ? top - r / 8 : r / 8);
            }
        }
    }
    for (const int32_t slot : {kSlotHotMap8, kSlotDeadMap8, kSlotHotMap16, kSlotDeadMap16}) {
        CDibImage& image = buffers.images[static_cast<size_t>(slot)];
        std::memset(image.Bits(), 0, image.ImageBytes());
        for (int32_t i = 0; i < image.Width() * image.Height() / 40; ++i) {
            test::Set(image, static_cast<int32_t>(random() % image.Width()),
                      static_cast<int32_t>(random() % image.Height()), 1);
        }
    }
}

// A raw frame: fully random, or a smooth field with sparse bright and dark
// samples (so that the defect filters replace single samples and runs).
void FillRaw(CDibImage& raw, std::mt19937& random, bool smooth) {
    const uint32_t top = raw.BitsPerPixel() == 8 ? 255 : 65535;
    for (int32_t y = 0; y < raw.Height(); ++y) {
        for (int32_t x = 0; x < raw.Width(); ++x) {
            uint32_t v = random() % (top + 1);
            if (smooth) {
                v = (top / 4) + (top / 2) * static_cast<uint32_t>((x * 7 + y * 3) % 64) / 64 + random() % (top / 64);
                if (random() % 23 == 0) v = random() % 2 == 0 ? top : 0;
            }
            test::Set(raw, x, y, v);
        }
    }
}

ConversionSettings RandomSettings(int32_t colorMode, int32_t width, int32_t height, std::mt19937& random) {
    auto pick = [&random](std::initializer_list<int32_t> values) {
        return *(values.begin() + random() % values.size());
    };
    auto on = [&random] { return random() % 2 == 0; };
    ConversionSettings s;
    s.colorMode = colorMode;
    s.subSample = pick({0, 0, 16});
    s.windowWidth = width;
    s.windowHeight = height;
    s.bayerMode = static_cast<int32_t>(random() % 4);
    s.bayerGainRed = pick({0, 100, 150, 400});
    s.bayerGainBlue = pick({0, 80, 100, 400});
    s.bayerGainAuto = random() % 4 == 0 ? 1 : 0;
    s.grayMode = static_cast<int32_t>(random() % 3);
    s.gray = {pick({128, 255}), 128, pick({0, 128}), 128, 128, pick({128, 200}), 128, 128};
    s.mirrorH = random() % 4 == 0;
    s.mirrorV = random() % 4 == 0;
    s.maskFilter = on();
    s.dotFilter = on();
    s.brightness = on() ? pick({-255, -40, 60, 255}) : 0;
    s.contrast = on() ? pick({-127, -20, 30, 127}) : 0;
    s.hue = on() ? pick({-360, -90, 40, 120}) : 0;
    s.saturation = on() ? pick({-255, 60, 255}) : 0;
    s.sharpness = on() ? pick({1, 12, 30}) : 0;
    s.gamma = on() ? pick({0, 40, 140, 200}) : 100;
    return s;
}

::testing::AssertionResult SameSlots(const Buffers& actual, const Buffers& expected) {
    // The filter scratch is working memory whose rows depend on the band
    // split; every buffer the session shows is compared.
    for (const int32_t slot : {kSlotRaw8, kSlotRaw16, kSlotColor24, kSlotColor32, kSlotColor48, kSlotColor64,
                               kSlotDotWork8, kSlotDotWork16}) {
        const CDibImage& a = actual.images[static_cast<size_t>(slot)];
        const CDibImage& b = expected.images[static_cast<size_t>(slot)];
        if (a.IsEmpty() != b.IsEmpty()) return ::testing::AssertionFailure() << "slot " << slot << " made on one side";
        if (a.IsEmpty()) continue;
        if (!test::SameBytes(a, b)) return ::testing::AssertionFailure() << "slot " << slot << " differs";
    }
    return ::testing::AssertionSuccess();
}

TEST(ConvertFrameThreads, EqualsTheSingleThreadedConversion) {
    std::mt19937 random(2024);
    for (const auto& [width, height] : {std::pair{37, 41}, std::pair{53, 70}, std::pair{6, 97}}) {
        for (const int32_t threads : {2, 3, 7}) {
            Buffers single(width, height);
            Buffers spread(width, height);
            // The dot filter's work maps hold the frame's marks afterwards.
            single.images[kSlotDotWork8].Create(width, height, 8);
            single.images[kSlotDotWork16].Create(width, height, 16);
            spread.images[kSlotDotWork8].Create(width, height, 8);
            spread.images[kSlotDotWork16].Create(width, height, 16);
            FillMasks(single, random);
            for (size_t slot = kSlotMaskDark8; slot <= kSlotDeadMap16; ++slot) {
                std::memcpy(spread.images[slot].Bits(), single.images[slot].Bits(), single.images[slot].ImageBytes());
            }
            ConversionWorkspace one(1);
            ConversionWorkspace many(threads);
            ASSERT_EQ(many.Threads(), threads);
            FrameConverter first(single.slots, single.maskLock, nullptr, &one);
            FrameConverter second(spread.slots, spread.maskLock, nullptr, &many);
            for (int32_t frame = 0; frame < 36; ++frame) {
                const int32_t colorMode = frame % kColorModeCount;
                CDibImage& raw = single.images[static_cast<size_t>(RawSlotOf(colorMode))];
                FillRaw(raw, random, frame % 3 != 0);
                std::memcpy(spread.images[static_cast<size_t>(RawSlotOf(colorMode))].Bits(), raw.Bits(),
                            raw.ImageBytes());
                ConversionSettings a = RandomSettings(colorMode, width, height, random);
                ConversionSettings b = a;
                const ConversionResult ra = first.Convert(a);
                const ConversionResult rb = second.Convert(b);
                const std::string what = std::to_string(width) + " x " + std::to_string(height) + ", " +
                                         std::to_string(threads) + " threads, frame " + std::to_string(frame);
                ASSERT_TRUE(ra.converted) << what;
                ASSERT_EQ(rb.converted, ra.converted) << what;
                ASSERT_EQ(rb.bayerGainsChanged, ra.bayerGainsChanged) << what;
                ASSERT_EQ(rb.grayGainsChanged, ra.grayGainsChanged) << what;
                ASSERT_EQ(b.bayerGainRed, a.bayerGainRed) << what;
                ASSERT_EQ(b.bayerGainBlue, a.bayerGainBlue) << what;
                ASSERT_TRUE(SameSlots(spread, single)) << what;
            }
        }
    }
}

// Every filter on at once, on four threads, against the whole-image stages
// called one after the other on one thread: the folded tone table and the
// bands together change nothing, in every colour mode.
TEST(ConvertFrameThreads, EveryFilterAtOnceMatchesTheStagesOneByOne) {
    std::mt19937 random(77);
    const int32_t width = 45;
    const int32_t height = 67;
    for (int32_t colorMode = 0; colorMode < kColorModeCount; ++colorMode) {
        Buffers buffers(width, height);
        FillMasks(buffers, random);
        CDibImage& raw = buffers.images[static_cast<size_t>(RawSlotOf(colorMode))];
        FillRaw(raw, random, true);
        ConversionSettings settings;
        settings.colorMode = colorMode;
        settings.windowWidth = width;
        settings.windowHeight = height;
        settings.bayerGainAuto = 1;
        settings.maskFilter = true;
        settings.dotFilter = true;
        settings.brightness = 30;
        settings.contrast = 20;
        settings.hue = 50;
        settings.saturation = 40;
        settings.sharpness = 10;
        settings.gamma = 120;

        const bool wide = raw.BytesPerPixel() == 2;
        CDibImage expectedRaw = test::CopyOf(raw);
        FlatFieldWindow window;
        window.width = width;
        window.height = height;
        auto mask = [&buffers](int32_t slot) -> const CDibImage& { return buffers.images[static_cast<size_t>(slot)]; };
        ASSERT_TRUE(FlatFieldCorrection(&expectedRaw, mask(wide ? kSlotMaskDark16 : kSlotMaskDark8),
                                        mask(wide ? kSlotMaskBright16 : kSlotMaskBright8), window));
        CDibImage noWorkMap;
        ApplyDotFilter(expectedRaw, mask(wide ? kSlotHotMap16 : kSlotHotMap8),
                       mask(wide ? kSlotDeadMap16 : kSlotDeadMap8), noWorkMap);
        ApplyHotPixelFilter(expectedRaw, 3, 100, 100);
        CDibImage expected = test::CopyOf(buffers.images[static_cast<size_t>(OutputSlotOf(colorMode))]);
        if (colorMode >= 2) {
            WhiteBalanceGains gains;
            ASSERT_TRUE(MeasureWhiteBalance(expectedRaw, 3, &gains));
            ASSERT_EQ(Demosaic(expected, expectedRaw, 3, gains.red, gains.blue), 1);
            ApplyHueSaturation(expected, 50, 40);
        } else {
            expected = test::CopyOf(expectedRaw);
        }
        ApplyGamma(expected, 120);
        ApplyContrast(expected, 20);
        CDibImage scratch;
        ASSERT_EQ(CopyToFilterScratch(expected, scratch), 1);
        ApplySharpness(expected, scratch, 10);
        ApplyBrightness(expected, 30);

        ConversionWorkspace many(4);
        ASSERT_TRUE(FrameConverter(buffers.slots, buffers.maskLock, nullptr, &many).Convert(settings).converted);
        EXPECT_TRUE(test::SameBytes(buffers.images[static_cast<size_t>(OutputSlotOf(colorMode))], expected))
            << "colour mode " << colorMode;
        if (colorMode >= 2) {
            EXPECT_TRUE(test::SameBytes(raw, expectedRaw)) << "colour mode " << colorMode;
        }
    }
}

}  // namespace
}  // namespace vantix
