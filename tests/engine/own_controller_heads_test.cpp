// Every head with a controller of its own, opened by the engine as a session
// opens it (the model's sensor created, woken and initialised by
// SelectDevice) against its emulated head, and streaming whole frames of its
// default window.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "engine/camera_engine.h"
#include "transport/device_drivers.h"

namespace vantix {
namespace {

using emulator::Emulator;

struct HeadCase {
    uint16_t model;
    int32_t width;
    int32_t height;
    uint32_t bytesPerFrame;  // as the camera sends it
};

// Default windows: the SWIR head's 2048-byte link lines of 16-bit samples,
// the mailbox heads' 2048 x 2048, the converter's three planes of 1080p.
const HeadCase kHeads[] = {
    {0x3180, 2048, 1024, 2048u * 1024u * 2u},
    {0x31E0, 2048, 2048, 2048u * 2048u},
    {0x32D0, 2048, 2048, 2048u * 2048u},
    {0x3130, 1920, 1080, 1920u * 1080u * 3u},
    {0x3140, 1280, 1024, 1280u * 1024u},
    {0x3200, 640, 512, 640u * 512u},
};

class OwnControllerHeads : public ::testing::TestWithParam<HeadCase> {
protected:
    void SetUp() override {
        InstallDeviceDrivers();
        Emulator::Instance().Reset();
    }
    void TearDown() override { Emulator::Instance().Reset(); }
};

TEST_P(OwnControllerHeads, OpensThroughItsSensorAndStreamsItsDefaultWindow) {
    const HeadCase& c = GetParam();
    const std::string path = Emulator::Instance().Plug(c.model);
    Emulator::Instance().Find(path)->SetUnthrottled(true);
    CVantixUSB3K9SimpleSdk engine;
    engine.SetModelId(c.model);
    ASSERT_EQ(engine.Open(0, nullptr), 1);
    ASSERT_EQ(engine.EnumerateDevices(c.model), 1);
    ASSERT_EQ(engine.SelectDevice(0), 1);
    SensorInfo info{};
    ASSERT_TRUE(engine.GetSensorInfo(&info));
    EXPECT_EQ(info.areaWidth, c.width);
    EXPECT_EQ(info.areaHeight, c.height);
    ASSERT_EQ(engine.SetBitMode(0), 1);
    ASSERT_EQ(engine.AllocateFrameBuffers(), 1);
    ASSERT_EQ(engine.StartCapture(kCaptureContinuous), 1);
    EXPECT_EQ(engine.FrameBytes(), c.bytesPerFrame);
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(engine.WaitFrame(5000), kWaitNewFrame) << "frame " << i;
        std::vector<uint8_t> image(engine.FrameBytes());
        engine.CopyLatestFrame(image.data(), 0, 0, 0, 0);
    }
    EXPECT_EQ(engine.StopCapture(), 1);
    EXPECT_FALSE(engine.TransferFailed());
    EXPECT_EQ(engine.Close(), 1);
}

INSTANTIATE_TEST_SUITE_P(Models, OwnControllerHeads, ::testing::ValuesIn(kHeads),
                         [](const ::testing::TestParamInfo<HeadCase>& param) {
                             char name[16];
                             std::snprintf(name, sizeof name, "Model%04X", param.param.model);
                             return std::string(name);
                         });

}  // namespace
}  // namespace vantix
