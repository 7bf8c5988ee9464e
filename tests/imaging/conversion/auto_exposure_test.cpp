#include "imaging/auto_exposure.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "conversion_test_util.h"

namespace vantix {
namespace {

// Records what the step asks of the camera.
class FakeExposure : public ExposureControl {
public:
    int32_t gain = 40;
    int32_t minGain = 1;
    int32_t maxGain = 63;
    int32_t exposure = 1000;
    int32_t minExposure = 1;
    int32_t maxExposure = 20000;
    std::vector<int32_t> gainsSet;
    std::vector<int32_t> exposuresSet;

    int32_t GlobalGain() override { return gain; }
    int32_t MinGlobalGain() override { return minGain; }
    int32_t MaxGlobalGain() override { return maxGain; }
    void SetGlobalGain(int32_t value) override {
        gain = value;
        gainsSet.push_back(value);
    }
    int32_t ExposureTime() override { return exposure; }
    int32_t MinExposureTime() override { return minExposure; }
    int32_t MaxExposureTime() override { return maxExposure; }
    void SetExposureTime(int32_t value) override {
        exposure = value;
        exposuresSet.push_back(value);
    }
};

CDibImage Uniform(int32_t w, int32_t h, int32_t bits, uint32_t value) {
    CDibImage image;
    EXPECT_EQ(image.Create(w, h, bits), 1);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) test::Set(image, x, y, value);
    return image;
}

TEST(AutoExposure, AllWindowsAt210QuarterTheGainOrTheExposure) {
    const CDibImage raw = Uniform(100, 80, 8, 210);
    EXPECT_EQ(ExposureFactorPercent(MeasureExposureWindows(raw)), 25);

    FakeExposure camera;
    camera.gain = 40;
    EXPECT_TRUE(RunAutoExposure(raw, kAutoExposureByGain, camera));
    EXPECT_EQ(camera.gainsSet, std::vector<int32_t>{10});
    EXPECT_TRUE(camera.exposuresSet.empty());

    camera.exposure = 1000;
    EXPECT_TRUE(RunAutoExposure(raw, kAutoExposureByTime, camera));
    EXPECT_EQ(camera.exposuresSet, std::vector<int32_t>{250});

    // Clamped to the camera's range.
    camera.minGain = 16;
    camera.gain = 40;
    EXPECT_TRUE(RunAutoExposure(raw, kAutoExposureByGain, camera));
    EXPECT_EQ(camera.gain, 16);
    camera.minExposure = 300;
    camera.exposure = 1000;
    EXPECT_TRUE(RunAutoExposure(raw, kAutoExposureByTime, camera));
    EXPECT_EQ(camera.exposure, 300);
}

TEST(AutoExposure, MidRangeFramesAndOtherModesChangeNothing) {
    FakeExposure camera;
    for (const uint32_t level : {100u, 130u, 160u}) {
        const CDibImage raw = Uniform(50, 40, 8, level);
        EXPECT_FALSE(RunAutoExposure(raw, kAutoExposureByGain, camera)) << level;
        EXPECT_FALSE(RunAutoExposure(raw, kAutoExposureByTime, camera)) << level;
    }
    const CDibImage bright = Uniform(50, 40, 8, 250);
    EXPECT_FALSE(RunAutoExposure(bright, kAutoExposureOff, camera));
    EXPECT_FALSE(RunAutoExposure(bright, 3, camera));
    EXPECT_TRUE(camera.gainsSet.empty());
    EXPECT_TRUE(camera.exposuresSet.empty());
}

TEST(AutoExposure, WindowsAreMeasuredTopDownWithTruncatedEdges) {
    // 20 x 10: the windows are x 2..3 / 9..10 / 16..17 and y 1 / 8 / 4 (top-down).
    CDibImage raw = Uniform(20, 10, 8, 0);
    auto setPicture = [&raw](int32_t x, int32_t y, uint32_t v) { test::Set(raw, x, 9 - y, v); };
    setPicture(2, 1, 100);  // top left window: samples (2,1) and (3,1)
    setPicture(3, 1, 51);
    setPicture(2, 8, 250);  // bottom left
    setPicture(16, 1, 7);   // top right
    setPicture(1, 1, 255);  // outside every window
    setPicture(4, 1, 255);
    const auto means = MeasureExposureWindows(raw);
    EXPECT_EQ(means[0], 75);  // (100 + 51) / 2, truncated
    EXPECT_EQ(means[1], 125);
    EXPECT_EQ(means[2], 0);
    EXPECT_EQ(means[3], 3);
    EXPECT_EQ(means[4], 0);
}

TEST(AutoExposure, SixteenBitSamplesCountTheirMiddleBits) {
    // (v >> 2) & 0xFF: 840 -> 210, and 0x0400 | 840 wraps to the same.
    EXPECT_EQ(ExposureFactorPercent(MeasureExposureWindows(Uniform(60, 30, 16, 840))), 25);
    EXPECT_EQ(ExposureFactorPercent(MeasureExposureWindows(Uniform(60, 30, 16, 0x400 | 840))), 25);
    EXPECT_EQ(ExposureFactorPercent(MeasureExposureWindows(Uniform(60, 30, 16, 65535))), 25);
}

TEST(AutoExposure, FactorStepsScalingRulesAndRangeEnds) {
    EXPECT_EQ(ExposureFactorPercent({201, 200, 161, 160, 99}), 100 - 15 - 10 - 10 + 5);
    // Between 60 and 120 exclusive nothing moves; at the ends it does.
    EXPECT_EQ(ScaledGain(40, 61, 0, 100), 40);
    EXPECT_EQ(ScaledGain(40, 119, 0, 100), 40);
    EXPECT_EQ(ScaledGain(40, 60, 0, 100), 24);
    EXPECT_EQ(ScaledGain(40, 120, 0, 100), 48);
    // Gain: at least 4 as a base, and not below 4 when brightening.
    EXPECT_EQ(ScaledGain(0, 125, 0, 100), 5);
    EXPECT_EQ(ScaledGain(3, 120, 0, 100), 4);
    EXPECT_EQ(ScaledGain(1, 25, 0, 100), 1);
    // At or above the maximum gives the maximum.
    EXPECT_EQ(ScaledGain(100, 125, 0, 100), 100);
    EXPECT_EQ(ScaledGain(INT32_MAX, 125, 0, INT32_MAX), INT32_MAX);
    // Exposure: at least 1, and a 16-bit value that saturates rather than wraps.
    EXPECT_EQ(ScaledExposure(2, 25, 0, 100000), 1);
    EXPECT_EQ(ScaledExposure(60000, 125, 0, 100000), 65535);
    EXPECT_EQ(ScaledExposure(INT32_MAX, 125, 0, INT32_MAX), 65535);
    EXPECT_EQ(ScaledExposure(-50, 125, 0, 100000), 1);
    EXPECT_EQ(ScaledExposure(60000, 125, 10, 40000), 40000);
}

TEST(AutoExposure, TinyFramesHaveEmptyWindows) {
    constexpr int32_t E = kExposureWindowEmpty;
    using Means = std::array<int32_t, kExposureWindowCount>;
    EXPECT_EQ(MeasureExposureWindows(Uniform(1, 1, 8, 255)), (Means{E, E, E, E, E}));
    // 4 x 4: only the centre window, (1, 1)-(2, 2), holds a sample.
    EXPECT_EQ(MeasureExposureWindows(Uniform(4, 4, 16, 1000)), (Means{E, E, 250, E, E}));
    FakeExposure camera;
    EXPECT_FALSE(RunAutoExposure(Uniform(1, 1, 8, 255), kAutoExposureByGain, camera));
    EXPECT_TRUE(camera.gainsSet.empty());
}

}  // namespace
}  // namespace vantix
