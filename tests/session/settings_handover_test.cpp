// Filter and image settings changed by the application while frames stream:
// each frame is converted with one set of settings (taken once per frame),
// never with a mixture, and the hand-over is free of data races (this test
// runs under the tsan preset too).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/virtual_camera.h"
#include "platform/window_messages.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"

namespace {

using vantix::emulator::Emulator;

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;
constexpr int32_t kBrightnessId = 1;
constexpr int32_t kBayerGainsId = 6;  // red, green, blue in bytes 0, 1, 2

class SettingsHandoverTest : public ::testing::Test {
protected:
    void SetUp() override {
        vantix::InstallDeviceDrivers();
        Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
        const std::string path = Emulator::Instance().Plug(0x3040);
        auto camera = Emulator::Instance().Find(path);
        camera->SetUnthrottled(true);
        vantix::emulator::SceneSettings scene = camera->Scene();
        scene.kind = vantix::emulator::SceneKind::Flat;
        scene.flatRed = scene.flatGreen = scene.flatBlue = 0.3;
        camera->SetScene(scene);
        window_ = vantix::CreatePollableWindow();
        session_ = std::make_unique<CVantix>();
        ASSERT_TRUE(session_->Initialize(window_));
        ASSERT_EQ(session_->SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
        ASSERT_EQ(session_->SetCaptureWindowEx(3856, 0, kWidth, 2764, 0, kHeight), 1);
        ASSERT_EQ(session_->SetColorMode(24), 1);
        session_->SetWaitTime(0);
    }
    void TearDown() override {
        session_.reset();
        vantix::DestroyWindow(window_);
        Emulator::Instance().Reset();
    }

    VantixHwnd window_ = nullptr;
    std::unique_ptr<CVantix> session_;
};

// A flat grey scene converts to one colour over the whole frame. Another
// thread alternates the brightness and, in one call each time, the three
// white-balance gains while the preview runs: a frame converted partly with
// one value and partly with the other would hold two colours, and one
// converted with gains of both sets would show a colour of neither.
TEST_F(SettingsHandoverTest, FiltersChangedWhileStreamingApplyToWholeFrames) {
    ASSERT_EQ(session_->CallBackPreview(window_, nullptr, 0, 1), 1);
    std::atomic<bool> stop{false};
    std::thread changer([&] {
        for (int n = 0; !stop; ++n) {
            const bool bright = (n & 1) != 0;
            session_->SetFilterValue(kBrightnessId, bright ? 60 : 0);
            session_->SetFilterValue(kBayerGainsId, bright ? (150 | 80 << 8 | 120 << 16) : (100 | 100 << 8 | 100 << 16));
            std::this_thread::yield();
        }
    });

    const size_t stride = (static_cast<size_t>(kWidth) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> image(stride * kHeight);
    std::set<uint32_t> colours;
    int mixed = 0;
    int frames = 0;
    // Sixty frames, and on until a change has shown: on a loaded machine the
    // changing thread may not run for a while, which says nothing about the
    // hand-over. The deadline only bounds a run whose changes never show.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((frames < 60 || colours.size() < 2) && std::chrono::steady_clock::now() < deadline) {
        if (session_->GetImage(image.data(), static_cast<int32_t>(image.size()), 0) != 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        ++frames;
        // Every pixel away from the edges (the demosaic treats the border
        // rows and columns on its own) has the colour of the centre.
        const auto colourAt = [&](int x, int y) {
            const uint8_t* p = image.data() + static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3;
            return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
        };
        const uint32_t centre = colourAt(kWidth / 2, kHeight / 2);
        colours.insert(centre);
        bool whole = true;
        for (int y = 2; y < kHeight - 2 && whole; ++y) {
            for (int x = 2; x < kWidth - 2 && whole; ++x) whole = colourAt(x, y) == centre;
        }
        mixed += whole ? 0 : 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stop = true;
    changer.join();
    ASSERT_EQ(session_->StopPreview(), 1);
    EXPECT_GE(frames, 10);
    EXPECT_EQ(mixed, 0) << "frames converted with a mixture of settings";
    // Two brightness values times two sets of gains: four colours at most,
    // a fifth would come from gains of both sets.
    EXPECT_GE(colours.size(), 2u) << "the changes did not take effect";
    EXPECT_LE(colours.size(), 4u);
}

}  // namespace
