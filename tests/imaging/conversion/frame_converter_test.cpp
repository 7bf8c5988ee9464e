#include "imaging/frame_converter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "conversion_test_util.h"
#include "imaging/bayer_pattern.h"
#include "imaging/defect_mask.h"
#include "imaging/demosaic.h"
#include "imaging/filters/filters.h"
#include "imaging/mirror.h"

namespace vantix {
namespace {

using test::Get;

class ConvertFrameTest : public ::testing::Test {
protected:
    static constexpr int32_t kW = 48;
    static constexpr int32_t kH = 30;

    void SetUp() override {
        const int32_t bits[] = {8, 16, 24, 32, 48, 64};
        for (int32_t slot = 0; slot < 6; ++slot) {
            ASSERT_EQ(buffers_[static_cast<size_t>(slot)].Create(kW, kH, bits[slot]), 1);
        }
        // Mask references and maps at the frame's size; initial contents are
        // neutral (dark 0, bright full scale, no defects).
        const int32_t maskBits[] = {8, 8, 16, 16, 8, 8, 16, 16, 8, 16};
        for (int32_t i = 0; i < 10; ++i) {
            ASSERT_EQ(buffers_[static_cast<size_t>(kSlotMaskDark8 + i)].Create(kW, kH, maskBits[i]), 1);
        }
        std::memset(Buffer(kSlotMaskBright8).Bits(), 0xFF, Buffer(kSlotMaskBright8).ImageBytes());
        std::memset(Buffer(kSlotMaskBright16).Bits(), 0xFF, Buffer(kSlotMaskBright16).ImageBytes());
        for (size_t i = 0; i < slots_.size(); ++i) slots_[i] = &buffers_[i];
        settings_.windowWidth = kW;
        settings_.windowHeight = kH;
    }

    CDibImage& Buffer(int32_t slot) { return buffers_[static_cast<size_t>(slot)]; }

    void FillRaw(int32_t slot, uint32_t seed) {
        const CDibImage random = test::RandomImage(kW, kH, slot == kSlotRaw8 ? 8 : 16, seed);
        std::memcpy(Buffer(slot).Bits(), random.Bits(), random.ImageBytes());
    }

    void FillFlatBayer(int32_t slot, int32_t mode, uint32_t r, uint32_t g, uint32_t b) {
        for (int32_t y = 0; y < kH; ++y) {
            for (int32_t x = 0; x < kW; ++x) {
                const uint32_t v = bayer::IsRed(mode, x, y) ? r : bayer::IsBlue(mode, x, y) ? b : g;
                test::Set(Buffer(slot), x, y, v);
            }
        }
    }

    ConversionResult Convert(ExposureControl* exposure = nullptr) {
        FrameConverter converter(slots_, maskLock_, exposure);
        return converter.Convert(settings_);
    }

    std::array<CDibImage, kImageSlotCount> buffers_;
    ImageSlots slots_{};
    CriticalSection maskLock_;
    ConversionSettings settings_;
};

// Default settings: the hot-pixel filter and the demosaic with mode 3 and
// neutral gains, nothing else; sub-sampling mode 16 skips the filter.
TEST_F(ConvertFrameTest, DefaultColourModesAreHotPixelFilterThenDemosaic) {
    for (int32_t colorMode = 2; colorMode < 6; ++colorMode) {
        for (const int32_t subSample : {0, 16}) {
            settings_ = ConversionSettings{};
            settings_.colorMode = colorMode;
            settings_.subSample = subSample;
            const int32_t rawSlot = RawSlotOf(colorMode);
            FillRaw(rawSlot, static_cast<uint32_t>(10 * colorMode + subSample));
            CDibImage raw = test::CopyOf(Buffer(rawSlot));
            if (subSample == 0) ApplyHotPixelFilter(raw, 3, 100, 100);
            CDibImage expected = test::CopyOf(Buffer(OutputSlotOf(colorMode)));
            ASSERT_EQ(Demosaic(expected, raw, 3, 100, 100), 1);

            const ConversionResult result = Convert();
            EXPECT_TRUE(result.converted);
            EXPECT_FALSE(result.bayerGainsChanged || result.grayGainsChanged || result.exposureChanged);
            EXPECT_TRUE(test::SameBytes(Buffer(rawSlot), raw)) << colorMode << "/" << subSample;
            EXPECT_TRUE(test::SameBytes(Buffer(OutputSlotOf(colorMode)), expected)) << colorMode << "/" << subSample;
        }
    }
}

// Every stage switched on, against the stages called one by one in order.
TEST_F(ConvertFrameTest, StagesRunInTheirOrder) {
    settings_.colorMode = 3;
    settings_.bayerMode = 1;
    settings_.bayerGainRed = 150;
    settings_.bayerGainBlue = 80;
    settings_.mirrorH = true;
    settings_.mirrorV = true;
    settings_.hue = 40;
    settings_.saturation = -30;
    settings_.gamma = 140;
    settings_.contrast = 12;
    settings_.sharpness = 6;
    settings_.brightness = -20;
    settings_.maskFilter = true;
    settings_.dotFilter = true;
    FillRaw(kSlotRaw8, 3);
    std::memset(Buffer(kSlotMaskDark8).Bits(), 4, Buffer(kSlotMaskDark8).ImageBytes());

    CDibImage raw = test::CopyOf(Buffer(kSlotRaw8));
    FlatFieldWindow window;
    window.width = kW;
    window.height = kH;
    ASSERT_TRUE(FlatFieldCorrection(&raw, Buffer(kSlotMaskDark8), Buffer(kSlotMaskBright8), window));
    CDibImage work = test::CopyOf(Buffer(kSlotDotWork8));
    ApplyDotFilter(raw, Buffer(kSlotHotMap8), Buffer(kSlotDeadMap8), work);
    ApplyHotPixelFilter(raw, 1, 150, 80);
    ASSERT_EQ(MirrorRaw(raw, true, true), 1);
    CDibImage expected = test::CopyOf(Buffer(kSlotColor32));
    ASSERT_EQ(Demosaic(expected, raw, 2, 150, 80), 1);  // 1, rows flipped: 0, columns flipped: 2
    ApplyHueSaturation(expected, 40, -30);
    ApplyGamma(expected, 140);
    ApplyContrast(expected, 12);
    CDibImage scratch;
    ASSERT_EQ(CopyToFilterScratch(expected, scratch), 1);
    ApplySharpness(expected, scratch, 6);
    ApplyBrightness(expected, -20);

    EXPECT_TRUE(Convert().converted);
    EXPECT_TRUE(test::SameBytes(Buffer(kSlotColor32), expected));
}

TEST_F(ConvertFrameTest, VerticalSoftwareMirroringReversesRowsAndShiftsThePattern) {
    settings_.colorMode = 2;
    settings_.subSample = 16;
    settings_.bayerMode = 0;
    settings_.mirrorV = true;
    FillRaw(kSlotRaw8, 4);
    CDibImage flipped = test::CopyOf(Buffer(kSlotRaw8));
    ASSERT_EQ(MirrorRaw(flipped, false, true), 1);
    ASSERT_TRUE(Convert().converted);
    EXPECT_TRUE(test::SameBytes(Buffer(kSlotRaw8), flipped));

    // A flat mode-0 frame comes out in its true colours, so the demosaic
    // read the flipped frame as mode 1.
    FillFlatBayer(kSlotRaw8, 0, 200, 100, 50);
    ASSERT_TRUE(Convert().converted);
    for (int32_t y = 2; y < kH - 2; ++y) {
        for (int32_t x = 2; x < kW - 2; ++x) {
            ASSERT_EQ(Get(Buffer(kSlotColor24), x, y, 0), 50u);
            ASSERT_EQ(Get(Buffer(kSlotColor24), x, y, 1), 100u);
            ASSERT_EQ(Get(Buffer(kSlotColor24), x, y, 2), 200u);
        }
    }

    // The camera flips in hardware: the frame is left alone and is taken to
    // be delivered as mode 1 already.
    settings_.cameraMirrorsV = true;
    FillFlatBayer(kSlotRaw8, 1, 200, 100, 50);
    const CDibImage delivered = test::CopyOf(Buffer(kSlotRaw8));
    ASSERT_TRUE(Convert().converted);
    EXPECT_TRUE(test::SameBytes(Buffer(kSlotRaw8), delivered));
    EXPECT_EQ(Get(Buffer(kSlotColor24), 10, 10, 2), 200u);
}

TEST_F(ConvertFrameTest, OnePushWhiteBalanceMeasuresOnceAndClearsItsFlags) {
    settings_.colorMode = 4;
    settings_.subSample = 16;
    settings_.bayerMode = 2;
    settings_.bayerGainAuto = 1;
    settings_.bayerGainOneShotA = 1;
    settings_.bayerGainOneShotB = 1;
    FillFlatBayer(kSlotRaw16, 2, 50, 100, 200);
    const ConversionResult result = Convert();
    EXPECT_TRUE(result.converted);
    EXPECT_TRUE(result.bayerGainsChanged);
    EXPECT_EQ(settings_.bayerGainRed, 200);
    EXPECT_EQ(settings_.bayerGainGreen, 100);
    EXPECT_EQ(settings_.bayerGainBlue, 50);
    EXPECT_EQ(settings_.bayerGainAuto, 0);
    EXPECT_EQ(settings_.bayerGainOneShotA, 0);
    EXPECT_EQ(settings_.bayerGainOneShotB, 0);
    // The new gains already applied to this frame: a neutral gray.
    EXPECT_EQ(Get(Buffer(kSlotColor48), 9, 9, 0), 100u);
    EXPECT_EQ(Get(Buffer(kSlotColor48), 9, 9, 2), 100u);

    // Continuous automatic gain stays on.
    settings_.bayerGainAuto = 1;
    settings_.bayerGainOneShotA = 1;
    EXPECT_TRUE(Convert().bayerGainsChanged);
    EXPECT_EQ(settings_.bayerGainAuto, 1);
    EXPECT_EQ(settings_.bayerGainOneShotA, 1);
}

TEST_F(ConvertFrameTest, OneShotGrayLevellingIsAppliedAndCountedDown) {
    settings_.colorMode = 0;
    settings_.subSample = 16;
    settings_.grayMode = 1;
    settings_.grayAutoOneShot = 1;
    settings_.bayerMode = 0;
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) test::Set(Buffer(kSlotRaw8), x, y, (x & 1) ? 100u : 50u);
    const ConversionResult result = Convert();
    EXPECT_TRUE(result.grayGainsChanged);
    EXPECT_EQ(settings_.grayAutoOneShot, 0);
    EXPECT_EQ(settings_.gray.gainG1, 256);
    EXPECT_EQ(settings_.gray.gainR, 128);
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(Get(Buffer(kSlotRaw8), x, 5), 100u);

    // Nothing to measure on a black frame: no change, the request stays.
    settings_.grayAutoOneShot = 1;
    std::memset(Buffer(kSlotRaw8).Bits(), 0, Buffer(kSlotRaw8).ImageBytes());
    EXPECT_FALSE(Convert().grayGainsChanged);
    EXPECT_EQ(settings_.grayAutoOneShot, 1);
}

TEST_F(ConvertFrameTest, GrayModeTwoTurnsTheFrameIntoItsOwnPicturesGray) {
    settings_.colorMode = 0;
    settings_.subSample = 16;
    settings_.grayMode = 2;
    settings_.bayerMode = 1;
    FillRaw(kSlotRaw8, 8);
    const CDibImage raw = test::CopyOf(Buffer(kSlotRaw8));
    CDibImage color = test::CopyOf(Buffer(kSlotColor24));
    ASSERT_EQ(Demosaic(color, raw, 1, 100, 100), 1);
    ASSERT_TRUE(Convert().converted);
    for (int32_t y = 0; y < kH; ++y) {
        for (int32_t x = 0; x < kW; ++x) {
            const uint32_t expected = (30 * Get(color, x, y, 2) + 59 * Get(color, x, y, 1) + 11 * Get(color, x, y, 0)) / 100;
            ASSERT_EQ(Get(Buffer(kSlotRaw8), x, y), expected) << x << "," << y;
        }
    }

    // In colour mode 1 the output is the 16-bit raw frame: no effect.
    settings_.colorMode = 1;
    FillRaw(kSlotRaw16, 9);
    const CDibImage raw16 = test::CopyOf(Buffer(kSlotRaw16));
    ASSERT_TRUE(Convert().converted);
    EXPECT_TRUE(test::SameBytes(Buffer(kSlotRaw16), raw16));
}

TEST_F(ConvertFrameTest, MaskStepsWaitForTheMaskLock) {
    settings_.colorMode = 2;
    settings_.maskFilter = true;
    std::atomic<bool> done{false};
    maskLock_.Enter();
    std::thread worker([&] {
        Convert();
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done.load());
    maskLock_.Leave();
    worker.join();
    EXPECT_TRUE(done.load());
}

class FakeExposure : public ExposureControl {
public:
    int32_t GlobalGain() override { return 40; }
    int32_t MinGlobalGain() override { return 0; }
    int32_t MaxGlobalGain() override { return 100; }
    void SetGlobalGain(int32_t value) override { gainSet = value; }
    int32_t ExposureTime() override { return 500; }
    int32_t MinExposureTime() override { return 1; }
    int32_t MaxExposureTime() override { return 1000; }
    void SetExposureTime(int32_t value) override { exposureSet = value; }
    int32_t gainSet = -1;
    int32_t exposureSet = -1;
};

TEST_F(ConvertFrameTest, AutomaticExposureMeasuresTheRawFrameBeforeTheFilters) {
    settings_.colorMode = 5;
    settings_.autoIris = kAutoExposureByGain;
    settings_.brightness = -255;  // blackens the output, not the measurement
    std::memset(Buffer(kSlotRaw16).Bits(), 0xFF, Buffer(kSlotRaw16).ImageBytes());
    FakeExposure camera;
    const ConversionResult result = Convert(&camera);
    EXPECT_TRUE(result.exposureChanged);
    EXPECT_EQ(camera.gainSet, 10);
    EXPECT_EQ(camera.exposureSet, -1);
    EXPECT_EQ(Get(Buffer(kSlotColor64), 5, 5, 1), 0u);
}

TEST_F(ConvertFrameTest, FramesThatCannotBeConvertedAreReportedSo) {
    for (const int32_t colorMode : {-1, 6, 1000}) {
        settings_.colorMode = colorMode;
        EXPECT_FALSE(Convert().converted) << colorMode;
    }
    settings_.colorMode = 3;
    CDibImage wrongSize;
    ASSERT_EQ(wrongSize.Create(kW + 1, kH, 32), 1);
    slots_[kSlotColor32] = &wrongSize;
    EXPECT_FALSE(Convert().converted);
    slots_[kSlotColor32] = nullptr;
    EXPECT_FALSE(Convert().converted);
    slots_[kSlotRaw8] = nullptr;
    EXPECT_FALSE(Convert().converted);
}

// Every setting at both ends of its range in every colour mode, with the
// automatic steps on: converts without fault (the sanitizer builds check
// for overflow and stray accesses).
TEST_F(ConvertFrameTest, SettingsAtTheEndsOfTheirRangesConvert) {
    for (const bool high : {false, true}) {
        for (int32_t colorMode = 0; colorMode < 6; ++colorMode) {
            ConversionSettings& s = settings_;
            s = ConversionSettings{};
            s.windowWidth = kW;
            s.windowHeight = kH;
            s.colorMode = colorMode;
            s.bayerMode = high ? 3 : 0;
            s.bayerGainRed = s.bayerGainBlue = s.bayerGainGreen = high ? 400 : 0;
            s.grayMode = high ? 2 : 1;
            for (int32_t st = 0; st < 4; ++st) {
                s.gray.At(st, false) = high ? 255 : -255;
                s.gray.At(st, true) = high ? 255 : 0;
            }
            s.grayAutoOneShot = high ? 1 : 0;
            s.mirrorH = s.mirrorV = true;
            s.autoIris = high ? 1 : 2;
            s.maskFilter = s.dotFilter = true;
            s.brightness = high ? 255 : -255;
            s.contrast = high ? 127 : -127;
            s.hue = high ? 360 : -360;
            s.saturation = high ? 255 : -255;
            s.sharpness = high ? 30 : 1;
            s.gamma = high ? 200 : 0;
            FillRaw(RawSlotOf(colorMode), static_cast<uint32_t>(colorMode + (high ? 100 : 0)));
            FakeExposure camera;
            EXPECT_TRUE(Convert(&camera).converted) << colorMode << (high ? " high" : " low");
        }
    }
}

}  // namespace
}  // namespace vantix
