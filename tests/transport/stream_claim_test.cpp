// One stream per camera: claims exclude each other within a process and
// across processes, and a second session on a streaming camera fails at once
// while the first streams on undisturbed.
#include "transport/stream_claim.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "emulator/emulator.h"
#include "emulator/virtual_camera.h"
#include "platform/window_messages.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"

namespace {

using vantix::StreamClaim;
using vantix::emulator::Emulator;

// A path of the libusb driver's form: a real camera, shared by processes.
const std::string kRealPath = std::string("\\\\?\\usb#vid_04b4&pid_3040#claimtest-") + std::to_string(getpid()) +
                              "#{328184c5-93e6-49b7-94b8-2ada13aabb39}";

// A real camera's claim object outlives its holders; the tests' fake ones go.
struct RemoveRealClaimObjects {
    ~RemoveRealClaimObjects() {
        for (const std::string& path : {kRealPath, kRealPath + "-other"}) {
            shm_unlink(StreamClaim::NameFor(path).c_str());
        }
    }
};

TEST(StreamClaim, OneHolderAtATimeInAProcess) {
    RemoveRealClaimObjects cleanup;
    StreamClaim first;
    StreamClaim second;
    ASSERT_TRUE(first.Claim(kRealPath));
    EXPECT_TRUE(first.Claim(kRealPath));  // holding it already
    EXPECT_FALSE(first.HeldElsewhere(kRealPath));
    EXPECT_TRUE(second.HeldElsewhere(kRealPath));
    EXPECT_FALSE(second.Claim(kRealPath));
    EXPECT_FALSE(second.Holds());
    first.Release();
    EXPECT_FALSE(second.HeldElsewhere(kRealPath));
    EXPECT_TRUE(second.Claim(kRealPath));
    // Claiming another camera lets go of the first.
    ASSERT_TRUE(second.Claim(kRealPath + "-other"));
    EXPECT_TRUE(first.Claim(kRealPath));
}

TEST(StreamClaim, AnotherProcessHoldsTheClaimUntilItEnds) {
    RemoveRealClaimObjects cleanup;
    int held[2];
    int done[2];
    ASSERT_EQ(pipe(held), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        StreamClaim claim;
        const char ok = claim.Claim(kRealPath) ? 'y' : 'n';
        if (write(held[1], &ok, 1) != 1) _exit(2);
        char go = 0;
        if (read(done[0], &go, 1) != 1) _exit(3);
        _exit(0);  // the claim goes with the process
    }
    char ok = 0;
    ASSERT_EQ(read(held[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    StreamClaim mine;
    EXPECT_TRUE(mine.HeldElsewhere(kRealPath));
    EXPECT_FALSE(mine.Claim(kRealPath));
    ASSERT_EQ(write(done[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(mine.Claim(kRealPath));
    for (int fd : {held[0], held[1], done[0], done[1]}) close(fd);
}

TEST(StreamClaim, VirtualCamerasAreClaimedPerProcess) {
    // Each process emulates its own cameras under the same paths.
    vantix::InstallDeviceDrivers();
    Emulator::Instance().Reset();
    const std::string path = Emulator::Instance().Plug(0x3040);
    EXPECT_NE(StreamClaim::NameFor(path).find("-pid" + std::to_string(getpid())), std::string::npos);
    EXPECT_EQ(StreamClaim::NameFor(kRealPath).find("-pid"), std::string::npos);
    Emulator::Instance().Reset();
}

class TwoSessionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        vantix::InstallDeviceDrivers();
        Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
        const std::string path = Emulator::Instance().Plug(0x3040);
        Emulator::Instance().Find(path)->SetUnthrottled(true);
        window_ = vantix::CreatePollableWindow();
        for (CVantix* s : {&holder_, &other_}) {
            ASSERT_TRUE(s->Initialize(nullptr));
            ASSERT_NE(s->Engine()->Sensor(), nullptr);
            ASSERT_EQ(s->SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
            ASSERT_EQ(s->SetColorMode(8), 1);
            s->SetWaitTime(0);
        }
        ASSERT_EQ(holder_.SetCaptureWindowEx(3856, 0, 640, 2764, 0, 480), 1);
    }
    void TearDown() override {
        holder_.Close();
        other_.Close();
        vantix::DestroyWindow(window_);
    }
    // Frames the holder announced within `count` messages or 5 s, and
    // whether one of them reported a failure.
    int HolderFrames(int count, bool* failed) {
        int frames = 0;
        VantixMessage message;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (frames < count && std::chrono::steady_clock::now() < deadline) {
            if (vantix::GetWindowMessage(window_, &message, 100) != 1 || message.message != 0x8002) continue;
            if (message.wParam == 0) *failed = true;
            ++frames;
        }
        return frames;
    }
    VantixHwnd window_ = nullptr;
    CVantix holder_;
    CVantix other_;
};

TEST_F(TwoSessionsTest, TheSecondFailsAtOnceAndTheHolderStreamsOn) {
    ASSERT_EQ(holder_.CallBackPreview(window_, nullptr, 0, 1), 1);
    bool failed = false;
    ASSERT_EQ(HolderFrames(3, &failed), 3);

    // The other session's attempts: each refused with code 6, and a window
    // change does not reach the camera the holder streams from.
    ASSERT_EQ(other_.SetCaptureWindowEx(3856, 0, 1024, 2764, 0, 512), 1);
    EXPECT_EQ(other_.SnapShot(nullptr, 0, 0), 0);
    EXPECT_EQ(other_.PopError(), 6);
    EXPECT_EQ(other_.Capture(), 0);
    EXPECT_EQ(other_.PopError(), 6);
    EXPECT_EQ(other_.Preview(), 0);
    EXPECT_EQ(other_.PopError(), 8);  // starting the preview failed ...
    EXPECT_EQ(other_.PopError(), 6);  // ... because the stream is taken
    EXPECT_EQ(other_.PopError(), 0);
    // Registers and names stay available.
    int32_t ok = 0;
    EXPECT_EQ(other_.ReadRegister(0, &ok), 0x2C01);
    EXPECT_EQ(ok, 1);
    char name[64] = {};
    EXPECT_EQ(other_.GetDeviceName(0, name, sizeof name), 1);

    EXPECT_EQ(HolderFrames(10, &failed), 10);
    EXPECT_FALSE(failed);
    int32_t x = 0, y = 0, w = 0, h = 0, mode = 0;
    holder_.Engine()->GetCaptureWindow(&x, &y, &w, &h, &mode);
    EXPECT_EQ(w, 640);
    for (int32_t code = holder_.PopError(); code != 0; code = holder_.PopError()) ADD_FAILURE() << "holder: " << code;

    // Once the holder stops, the other session may stream.
    ASSERT_EQ(holder_.StopPreview(), 1);
    EXPECT_EQ(other_.SnapShot(nullptr, 0, 0), 1);
}

}  // namespace
