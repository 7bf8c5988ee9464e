// The virtual camera on its own: configuration text, device paths, scenes,
// and the device-file behaviour the transport relies on (pending reads,
// aborts, removal, frame pacing, EEPROM busy time).
#include "emulator/virtual_camera.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "drivers/device_file.h"
#include "drivers/transfer_record.h"
#include "emulator/emulator.h"
#include "transport/device_drivers.h"

namespace vantix::emulator {
namespace {

TEST(EmulateVariable, ParsesModelsAndCounts) {
    std::vector<uint16_t> models;
    ASSERT_TRUE(ParseEmulateVariable("3040", &models));
    EXPECT_EQ(models, (std::vector<uint16_t>{0x3040}));
    ASSERT_TRUE(ParseEmulateVariable("3040:2,3100", &models));
    EXPECT_EQ(models, (std::vector<uint16_t>{0x3040, 0x3040, 0x3100}));
    for (const char* bad : {"", "zz", "3040:0", "3040:", "3040,,3100", "13040", "3040:x", "3040:33"}) {
        models = {7};
        EXPECT_FALSE(ParseEmulateVariable(bad, &models)) << bad;
        EXPECT_EQ(models, (std::vector<uint16_t>{7})) << bad;
    }
}

TEST(EmulatorPaths, AreDeterministicAndCarryTheIdsWhereParsersLook) {
    Emulator& emulator = Emulator::Instance();
    emulator.Reset();
    const std::string first = emulator.Plug(0x3040);
    const std::string second = emulator.Plug(0x3040);
    const std::string other = emulator.Plug(0x3100);
    EXPECT_EQ(first, "\\\\?\\usb#vid_04b4&pid_3040#emu0#{328184c5-93e6-49b7-94b8-2ada13aabb39}");
    EXPECT_NE(second.find("#emu1#"), std::string::npos);
    EXPECT_EQ(other.substr(12, 4), "04b4");
    EXPECT_EQ(other.substr(21, 4), "3100");
    emulator.Reset();
}

// ---- Scenes ----

std::vector<uint8_t> RenderAll(const SceneSettings& scene, const FrameGeometry& geometry, uint32_t frame) {
    FrameRenderer renderer;
    renderer.Prepare(scene, geometry, frame);
    std::vector<uint8_t> bytes(geometry.PayloadBytes());
    renderer.Render(0, bytes.data(), bytes.size());
    return bytes;
}

TEST(Scene, ColourBarsFollowTheBayerPattern) {
    SceneSettings scene;
    scene.kind = SceneKind::ColorBars;
    scene.pattern = BayerPattern::GRBG;
    const std::vector<uint8_t> bytes = RenderAll(scene, {80, 2, 1}, 0);
    // Bar 0 is white: green, red / blue, green all at three quarters.
    EXPECT_EQ(bytes[0], 191);
    EXPECT_EQ(bytes[1], 191);
    // Bar 1 (yellow, columns 10-19): red and green present, blue absent.
    EXPECT_EQ(bytes[10], 191);       // G
    EXPECT_EQ(bytes[11], 191);       // R
    EXPECT_EQ(bytes[80 + 10], 0);    // B
    EXPECT_EQ(bytes[80 + 11], 191);  // G
    // Bar 7 is black.
    EXPECT_EQ(bytes[79], 0);
}

TEST(Scene, FlatLevelsScaleWithBrightnessAndSaturate) {
    SceneSettings scene;
    scene.kind = SceneKind::Flat;
    scene.pattern = BayerPattern::RGGB;
    scene.flatRed = 0.25;
    scene.flatGreen = 0.5;
    scene.flatBlue = 1.0;
    scene.brightness = 2.0;
    const std::vector<uint8_t> bytes = RenderAll(scene, {4, 2, 2}, 0);
    auto sample = [&](int x, int y) { return bytes[(y * 4 + x) * 2] | bytes[(y * 4 + x) * 2 + 1] << 8; };
    EXPECT_EQ(sample(0, 0), 32768);  // red 0.25 x 2
    EXPECT_EQ(sample(1, 0), 65535);  // green 0.5 x 2
    EXPECT_EQ(sample(1, 1), 65535);  // blue saturates
}

TEST(Scene, PiecewiseRenderingEqualsWholeFrame) {
    SceneSettings scene;
    scene.kind = SceneKind::Moving;
    const FrameGeometry geometry{100, 7, 2};
    const std::vector<uint8_t> whole = RenderAll(scene, geometry, 5);
    FrameRenderer renderer;
    renderer.Prepare(scene, geometry, 5);
    std::vector<uint8_t> pieces(whole.size());
    for (uint64_t offset = 0; offset < pieces.size(); offset += 333) {
        renderer.Render(offset, pieces.data() + offset, std::min<uint64_t>(333, pieces.size() - offset));
    }
    EXPECT_EQ(pieces, whole);
    // The moving scene moves, two columns per frame (keeping the Bayer phase).
    const std::vector<uint8_t> next = RenderAll(scene, geometry, 6);
    EXPECT_NE(next, whole);
    EXPECT_EQ(std::memcmp(next.data(), whole.data() + 4, 50), 0);
}

// ---- Device files ----

class EmulatedDeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallDeviceDrivers();
        Emulator::Instance().Reset();
        path_ = Emulator::Instance().Plug(0x3040);
        camera_ = Emulator::Instance().Find(path_);
        uint32_t error = 0;
        stream_ = OpenDeviceFile(path_, true, &error);
        ASSERT_NE(stream_, nullptr);
        // A small window keeps frames cheap.
        camera_->SetFpgaRegister(68, 16);
        camera_->SetFpgaRegister(69, 0);
        camera_->SetFpgaRegister(64, 4);
        camera_->SetFpgaRegister(65, 0);
    }
    void TearDown() override {
        stream_.reset();
        Emulator::Instance().Reset();
    }
    uint32_t Control(uint8_t type, uint8_t request, uint16_t value = 0, uint16_t index = 0,
                     Ep0Record* reply = nullptr) {
        Ep0Record record{};
        record.header.requestType = type;
        record.header.request = request;
        record.header.value = value;
        record.header.index = index;
        uint32_t returned = 0;
        const uint32_t result =
            stream_->IoControl(kIoctlEp0Transfer, &record, sizeof record, &record, sizeof record, &returned, nullptr);
        if (reply != nullptr) *reply = record;
        return result;
    }
    uint32_t StartRead(uint8_t* buffer, uint32_t n, TransferHeader* header, Overlapped* overlapped) {
        *header = TransferHeader{};
        header->endpoint = kStreamEndpoint;
        uint32_t returned = 0;
        return stream_->IoControl(kIoctlDirectTransfer, header, sizeof *header, buffer, n, &returned, overlapped);
    }

    std::string path_;
    std::shared_ptr<VirtualCamera> camera_;
    std::unique_ptr<DeviceConnection> stream_;
};

TEST_F(EmulatedDeviceTest, ReadWithoutARequestedFramePendsUntilOneIsRequested) {
    camera_->SetUnthrottled(true);
    Event done(EventReset::Auto);
    Overlapped overlapped(&done);
    TransferHeader header;
    uint8_t buffer[64];
    ASSERT_EQ(StartRead(buffer, 64, &header, &overlapped), kErrorIoPending);
    EXPECT_EQ(done.Wait(30), WaitResult::TimedOut);
    uint32_t bytes = 0;
    uint32_t error = 0;
    EXPECT_FALSE(overlapped.Result(&bytes, &error));
    EXPECT_EQ(error, kErrorIoIncomplete);
    ASSERT_EQ(Control(kRequestVendorEndpointOut, 0xC2), kErrorSuccess);
    ASSERT_EQ(done.Wait(2000), WaitResult::Signalled);
    EXPECT_TRUE(overlapped.Result(&bytes, &error));
    EXPECT_EQ(bytes, 64u);
}

TEST_F(EmulatedDeviceTest, AbortCloseAndRemovalCompleteEveryPendingRead) {
    uint8_t buffer[64];
    Event done(EventReset::Auto);
    Overlapped aborted(&done);
    TransferHeader header;
    ASSERT_EQ(StartRead(buffer, 64, &header, &aborted), kErrorIoPending);
    uint8_t endpoint = kStreamEndpoint;
    uint32_t returned = 0;
    ASSERT_EQ(stream_->IoControl(kIoctlAbortPipe, &endpoint, 1, nullptr, 0, &returned, nullptr), kErrorSuccess);
    uint32_t error = 0;
    EXPECT_FALSE(aborted.Result(nullptr, &error));
    EXPECT_EQ(error, kErrorOperationAborted);

    Overlapped removed(&done);
    ASSERT_EQ(StartRead(buffer, 64, &header, &removed), kErrorIoPending);
    Emulator::Instance().Unplug(path_);
    ASSERT_EQ(done.Wait(2000), WaitResult::Signalled);
    EXPECT_FALSE(removed.Result(nullptr, &error));
    EXPECT_EQ(error, kErrorDeviceNotConnected);
    EXPECT_EQ(Control(kRequestVendorDeviceIn, 0xC3), kErrorDeviceNotConnected);
    uint32_t openError = 0;
    EXPECT_EQ(OpenDeviceFile(path_, false, &openError), nullptr);
    EXPECT_EQ(openError, kErrorFileNotFound);

    Emulator::Instance().Replug(path_);
    Overlapped closed(&done);
    ASSERT_EQ(StartRead(buffer, 64, &header, &closed), kErrorIoPending);
    stream_.reset();  // closing the handle ends what is pending on it
    EXPECT_FALSE(closed.Result(nullptr, &error));
    EXPECT_EQ(error, kErrorOperationAborted);
}

TEST_F(EmulatedDeviceTest, FramesArePacedByTheFramePeriodUnlessUnthrottled) {
    camera_->SetFramePeriodUs(40000);
    uint8_t buffer[64];
    TransferHeader header;
    const auto readFrame = [&] {
        EXPECT_EQ(Control(kRequestVendorEndpointOut, 0xC2), kErrorSuccess);
        // An event per read: a read that completes at once signals its event
        // too, and that signal must not end the wait for the next read.
        Event done(EventReset::Auto);
        Overlapped overlapped(&done);
        if (StartRead(buffer, 64, &header, &overlapped) == kErrorIoPending) done.Wait(2000);
        std::vector<uint8_t> payload(16 * 4);
        Event payloadDone(EventReset::Auto);
        Overlapped payloadRead(&payloadDone);
        if (StartRead(payload.data(), 64, &header, &payloadRead) == kErrorIoPending) payloadDone.Wait(2000);
    };
    // Timed over whole frames from the request of the first: a reader that is
    // late sees the next frame at once (the camera's schedule catches up), so
    // the gap between two single reads proves nothing under load.
    const auto start = std::chrono::steady_clock::now();
    readFrame();
    readFrame();
    readFrame();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120));
}

TEST_F(EmulatedDeviceTest, EepromIgnoresTheBusWhileItProgramsAByte) {
    Ep0Record record{};
    record.header.requestType = kRequestVendorDeviceOut;
    record.header.request = 0x30;
    record.header.value = 3;
    record.header.index = 0xA2;
    record.data[0] = 0x00;
    record.data[1] = 0x10;
    record.data[2] = 0x99;
    uint32_t returned = 0;
    ASSERT_EQ(stream_->IoControl(kIoctlEp0Transfer, &record, sizeof record, &record, sizeof record, &returned,
                                 nullptr),
              kErrorSuccess);
    // Straight away the EEPROM does not acknowledge; after the write cycle it does.
    EXPECT_EQ(Control(kRequestVendorDeviceIn, 0x31, 1, 0xA3), kErrorGenFailure);
    std::this_thread::sleep_for(std::chrono::milliseconds(14));
    Ep0Record reply;
    EXPECT_EQ(Control(kRequestVendorDeviceIn, 0x31, 1, 0xA3, &reply), kErrorSuccess);
    EXPECT_EQ(camera_->EepromByte(0x0010), 0x99);
}

}  // namespace
}  // namespace vantix::emulator
