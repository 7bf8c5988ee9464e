// Faults at the USB level, through the C interface: a URB that completes with
// an error, a stalled stream endpoint, a transfer that never completes, a
// camera that is unplugged in the middle of a recording and comes back, and
// two cameras streaming at once.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "usb/usb_test_support.h"

namespace vantix::usbtest {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kStreamEndpoint = 0x81;

class UsbFaults : public UsbCameraTest {
protected:
    // A callback preview on camera 0 that has delivered its first frame.
    void StartPreview() {
        handle_ = OpenCamera(0);
        ASSERT_NE(handle_, 0);
        window_ = VantixExt_CreatePollableWindow();
        ASSERT_EQ(Vantix_CallBackPreview(handle_, window_, nullptr, 0, 1), 1);
        int32_t error = -1;
        ASSERT_TRUE(NextFrameMessage(window_, 10000, &error));
        ASSERT_EQ(error, 0);
    }
    // Counts frames until `wanted` arrived; stops early at an error message.
    int Frames(int wanted, int32_t* error) {
        int frames = 0;
        *error = 0;
        while (frames < wanted && NextFrameMessage(window_, 10000, error) && *error == 0) ++frames;
        return frames;
    }
    void TearDown() override {
        if (handle_ != 0) {
            Vantix_StopPreview(handle_);
            EXPECT_EQ(Vantix_Release(handle_), 1);
        }
        if (window_ != nullptr) VantixExt_DestroyWindow(window_);
        UsbCameraTest::TearDown();
    }

    int32_t handle_ = 0;
    VantixHwnd window_ = nullptr;
};

TEST_F(UsbFaults, UrbThatCompletesWithAnErrorCostsOneFrameNotTheStream) {
    const int slot = Plug({}, 1);
    StartPreview();
    Bed().Camera(slot).FailUrbs(kStreamEndpoint, 1, EPROTO);
    int32_t error = 0;
    EXPECT_EQ(Frames(20, &error), 20);
    EXPECT_EQ(error, 0);
}

TEST_F(UsbFaults, StalledStreamEndpointIsClearedAndTheStreamGoesOn) {
    const int slot = Plug({}, 1);
    StartPreview();
    // Halted until the host clears it: every read fails with EPIPE meanwhile.
    Bed().Camera(slot).Halt(kStreamEndpoint);
    int32_t error = 0;
    EXPECT_EQ(Frames(20, &error), 20);
    EXPECT_EQ(error, 0);
    EXPECT_GE(Bed().Camera(slot).Counters().clearHalts, 1u);
}

TEST_F(UsbFaults, TransfersThatNeverCompleteAreAbortedAndTheSnapshotRecovers) {
    const int slot = Plug({}, 1);
    const int32_t h = OpenCamera(0);
    ASSERT_NE(h, 0);
    ASSERT_EQ(Vantix_SetColorMode(h, 8), 1);
    std::vector<uint8_t> image(kTestWidth * kTestHeight);
    ASSERT_EQ(Vantix_SnapShot(h, image.data(), static_cast<int32_t>(image.size()), 1), 1);
    for (const bool header : {true, false}) {
        emulator::FaultPlan plan;
        (header ? plan.headerTimeouts : plan.payloadTimeouts) = 1;
        Bed().Camera(slot).Camera().SetFaults(plan);
        const uint32_t discards = Bed().Camera(slot).Counters().discards;
        const auto start = Clock::now();
        // A lost header is asked for again within the frame; a payload that
        // stops costs the frame (the snapshot gives up before the read's own
        // time-out), and the next snapshot finds the stream working.
        const int32_t first = Vantix_SnapShot(h, image.data(), static_cast<int32_t>(image.size()), 1);
        if (header) {
            EXPECT_EQ(first, 1);
        }
        EXPECT_EQ(Vantix_SnapShot(h, image.data(), static_cast<int32_t>(image.size()), 1), 1) << header;
        // The read that never came was taken back from the kernel.
        EXPECT_GT(Bed().Camera(slot).Counters().discards, discards) << header;
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(30)) << header;
    }
    EXPECT_EQ(Vantix_Release(h), 1);
}

TEST_F(UsbFaults, ControlRequestsThatAreNeverAnsweredOrStallFailAloneAndTheNextOneWorks) {
    const int slot = Plug({}, 1);
    const int32_t h = OpenCamera(0);
    ASSERT_NE(h, 0);
    int32_t ok = 1;
    const int32_t value = Vantix_Fpga_ReadRegister(h, 7, &ok);
    ASSERT_EQ(ok, 1);
    Bed().Camera(slot).SwallowControlUrbs(1);
    const auto start = Clock::now();
    EXPECT_EQ(Vantix_Fpga_ReadRegister(h, 7, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Vantix_GetLastError(h), 6);
    // libusb gave up after the request's time-out and took the URB back.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(Bed().Camera(slot).Counters().discards, 1u);
    ok = 1;
    EXPECT_EQ(Vantix_Fpga_ReadRegister(h, 7, &ok), value);
    EXPECT_EQ(ok, 1);

    // A request the firmware refuses stalls endpoint 0 (EPIPE); the next
    // setup packet clears that on its own.
    emulator::FaultPlan plan;
    plan.stallRequest = 0x31;  // the serial-bus read
    plan.stallCount = 1;
    Bed().Camera(slot).Camera().SetFaults(plan);
    EXPECT_EQ(Vantix_Fpga_ReadRegister(h, 7, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Vantix_GetLastError(h), 6);
    ok = 1;
    EXPECT_EQ(Vantix_Fpga_ReadRegister(h, 7, &ok), value);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Vantix_Release(h), 1);
}

TEST_F(UsbFaults, UnplugDuringARecordingEndsItWithCodeThirteenAndTheCameraComesBack) {
    const int slot = Plug({}, 1);
    VantixHwnd notifications = VantixExt_CreatePollableWindow();
    const int32_t h = Vantix_Initialize(notifications);
    ASSERT_NE(h, 0);
    ASSERT_EQ(Vantix_SetDeviceNumber(h, 0), 1);
    ASSERT_EQ(Vantix_SetCaptureWindowEx(h, 3856, 0, kTestWidth, 2764, 0, kTestHeight), 1);
    Vantix_SetWaitTime(h, 0);
    const std::string avi = TempPath("unplugged.avi");
    ASSERT_EQ(Vantix_Record(h, avi.c_str(), 60000, 0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(800));

    Bed().Unplug(slot);
    bool lost = false;
    VantixMessage message{};
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!lost && Clock::now() < deadline) {
        if (VantixExt_GetMessage(notifications, &message, 100) == 1) {
            lost = message.message == VANTIX_MSG_ERROR && message.lParam == 13;
        }
    }
    EXPECT_TRUE(lost) << "no code 13 after the unplug";
    const auto closing = Clock::now();
    EXPECT_EQ(Vantix_Close(h), 1);
    EXPECT_LT(Clock::now() - closing, std::chrono::seconds(10));
    EXPECT_GT(AviFrameCount(avi), 0) << "the recording was not finalised with its frames";
    EXPECT_EQ(Vantix_SnapShot(h, nullptr, 0, 1), 0);

    // Back at the same port (a new device number): the same path, the same
    // firmware state.
    Bed().Replug(slot);
    ASSERT_TRUE(WaitUntilListed(1));
    EXPECT_EQ(Vantix_SetDeviceNumber(h, 0), 1);
    EXPECT_EQ(Vantix_SetCaptureWindowEx(h, 3856, 0, kTestWidth, 2764, 0, kTestHeight), 1);
    EXPECT_EQ(Vantix_SnapShot(h, nullptr, 0, 1), 1);
    EXPECT_EQ(Vantix_Release(h), 1);
    VantixExt_DestroyWindow(notifications);
    std::remove(avi.c_str());
}

TEST_F(UsbFaults, TwoCamerasStreamAtOnceEachFromItsOwnDevice) {
    const int slots[2] = {Plug({.port = 2}, 1), Plug({.port = 3}, 2)};
    int32_t handles[2] = {OpenCamera(0), OpenCamera(1)};
    ASSERT_NE(handles[0], 0);
    ASSERT_NE(handles[1], 0);
    VantixHwnd windows[2] = {VantixExt_CreatePollableWindow(), VantixExt_CreatePollableWindow()};
    uint32_t urbs[2];
    for (int i = 0; i < 2; ++i) {
        urbs[i] = Bed().Camera(slots[i]).Counters().bulkUrbs;
        ASSERT_EQ(Vantix_CallBackPreview(handles[i], windows[i], nullptr, 0, 1), 1);
    }
    int frames[2] = {0, 0};
    int32_t error = 0;
    for (int round = 0; round < 30; ++round) {
        for (int i = 0; i < 2; ++i) {
            if (NextFrameMessage(windows[i], 10000, &error) && error == 0) ++frames[i];
        }
    }
    EXPECT_EQ(frames[0], 30);
    EXPECT_EQ(frames[1], 30);
    // Registers go to the camera that was selected, not to its neighbour.
    EXPECT_EQ(Vantix_Fpga_WriteRegister(handles[1], 7, 0x33), 1);
    EXPECT_EQ(Bed().Camera(slots[1]).Camera().FpgaRegister(7), 0x33);
    EXPECT_NE(Bed().Camera(slots[0]).Camera().FpgaRegister(7), 0x33);
    for (int i = 0; i < 2; ++i) {
        EXPECT_GT(Bed().Camera(slots[i]).Counters().bulkUrbs, urbs[i] + 60);
        EXPECT_EQ(Vantix_StopPreview(handles[i]), 1);
        EXPECT_EQ(Vantix_Release(handles[i]), 1);
        VantixExt_DestroyWindow(windows[i]);
    }
}

}  // namespace
}  // namespace vantix::usbtest
