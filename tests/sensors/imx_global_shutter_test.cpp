// The IMX family's global-shutter heads (IMX250, IMX252, IMX264) and the
// newer-generation IMX487 and IMX536 against their emulated FPGA head and
// register files: the Initialize skeleton (readiness, power-on list, chip
// identification, vertical drive), frame-rate requests, and the operations
// whose registers or arithmetic differ from the IMX273's.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "catalog/model_catalog.h"
#include "emulator/scene.h"
#include "engine/sensor_factory.h"
#include "imx_head_controller.h"
#include "sensors/imx/imx_sensor.h"

namespace vantix {
namespace {

using testing_imx::ImxHeadController;
using testing_imx::Writes;

// The sensor the engine's factory makes for a model, variant code included.
std::unique_ptr<CSensorBase> SensorFor(uint16_t modelId, ImxHeadController* controller) {
    SensorCreation outcome{};
    std::unique_ptr<CSensorBase> sensor = CreateSensorForModel(LookupModel(modelId), controller, &outcome);
    EXPECT_EQ(outcome, SensorCreation::Created) << std::hex << modelId;
    return sensor;
}

size_t Position(const Writes& writes, uint32_t address) {
    return static_cast<size_t>(std::find_if(writes.begin(), writes.end(),
                                            [&](const auto& w) { return w.first == address; }) -
                               writes.begin());
}

// ---- Initialize ----

TEST(ImxReadiness, TheStatusDeviceIsAskedTwentyTimesBeforeInitializeGivesUp) {
    ImxHeadController controller(0x31B0);
    auto sensor = SensorFor(0x31B0, &controller);
    controller.head.SetStatusReadsBeforeReady(emulator::ImxBusHead::kNeverReady);
    EXPECT_EQ(sensor->Initialize(), 0);
    EXPECT_EQ(controller.statusReads, 20);
    EXPECT_TRUE(controller.sensorWrites.empty()) << "nothing is programmed into a head that is not ready";

    ImxHeadController later(0x31B4);
    auto ready = SensorFor(0x31B4, &later);
    later.head.SetStatusReadsBeforeReady(7);
    EXPECT_EQ(ready->Initialize(), 1);
    EXPECT_EQ(later.statusReads, 8);
}

TEST(ImxReadiness, TheSlowHeadWaitsForItsPowerUpBitsThenReportsTheSensorSetUp) {
    ImxHeadController controller(0x31C0);
    auto sensor = SensorFor(0x31C0, &controller);
    controller.head.SetStatusReadsBeforeReady(3);
    controller.head.SetPowerUpTime(std::chrono::milliseconds(40));
    ASSERT_EQ(sensor->Initialize(), 1);
    EXPECT_EQ(controller.statusReads, 4);
    // Register 96 is told only after the power-up bits cleared, before any sensor write.
    EXPECT_EQ(controller.FpgaWritesTo(96), std::vector<uint32_t>{1});
    EXPECT_EQ(controller.wire.front(), std::make_pair(ImxHeadController::kFpgaWrite, uint32_t{96 << 8 | 1}));
}

TEST(ImxReadiness, TheSlowHeadGivesUpWhenThePowerUpBitsNeverClear) {
    ImxHeadController controller(0x31C4);
    auto sensor = SensorFor(0x31C4, &controller);
    controller.head.SetPowerUpTime(std::chrono::milliseconds(-1));
    EXPECT_EQ(sensor->Initialize(), 0);
    EXPECT_EQ(controller.busyReads, 300);
    EXPECT_TRUE(controller.FpgaWritesTo(96).empty());
    EXPECT_TRUE(controller.sensorWrites.empty());
}

TEST(ImxInitialize, PowerOnListsComeBeforeTheDefaultsAndTheWholeArrayIsProgrammed) {
    struct Case {
        uint16_t model;
        Writes powerOn;
        int32_t width, height;
    };
    const Case cases[] = {
        {0x31B0, {{0x412, 8}, {0x454, 240}, {0x455, 0}}, 2448, 2048},
        {0x31B4, {{0x412, 8}, {0x454, 240}, {0x455, 0}}, 2448, 2048},
        {0x31C0, {{0x412, 8}, {0x454, 80}}, 2048, 1536},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        ImxHeadController controller(c.model);
        auto sensor = SensorFor(c.model, &controller);
        ASSERT_EQ(sensor->Initialize(), 1);
        const Writes& w = controller.sensorWrites;
        ASSERT_GE(w.size(), c.powerOn.size());
        EXPECT_EQ(Writes(w.begin(), w.begin() + static_cast<long>(c.powerOn.size())), c.powerOn);
        // Gain (high bit first), exposure, mirrors, then the window.
        EXPECT_EQ(w[c.powerOn.size()].first, 0x405u);
        EXPECT_LT(Position(w, 0x20E), Position(w, 0x500));
        EXPECT_EQ(sensor->Info().areaWidth, c.width);
        EXPECT_EQ(sensor->Info().areaHeight, c.height);
        EXPECT_EQ(controller.Register(0x514, 2), static_cast<uint32_t>(c.width));
        // The default exposure is in the sensor: frame length minus shutter start.
        EXPECT_EQ(controller.Sensor().ExposureLines(), static_cast<uint32_t>(sensor->Info().exposureLines.defaultValue));
    }
}

TEST(ImxInitialize, TheIdentifiedChipChoosesTheVariantCode) {
    struct Case {
        uint16_t model;
        int32_t chip;
        int32_t variant;
    };
    const Case cases[] = {
        {0x31B0, 264, 57}, {0x31B0, 265, 58}, {0x31B0, 250, 59}, {0x32A0, 250, 113},  // others keep the factory's
        {0x31C0, 250, 59}, {0x31C0, 252, 56}, {0x31C4, 264, 57}, {0x31C0, 273, 58},
        {0x31B4, 250, 59}, {0x31B4, 252, 59}, {0x31B4, 264, 57}, {0x31B4, 265, 58},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.model << std::dec << " chip " << c.chip);
        ImxHeadController controller(c.model);
        controller.Sensor().SetChipNumber(c.chip);
        auto sensor = SensorFor(c.model, &controller);
        ASSERT_EQ(sensor->Initialize(), 1);
        EXPECT_EQ(sensor->ModelVariant(), c.variant);
    }
}

TEST(ImxInitialize, TheVerticalDriveIsRestartedWhenStoppedAndItsFailureDoesNotFailInitialize) {
    // Stopped at power-on: pulsed (1, then 0) and found running.
    ImxHeadController controller(0x31B0);
    auto sensor = SensorFor(0x31B0, &controller);
    ASSERT_EQ(sensor->Initialize(), 1);
    EXPECT_EQ(controller.FpgaWritesTo(129), (std::vector<uint32_t>{1, 0}));
    EXPECT_TRUE(controller.head.VerticalDriveRunning());
    // Running already: left alone.
    controller.ClearRecords();
    ASSERT_EQ(sensor->Initialize(), 1);
    EXPECT_TRUE(controller.FpgaWritesTo(129).empty());
    // Never running: the wait ends after its bound and Initialize still succeeds.
    ImxHeadController faulty(0x32F0);
    auto stuck = SensorFor(0x32F0, &faulty);
    faulty.head.SetVerticalDriveFault(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(stuck->Initialize(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60)) << "the wait is bounded";
    EXPECT_FALSE(faulty.head.VerticalDriveRunning());
}

TEST(ImxInitialize, TheUnidentifiedSlowHeadSkipsTheVerticalDrive) {
    ImxHeadController controller(0x31C0);
    controller.Sensor().SetChipNumber(300);
    auto sensor = SensorFor(0x31C0, &controller);
    ASSERT_EQ(sensor->Initialize(), 1);
    EXPECT_EQ(sensor->ModelVariant(), 58);
    EXPECT_TRUE(controller.FpgaWritesTo(129).empty());
}

TEST(ImxInitialize, TheNewerHeadsWriteTheirSetUpThenBlackLevelOrGoStraightToTheDefaults) {
    ImxHeadController uv(0x32F0);
    auto imx487 = SensorFor(0x32F0, &uv);
    ASSERT_EQ(imx487->Initialize(), 1);
    const Writes& w = uv.sensorWrites;
    ASSERT_GE(w.size(), 4u);
    EXPECT_EQ(Writes(w.begin(), w.begin() + 3), (Writes{{0x702, 8}, {0x7C0, 60}, {0x7C1, 0}}));
    EXPECT_EQ(w[3].first, 0x714u) << "gain low byte first on this generation";
    EXPECT_EQ(uv.statusReads, 0) << "no readiness step";

    ImxHeadController visible(0x32E0);
    auto imx536 = SensorFor(0x32E0, &visible);
    ASSERT_EQ(imx536->Initialize(), 1);
    ASSERT_FALSE(visible.sensorWrites.empty());
    EXPECT_EQ(visible.sensorWrites.front().first, 0x714u);
    EXPECT_FALSE(visible.Wrote(0x702));
    EXPECT_FALSE(visible.Wrote(0x7C0));
    EXPECT_EQ(visible.FpgaWritesTo(129), (std::vector<uint32_t>{1, 0}));
}

// ---- Frame-rate requests ----

TEST(ImxFrameRate, EachHeadConvertsTheRateIntoAFrameLengthWithinItsBounds) {
    struct Case {
        uint16_t model;
        int32_t rate;
        uint32_t lines;
    };
    const Case cases[] = {
        {0x31B0, 30, 9501},  {0x31B0, 1, 65535},  {0x31B0, 1000, 2048 + 46},
        {0x31B4, 30, 25184}, {0x31B4, 100, 7555}, {0x31B4, 100000, 2048 + 46},
        {0x31C0, 60, 30302}, {0x31C0, 200, 9090}, {0x31C0, 100000, 1536 + 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.model << std::dec << " at " << c.rate);
        ImxHeadController controller(c.model);
        auto sensor = SensorFor(c.model, &controller);
        // An exposure in lines unlike its 0.1 ms word (100), so that a change
        // programmed from the wrong one shows.
        ASSERT_EQ(sensor->SetExposureLines(300), 1);
        int32_t rate = c.rate;
        ASSERT_EQ(sensor->AccessDevice(0, &rate), 1);
        EXPECT_EQ(controller.Sensor().FrameLength(), c.lines);
        EXPECT_EQ(sensor->Info().totalHeight, static_cast<int32_t>(c.lines));
        // The exposure stays what it was, counted from the new frame end.
        EXPECT_EQ(controller.Sensor().ExposureLines(), 300u);
        EXPECT_EQ(sensor->Info().exposureLines.current, 300);
    }
}

TEST(ImxFrameRate, BinnedReadoutsOfTheIMX264UseTheirOwnLineTime) {
    ImxHeadController controller(0x31B4);
    auto sensor = SensorFor(0x31B4, &controller);
    ASSERT_EQ(sensor->SetArea(0, 2448, 0, 2048, 1), 1);
    int32_t rate = 30;
    ASSERT_EQ(sensor->AccessDevice(0, &rate), 1);
    EXPECT_EQ(controller.Sensor().FrameLength(), 11422u);
}

TEST(ImxFrameRate, RateZeroAndOtherRequestsAreRefusedWithoutTouchingTheSensor) {
    for (uint16_t model : {0x31B0, 0x31B4, 0x31C0}) {
        SCOPED_TRACE(model);
        ImxHeadController controller(model);
        auto sensor = SensorFor(model, &controller);
        int32_t rate = 0;
        EXPECT_EQ(sensor->AccessDevice(0, &rate), 0);
        rate = -5;
        EXPECT_EQ(sensor->AccessDevice(0, &rate), 0);
        EXPECT_EQ(sensor->AccessDevice(0, nullptr), 0);
        rate = 30;
        EXPECT_EQ(sensor->AccessDevice(1, &rate), 0);
        EXPECT_TRUE(controller.sensorWrites.empty());
    }
    // The heads without a frame-rate control refuse it as well.
    ImxHeadController controller(0x32F0);
    auto sensor = SensorFor(0x32F0, &controller);
    int32_t rate = 30;
    EXPECT_EQ(sensor->AccessDevice(0, &rate), 0);
}

// ---- Gain, exposure, window, trigger ----

TEST(ImxGainAndExposure, GainClampsAt480OnEveryGenerationInItsOwnRegisterOrder) {
    ImxHeadController older(0x31B0);
    auto imx250 = SensorFor(0x31B0, &older);
    ASSERT_EQ(imx250->SetGain(600), 1);
    EXPECT_EQ(older.sensorWrites, (Writes{{0x405, 1}, {0x404, 0xE0}}));
    ImxHeadController newer(0x32E0);
    auto imx536 = SensorFor(0x32E0, &newer);
    ASSERT_EQ(imx536->SetGain(600), 1);
    EXPECT_EQ(newer.sensorWrites, (Writes{{0x714, 0xE0}, {0x715, 1}}));
    EXPECT_EQ(newer.Sensor().GainCode(), 480u);
    EXPECT_EQ(imx536->Info().gain.current, 480);
}

TEST(ImxGainAndExposure, ExposureTimeBelowTheMinimumProgramsTheMinimum) {
    ImxHeadController controller(0x32F0);
    auto sensor = SensorFor(0x32F0, &controller);
    ASSERT_EQ(sensor->SetExposureTime(0), 1);
    EXPECT_EQ(sensor->Info().exposureTime.current, 1);
    EXPECT_DOUBLE_EQ(sensor->Info().exposureSeconds, 0.0001);
    // (100 us - 7.372) / (720 clocks at 54.545 MHz) = 7.02 lines.
    EXPECT_EQ(controller.Sensor().ExposureLines(), 7u);
    ASSERT_EQ(sensor->SetExposureSeconds(0.01), 1);
    EXPECT_EQ(sensor->Info().exposureTime.current, 100);
    EXPECT_EQ(controller.Sensor().ExposureLines(), 757u);
    // The IMX536 takes no exposure in seconds.
    ImxHeadController visible(0x32E0);
    auto imx536 = SensorFor(0x32E0, &visible);
    EXPECT_EQ(imx536->SetExposureSeconds(0.01), 0);
    EXPECT_TRUE(visible.sensorWrites.empty());
}

TEST(ImxWindow, TheNewerHeadsCountTheirWindowFromTheOriginAndMirrorBothBitsTogether) {
    ImxHeadController controller(0x32E0);
    auto sensor = SensorFor(0x32E0, &controller);
    ASSERT_EQ(sensor->SetExposureLines(100), 1);
    ASSERT_EQ(sensor->SetArea(64, 640, 32, 480, 0), 1);
    EXPECT_EQ(controller.Register(0x320, 2), 64u);
    EXPECT_EQ(controller.Register(0x322, 2), 32u);
    EXPECT_EQ(controller.Register(0x324, 2), 640u);
    EXPECT_EQ(controller.Register(0x326, 2), 480u);
    EXPECT_EQ(controller.Register(0x304), 3u);
    EXPECT_EQ(controller.Sensor().FrameLength(), 480u + 36u);
    ASSERT_EQ(sensor->SetArea(0, 2848, 0, 2848, 0), 1);
    EXPECT_EQ(controller.Register(0x304), 0u);
    EXPECT_EQ(controller.Sensor().FrameLength(), 2884u);
    // Each mirror setter writes the register whole from both flags, without reading it.
    controller.ClearRecords();
    ASSERT_EQ(sensor->SetMirrorV(1), 1);
    ASSERT_EQ(sensor->SetMirrorH(1), 1);
    ASSERT_EQ(sensor->SetMirrorV(0), 1);
    EXPECT_EQ(controller.sensorWrites, (Writes{{0x404, 2}, {0x404, 3}, {0x404, 1}}));
}

TEST(ImxTrigger, TheIMX252SwitchesItsTriggerInStandbyWhileTheOthersHaveNone) {
    ImxHeadController controller(0x31C0);
    auto sensor = SensorFor(0x31C0, &controller);
    ASSERT_EQ(sensor->SetTriggerMode(1), 1);
    EXPECT_EQ(controller.sensorWrites, (Writes{{0x200, 1}, {0x208, 1}, {0x20B, 1}, {0x2AA, 1}, {0x200, 0}}));
    int32_t on = 0;
    ASSERT_EQ(sensor->GetTriggerMode(&on), 1);
    EXPECT_EQ(on, 1);
    for (uint16_t model : {0x31B0, 0x31B4}) {
        ImxHeadController other(model);
        auto imx = SensorFor(model, &other);
        EXPECT_EQ(imx->SetTriggerMode(1), 1);
        int32_t untouched = 7;
        EXPECT_EQ(imx->GetTriggerMode(&untouched), 1);
        EXPECT_EQ(untouched, 7);
        EXPECT_TRUE(other.sensorWrites.empty());
    }
}

// ---- The virtual camera's frames follow the window ----

// One row of the colour-bar scene as the head would send it for the sensor's
// current window (mono levels: white 191, cyan 128, red 64, black 0).
std::vector<uint8_t> RowOf(ImxHeadController& controller, const CSensorBase& sensor) {
    emulator::FrameGeometry g = controller.head.Geometry(0);
    g.width = static_cast<uint32_t>(sensor.Info().areaWidth);
    g.height = 1;
    g.bytesPerSample = 1;
    emulator::SceneSettings scene;
    scene.kind = emulator::SceneKind::ColorBars;
    scene.pattern = emulator::BayerPattern::Mono;
    emulator::FrameRenderer renderer;
    renderer.Prepare(scene, g, 0);
    std::vector<uint8_t> row(g.width);
    renderer.Render(0, row.data(), row.size());
    return row;
}

TEST(ImxFrames, TheWindowBinningAndMirrorPickTheColumnsOfTheSceneTheSensorReads) {
    ImxHeadController controller(0x31B0);
    auto sensor = SensorFor(0x31B0, &controller);
    ASSERT_EQ(sensor->SetArea(0, 2448, 0, 2048, 0), 1);
    std::vector<uint8_t> row = RowOf(controller, *sensor);
    EXPECT_EQ(row.front(), 191);
    EXPECT_EQ(row.back(), 0);
    // The right-hand 640 columns (counted from the far edge in the registers).
    ASSERT_EQ(sensor->SetArea(1808, 640, 0, 480, 0), 1);
    row = RowOf(controller, *sensor);
    EXPECT_EQ(row.front(), 64);  // array column 1808: the red bar
    EXPECT_EQ(row.back(), 0);
    // Mirrored, the same window shows the other end of the picture, reversed.
    ASSERT_EQ(sensor->SetMirrorH(1), 1);
    row = RowOf(controller, *sensor);
    EXPECT_EQ(row.front(), 128);  // picture column 639: the cyan bar
    EXPECT_EQ(row.back(), 191);
    // Binned: the whole width in half the columns.
    ASSERT_EQ(sensor->SetMirrorH(0), 1);
    ASSERT_EQ(sensor->SetArea(0, 2448, 0, 2048, 1), 1);
    row = RowOf(controller, *sensor);
    ASSERT_EQ(row.size(), 1224u);
    EXPECT_EQ(row.front(), 191);
    EXPECT_EQ(row[612], 128);  // array column 1224: the magenta bar
    EXPECT_EQ(row.back(), 0);

    ImxHeadController newer(0x32E0);
    auto imx536 = SensorFor(0x32E0, &newer);
    ASSERT_EQ(imx536->SetArea(2208, 640, 0, 480, 0), 1);
    row = RowOf(newer, *imx536);
    EXPECT_EQ(row.front(), 64);  // array column 2208: the blue bar
    EXPECT_EQ(row.back(), 0);
}

}  // namespace
}  // namespace vantix
