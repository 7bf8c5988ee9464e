// Recordings through the session against a virtual camera: a disk that fills
// up in the middle ends the recording with a finished file, and the
// application is told, once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "platform/window_messages.h"
#include "session/error_codes.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"
#include "support/file_size_limit.h"

namespace {

namespace fs = std::filesystem;
using vantix::emulator::Emulator;

constexpr uint32_t kFrameBytes = 320 * 3 * 240;  // one 24-bit AVI frame
constexpr uint32_t kHeaderBytes = 232;

using vantix::testing_support::FileSizeLimit;

uint32_t U32At(const std::vector<char>& data, size_t offset) {
    uint32_t value = 0;
    if (offset + 4 <= data.size()) std::memcpy(&value, data.data() + offset, 4);
    return value;
}

class RecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        vantix::InstallDeviceDrivers();
        Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
        char pattern[] = "/tmp/vantix-recording-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        const std::string path = Emulator::Instance().Plug(0x3040);
        Emulator::Instance().Find(path)->SetUnthrottled(true);
        window_ = vantix::CreatePollableWindow();
        session_ = std::make_unique<CVantix>();
        ASSERT_TRUE(session_->Initialize(window_));
        ASSERT_EQ(session_->SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
        ASSERT_EQ(session_->SetCaptureWindowEx(3856, 0, 320, 2764, 0, 240), 1);
        ASSERT_EQ(session_->SetColorMode(24), 1);
        session_->SetWaitTime(0);
        while (session_->PopError() != 0) {
        }
        VantixMessage message;
        while (vantix::GetWindowMessage(window_, &message, 0) == 1) {
        }
    }
    void TearDown() override {
        session_.reset();
        vantix::DestroyWindow(window_);
        Emulator::Instance().Reset();
        fs::remove_all(dir_);
    }
    // Waits up to `ms` for the notification of error `code`.
    bool ErrorPosted(int32_t code, uint32_t ms) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        VantixMessage message;
        while (std::chrono::steady_clock::now() < deadline) {
            if (vantix::GetWindowMessage(window_, &message, 100) == 1 && message.message == vantix::kMessageError &&
                message.lParam == code) {
                return true;
            }
        }
        return false;
    }

    fs::path dir_;
    VantixHwnd window_ = nullptr;
    std::unique_ptr<CVantix> session_;
};

TEST_F(RecordingTest, DiskFullEndsTheRecordingWithAFinishedFileAndCode12) {
    const std::string file = (dir_ / "clip.avi").string();
    {
        // Two frames fit; the third breaks off halfway, leaving room for the
        // index of the two.
        FileSizeLimit limit(kHeaderBytes + 2 * (8 + kFrameBytes) + 8 + kFrameBytes / 2);
        ASSERT_EQ(session_->Record(file.c_str(), 60000, 0), 1);
        EXPECT_TRUE(ErrorPosted(vantix::kErrorConversion, 20000)) << "no 0x8003 with code 12";
        ASSERT_EQ(session_->StopPreview(), 1);
    }
    EXPECT_EQ(session_->PopError(), vantix::kErrorConversion);
    EXPECT_EQ(session_->PopError(), 0) << "one failure, one code";

    std::ifstream in(file, std::ios::binary);
    const std::vector<char> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const uint32_t indexBytes = 8 + 2 * 16;
    ASSERT_EQ(data.size(), kHeaderBytes + 2 * (8 + kFrameBytes) + indexBytes);
    EXPECT_EQ(U32At(data, 4), data.size() - 8);  // RIFF size
    EXPECT_EQ(U32At(data, 48), 2u);              // frames
    EXPECT_EQ(std::string(data.data() + kHeaderBytes + 2 * (8 + kFrameBytes), 4), "idx1");

    // Without the limit the same recording runs to its end without a word.
    ASSERT_EQ(session_->Record(file.c_str(), 200, 0), 1);
    EXPECT_FALSE(ErrorPosted(vantix::kErrorConversion, 1500));
    ASSERT_EQ(session_->StopPreview(), 1);
    EXPECT_EQ(session_->PopError(), 0);
}

}  // namespace
