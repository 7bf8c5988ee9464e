// The IMX family's sensor classes against a recording controller whose
// serial bus reaches the emulated register file of the sensor: what goes
// over the wire, what the emulated sensor holds afterwards, and what the
// record says. A last group opens model 0x3300 through the engine on a
// virtual camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/personalities/imx_personality.h"
#include "engine/camera_engine.h"
#include "sensors/imx/sensor_imx273.h"
#include "transport/device_drivers.h"

namespace vantix {
namespace {

using emulator::ImxPersonality;
using emulator::ImxSensorKind;
using Writes = std::vector<std::pair<uint32_t, uint32_t>>;

constexpr uint8_t kSensorAddress = 0x48;

class RecordingController : public CControllerBase {
public:
    explicit RecordingController(ImxSensorKind kind) : sensor(kind) {}

    int32_t Release() override { return 1; }
    int32_t SelectDeviceIndex(int32_t) override { return 1; }
    int32_t ReadRegister16(uint16_t* value) override {
        *value = 0;
        return 1;
    }
    int32_t BusWrite(uint8_t address, const uint8_t* data, size_t count, uint32_t) override {
        if (address == kSensorAddress && count == 3) writes.emplace_back(data[0] << 8 | data[1], data[2]);
        return address == kSensorAddress && sensor.Write(data, count);
    }
    int32_t BusRead(uint8_t address, uint8_t* data, size_t count, uint32_t) override {
        return (address & ~1u) == kSensorAddress && sensor.Read(data, count);
    }
    int32_t WriteCameraRegister(uint16_t, uint32_t) override { return 0; }
    int32_t ReadCameraRegister(uint16_t, uint32_t*) override { return 0; }
    int32_t SendWordPair(uint16_t, uint16_t) override { return 0; }
    int32_t QueryWord(uint16_t, uint32_t*) override { return 0; }
    int32_t WriteFpgaRegister(uint8_t reg, uint8_t value) override {
        fpga[reg] = value;
        return 1;
    }
    int32_t ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
        if (reg == 2) {
            ++busyReads;
            *value = busyReadsLeft != 0 ? 1 : 0;
            if (busyReadsLeft > 0 && busyReadsLeft != kAlwaysBusy) --busyReadsLeft;
            return 1;
        }
        *value = fpga[reg];
        return 1;
    }
    int32_t WriteAuxRegister(uint8_t, uint8_t) override { return 0; }
    int32_t ReadAuxRegister(uint8_t, uint8_t*) override { return 0; }
    int32_t AbortStream() override { return 1; }

    uint32_t Register(uint16_t address, int bytes = 1) const {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) value |= uint32_t{sensor.Word(static_cast<uint16_t>(address + i))} << (8 * i);
        return value;
    }
    // Addresses of the writes, in order, with consecutive repeats (the
    // checked writes' retries) kept.
    std::vector<uint32_t> WrittenAddresses() const {
        std::vector<uint32_t> addresses;
        for (const auto& w : writes) addresses.push_back(w.first);
        return addresses;
    }

    static constexpr int kAlwaysBusy = -1;
    ImxPersonality sensor;
    Writes writes;
    std::array<uint8_t, 256> fpga{};
    int busyReadsLeft = 0;
    int busyReads = 0;
};

class Imx273Test : public ::testing::Test {
protected:
    RecordingController controller{ImxSensorKind::IMX273};
    CSensorIMX273 sensor{&controller, kSensorAddress};
};

TEST_F(Imx273Test, AreaValidationRefusesOffGridAndTooNarrowWindowsWithoutSendingAnything) {
    EXPECT_EQ(sensor.SetArea(4, 1440, 0, 1080, 0), 0);          // x off the 8-column grid
    EXPECT_EQ(sensor.SetArea(0, 512, 0, 100, 0), 0);            // below 516 columns at 8 bits
    EXPECT_EQ(sensor.SetArea(0, 1440, 1, 1080, 0), 0);          // y odd
    EXPECT_EQ(sensor.SetArea(0, 1440, 0, 2, 0), 0);             // too low
    EXPECT_EQ(sensor.SetArea(8, 1440, 0, 1080, 0), 0);          // leaves the array
    EXPECT_EQ(sensor.SetArea(8, 720, 0, 540, 1), 0);            // binned readouts start at 0
    EXPECT_EQ(sensor.SetArea(0, 1440, 0, 1078, 17), 0);         // binned height off the 4-row grid
    EXPECT_EQ(sensor.SetArea(0, 1440, 0, 1080, 2), 0);          // no such mode
    EXPECT_TRUE(controller.writes.empty());
    sensor.SetBitDepth(1);
    EXPECT_EQ(sensor.SetArea(0, 512, 0, 100, 0), 1);            // 260 columns suffice at 16 bits
    EXPECT_EQ(sensor.Info().areaWidth, 512);
}

TEST_F(Imx273Test, WindowsProgramStartsFromTheFarEdgeAndTheirFrameAndLineLengths) {
    ASSERT_EQ(sensor.SetExposureLines(100), 1);
    ASSERT_EQ(sensor.SetArea(0, 1440, 0, 1080, 0), 1);
    EXPECT_EQ(controller.Register(0x500), 0u);
    EXPECT_EQ(controller.Register(0x20D), 0u);
    EXPECT_EQ(controller.Register(0x210, 3), 1130u);
    EXPECT_EQ(controller.Register(0x214, 2), 238u);
    EXPECT_EQ(controller.Register(0x510, 2), 8u);
    EXPECT_EQ(controller.Register(0x512, 2), 4u);

    ASSERT_EQ(sensor.SetArea(8, 720, 2, 500, 0), 1);
    EXPECT_EQ(controller.Register(0x500), 3u);       // both directions cropped
    EXPECT_EQ(controller.Register(0x510, 2), 720u);  // 1440 - 8 - 720 + 8
    EXPECT_EQ(controller.Register(0x512, 2), 582u);  // 1080 - 2 - 500 + 4
    EXPECT_EQ(controller.Register(0x514, 2), 720u);
    EXPECT_EQ(controller.Register(0x516, 2), 500u);
    EXPECT_EQ(controller.Register(0x210, 3), 542u);
    // The same exposure in the shorter frame: the shutter follows the frame end.
    EXPECT_EQ(controller.Register(0x28D, 3), 442u);
    EXPECT_EQ(controller.sensor.ExposureLines(), 100u);

    for (const auto& [mode, readout] : {std::pair{1, 0x11u}, std::pair{17, 0x22u}}) {
        ASSERT_EQ(sensor.SetArea(0, 1440, 0, 1080, mode), 1);
        EXPECT_EQ(sensor.Info().areaWidth, 720);
        EXPECT_EQ(sensor.Info().areaHeight, 540);
        EXPECT_EQ(sensor.Info().areaMode, mode);
        EXPECT_EQ(controller.Register(0x20D), readout);
        EXPECT_EQ(controller.Register(0x500), 0u);
        EXPECT_EQ(controller.Register(0x210, 3), 586u);
        EXPECT_EQ(controller.Register(0x214, 2), 218u);
        EXPECT_EQ(controller.Register(0x510, 2), 4u);
        EXPECT_EQ(controller.Register(0x512, 2), 2u);
        EXPECT_EQ(controller.Register(0x514, 2), 1440u);
    }
}

TEST_F(Imx273Test, LongExposuresStretchTheFrameAndShorterOnesRestoreIt) {
    ASSERT_EQ(sensor.SetArea(0, 1440, 0, 1080, 0), 1);
    ASSERT_EQ(sensor.SetExposureLines(2000), 1);
    EXPECT_EQ(controller.Register(0x210, 3), 2014u);
    EXPECT_EQ(controller.Register(0x28D, 3), 14u);
    EXPECT_EQ(sensor.WrittenFrameLines(), 2014);
    ASSERT_EQ(sensor.SetExposureLines(100), 1);
    EXPECT_EQ(controller.Register(0x210, 3), 1130u);
    EXPECT_EQ(controller.Register(0x28D, 3), 1030u);
    EXPECT_EQ(sensor.Info().exposureLines.current, 100);
    // 20-bit values reach the third register; requests beyond the range clamp.
    ASSERT_EQ(sensor.SetExposureLines(0x7FFFFFFF), 1);
    EXPECT_EQ(sensor.Info().exposureLines.current, 0xFFFF1);
    EXPECT_EQ(controller.Register(0x210, 3), 0xFFFF1u + 14u);
    ASSERT_EQ(sensor.SetExposureLines(-5), 1);
    EXPECT_EQ(sensor.Info().exposureLines.current, 1);
    EXPECT_EQ(controller.Register(0x28D, 3), 1129u);
}

TEST_F(Imx273Test, GainClampsAtTheMaximumAndWritesTheHighBitFirst) {
    ASSERT_EQ(sensor.SetGain(600), 1);
    EXPECT_EQ(sensor.Info().gain.current, 480);
    EXPECT_EQ(controller.writes, (Writes{{0x405, 1}, {0x404, 0xE0}}));
    EXPECT_EQ(controller.sensor.GainCode(), 480u);
}

TEST_F(Imx273Test, ExposureTimeClampsToItsMinimumAndConvertsThroughTheLineTime) {
    ASSERT_EQ(sensor.SetArea(0, 1440, 0, 1080, 0), 1);
    ASSERT_EQ(sensor.SetExposureTime(0), 1);
    EXPECT_EQ(sensor.Info().exposureTime.current, 1);
    EXPECT_DOUBLE_EQ(sensor.Info().exposureSeconds, 0.0001);
    // (100 us - 14.26) / (173.1 * 1000 / 54545 us) = 27.02 lines.
    EXPECT_EQ(sensor.Info().exposureLines.current, 27);
    ASSERT_EQ(sensor.SetExposureSeconds(0.00426622), 1);
    EXPECT_EQ(sensor.Info().exposureTime.current, 42);
    EXPECT_EQ(sensor.Info().exposureLines.current, 1339);
    // Binned readouts have the shorter line time.
    ASSERT_EQ(sensor.SetArea(0, 1440, 0, 1080, 1), 1);
    ASSERT_EQ(sensor.SetExposureTime(100), 1);
    EXPECT_EQ(sensor.Info().exposureLines.current, 3436);  // (10000 - 14.26) / 2.9059
}

TEST_F(Imx273Test, BlackLevelAndMirrorsReachTheirRegisters) {
    EXPECT_EQ(sensor.SetBlackLevel(4096), 0);
    ASSERT_EQ(sensor.SetBlackLevel(0xABC), 1);
    EXPECT_EQ(controller.Register(0x454, 2), 0xABCu);
    int32_t value = 0;
    EXPECT_EQ(sensor.GetBlackLevel(&value), 0) << "reported unsupported, as slot 46 says";
    EXPECT_EQ(value, 0xABC);
    ASSERT_EQ(sensor.SetMirrorH(1), 1);
    ASSERT_EQ(sensor.SetMirrorV(1), 1);
    EXPECT_EQ(controller.Register(0x20E), 3u);
    EXPECT_EQ(controller.fpga[72], 11);
    ASSERT_EQ(sensor.SetMirrorH(0), 1);
    EXPECT_EQ(controller.Register(0x20E), 2u);
    EXPECT_EQ(controller.fpga[72], 19);  // the whole array, not mirrored
    int32_t on = 0;
    EXPECT_EQ(sensor.GetMirrorV(&on), 1);
    EXPECT_EQ(on, 1);
}

TEST_F(Imx273Test, InitializeWritesPowerOnThenBlackLevelGainExposureMirrorsAndWindow) {
    ASSERT_EQ(sensor.Initialize(), 1);
    std::vector<uint32_t> order;
    for (uint32_t address : controller.WrittenAddresses()) {
        if (order.empty() || order.back() != address) order.push_back(address);
    }
    const std::vector<uint32_t> expectedStart = {0x404, 0x454, 0x455, 0x405, 0x404};
    ASSERT_GE(order.size(), expectedStart.size());
    EXPECT_EQ(std::vector<uint32_t>(order.begin(), order.begin() + 5), expectedStart);
    EXPECT_EQ(order[5], 0x210u) << "the default exposure (1339 lines) stretches the frame first";
    // Mirrors before the window, the window last.
    const auto position = [&](uint32_t address) {
        return std::find(order.begin(), order.end(), address) - order.begin();
    };
    EXPECT_LT(position(0x20E), position(0x500));
    EXPECT_EQ(controller.sensor.ExposureLines(), 1339u);
    EXPECT_EQ(controller.Register(0x210, 3), 1353u);
    EXPECT_EQ(sensor.Info().areaWidth, 1440);
}

TEST_F(Imx273Test, CheckedWritesRetryWhileTheBusIsBusyAndGiveUpAfterAHundredTries) {
    controller.busyReadsLeft = 3;
    ASSERT_EQ(sensor.WriteRegisterChecked(0x20D, 0x11), 1);
    EXPECT_EQ(controller.writes, (Writes{{0x20D, 0x11}}));
    EXPECT_EQ(controller.busyReads, 5) << "three busy reads, then the write's and its read-back's";
    // A register that never reads back what was written (the read-only chip
    // number) fails after 100 attempts, each one write.
    controller.writes.clear();
    EXPECT_EQ(sensor.WriteRegisterChecked(0x348, 0x12), 0);
    size_t attempts = 0;
    for (const auto& w : controller.writes) attempts += w.first == 0x348 && w.second == 0x12;
    EXPECT_EQ(attempts, 100u);
    controller.writes.clear();
    controller.busyReadsLeft = RecordingController::kAlwaysBusy;
    controller.busyReads = 0;
    EXPECT_EQ(sensor.WriteRegisterChecked(0x20D, 0), 0);
    EXPECT_TRUE(controller.writes.empty());
    EXPECT_EQ(controller.busyReads, 100);
}

TEST(ImxSensors, ChipNumbersComeFromTheTwoIdentificationRegisters) {
    // 273 = 0b1'0001'0001: bits 2-8 in 0x349, bits 0-1 in bits 6-7 of 0x348.
    EXPECT_EQ(CImxSensor::ChipFromRegisters(0x40, 0x44), 273);
    EXPECT_EQ(CImxSensor::ChipFromRegisters(0x80, 0x3E), 250);
    EXPECT_EQ(CImxSensor::ChipFromRegisters(0x3F, 0x42), 264);  // low bits of 0x348 ignored
}

// Model 0x3300 through the engine on its virtual camera.
TEST(ImxEngine, Model3300OpensAndDeliversFullAndWindowedFrames) {
    InstallDeviceDrivers();
    emulator::Emulator::Instance().Reset();
    const std::string path = emulator::Emulator::Instance().Plug(0x3300);
    auto camera = emulator::Emulator::Instance().Find(path);
    camera->SetUnthrottled(true);
    {
        CVantixUSB3K9SimpleSdk engine;
        ASSERT_EQ(engine.SetModelId(0x3300), 1);
        ASSERT_TRUE(engine.Open(0, nullptr));
        engine.EnumerateDevices(0x3300);
        ASSERT_TRUE(engine.SelectDevice(0));
        SensorInfo info{};
        ASSERT_EQ(engine.GetSensorInfo(&info), 1);
        EXPECT_EQ(info.maxWidth, 1440);
        EXPECT_EQ(info.maxHeight, 1080);
        ASSERT_TRUE(engine.SetBitMode(0));
        ASSERT_TRUE(engine.SetCaptureWindow(0, 0, 1440, 1080, 0));
        engine.RestartReadout();
        engine.CaptureSingleFrame();
        EXPECT_EQ(engine.FrameBytes(), 1440u * 1080u);
        std::vector<uint8_t> frame(engine.FrameBytes());
        engine.CopyFirstSlot(frame.data(), 0, 0, 0, 0);
        EXPECT_NE(std::count(frame.begin(), frame.end(), 0), static_cast<long>(frame.size())) << "a black frame";
        const auto& personality = dynamic_cast<ImxPersonality&>(camera->Sensor());
        EXPECT_EQ(personality.ExposureLines(), 1339u);

        ASSERT_TRUE(engine.SetCaptureWindow(64, 32, 640, 480, 0));
        engine.RestartReadout();
        engine.CaptureSingleFrame();
        EXPECT_EQ(engine.FrameBytes(), 640u * 480u);
        frame.assign(engine.FrameBytes(), 0);
        engine.CopyFirstSlot(frame.data(), 0, 0, 0, 0);
        EXPECT_NE(std::count(frame.begin(), frame.end(), 0), static_cast<long>(frame.size())) << "a black frame";
        // 480 rows + 42 lines of blanking are too short for the exposure: stretched.
        EXPECT_EQ(personality.FrameLength(), 1339u + 14u);
        EXPECT_EQ(personality.ExposureLines(), 1339u);
        engine.Close();
    }
    emulator::Emulator::Instance().Reset();
}

}  // namespace
}  // namespace vantix
