// The camera engine's own rules, apart from the acquisition thread: buffer
// sizing, read time-outs, the capture-window shortcut, device selection and
// the FPGA programming, checked against a virtual camera.
#include "engine/camera_engine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "catalog/model_catalog.h"
#include "emulator/emulator.h"
#include "emulator/register_map_sensor.h"
#include "engine/sensor_factory.h"
#include "transport/device_drivers.h"
#include "transport/device_table.h"

namespace vantix {
namespace {

using emulator::Emulator;

// A sensor whose record the test sets directly; it counts area requests.
class ScriptedSensor : public CSensorBase {
public:
    explicit ScriptedSensor(CControllerBase* controller) : CSensorBase(controller, 0x20) {
        info_.maxWidth = 1000;
        info_.maxHeight = 800;
    }
    SensorInfo& Record() { return info_; }
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override {
        ++areaRequests;
        if (width <= 0 || height <= 0) return 0;
        info_.areaX = x;
        info_.areaY = y;
        info_.areaWidth = width;
        info_.areaHeight = height;
        info_.areaMode = mode;
        return 1;
    }
    int32_t SetExposureTime(int32_t t) override {
        lastExposure = t;
        return 1;
    }
    int32_t SetExposureSeconds(double) override { return 1; }
    int areaRequests = 0;
    int32_t lastExposure = -1;
};

class TestEngine : public CVantixU3K9Base {
public:
    ScriptedSensor* InjectSensor() {
        auto sensor = std::make_unique<ScriptedSensor>(controller_.get());
        ScriptedSensor* raw = sensor.get();
        sensor_ = std::move(sensor);
        return raw;
    }
    void SetBitModeValue(int32_t mode) { bitMode_ = mode; }
    // Stands for a running acquisition thread, which takes pending exposures.
    void SetStreaming(bool on) { running_ = on; }
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallDeviceDrivers();
        Emulator::Instance().Reset();
        path_ = Emulator::Instance().Plug(0x3040);
        camera_ = Emulator::Instance().Find(path_);
        camera_->SetUnthrottled(true);
        engine_.SetModelId(0x3040);
        engine_.Open(0, nullptr);
        ASSERT_GE(engine_.EnumerateDevices(0x3040), 1);
        const DeviceTable& table = ProcessDeviceTable();
        for (int32_t i = 0; i < table.Count(); ++i) {
            if (table.DevicePath(i) == path_) {
                ASSERT_TRUE(engine_.Controller()->SelectDeviceIndex(i));
            }
        }
    }
    void TearDown() override {
        engine_.Close();
        Emulator::Instance().Reset();
    }

    std::string path_;
    std::shared_ptr<emulator::VirtualCamera> camera_;
    TestEngine engine_;
};

TEST_F(EngineTest, BuffersAllowAMarginAndWholeGranules) {
    ScriptedSensor* sensor = engine_.InjectSensor();
    sensor->Record().areaWidth = 1;
    sensor->Record().areaHeight = 1;
    ASSERT_TRUE(engine_.AllocateFrameBuffers());
    EXPECT_EQ(engine_.TransferBufferSize(), 40960u);  // 129 x 129 x 2 rounded up to 8 KiB
    EXPECT_EQ(engine_.FrameBytes(), 1u);

    sensor->Record().areaWidth = 320;
    sensor->Record().areaHeight = 8;
    engine_.SetBitModeValue(1);
    ASSERT_TRUE(engine_.AllocateFrameBuffers());
    EXPECT_EQ(engine_.FrameBytes(), 320u * 8 * 2);
    // The FPGA learns the window size.
    EXPECT_EQ(camera_->FpgaRegister(68) | camera_->FpgaRegister(69) << 8, 320);
    EXPECT_EQ(camera_->FpgaRegister(64) | camera_->FpgaRegister(65) << 8, 8);

    engine_.SetModelId(0x3130);  // the converter sends three planes
    sensor->Record().areaWidth = 1;
    sensor->Record().areaHeight = 1;
    ASSERT_TRUE(engine_.AllocateFrameBuffers());
    EXPECT_EQ(engine_.TransferBufferSize(), 122880u);
}

TEST_F(EngineTest, LongExposuresLengthenTheReadTimeout) {
    ScriptedSensor* sensor = engine_.InjectSensor();
    EXPECT_TRUE(engine_.SetExposureTime(50000));
    EXPECT_EQ(engine_.ReadTimeout(), 5000);
    EXPECT_TRUE(engine_.SetExposureTime(50005));
    EXPECT_EQ(engine_.ReadTimeout(), 10001);
    EXPECT_EQ(sensor->lastExposure, 50005);

    engine_.SetReadTimeout(1234);
    EXPECT_TRUE(engine_.SetExposureSeconds(2.0));
    EXPECT_EQ(engine_.ReadTimeout(), 1234);
    EXPECT_TRUE(engine_.SetExposureSeconds(2.5));
    EXPECT_EQ(engine_.ReadTimeout(), 3500);

}

TEST_F(EngineTest, TheCooledHeadTakesExposureBetweenFramesOnlyWhileItStreams) {
    ScriptedSensor* sensor = engine_.InjectSensor();
    engine_.SetModelId(0x3200);
    // While it streams, the acquisition thread applies it between frames.
    engine_.SetStreaming(true);
    EXPECT_TRUE(engine_.SetExposureTime(77));
    EXPECT_EQ(sensor->lastExposure, -1);
    EXPECT_TRUE(engine_.ExposurePending());
    // The stream ended before the next frame; a later value is taken at once
    // and the stale one is dropped, so it cannot win at the next start.
    engine_.SetStreaming(false);
    EXPECT_TRUE(engine_.SetExposureTime(88));
    EXPECT_EQ(sensor->lastExposure, 88);
    EXPECT_FALSE(engine_.ExposurePending());
}

TEST_F(EngineTest, UnchangedCaptureWindowTouchesNeitherSensorNorBuffers) {
    ScriptedSensor* sensor = engine_.InjectSensor();
    ASSERT_TRUE(engine_.SetCaptureWindow(8, 4, 320, 16, 0));
    EXPECT_EQ(sensor->areaRequests, 1);
    ASSERT_TRUE(engine_.AllocateFrameBuffers());
    ASSERT_TRUE(engine_.SetCaptureWindow(8, 4, 320, 16, 0));
    EXPECT_EQ(sensor->areaRequests, 1);
    int32_t x = 0, y = 0, w = 0, h = 0, mode = -1;
    ASSERT_TRUE(engine_.GetCaptureWindow(&x, &y, &w, &h, &mode));
    EXPECT_EQ(x, 8);
    EXPECT_EQ(y, 4);
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 16);
    EXPECT_EQ(mode, 0);
    EXPECT_FALSE(engine_.SetCaptureWindow(0, 0, 0, 0, 0));  // refused by the sensor
    EXPECT_EQ(engine_.GetMaxWidth(), 1000);
}

TEST_F(EngineTest, OperationsWithoutSensorOrControllerFailBeforeAnyTraffic) {
    CVantixU3K9Base bare;
    EXPECT_EQ(bare.SetGain(3), 0);
    EXPECT_EQ(bare.GetGain(), 0);
    EXPECT_EQ(bare.GetOutputMode(), -1);
    EXPECT_EQ(bare.GetScanMode(), -1);
    EXPECT_EQ(bare.Slot31(), -1);
    EXPECT_EQ(bare.GetDeviceInstance(0), -1);
    EXPECT_EQ(bare.IsDeviceAttached(0), 0);
    EXPECT_EQ(bare.SelectDevice(0), 0);
    EXPECT_EQ(bare.SetBitMode(1), 0);
    EXPECT_EQ(bare.GetMaxDevices(), 32);
    EXPECT_EQ(bare.ResetStream(), 0);
}

TEST_F(EngineTest, DeviceQueriesFollowTheTable) {
    EXPECT_EQ(engine_.IsDeviceAttached(0), 1);
    EXPECT_EQ(engine_.IsDeviceAttached(1), 0);
    EXPECT_EQ(engine_.GetDeviceVendorId(32), 0);
    EXPECT_EQ(engine_.GetDeviceInstance(-1), -1);
    char name[32];
    const DeviceTable& table = ProcessDeviceTable();
    for (int32_t i = 0; i < table.Count(); ++i) {
        if (table.DevicePath(i) != path_) continue;
        EXPECT_EQ(engine_.GetDeviceProductId(i), 0x3040);
        ASSERT_TRUE(engine_.GetDeviceName(i, name, sizeof name));
        EXPECT_STREQ(name, "Vantix-Q720LX-USB3-K9_00");
    }
}

// Switching cameras ends the old sensor on its own camera: the IMX183 goes
// to standby when its object is destroyed, and that write must not reach the
// camera selected next.
TEST_F(EngineTest, SwitchingCamerasPutsTheOldSensorToStandbyOnItsOwnCamera) {
    const std::string first = Emulator::Instance().Plug(0x3110);
    const std::string second = Emulator::Instance().Plug(0x3110);
    auto firstCamera = Emulator::Instance().Find(first);
    auto secondCamera = Emulator::Instance().Find(second);
    engine_.SetModelId(0x3110);
    ASSERT_EQ(engine_.EnumerateDevices(0x3110), 2);
    ASSERT_EQ(engine_.SelectDevice(0), 1);
    const auto standbyOf = [](emulator::VirtualCamera& camera) {
        return dynamic_cast<emulator::RegisterMapSensor&>(camera.Sensor()).Word(0x00);
    };
    const uint16_t awake = standbyOf(*firstCamera);
    ASSERT_NE(awake, 3);
    ASSERT_EQ(engine_.SelectDevice(1), 1);
    EXPECT_EQ(standbyOf(*firstCamera), 3) << "the first camera's sensor was left running";
    EXPECT_EQ(standbyOf(*secondCamera), awake) << "the standby went to the camera selected next";
}

TEST_F(EngineTest, ResetStreamResetsThePipeOnlyForNewerFirmware) {
    engine_.InjectSensor();
    camera_->SetDeviceBlockAVersion(0x10FF);
    ASSERT_TRUE(engine_.Controller()->PrepareStreaming());
    uint8_t block[64];
    ASSERT_TRUE(engine_.ReadDeviceBlockA(block));
    EXPECT_EQ(block[24] | block[25] << 8, 0x10FF);
    EXPECT_TRUE(engine_.ResetStream());
    // The stream-control register and the settings strobe are written either way.
    EXPECT_EQ(camera_->FpgaRegister(104), 2);
    EXPECT_EQ(camera_->FpgaRegister(108), 0);
}

TEST_F(EngineTest, BitModeProgramsTheFpgaAndResizes) {
    ScriptedSensor* sensor = engine_.InjectSensor();
    sensor->Record().areaWidth = 320;
    sensor->Record().areaHeight = 8;
    ASSERT_TRUE(engine_.SetBitMode(1));
    EXPECT_EQ(camera_->FpgaRegister(0x3C), 2);
    EXPECT_EQ(engine_.FrameBytes(), 320u * 8 * 2);
    ASSERT_TRUE(engine_.SetBitMode(0));
    EXPECT_EQ(camera_->FpgaRegister(0x3C), 1);
    EXPECT_EQ(engine_.FrameBytes(), 320u * 8);
}

TEST_F(EngineTest, ReadoutRegistersFollowTheModelTable) {
    ScriptedSensor* sensor = engine_.InjectSensor();
    sensor->Record().areaWidth = 320;
    sensor->Record().areaHeight = 8;
    sensor->Record().areaX = 100;
    engine_.SetModelId(0x31B0);
    ASSERT_TRUE(engine_.AllocateFrameBuffers());
    EXPECT_EQ(camera_->FpgaRegister(72), 11);
    EXPECT_EQ(camera_->FpgaRegister(76) | camera_->FpgaRegister(77) << 8, 1000 - 100 - 320);
    engine_.SetModelId(0x3130);
    ASSERT_TRUE(engine_.AllocateFrameBuffers());
    EXPECT_EQ(camera_->FpgaRegister(72), 20);
    EXPECT_EQ(camera_->FpgaRegister(76), 136);
}

}  // namespace
}  // namespace vantix
