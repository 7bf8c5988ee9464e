// The fault matrix: every fault the virtual camera can inject, in every way
// a session acquires, at 8 and at 16 bits. No case may hang or crash; a
// passing fault costs frames but no error and leaves the session streaming;
// a fault that persists ends the stream with code 13 (a snapshot fails with
// code 8) and the session works again once it is gone; a removed camera ends
// the stream with code 13 and leaves a session that fails cleanly. A
// recording always ends as a file whose headers count the frames ffprobe
// plays.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/virtual_camera.h"
#include "platform/window_messages.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"

namespace {

using namespace std::chrono_literals;
using vantix::emulator::Emulator;
using vantix::emulator::FaultPlan;

constexpr int32_t kCodeNoCamera = 2;
constexpr int32_t kCodeTransfer = 8;
constexpr int32_t kCodeLost = 13;
constexpr uint32_t kMessageError = 0x8003;

enum class Fault {
    kHeaderTimeout,
    kPayloadTimeout,
    kShortReply,
    kStall,
    kWrongPayloadCount,
    kBadStatus,
    kRemovalMidFrame,
    kRemovalBetweenFrames,
};
enum class Mode { kPreview, kCallbackPreview, kSnapshot, kRecording };
enum class Outcome { kPasses, kPersists, kRemoves };

Outcome OutcomeOf(Fault fault) {
    switch (fault) {
        case Fault::kWrongPayloadCount: return Outcome::kPersists;  // announced in every header while set
        case Fault::kRemovalMidFrame:
        case Fault::kRemovalBetweenFrames: return Outcome::kRemoves;
        default: return Outcome::kPasses;
    }
}

const char* Name(Fault fault) {
    static const char* const names[] = {"HeaderTimeout", "PayloadTimeout", "ShortReply",      "Stall",
                                        "WrongPayloadCount", "BadStatus", "RemovalMidFrame", "RemovalBetweenFrames"};
    return names[static_cast<int>(fault)];
}
const char* Name(Mode mode) {
    static const char* const names[] = {"Preview", "CallbackPreview", "Snapshot", "Recording"};
    return names[static_cast<int>(mode)];
}

// Two of each passing fault: fewer than the five lost frames in a row that
// end a stream.
//
// A snapshot fails where a stream recovers when the fault costs more than
// the snapshot's 3 s wait: a payload that never comes is given up after the
// read time-out of the capture preparation (5 s at this exposure).
bool FailsASnapshot(Fault fault) {
    return OutcomeOf(fault) != Outcome::kPasses || fault == Fault::kPayloadTimeout;
}

FaultPlan PlanFor(Fault fault, uint64_t frameBytes) {
    FaultPlan plan;
    switch (fault) {
        case Fault::kHeaderTimeout: plan.headerTimeouts = 2; break;
        case Fault::kPayloadTimeout: plan.payloadTimeouts = 2; break;
        case Fault::kShortReply: plan.shortHeaders = 2; break;
        case Fault::kStall:
            plan.stallRequest = 0xC2;  // the frame request
            plan.stallCount = 2;
            break;
        case Fault::kWrongPayloadCount: plan.payloadCountDelta = 4096; break;
        case Fault::kBadStatus: plan.badStatusTransfers = 2; break;
        case Fault::kRemovalMidFrame: plan.removeAfterPayloadBytes = frameBytes / 2; break;
        case Fault::kRemovalBetweenFrames: break;  // unplugged by the test
    }
    return plan;
}

using Case = std::tuple<Fault, Mode, int32_t>;

class FaultMatrixTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        vantix::InstallDeviceDrivers();
        Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
        path_ = Emulator::Instance().Plug(0x3040);
        camera_ = Emulator::Instance().Find(path_);
        camera_->SetUnthrottled(true);
        window_ = vantix::CreatePollableWindow();
        session_ = std::make_unique<CVantix>();
        ASSERT_TRUE(session_->Initialize(window_));
        ASSERT_EQ(session_->SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
        ASSERT_EQ(session_->SetCaptureWindowEx(3856, 0, 320, 2764, 0, 240), 1);
        ASSERT_EQ(session_->SetColorMode(std::get<2>(GetParam())), 1);
        session_->SetWaitTime(0);
        avi_ = "/tmp/vantix-fault-matrix-" + std::to_string(getpid()) + ".avi";
        while (session_->PopError() != 0) {
        }
    }
    void TearDown() override {
        session_.reset();
        vantix::DestroyWindow(window_);
        Emulator::Instance().Reset();
        std::remove(avi_.c_str());
    }

    uint64_t FrameBytes() const { return 320 * 240 * (std::get<2>(GetParam()) == 16 ? 2u : 1u); }

    // Waits for frames served by the camera to pass `count` beyond now.
    bool FramesFlow(uint32_t count, std::chrono::seconds limit = 20s) {
        const uint32_t start = camera_->FrameCounter();
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (camera_->FrameCounter() - start < count) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(5ms);
        }
        return true;
    }
    // Drains the window; true when an error notification with `code` came
    // within `limit`.
    bool ErrorPosted(int32_t code, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        VantixMessage message;
        bool seen = false;
        do {
            while (vantix::GetWindowMessage(window_, &message, 20) == 1) {
                seen = seen || (message.message == kMessageError && message.lParam == code);
            }
        } while (!seen && std::chrono::steady_clock::now() < deadline);
        return seen;
    }
    uint32_t AviHeaderFrames() {
        std::ifstream file(avi_, std::ios::binary);
        char header[64] = {};
        file.read(header, sizeof header);
        uint32_t frames = 0;
        std::memcpy(&frames, header + 48, sizeof frames);
        return frames;
    }
    static int FfprobeFrames(const std::string& path) {
        const std::string command = "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                    "stream=nb_read_frames -of csv=p=0 '" + path + "' 2>/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) return -1;
        int frames = -1;
        if (std::fscanf(pipe, "%d", &frames) != 1) frames = -1;
        pclose(pipe);
        return frames;
    }

    void Inject(Fault fault) {
        if (fault == Fault::kRemovalBetweenFrames) {
            Emulator::Instance().Unplug(path_);
        } else {
            camera_->SetFaults(PlanFor(fault, FrameBytes()));
        }
    }
    void RunCase();

    std::string path_;
    std::shared_ptr<vantix::emulator::VirtualCamera> camera_;
    VantixHwnd window_ = nullptr;
    std::unique_ptr<CVantix> session_;
    std::string avi_;
};

void FaultMatrixTest::RunCase() {
    const auto [fault, mode, bits] = GetParam();
    const Outcome outcome = OutcomeOf(fault);
    std::vector<uint8_t> buffer(320 * 240 * 2);

    if (mode == Mode::kSnapshot) {
        ASSERT_EQ(session_->SnapShot(nullptr, 0, 0), 1) << "before the fault";
        Inject(fault);
        const int32_t taken = session_->SnapShot(nullptr, 0, 0);
        if (!FailsASnapshot(fault)) {
            EXPECT_EQ(taken, 1) << "a passing fault fails the snapshot";
        } else {
            EXPECT_EQ(taken, 0);
            // A camera already gone is found absent before any transfer.
            EXPECT_EQ(session_->PopError(), fault == Fault::kRemovalBetweenFrames ? kCodeNoCamera : kCodeTransfer);
        }
    } else {
        const int32_t started =
            mode == Mode::kPreview           ? session_->StartPreview()
            : mode == Mode::kCallbackPreview ? session_->CallBackPreview(window_, buffer.data(),
                                                                         static_cast<int32_t>(buffer.size()), 1)
                                             : session_->Record(avi_.c_str(), 60000, 0);
        ASSERT_EQ(started, 1);
        // A payload that never comes costs this much instead of 5 s.
        session_->Engine()->SetReadTimeout(200);
        ASSERT_TRUE(FramesFlow(2)) << "no frames before the fault";
        if (mode == Mode::kRecording) {
            const auto deadline = std::chrono::steady_clock::now() + 20s;
            while (AviHeaderFrames() == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
        }
        Inject(fault);
        if (outcome == Outcome::kPasses) {
            EXPECT_TRUE(FramesFlow(5)) << "the stream did not recover";
            EXPECT_FALSE(ErrorPosted(kCodeLost, 300ms)) << "a passing fault ended the stream";
        } else {
            EXPECT_TRUE(ErrorPosted(kCodeLost, 20s)) << "no code 13 for a stream that ended";
        }
        ASSERT_EQ(session_->StopPreview(), 1);
        if (mode == Mode::kRecording) {
            const uint32_t counted = AviHeaderFrames();
            EXPECT_GE(counted, 1u);
            EXPECT_EQ(FfprobeFrames(avi_), static_cast<int>(counted)) << "the recording does not play to its end";
        }
    }

    // Afterwards: usable once the fault is gone, or cleanly lost.
    camera_->SetFaults({});
    while (session_->PopError() != 0) {
    }
    if (outcome == Outcome::kRemoves) {
        EXPECT_EQ(session_->SnapShot(nullptr, 0, 0), 0);
        EXPECT_NE(session_->PopError(), 0);
        session_->StartPreview();
        EXPECT_EQ(session_->StopPreview(), 1);
    } else {
        EXPECT_EQ(session_->SnapShot(buffer.data(), static_cast<int32_t>(buffer.size()), 1), 1)
            << "the session is not usable after the fault";
        ASSERT_EQ(session_->CallBackPreview(window_, nullptr, 0, 1), 1);
        EXPECT_TRUE(FramesFlow(3)) << "no stream after the fault";
        EXPECT_EQ(session_->StopPreview(), 1);
    }
}

TEST_P(FaultMatrixTest, EndsBoundedWithTheRightCodesAndAUsableSession) {
    // Every case is bounded: one that does not end within a minute has hung.
    auto run = std::async(std::launch::async, [this] { RunCase(); });
    if (run.wait_for(60s) != std::future_status::ready) {
        std::fprintf(stderr, "fault matrix case hung\n");
        std::abort();
    }
    run.get();
}

INSTANTIATE_TEST_SUITE_P(
    AllFaults, FaultMatrixTest,
    ::testing::Combine(::testing::Values(Fault::kHeaderTimeout, Fault::kPayloadTimeout, Fault::kShortReply,
                                         Fault::kStall, Fault::kWrongPayloadCount, Fault::kBadStatus,
                                         Fault::kRemovalMidFrame, Fault::kRemovalBetweenFrames),
                       ::testing::Values(Mode::kPreview, Mode::kCallbackPreview, Mode::kSnapshot, Mode::kRecording),
                       ::testing::Values(8, 16)),
    [](const ::testing::TestParamInfo<Case>& param) {
        return std::string(Name(std::get<0>(param.param))) + "_" + Name(std::get<1>(param.param)) + "_" +
               std::to_string(std::get<2>(param.param));
    });

}  // namespace
