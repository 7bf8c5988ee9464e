// The IMX family's members beside IMX273 against a controller whose serial
// bus reaches each member's emulated register file: what goes over the
// wire, in which order, and what the emulated sensor holds afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "emulator/emulator.h"
#include "engine/camera_engine.h"
#include "imx_wire_controller.h"
#include "sensors/imx/sensor_glux9701.h"
#include "sensors/imx/sensor_imx159.h"
#include "sensors/imx/sensor_imx174.h"
#include "sensors/imx/sensor_imx178.h"
#include "sensors/imx/sensor_imx183.h"
#include "sensors/imx/sensor_imx226.h"
#include "sensors/imx/sensor_li7050.h"
#include "transport/device_drivers.h"

namespace vantix {
namespace {

using emulator::ImxSensorKind;
using imx_test::kSensorAddress;
using imx_test::WireController;
using imx_test::WireEvent;
using Writes = std::vector<std::pair<uint32_t, uint32_t>>;
using Order = std::vector<uint32_t>;

// The first `n` entries of the write order.
Order Prefix(const WireController& c, size_t n) {
    Order order = c.WriteOrder();
    order.resize(std::min(n, order.size()));
    return order;
}

// ---- IMX174 ----

class Imx174Test : public ::testing::Test {
protected:
    WireController controller{ImxSensorKind::IMX174};
    CSensorIMX174 sensor{&controller, kSensorAddress};
};

TEST_F(Imx174Test, WholeArrayFrameAndExposureStretchingAndRestoring) {
    ASSERT_EQ(sensor.SetArea(0, 1920, 0, 1200, 0), 1);
    EXPECT_EQ(sensor.Info().totalHeight, 1237);
    // Beyond the frame less the 10-line margin: the frame is stretched so the
    // sensor exposes what was asked.
    ASSERT_EQ(sensor.SetExposureLines(1300), 1);
    EXPECT_EQ(controller.Register(0x217, 2), 1310u);
    EXPECT_EQ(controller.Register(0x29A, 2), 10u);
    EXPECT_EQ(controller.sensor.ExposureLines(), 1300u);
    EXPECT_EQ(sensor.Info().exposureLines.current, 1300);
    // A shorter exposure restores the window's frame.
    ASSERT_EQ(sensor.SetExposureLines(500), 1);
    EXPECT_EQ(controller.Register(0x217, 2), 1237u);
    EXPECT_EQ(controller.Register(0x29A, 2), 737u);
    EXPECT_EQ(controller.sensor.ExposureLines(), 500u);
    // The longest: the 12-bit frame register holds 4095 lines, 4085 exposed.
    ASSERT_EQ(sensor.SetExposureLines(100000), 1);
    EXPECT_EQ(controller.Register(0x217, 2), 4095u);
    EXPECT_EQ(sensor.Info().exposureLines.current, 4085);
    EXPECT_EQ(controller.sensor.ExposureLines(), 4085u);
}

TEST_F(Imx174Test, AreasRoundToTheGridCountFromTheFarEdgeAndRefuseWhatLeavesTheArray) {
    ASSERT_EQ(sensor.SetExposureLines(960), 1);
    ASSERT_EQ(sensor.SetArea(1, 5, 1, 3, 17), 1);  // the mode is ignored
    EXPECT_EQ(sensor.Info().areaX, 4);
    EXPECT_EQ(sensor.Info().areaWidth, 8);
    EXPECT_EQ(sensor.Info().areaY, 2);
    EXPECT_EQ(sensor.Info().areaHeight, 4);
    EXPECT_EQ(sensor.Info().areaMode, 0);
    EXPECT_EQ(controller.Register(0x301, 2), 1920u - 4 - 8);
    EXPECT_EQ(controller.Register(0x303, 2), 1200u - 2 - 4);
    EXPECT_EQ(controller.Register(0x305, 2), 8u);
    EXPECT_EQ(controller.Register(0x307, 2), 4u);
    EXPECT_EQ(controller.Register(0x300), 3u);
    EXPECT_EQ(controller.writes.back().first, 0x29Bu) << "the exposure follows the window's frame";
    EXPECT_EQ(controller.Register(0x217, 2), 970u);  // 41 lines cannot hold 960: stretched
    EXPECT_EQ(controller.sensor.ExposureLines(), 960u);

    controller.Clear();
    EXPECT_EQ(sensor.SetArea(1917, 4, 0, 2, 0), 0);  // x rounds up to 1920
    EXPECT_EQ(sensor.SetArea(0, 1920, 0, 1201, 0), 0);
    EXPECT_EQ(sensor.SetArea(0, 0, 0, 100, 0), 0);
    EXPECT_EQ(sensor.SetArea(-4, 100, 0, 100, 0), 0);
    EXPECT_EQ(sensor.SetArea(0, 0x7FFFFFFF, 0, 0x7FFFFFFF, 0), 0);
    EXPECT_TRUE(controller.writes.empty());
    EXPECT_EQ(sensor.Info().areaWidth, 8);
}

TEST_F(Imx174Test, ExposureTimeConvertsThroughTheLineLengthAndKeepsWhatTheSensorExposes) {
    ASSERT_EQ(sensor.Initialize(), 1);
    // A line is 2160 / 8 ticks of 74.25 MHz: 0.0363636 units of 0.1 ms.
    ASSERT_EQ(sensor.SetExposureTime(37), 1);
    EXPECT_EQ(sensor.Info().exposureLines.current, 1017);
    EXPECT_EQ(sensor.Info().exposureTime.current, 37);
    EXPECT_DOUBLE_EQ(sensor.Info().exposureSeconds, 0.0037);
    EXPECT_EQ(controller.sensor.ExposureLines(), 1017u);
    // Longer than the lines reach: the time kept is the exposure programmed.
    ASSERT_EQ(sensor.SetExposureTime(20000), 1);
    EXPECT_EQ(sensor.Info().exposureLines.current, 4085);
    EXPECT_EQ(sensor.Info().exposureTime.current, 148);
    EXPECT_EQ(sensor.SetExposureTime(0), 0);
    EXPECT_EQ(sensor.SetExposureTime(-3), 0);
    EXPECT_EQ(sensor.Info().exposureTime.current, 148);
}

TEST_F(Imx174Test, GainAndInvertedMirrorFlags) {
    ASSERT_EQ(sensor.SetGain(600), 1);
    EXPECT_EQ(controller.writes, (Writes{{0x404, 0xE0}, {0x405, 1}}));
    EXPECT_EQ(sensor.Info().gain.current, 480);
    ASSERT_EQ(sensor.SetMirrorH(1), 1);
    EXPECT_EQ(controller.Register(0x216), 2u);  // vertical still off
    ASSERT_EQ(sensor.SetMirrorV(1), 1);
    EXPECT_EQ(controller.Register(0x216), 0u);
    ASSERT_EQ(sensor.SetMirrorH(0), 1);
    EXPECT_EQ(controller.Register(0x216), 1u);
    controller.sensorAnswers = false;
    EXPECT_EQ(sensor.SetMirrorV(0), 0);
    EXPECT_EQ(sensor.Info().mirrorV, 1) << "a refused write keeps the state";
}

TEST_F(Imx174Test, InitializeReadsTheLineLengthAndHeadIdThenAppliesTheDefaults) {
    controller.sensor.SetWord(0x21A, 0x2C);  // 300 units of 8 pixels
    controller.fpga[18] = 0x34;
    controller.fpga[19] = 0x12;
    ASSERT_EQ(sensor.Initialize(), 1);
    EXPECT_EQ(sensor.Info().totalWidth, 0x12C * 8);
    EXPECT_EQ(sensor.HeadIdentification(), 0x1234);
    EXPECT_EQ(Prefix(controller, 17), (Order{0x458, 0x404, 0x405, 0x217, 0x218, 0x29A, 0x29B, 0x216, 0x301, 0x302,
                                              0x303, 0x304, 0x305, 0x306, 0x307, 0x308, 0x300}));
    EXPECT_EQ(controller.Register(0x458), 20u);
    EXPECT_EQ(controller.sensor.GainCode(), 90u);
    EXPECT_EQ(controller.Register(0x216), 3u);
    EXPECT_EQ(sensor.Info().totalHeight, 1237);
    EXPECT_EQ(controller.sensor.ExposureLines(), 960u);
    int32_t on = 7;
    EXPECT_EQ(sensor.SetTriggerMode(1), 1);
    EXPECT_EQ(sensor.GetTriggerMode(&on), 1);
    EXPECT_EQ(on, 7) << "nothing to report: the head triggers on the FPGA";
}

// ---- IMX178 ----

class Imx178Test : public ::testing::Test {
protected:
    WireController controller{ImxSensorKind::IMX178};
    CSensorIMX178 sensor{&controller, kSensorAddress};
};

TEST_F(Imx178Test, TriggerBitIsWrittenAndReadBackInTheSameRegister) {
    controller.sensor.SetWord(0x208, 0x40);
    ASSERT_EQ(sensor.SetTriggerMode(1), 1);
    EXPECT_EQ(controller.Register(0x208), 0x41u) << "the other bits are kept";
    int32_t on = 0;
    ASSERT_EQ(sensor.GetTriggerMode(&on), 1);
    EXPECT_EQ(on, 1);
    controller.sensor.SetWord(0x2008, 0x01);  // an unrelated register
    ASSERT_EQ(sensor.SetTriggerMode(0), 1);
    ASSERT_EQ(sensor.GetTriggerMode(&on), 1);
    EXPECT_EQ(on, 0);
    EXPECT_EQ(controller.Register(0x208), 0x40u);
    controller.sensorAnswers = false;
    EXPECT_EQ(sensor.GetTriggerMode(&on), 0);
}

TEST_F(Imx178Test, InitializeOrderAndWindowsKeepTheFullFrame) {
    ASSERT_EQ(sensor.Initialize(), 1);
    EXPECT_EQ(Prefix(controller, 10), (Order{0x200, 0x21F, 0x220, 0x234, 0x235, 0x236, 0x20F, 0x22C, 0x22D, 0x22E}));
    EXPECT_EQ(controller.sensor.ExposureLines(), 2000u);
    // The sensor reads the whole array for the FPGA's window.
    ASSERT_EQ(sensor.SetArea(64, 640, 32, 480, 0), 1);
    EXPECT_EQ(controller.Register(0x22C, 3), 2100u);
    EXPECT_EQ(sensor.Info().areaWidth, 640);
    EXPECT_EQ(sensor.SetArea(4, 640, 0, 480, 0), 0);   // x off the 8-column grid
    EXPECT_EQ(sensor.SetArea(0, 640, 0, 480, 1), 0);   // no binned readout
    // 20-bit frame stretching reaches the third register.
    ASSERT_EQ(sensor.SetExposureLines(70000), 1);
    EXPECT_EQ(controller.Register(0x22C, 3), 70010u);
    EXPECT_EQ(controller.sensor.ExposureLines(), 70000u);
}

// ---- IMX183 ----

class Imx183Test : public ::testing::Test {
protected:
    WireController controller{ImxSensorKind::IMX183};
    std::unique_ptr<CSensorIMX183> sensor = std::make_unique<CSensorIMX183>(&controller, kSensorAddress);
};

TEST_F(Imx183Test, ReadsAnswerFromTheShadowOfWhatWasWritten) {
    ASSERT_EQ(sensor->SetGain(0x345), 1);
    EXPECT_EQ(controller.sensor.GainCode(), 0x345u);
    controller.sensor.SetWord(0x09, 0x99);  // the sensor changed behind the shadow
    uint32_t value = 0;
    ASSERT_EQ(sensor->ReadRegister(0x09, &value), 1);
    EXPECT_EQ(value, 0x45u);
    ASSERT_EQ(sensor->ReadRegister(0x0A, &value), 1);
    EXPECT_EQ(value, 0x03u);
    EXPECT_EQ(controller.sensorReads, 0);
    // A write the sensor refused is not taken into the shadow.
    controller.sensorAnswers = false;
    EXPECT_EQ(sensor->WriteRegister(0x09, 0x11), 0);
    ASSERT_EQ(sensor->ReadRegister(0x09, &value), 1);
    EXPECT_EQ(value, 0x45u);
}

TEST_F(Imx183Test, WritesWaitForTheBusToGoIdle) {
    controller.busyReadsPerTransfer = 3;
    ASSERT_EQ(sensor->WriteRegister(0x1A, 1), 1);
    EXPECT_EQ(controller.busyReads, 4) << "three busy polls, then the idle one";
    // Bit 7 alone is the bus; other bits do not hold the write up.
    controller.Clear();
    controller.busyBits = 0x01;
    ASSERT_EQ(sensor->WriteRegister(0x1A, 0), 1);
    EXPECT_EQ(controller.busyReads, 1);
    // A bus that stays busy is waited for 100 polls (200 ms), not for ever.
    controller.Clear();
    controller.busyBits = 0x80;
    controller.busyReadsPerTransfer = WireController::kAlwaysBusy;
    EXPECT_EQ(sensor->WriteRegister(0x1A, 2), 1);
    EXPECT_EQ(controller.busyReads, 100);
}

TEST_F(Imx183Test, InitializeOrderAndStandbyOnDestruction) {
    ASSERT_EQ(sensor->Initialize(), 1);
    EXPECT_EQ(Prefix(controller, 9), (Order{0x00, 0x11, 0x09, 0x0A, 0x0D, 0x0E, 0x1A, 0x0B, 0x0C}));
    EXPECT_EQ(controller.sensor.ExposureLines(), 1200u);
    EXPECT_EQ(controller.sensor.FrameLength(), 3700u);
    controller.Clear();
    sensor.reset();
    EXPECT_EQ(controller.events, (std::vector<WireEvent>{{WireEvent::Fpga, 48, 0}, {WireEvent::Sensor, 0x00, 3}}));
}

// ---- IMX159 ----

class Imx159Test : public ::testing::Test {
protected:
    WireController controller{ImxSensorKind::IMX159};
    CSensorIMX159 sensor{&controller, kSensorAddress};
};

TEST_F(Imx159Test, EepromBytesAreWrittenAndReadThroughAccessDevice) {
    uint8_t cell[2] = {0x10, 0xAB};
    ASSERT_EQ(sensor.AccessDevice(0, cell), 1);
    EXPECT_EQ(controller.events, (std::vector<WireEvent>{{WireEvent::Eeprom, 0x10, 0xAB}}));
    EXPECT_EQ(controller.eeprom[0x10], 0xAB);
    uint8_t read[2] = {0x10, 0};
    ASSERT_EQ(sensor.AccessDevice(1, read), 1);
    EXPECT_EQ(read[1], 0xAB);
    uint8_t erased[2] = {0x11, 0};
    ASSERT_EQ(sensor.AccessDevice(1, erased), 1);
    EXPECT_EQ(erased[1], 0xFF);
    EXPECT_EQ(read[0], 0x10) << "the address byte stays";
    EXPECT_EQ(sensor.AccessDevice(2, cell), 0);
    EXPECT_EQ(sensor.AccessDevice(0, nullptr), 0);
    EXPECT_EQ(controller.eeprom[0x11], 0xFF);
}

TEST_F(Imx159Test, FixedFrameExposureBothGainHalvesAndNoMirroring) {
    ASSERT_EQ(sensor.Initialize(), 1);
    EXPECT_EQ(Prefix(controller, 7), (Order{0x200, 0x275, 0x276, 0x277, 0x278, 0x207, 0x208}));
    EXPECT_EQ(controller.FirstWrite(0x1A), -1);
    ASSERT_EQ(sensor.SetGain(0x5A5), 1);
    EXPECT_EQ(controller.Register(0x275, 2), 0x5A5u);
    EXPECT_EQ(controller.Register(0x277, 2), 0x5A5u);
    // The frame does not stretch: the exposure stops at the frame less the margin.
    ASSERT_EQ(sensor.SetExposureLines(5000), 1);
    EXPECT_EQ(sensor.Info().exposureLines.current, 3590);
    EXPECT_EQ(controller.Register(0x207, 2), 10u);
    EXPECT_EQ(controller.sensor.ExposureLines(), 3590u);
    // Reads go to the sensor itself.
    controller.sensor.SetWord(0x276, 0x02);
    uint32_t value = 0;
    ASSERT_EQ(sensor.ReadRegister(0x276, &value), 1);
    EXPECT_EQ(value, 0x02u);
    EXPECT_EQ(sensor.SetMirrorH(1), 0);
    EXPECT_EQ(sensor.IsMirrorHSupported(), 0);
}

// ---- IMX226 ----

class Imx226Test : public ::testing::Test {
protected:
    WireController controller{ImxSensorKind::IMX226};
    CSensorIMX226 sensor{&controller, kSensorAddress};
};

TEST_F(Imx226Test, InitializeAppliesTheDefaultsThenStartsTheVerticalDrive) {
    ASSERT_EQ(sensor.Initialize(), 1);
    EXPECT_EQ(Prefix(controller, 9), (Order{0x09, 0x0A, 0x352, 0x353, 0x356, 0x357, 0x0D, 0x0E, 0x1A}));
    std::vector<WireEvent> fpga;
    for (const WireEvent& e : controller.events) {
        if (e.kind == WireEvent::Fpga) fpga.push_back(e);
    }
    EXPECT_EQ(fpga, (std::vector<WireEvent>{{WireEvent::Fpga, 129, 1}, {WireEvent::Fpga, 129, 0}}));
    EXPECT_EQ(controller.events.back().kind, WireEvent::Fpga) << "the drive is started after the window";
    EXPECT_EQ(sensor.ModelVariant(), 60);
    // A drive that already runs is left alone.
    controller.Clear();
    ASSERT_EQ(sensor.Initialize(), 1);
    EXPECT_EQ(controller.events.back().kind, WireEvent::Sensor);
}

TEST_F(Imx226Test, GainReachesAllThreePairsAndTheVerticalMirrorIsReported) {
    ASSERT_EQ(sensor.SetGain(3000), 1);
    EXPECT_EQ(sensor.Info().gain.current, 2047);
    for (uint16_t pair : {0x09, 0x352, 0x356}) EXPECT_EQ(controller.Register(pair, 2), 2047u) << pair;
    ASSERT_EQ(sensor.SetMirrorV(1), 1);
    EXPECT_EQ(controller.Register(0x1A), 2u);
    int32_t on = 0;
    EXPECT_EQ(sensor.GetMirrorV(&on), 1);
    EXPECT_EQ(on, 1);
}

// ---- LI7050 ----

class Li7050Test : public ::testing::Test {
protected:
    WireController controller{ImxSensorKind::LI7050};
    CSensorLI7050 sensor{&controller, kSensorAddress};
};

TEST_F(Li7050Test, GainIsWrittenInsideARegisterHold) {
    ASSERT_EQ(sensor.SetGain(300), 1);
    EXPECT_EQ(controller.writes, (Writes{{0x201, 1}, {0x209, 1}, {0x208, 0x2C}, {0x201, 0}}));
    EXPECT_EQ(controller.sensor.GainCode(), 300u);
}

TEST_F(Li7050Test, InitializeTakesTheExposureInSecondsAndSizesAreTheArray) {
    ASSERT_EQ(sensor.Initialize(), 1);
    EXPECT_EQ(Prefix(controller, 4), (Order{0x200, 0x201, 0x209, 0x208}));
    // 10 ms in lines of 1100 ticks of 48 MHz.
    EXPECT_EQ(sensor.Info().exposureLines.current, 436);
    EXPECT_EQ(controller.sensor.ExposureLines(), 436u);
    EXPECT_EQ(sensor.Info().exposureTime.current, 100);
    EXPECT_EQ(sensor.Info().areaWidth, 1936);
    EXPECT_EQ(sensor.Info().areaHeight, 1096);
    EXPECT_EQ(sensor.ModelVariant(), 61);
    ASSERT_EQ(sensor.SetExposureSeconds(0.5), 1);
    EXPECT_EQ(controller.sensor.ExposureLines(), 21818u);
    EXPECT_EQ(controller.sensor.FrameLength(), 21826u);
}

// ---- GLUX9701 ----

class Glux9701Test : public ::testing::Test {
protected:
    WireController controller{ImxSensorKind::GLUX9701};
    CSensorGLUX9701 sensor{&controller, kSensorAddress};
};

TEST_F(Glux9701Test, ExposureAndOutputModesReachTheirRegisters) {
    EXPECT_EQ(sensor.IsExposureModeSupported(), 1);
    ASSERT_EQ(sensor.SetExposureMode(1), 1);
    EXPECT_EQ(controller.Register(0x10), 1u);
    int32_t mode = 0;
    ASSERT_EQ(sensor.GetExposureMode(&mode), 1);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(sensor.SetExposureMode(2), 0);
    ASSERT_EQ(sensor.GetExposureMode(&mode), 1);
    EXPECT_EQ(mode, 1);

    EXPECT_EQ(sensor.IsOutputModeSupported(), 1);
    ASSERT_EQ(sensor.SetOutputMode(1), 1);
    EXPECT_EQ(controller.Register(0x12), 1u);
    EXPECT_EQ(sensor.GetOutputMode(), 1);
    controller.sensor.SetWord(0x12, 0);  // the getter asks the sensor
    EXPECT_EQ(sensor.GetOutputMode(), 0);
    EXPECT_EQ(sensor.SetOutputMode(-1), 0);
    controller.sensorAnswers = false;
    EXPECT_EQ(sensor.GetOutputMode(), -1);
}

TEST_F(Glux9701Test, DetectsAReadyHeadAndTakesThirtyTwoBitExposures) {
    controller.fpga[33] = 3;
    EXPECT_EQ(sensor.Detect(), 1);
    ASSERT_EQ(sensor.Initialize(), 1);
    EXPECT_EQ(Prefix(controller, 4), (Order{0x00, 0x10, 0x12, 0x11F}));
    EXPECT_EQ(sensor.Info().exposureLines.current, 370);  // 10 ms of 27 us lines
    ASSERT_EQ(sensor.SetExposureLines(70000), 1);
    EXPECT_EQ(controller.Register(0x0B, 4), 70000u);
    // The sensor lengthens its frame for the exposure.
    EXPECT_EQ(controller.sensor.FrameLength(), 70001u);
}

// ---- The emulated register files ----

TEST(ImxPersonalities, FrameTimeFollowsFrameAndLineLengthAndBrightnessTheExposureAndGain) {
    emulator::ImxPersonality imx174(ImxSensorKind::IMX174);
    const uint32_t period = imx174.FramePeriodUs();
    EXPECT_NEAR(period, 1254 * 270 / 74.25, 1.0);
    const double brightness = imx174.Brightness();
    // Twice the frame length at the same shutter start: a longer frame and
    // a longer exposure.
    const uint8_t frame[] = {0x02, 0x17, 0xCC, 0x09};  // 2508 lines
    ASSERT_TRUE(imx174.Write(frame, sizeof frame));
    EXPECT_NEAR(imx174.FramePeriodUs(), 2.0 * period, 2.0);
    EXPECT_NEAR(imx174.Brightness(), brightness * (2508 - 294) / 960.0, 1e-9);
    const uint8_t gain[] = {0x04, 0x04, 200};  // 20 dB
    ASSERT_TRUE(imx174.Write(gain, sizeof gain));
    EXPECT_NEAR(imx174.Brightness(), 10.0 * brightness * (2508 - 294) / 960.0, 1e-9);

    // A fixed frame keeps its period whatever the shutter.
    emulator::ImxPersonality imx159(ImxSensorKind::IMX159);
    const uint32_t fixed = imx159.FramePeriodUs();
    const uint8_t shutter[] = {0x02, 0x07, 0x10, 0x00};
    ASSERT_TRUE(imx159.Write(shutter, sizeof shutter));
    EXPECT_EQ(imx159.FramePeriodUs(), fixed);
    EXPECT_EQ(imx159.ExposureLines(), 3600u - 16u);
}

// The horizontal mirror each member writes is the one its emulated sensor
// reads out with (the IMX174's inverted flags included); the IMX159 never
// mirrors.
template <typename Sensor>
void ExpectMirrorReachesTheReadout(ImxSensorKind kind, bool mirrors) {
    WireController controller{kind};
    Sensor sensor{&controller, kSensorAddress};
    for (int32_t on : {1, 0, 1}) {
        sensor.SetMirrorH(on);
        EXPECT_EQ(controller.sensor.ArrayView(4096).mirrored, mirrors && on == 1) << "mirror " << on;
    }
    sensor.SetMirrorV(1);
    EXPECT_EQ(controller.sensor.ArrayView(4096).mirrored, mirrors) << "the vertical mirror leaves the columns";
}

TEST(ImxPersonalities, EachMembersMirrorBitReachesItsReadout) {
    {
        SCOPED_TRACE("IMX174");
        ExpectMirrorReachesTheReadout<CSensorIMX174>(ImxSensorKind::IMX174, true);
    }
    {
        SCOPED_TRACE("IMX178");
        ExpectMirrorReachesTheReadout<CSensorIMX178>(ImxSensorKind::IMX178, true);
    }
    {
        SCOPED_TRACE("IMX183");
        ExpectMirrorReachesTheReadout<CSensorIMX183>(ImxSensorKind::IMX183, true);
    }
    {
        SCOPED_TRACE("IMX226");
        ExpectMirrorReachesTheReadout<CSensorIMX226>(ImxSensorKind::IMX226, true);
    }
    {
        SCOPED_TRACE("LI7050");
        ExpectMirrorReachesTheReadout<CSensorLI7050>(ImxSensorKind::LI7050, true);
    }
    {
        SCOPED_TRACE("GLUX9701");
        ExpectMirrorReachesTheReadout<CSensorGLUX9701>(ImxSensorKind::GLUX9701, true);
    }
    {
        SCOPED_TRACE("IMX159");
        ExpectMirrorReachesTheReadout<CSensorIMX159>(ImxSensorKind::IMX159, false);
    }
}

// The FPGA-windowed heads through the engine on their virtual cameras: a
// window at 8 and 16 bits per sample is delivered at its size and not black.
TEST(ImxMembersEngine, WindowedFramesAtBothDepthsOnTheFpgaWindowedHeads) {
    InstallDeviceDrivers();
    for (uint16_t model : {0x30F0, 0x32C0}) {
        SCOPED_TRACE(model);
        emulator::Emulator::Instance().Reset();
        const std::string path = emulator::Emulator::Instance().Plug(model);
        auto camera = emulator::Emulator::Instance().Find(path);
        camera->SetUnthrottled(true);
        CVantixUSB3K9SimpleSdk engine;
        ASSERT_EQ(engine.SetModelId(model), 1);
        ASSERT_TRUE(engine.Open(0, nullptr));
        engine.EnumerateDevices(model);
        ASSERT_TRUE(engine.SelectDevice(0));
        for (int32_t sixteen : {0, 1}) {
            SCOPED_TRACE(sixteen);
            // The window first, then the depth: the depth change keeps the window.
            ASSERT_TRUE(engine.SetCaptureWindow(64, 32, 640, 480, 0));
            ASSERT_TRUE(engine.SetBitMode(sixteen));
            engine.RestartReadout();
            engine.CaptureSingleFrame();
            ASSERT_EQ(engine.FrameBytes(), 640u * 480u * (sixteen ? 2u : 1u));
            std::vector<uint8_t> frame(engine.FrameBytes());
            engine.CopyFirstSlot(frame.data(), 0, 0, 0, 0);
            const auto& personality = dynamic_cast<emulator::ImxPersonality&>(camera->Sensor());
            EXPECT_NE(std::count(frame.begin(), frame.end(), 0), static_cast<long>(frame.size()))
                << "a black frame; exposure " << personality.ExposureLines() << " lines, gain "
                << personality.GainCode() << ", frame " << personality.FrameLength();
        }
        engine.Close();
    }
    emulator::Emulator::Instance().Reset();
}

}  // namespace
}  // namespace vantix
