// Acquisition through the session against a virtual camera: the state
// machine, snapshots and image reads, the callback preview with its frame
// record, and a camera lost in the middle of a preview.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <unistd.h>
#include <memory>
#include <thread>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/virtual_camera.h"
#include "platform/window_messages.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"

namespace {

using vantix::emulator::Emulator;

class AcquisitionControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        vantix::InstallDeviceDrivers();
        Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
        path_ = Emulator::Instance().Plug(0x3040);
        Emulator::Instance().Find(path_)->SetUnthrottled(true);
        window_ = vantix::CreatePollableWindow();
        session_ = std::make_unique<CVantix>();
        ASSERT_TRUE(session_->Initialize(window_));
        ASSERT_NE(session_->Engine()->Sensor(), nullptr);
        // A small window keeps frames cheap; no preview window is wanted.
        ASSERT_EQ(session_->SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
        ASSERT_EQ(session_->SetCaptureWindowEx(3856, 0, 640, 2764, 0, 480), 1);
        ASSERT_EQ(session_->SetColorMode(8), 1);
        session_->SetWaitTime(0);
        Drain();
    }
    void TearDown() override {
        session_.reset();
        vantix::DestroyWindow(window_);
        Emulator::Instance().Reset();
    }
    void Drain() {
        while (session_->PopError() != 0) {
        }
        VantixMessage message;
        while (vantix::GetWindowMessage(window_, &message, 0) == 1) {
        }
    }
    std::string path_;
    VantixHwnd window_ = nullptr;
    std::unique_ptr<CVantix> session_;
};

TEST_F(AcquisitionControlTest, StatesAllowWhatTheyShould) {
    ASSERT_EQ(session_->StartPreview(), 1);
    ASSERT_EQ(session_->StartPreview(), 1);  // one worker, already running
    EXPECT_EQ(session_->Capture(), 0);
    EXPECT_EQ(session_->PopError(), 1);
    EXPECT_EQ(session_->SnapShot(nullptr, 0, 0), 0);
    EXPECT_EQ(session_->PopError(), 1);
    ASSERT_EQ(session_->StopPreview(), 1);

    ASSERT_EQ(session_->Capture(), 1);
    ASSERT_EQ(session_->Capture(), 1);
    EXPECT_EQ(session_->StartPreview(), 0);
    EXPECT_EQ(session_->PopError(), 1);
    ASSERT_EQ(session_->SnapShot(nullptr, 0, 0), 1);  // prepared: the transfer stays up
    ASSERT_EQ(session_->SnapShot(nullptr, 0, 0), 1);
    EXPECT_EQ(session_->Close(), 1);
    EXPECT_EQ(session_->StartPreview(), 1);
    EXPECT_EQ(session_->Close(), 1);
}

TEST_F(AcquisitionControlTest, SnapShotLeavesTheImageForGetImage) {
    ASSERT_EQ(session_->SnapShot(nullptr, 0, 0), 1);
    const vantix::CDibImage* client = session_->Image(0);
    const size_t bytes = static_cast<size_t>(client->Stride()) * static_cast<size_t>(client->Height());
    std::vector<uint8_t> image(bytes);
    ASSERT_EQ(session_->GetImage(image.data(), static_cast<int32_t>(bytes), 1), 1);
    EXPECT_EQ(std::memcmp(image.data(), client->Bits(), bytes), 0);
    // The other orientation puts the last stored row first.
    ASSERT_EQ(session_->GetImage(image.data(), static_cast<int32_t>(bytes), 0), 1);
    EXPECT_EQ(std::memcmp(image.data(), client->Row(client->Height() - 1), client->Stride()), 0);

    EXPECT_EQ(session_->GetImage(image.data(), static_cast<int32_t>(bytes) - 1, 1), 0);
    EXPECT_EQ(session_->PopError(), 5);
    EXPECT_EQ(session_->PopError(), 5);
    EXPECT_EQ(session_->PopError(), 0);
}

TEST_F(AcquisitionControlTest, CallbackPreviewAnnouncesEveryFrameWithItsRecord) {
    std::vector<uint8_t> buffer(640 * 480);
    ASSERT_EQ(session_->CallBackPreview(window_, buffer.data(), static_cast<int32_t>(buffer.size()), 1), 1);
    int frames = 0;
    VantixMessage message;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (frames < 5 && std::chrono::steady_clock::now() < deadline) {
        if (vantix::GetWindowMessage(window_, &message, 100) != 1) continue;
        if (message.message != 0x8002) continue;
        ASSERT_NE(message.wParam, 0u);
        // The record may be reused while it is read: read each field whole.
        auto* record = reinterpret_cast<int32_t*>(message.wParam);
        const auto field = [&](int i) { return std::atomic_ref<int32_t>(record[i]).load(std::memory_order_relaxed); };
        EXPECT_EQ(field(1), 640);
        EXPECT_EQ(field(2), 480);
        EXPECT_EQ(field(3), 8);
        void*& pointer = *reinterpret_cast<void**>(record + 6);
        EXPECT_EQ(std::atomic_ref<void*>(pointer).load(std::memory_order_relaxed), buffer.data());
        ++frames;
    }
    EXPECT_EQ(frames, 5);
    ASSERT_EQ(session_->StopPreview(), 1);
}

// The application's buffer holds the converted frame in the order it asked
// for, with and without a filter stage after the demosaic's, in gray and
// colour; a buffer one byte short gets nothing and an error.
TEST_F(AcquisitionControlTest, CallbackBufferHoldsTheClientImageInEitherOrientation) {
    for (const int32_t bits : {8, 24}) {
        ASSERT_EQ(session_->SetColorMode(bits), 1);
        for (const int32_t sharpness : {0, 12}) {
            ASSERT_EQ(session_->SetFilterValue(5, sharpness), 1);
            for (const int32_t bottomUp : {0, 1}) {
                std::vector<uint8_t> buffer(640 * 480 * static_cast<size_t>(bits / 8), 0xA5);
                ASSERT_EQ(session_->CallBackPreview(window_, buffer.data(), static_cast<int32_t>(buffer.size()), bottomUp), 1);
                int frames = 0;
                VantixMessage message;
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (frames < 2 && std::chrono::steady_clock::now() < deadline) {
                    if (vantix::GetWindowMessage(window_, &message, 100) == 1 && message.message == 0x8002 &&
                        message.wParam != 0) {
                        ++frames;
                    }
                }
                ASSERT_EQ(session_->StopPreview(), 1);
                ASSERT_EQ(frames, 2);
                // Stopped: the buffer and the client image hold the last frame.
                const vantix::CDibImage* client = session_->Image(bits == 8 ? 0 : 2);
                const size_t stride = static_cast<size_t>(client->Stride());
                ASSERT_EQ(stride * static_cast<size_t>(client->Height()), buffer.size());
                for (int32_t y = 0; y < client->Height(); ++y) {
                    const int32_t from = bottomUp != 0 ? y : client->Height() - 1 - y;
                    ASSERT_EQ(std::memcmp(buffer.data() + stride * static_cast<size_t>(y), client->Row(from), stride), 0)
                        << bits << " bits, sharpness " << sharpness << ", bottomUp " << bottomUp << ", row " << y;
                }
                Drain();
            }
        }
        std::vector<uint8_t> small(640 * 480 * static_cast<size_t>(bits / 8) - 1, 0xA5);
        ASSERT_EQ(session_->CallBackPreview(window_, small.data(), static_cast<int32_t>(small.size()), 1), 1);
        VantixMessage message;
        bool refused = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!refused && std::chrono::steady_clock::now() < deadline) {
            refused = vantix::GetWindowMessage(window_, &message, 100) == 1 && message.message == 0x8002 &&
                      message.wParam == 0 && message.lParam == 5;
        }
        ASSERT_EQ(session_->StopPreview(), 1);
        EXPECT_TRUE(refused);
        EXPECT_TRUE(std::all_of(small.begin(), small.end(), [](uint8_t b) { return b == 0xA5; }));
        Drain();
    }
}

TEST_F(AcquisitionControlTest, FrameMetadataDescribesTheFrameDeliveredLast) {
    VantixFrameMetadata meta{};
    EXPECT_EQ(session_->GetFrameMetadata(&meta), 0);  // nothing delivered yet
    EXPECT_EQ(session_->PopError(), 5);
    EXPECT_EQ(session_->GetFrameMetadata(nullptr), 0);
    EXPECT_EQ(session_->PopError(), 9);

    const auto monotonic = [] {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
    };
    const uint64_t before = monotonic();
    ASSERT_EQ(session_->SnapShot(nullptr, 0, 0), 1);
    const uint64_t after = monotonic();
    ASSERT_EQ(session_->GetFrameMetadata(&meta), 1);
    EXPECT_EQ(meta.frameCounter, Emulator::Instance().Find(path_)->FrameCounter());
    EXPECT_GE(meta.timestampNs, before);
    EXPECT_LE(meta.timestampNs, after);
    EXPECT_EQ(meta.droppedFrames, 0u);
    EXPECT_EQ(meta.width, 640);
    EXPECT_EQ(meta.height, 480);
    EXPECT_EQ(meta.bitsPerPixel, 8);
    EXPECT_EQ(meta.imageWidth, 640);

    // Sub-sampling shrinks the image, not the capture window.
    ASSERT_EQ(session_->SetSubSample(1), 1);
    ASSERT_EQ(session_->SnapShot(nullptr, 0, 0), 1);
    ASSERT_EQ(session_->GetFrameMetadata(&meta), 1);
    EXPECT_EQ(meta.width, 640);
    EXPECT_EQ(meta.imageWidth, 320);
    EXPECT_EQ(meta.imageHeight, 240);
    ASSERT_EQ(session_->SetSubSample(0), 1);

    // A worker that pauses between frames misses some of the camera's: the
    // gaps in the camera's frame counter are the dropped frames.
    session_->SetWaitTime(30);
    ASSERT_EQ(session_->CallBackPreview(window_, nullptr, 0, 1), 1);
    int frames = 0;
    VantixMessage message;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (frames < 6 && std::chrono::steady_clock::now() < deadline) {
        if (vantix::GetWindowMessage(window_, &message, 100) != 1 || message.message != 0x8002) continue;
        ASSERT_NE(message.wParam, 0u);
        ++frames;
    }
    ASSERT_EQ(session_->StopPreview(), 1);
    ASSERT_EQ(session_->GetFrameMetadata(&meta), 1);
    EXPECT_GE(frames, 6);
    EXPECT_GT(meta.droppedFrames, 0u);
    EXPECT_EQ(meta.imageWidth, 640);
}

TEST_F(AcquisitionControlTest, LostCameraEndsThePreviewWithCode13) {
    ASSERT_EQ(session_->CallBackPreview(window_, nullptr, 0, 1), 1);
    Emulator::Instance().Unplug(path_);
    VantixMessage message;
    bool lost = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!lost && std::chrono::steady_clock::now() < deadline) {
        if (vantix::GetWindowMessage(window_, &message, 100) != 1) continue;
        lost = message.message == 0x8002 && message.wParam == 0 && message.lParam == 13;
    }
    EXPECT_TRUE(lost);
    EXPECT_EQ(session_->StopPreview(), 1);
    bool recorded = false;
    for (int32_t code = session_->PopError(); code != 0; code = session_->PopError()) recorded |= code == 13;
    EXPECT_TRUE(recorded);
}

// A wait time of weeks is still a wait the stop interrupts.
TEST_F(AcquisitionControlTest, ALongWaitTimeNeverDelaysAStop) {
    ASSERT_EQ(session_->SetWaitTime(0x7FFFFFFF), 1);
    EXPECT_EQ(session_->GetWaitTime(), 0x7FFFFFFF);
    ASSERT_EQ(session_->StartPreview(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(session_->StopPreview(), 1);
    ASSERT_EQ(session_->StartPreview(), 1);  // a new start is not stopped at once
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    session_.reset();  // release stops the pausing worker too
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

// A frame whose header announces fewer bytes than the window holds would
// leave the previous frame's bytes in the image: the snapshot fails instead.
TEST_F(AcquisitionControlTest, SnapshotOfAShortFrameFailsWithCode8) {
    std::vector<uint8_t> image(640 * 480);
    ASSERT_EQ(session_->SnapShot(image.data(), static_cast<int32_t>(image.size()), 1), 1);
    for (int32_t delta : {-640 * 480, -640}) {
        vantix::emulator::FaultPlan faults;
        faults.payloadCountDelta = delta;
        Emulator::Instance().Find(path_)->SetFaults(faults);
        EXPECT_EQ(session_->SnapShot(image.data(), static_cast<int32_t>(image.size()), 1), 0) << delta;
        EXPECT_EQ(session_->PopError(), 8) << delta;
    }
}

TEST_F(AcquisitionControlTest, PreviewThatNeedsAWindowFailsWithCode4) {
    setenv("DISPLAY", ":4093", 1);  // no server there, whatever the test was started with
    ASSERT_EQ(session_->SetPreviewWindow(nullptr, 0, 0, 640, 480), 1);
    EXPECT_EQ(session_->Preview(), 0);
    EXPECT_EQ(session_->PopError(), 4);
}

TEST_F(AcquisitionControlTest, ReleaseWhileThePreviewRuns) {
    ASSERT_EQ(session_->StartPreview(), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    session_.reset();  // stops the worker and the camera, saves the settings
}

TEST_F(AcquisitionControlTest, StillImagesNeedAConvertedFrame) {
    const std::string path = "/tmp/vantix-still-" + std::to_string(getpid()) + ".bmp";
    EXPECT_EQ(session_->SaveImage(path.c_str(), 0), 0);
    EXPECT_EQ(session_->PopError(), 1);
    ASSERT_EQ(session_->SnapShot(nullptr, 0, 0), 1);
    ASSERT_EQ(session_->SaveImage(path.c_str(), 0), 1);
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    EXPECT_EQ(static_cast<long>(file.tellg()), 1078L + 640L * 480L);  // headers, colour table, pixels
    EXPECT_EQ(session_->SaveImage(path.c_str(), 7), 0);  // no such type: fails without an error
    EXPECT_EQ(session_->PopError(), 0);
    std::remove(path.c_str());
}

// Frames counted in the AVI's main header.
uint32_t AviTotalFrames(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char header[64] = {};
    file.read(header, sizeof header);
    uint32_t frames = 0;
    std::memcpy(&frames, header + 48, sizeof frames);
    return std::memcmp(header, "RIFF", 4) == 0 ? frames : 0;
}

// Whether the AVI was finalised: only its closing sets the has-index flag
// again, which the headers written after each frame clear.
bool AviFinished(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char header[64] = {};
    file.read(header, sizeof header);
    uint32_t flags = 0;
    std::memcpy(&flags, header + 44, sizeof flags);
    return std::memcmp(header, "RIFF", 4) == 0 && (flags & 0x10) != 0;
}

// Waits (at most 20 s, however busy the machine) until the recording at path
// holds a frame.
void WaitForRecordedFrame(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (AviTotalFrames(path) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TEST_F(AcquisitionControlTest, RecordingsEndAfterTheirDurationAndOnStop) {
    EXPECT_EQ(session_->Record("", 100, 0), 0);
    EXPECT_EQ(session_->PopError(), 9);

    // Duration 0: finalised at the first frame at least 1 ms after the first.
    const std::string path = "/tmp/vantix-record-" + std::to_string(getpid()) + ".avi";
    ASSERT_EQ(session_->Record(path.c_str(), 0, 0), 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!AviFinished(path) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(AviTotalFrames(path), 2u);
    ASSERT_EQ(session_->StopPreview(), 1);

    // A long recording stopped early is finalised by the stop.
    std::remove(path.c_str());
    ASSERT_EQ(session_->Record(path.c_str(), 60000, 0), 1);
    WaitForRecordedFrame(path);
    ASSERT_EQ(session_->StopPreview(), 1);
    EXPECT_GT(AviTotalFrames(path), 0u);
    std::remove(path.c_str());
}

// Every announced frame's buffer holds the camera's picture: a flat scene of
// three levels in the camera's Bayer pattern, passed through by the 8-bit
// gray conversion at default settings (the levels themselves follow the
// camera's exposure and gain).
TEST_F(AcquisitionControlTest, CallbackBuffersHoldTheCamerasPicture) {
    auto camera = Emulator::Instance().Find(path_);
    vantix::emulator::SceneSettings scene = camera->Scene();
    scene.kind = vantix::emulator::SceneKind::Flat;
    scene.flatRed = 0.25;
    scene.flatGreen = 0.5;
    scene.flatBlue = 0.75;
    camera->SetScene(scene);
    std::vector<uint8_t> buffer(640 * 480);
    ASSERT_EQ(session_->CallBackPreview(window_, buffer.data(), static_cast<int32_t>(buffer.size()), 1), 1);
    int frames = 0;
    VantixMessage message;
    // Each restarted preview gets its own time for a frame (slow under the
    // sanitizers, which restart a preview in seconds rather than milliseconds).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (frames < 3 && std::chrono::steady_clock::now() < deadline) {
        if (vantix::GetWindowMessage(window_, &message, 100) != 1 || message.message != 0x8002 || message.wParam == 0) {
            continue;
        }
        // Copy the frame before the worker writes the next one into the buffer.
        ASSERT_EQ(session_->StopPreview(), 1);
        // A flat scene: each of the four positions of the 2 x 2 Bayer cell
        // holds one value over the whole frame, and the greens are equal.
        int wrong = 0;
        for (int y = 0; y < 480; ++y) {
            for (int x = 0; x < 640; ++x) {
                const uint8_t v = buffer[static_cast<size_t>(y) * 640 + static_cast<size_t>(x)];
                wrong += v != buffer[static_cast<size_t>(y & 1) * 640 + static_cast<size_t>(x & 1)];
            }
        }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(buffer[0], buffer[641]);  // the two greens
        EXPECT_NE(buffer[1], buffer[640]);  // red and blue differ
        ++frames;
        ASSERT_EQ(session_->CallBackPreview(window_, buffer.data(), static_cast<int32_t>(buffer.size()), 1), 1);
        deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    }
    EXPECT_EQ(frames, 3);
    session_->StopPreview();
}

TEST_F(AcquisitionControlTest, CameraLostDuringASnapshotOrARecording) {
    const std::string path = "/tmp/vantix-lost-" + std::to_string(getpid()) + ".avi";
    ASSERT_EQ(session_->Record(path.c_str(), 60000, 0), 1);
    WaitForRecordedFrame(path);
    Emulator::Instance().Unplug(path_);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_EQ(session_->StopPreview(), 1);
    EXPECT_GT(AviTotalFrames(path), 0u);  // finalised with what was recorded
    EXPECT_EQ(session_->SnapShot(nullptr, 0, 0), 0);
    std::remove(path.c_str());
}

}  // namespace
