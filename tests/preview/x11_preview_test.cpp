// The preview window on an X server (a private Xvfb started by the test
// harness): what appears on screen is compared pixel by pixel with the
// session's converted image of the same frame.
#include <dirent.h>
#include <gtest/gtest.h>
// After GoogleTest: Xlib defines macros (None, Bool, ...) that its names use.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "emulator/emulator.h"
#include "platform/window_messages.h"
#include "platform/x11_window_target.h"
#include "session/vantix_session.h"
#include "transport/device_drivers.h"

// Last: Xlib defines macros (None, Status, ...) that clash with our names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using vantix::emulator::Emulator;

constexpr int32_t kWidth = 320;
constexpr int32_t kHeight = 240;

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// A picture read back from the screen, top row first.
struct Screenshot {
    int32_t width = 0, height = 0;
    std::vector<Rgb> pixels;
    Rgb At(int32_t x, int32_t y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};

uint8_t ChannelOf(unsigned long pixel, unsigned long mask) {
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) ++shift;
    return static_cast<uint8_t>((pixel & mask) >> shift);
}

int CountOpenFiles() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr) ++count;
        closedir(dir);
    }
    return count;
}

class X11PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr) GTEST_SKIP() << "no X display (run under tests/support/with-xvfb.sh)";
        vantix::InstallDeviceDrivers();
        Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
        const std::string path = Emulator::Instance().Plug(0x3040);
        camera_ = Emulator::Instance().Find(path);
        camera_->SetUnthrottled(true);
        vantix::emulator::SceneSettings scene;
        scene.kind = vantix::emulator::SceneKind::Moving;  // differs along rows and columns
        camera_->SetScene(scene);
        frames_ = vantix::CreatePollableWindow();
        session_ = std::make_unique<CVantix>();
        ASSERT_TRUE(session_->Initialize(nullptr));
        ASSERT_EQ(session_->SetCaptureWindowEx(3856, 0, kWidth, 2764, 0, kHeight), 1);
        session_->SetWaitTime(0);

        const int screen = DefaultScreen(display_);
        parent_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0, 1200, 1000, 0,
                                      BlackPixel(display_, screen), WhitePixel(display_, screen));
        XMapWindow(display_, parent_);
        XSync(display_, False);
        parentHandle_ = vantix::WrapX11Window(parent_);
        ASSERT_NE(parentHandle_, nullptr);
    }

    void TearDown() override {
        if (display_ == nullptr) return;
        session_.reset();
        vantix::DestroyWindow(frames_);
        vantix::DestroyWindow(parentHandle_);
        XDestroyWindow(display_, parent_);
        XCloseDisplay(display_);
        Emulator::Instance().Reset();
    }

    // Forgets frames announced by an earlier preview.
    void DrainFrames() {
        VantixMessage message;
        while (vantix::GetWindowMessage(frames_, &message, 0) == 1) {
        }
    }

    // Waits until the worker has announced `count` more frames.
    bool WaitFrames(int count) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        VantixMessage message;
        while (count > 0 && std::chrono::steady_clock::now() < deadline) {
            if (vantix::GetWindowMessage(frames_, &message, 100) == 1 && message.wParam != 0) --count;
        }
        return count == 0;
    }

    // Runs a callback preview until a few frames were drawn, then stops the
    // worker and keeps the window: the screen then holds the last frame the
    // session converted.
    void PreviewAndStop() {
        DrainFrames();
        ASSERT_EQ(session_->CallBackPreview(frames_, nullptr, 0, 0), 1) << session_->PopError();
        ASSERT_TRUE(WaitFrames(3));
        ASSERT_EQ(session_->StopPreview(), 1);
        XSync(display_, False);
    }

    std::vector<Window> ChildrenOf(Window window) {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        std::vector<Window> result;
        if (XQueryTree(display_, window, &root, &parent, &children, &count) != 0) {
            result.assign(children, children + count);
            XFree(children);
        }
        return result;
    }

    Screenshot Capture(Window window) {
        XWindowAttributes attributes{};
        EXPECT_NE(XGetWindowAttributes(display_, window, &attributes), 0);
        Screenshot shot;
        shot.width = attributes.width;
        shot.height = attributes.height;
        XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(shot.width),
                                  static_cast<unsigned>(shot.height), AllPlanes, ZPixmap);
        EXPECT_NE(image, nullptr);
        if (image == nullptr) return shot;
        for (int32_t y = 0; y < shot.height; ++y) {
            for (int32_t x = 0; x < shot.width; ++x) {
                const unsigned long pixel = XGetPixel(image, x, y);
                shot.pixels.push_back({ChannelOf(pixel, image->red_mask), ChannelOf(pixel, image->green_mask),
                                       ChannelOf(pixel, image->blue_mask)});
            }
        }
        XDestroyImage(image);
        return shot;
    }

    // Keeps a screenshot as a PPM file under the build tree for people to look at.
    static void Keep(const Screenshot& shot, const std::string& name) {
        const std::string path = std::string(VANTIX_PREVIEW_OUTPUT_DIR) + "/" + name + ".ppm";
        std::ofstream file(path, std::ios::binary);
        file << "P6\n" << shot.width << " " << shot.height << "\n255\n";
        for (const Rgb& p : shot.pixels) file.put(static_cast<char>(p.r)).put(static_cast<char>(p.g)).put(static_cast<char>(p.b));
    }

    // The session's converted image as it should look on screen: memory row
    // y as screen row y, reduced to 8 bits per channel as the preview shows it.
    Screenshot Expected() {
        const int32_t mode = session_->GetColorMode();
        const int32_t bits = mode;  // GetColorMode reports bits per pixel
        const int32_t bytes = bits / 8;
        const int32_t stride = (kWidth * bytes + 3) & ~3;
        std::vector<uint8_t> buffer(static_cast<size_t>(stride * kHeight));
        EXPECT_EQ(session_->GetImage(buffer.data(), static_cast<int32_t>(buffer.size()), 1), 1);
        Screenshot shot;
        shot.width = kWidth;
        shot.height = kHeight;
        for (int32_t y = 0; y < kHeight; ++y) {
            const uint8_t* row = buffer.data() + y * stride;
            for (int32_t x = 0; x < kWidth; ++x) {
                const uint8_t* p = row + x * bytes;
                switch (bits) {
                    case 8: shot.pixels.push_back({p[0], p[0], p[0]}); break;
                    case 16: shot.pixels.push_back({p[1], p[1], p[1]}); break;
                    case 24:
                    case 32: shot.pixels.push_back({p[2], p[1], p[0]}); break;
                    default: shot.pixels.push_back({p[5], p[3], p[1]}); break;  // 48 and 64: high bytes
                }
            }
        }
        return shot;
    }

    Window PreviewWindow() { return static_cast<Window>(session_->PreviewWindowXid()); }

    Display* display_ = nullptr;
    Window parent_ = 0;
    VantixHwnd parentHandle_ = nullptr;
    VantixHwnd frames_ = nullptr;
    std::shared_ptr<vantix::emulator::VirtualCamera> camera_;
    std::unique_ptr<CVantix> session_;
};

// Pixels of `shot` that differ from expected(x, y); the first few are printed.
template <typename Lookup>
int CountDifferences(const Screenshot& shot, Lookup expected) {
    int differences = 0;
    for (int32_t y = 0; y < shot.height; ++y) {
        for (int32_t x = 0; x < shot.width; ++x) {
            if (shot.At(x, y) == expected(x, y)) continue;
            if (++differences <= 3) {
                const Rgb e = expected(x, y), s = shot.At(x, y);
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): screen " << int(s.r) << "," << int(s.g) << ","
                              << int(s.b) << " expected " << int(e.r) << "," << int(e.g) << "," << int(e.b);
            }
        }
    }
    return differences;
}

TEST_F(X11PreviewTest, WindowOfTheImageSizeShowsEveryColourModeWithRowZeroOnTop) {
    ASSERT_EQ(session_->SetPreviewWindow(parentHandle_, 10, 20, kWidth, kHeight), 1);
    for (int32_t bits : {8, 16, 24, 32, 48, 64}) {
        SCOPED_TRACE(bits);
        ASSERT_EQ(session_->SetColorMode(bits), 1);
        PreviewAndStop();
        const Window window = PreviewWindow();
        ASSERT_NE(window, 0u);
        const std::vector<Window> children = ChildrenOf(parent_);
        ASSERT_EQ(children.size(), 1u);  // the previous mode's window was replaced
        XWindowAttributes attributes{};
        XGetWindowAttributes(display_, window, &attributes);
        EXPECT_EQ(attributes.x, 10);
        EXPECT_EQ(attributes.y, 20);
        const Screenshot shot = Capture(window);
        ASSERT_EQ(shot.width, kWidth);
        ASSERT_EQ(shot.height, kHeight);
        const Screenshot expected = Expected();
        EXPECT_EQ(CountDifferences(shot, [&](int32_t x, int32_t y) { return expected.At(x, y); }), 0);
        if (bits == 24) Keep(shot, "preview-24bit-same-size");
    }
    EXPECT_EQ(session_->Close(), 1);
    EXPECT_TRUE(ChildrenOf(parent_).empty());
}

TEST_F(X11PreviewTest, ChildWindowIsNamedAndClassedPerStart) {
    ASSERT_EQ(session_->SetPreviewWindow(parentHandle_, 0, 0, kWidth, kHeight), 1);
    ASSERT_EQ(session_->Preview(), 1);
    const std::string first = session_->PreviewClassName();
    char* title = nullptr;
    ASSERT_NE(XFetchName(display_, PreviewWindow(), &title), 0);
    EXPECT_STREQ(title, "ActiveMovie Window");
    XFree(title);
    XClassHint hint{};
    ASSERT_NE(XGetClassHint(display_, PreviewWindow(), &hint), 0);
    EXPECT_EQ(first, hint.res_class);
    XFree(hint.res_name);
    XFree(hint.res_class);
    EXPECT_EQ(first.rfind("VideoRenderer_", 0), 0u);
    EXPECT_EQ(first.size(), std::strlen("VideoRenderer_") + 8 + 1 + 8);
    ASSERT_EQ(session_->Close(), 1);
    EXPECT_EQ(session_->PreviewClassName(), "");
    ASSERT_EQ(session_->Preview(), 1);
    EXPECT_NE(session_->PreviewClassName(), first);
    ASSERT_EQ(session_->Close(), 1);
}

TEST_F(X11PreviewTest, SixteenBitModeGoesThroughTheScalerWithTheSamePicture) {
    // Mode 1 always scales, even at the image size; the rows reversed by the
    // scaler come out the same way up as the direct path.
    ASSERT_EQ(session_->SetPreviewWindow(parentHandle_, 0, 0, kWidth, kHeight), 1);
    ASSERT_EQ(session_->SetColorMode(16), 1);
    PreviewAndStop();
    const vantix::CDibImage* preview = session_->Image(7);
    EXPECT_EQ(preview->Width(), kWidth);
    EXPECT_EQ(preview->BitsPerPixel(), 8);
    const Screenshot shot = Capture(PreviewWindow());
    const Screenshot expected = Expected();
    EXPECT_EQ(CountDifferences(shot, [&](int32_t x, int32_t y) { return expected.At(x, y); }), 0);
    Keep(shot, "preview-16bit-scaler");
}

TEST_F(X11PreviewTest, ScaledWindowsPickNearestPixels) {
    ASSERT_EQ(session_->SetColorMode(24), 1);
    struct Case {
        int32_t width, height;
        const char* name;
    };
    for (const Case& c : {Case{2 * kWidth, kHeight, "double-width"}, Case{kWidth / 2, kHeight, "half-width"},
                          Case{201, 157, "odd-size"}}) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(session_->SetPreviewWindow(parentHandle_, 0, 0, c.width, c.height), 1);
        PreviewAndStop();
        const Screenshot shot = Capture(PreviewWindow());
        ASSERT_EQ(shot.width, c.width);
        ASSERT_EQ(shot.height, c.height);
        const Screenshot expected = Expected();
        // Screen row y is memory row H' - 1 - y of the scaled image, which
        // took source memory row H - 1 - trunc((H' - 1 - y) * sy).
        const float sx = static_cast<float>(kWidth) / static_cast<float>(c.width);
        const float sy = static_cast<float>(kHeight) / static_cast<float>(c.height);
        EXPECT_EQ(CountDifferences(shot,
                                   [&](int32_t x, int32_t y) {
                                       const int32_t column = std::min(static_cast<int32_t>(static_cast<float>(x) * sx), kWidth - 1);
                                       const int32_t picked = std::min(
                                           static_cast<int32_t>(static_cast<float>(c.height - 1 - y) * sy), kHeight - 1);
                                       return expected.At(column, kHeight - 1 - picked);
                                   }),
                  0);
        if (c.width == 2 * kWidth) {
            // Every pixel doubled horizontally.
            EXPECT_EQ(CountDifferences(shot, [&](int32_t x, int32_t y) { return expected.At(x / 2, y); }), 0);
            Keep(shot, "preview-24bit-double-width");
        }
        if (c.width == kWidth / 2) {
            EXPECT_EQ(CountDifferences(shot, [&](int32_t x, int32_t y) { return expected.At(2 * x, y); }), 0);
        }
        ASSERT_EQ(session_->Close(), 1);
    }
}

TEST_F(X11PreviewTest, ResizingTheWindowRemakesThePreviewImage) {
    ASSERT_EQ(session_->SetColorMode(24), 1);
    ASSERT_EQ(session_->SetPreviewWindow(parentHandle_, 0, 0, 200, 100), 1);
    PreviewAndStop();
    EXPECT_EQ(session_->Image(7)->Width(), 200);
    EXPECT_EQ(session_->Image(7)->Height(), 100);
    // The application resizes the child it was given.
    XResizeWindow(display_, PreviewWindow(), 300, 150);
    XSync(display_, False);
    DrainFrames();
    ASSERT_EQ(session_->StartPreview(), 1);
    ASSERT_TRUE(WaitFrames(3));
    ASSERT_EQ(session_->StopPreview(), 1);
    EXPECT_EQ(session_->Image(7)->Width(), 300);
    EXPECT_EQ(session_->Image(7)->Height(), 150);
    const Screenshot shot = Capture(PreviewWindow());
    const Screenshot expected = Expected();
    EXPECT_EQ(CountDifferences(shot,
                               [&](int32_t x, int32_t y) {
                                   const float sx = static_cast<float>(kWidth) / 300.0f;
                                   const float sy = static_cast<float>(kHeight) / 150.0f;
                                   const int32_t column = std::min(static_cast<int32_t>(static_cast<float>(x) * sx), kWidth - 1);
                                   const int32_t picked = std::min(static_cast<int32_t>(static_cast<float>(149 - y) * sy), kHeight - 1);
                                   return expected.At(column, kHeight - 1 - picked);
                               }),
              0);
}

TEST_F(X11PreviewTest, TopLevelWindowIsCentredAndTitled) {
    const Window root = DefaultRootWindow(display_);
    ASSERT_EQ(session_->SetPreviewWindow(nullptr, 1, 1, 1, 1), 1);
    ASSERT_EQ(session_->SetColorMode(24), 1);
    PreviewAndStop();
    const Window window = PreviewWindow();
    ASSERT_NE(window, 0u);
    XWindowAttributes attributes{};
    ASSERT_NE(XGetWindowAttributes(display_, window, &attributes), 0);
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);
    EXPECT_EQ(attributes.x, (1280 - kWidth) / 2);
    EXPECT_EQ(attributes.y, (1024 - kHeight) / 2);
    Window parent = 0, unusedRoot = 0;
    Window* children = nullptr;
    unsigned count = 0;
    ASSERT_NE(XQueryTree(display_, window, &unusedRoot, &parent, &children, &count), 0);
    if (children != nullptr) XFree(children);
    EXPECT_EQ(parent, root);
    char* title = nullptr;
    ASSERT_NE(XFetchName(display_, window, &title), 0);
    EXPECT_STREQ(title, "Active Window");
    XFree(title);
    const Screenshot shot = Capture(window);
    const Screenshot expected = Expected();
    EXPECT_EQ(CountDifferences(shot, [&](int32_t x, int32_t y) { return expected.At(x, y); }), 0);
    Keep(shot, "preview-top-level");
    ASSERT_EQ(session_->Close(), 1);

    // Larger than the screen: placed at the origin.
    ASSERT_EQ(session_->SetCaptureWindowEx(3856, 0, 1600, 2764, 0, 1200), 1);
    ASSERT_EQ(session_->Preview(), 1);
    ASSERT_NE(XGetWindowAttributes(display_, PreviewWindow(), &attributes), 0);
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, 1600);
    ASSERT_EQ(session_->Close(), 1);
}

TEST_F(X11PreviewTest, NoParentAndNoRectangleMeansNoWindowButFramesStillConvert) {
    const size_t before = ChildrenOf(DefaultRootWindow(display_)).size();
    ASSERT_EQ(session_->SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(session_->CallBackPreview(frames_, nullptr, 0, 0), 1);
    ASSERT_TRUE(WaitFrames(3));
    EXPECT_EQ(session_->PreviewWindowXid(), 0u);
    EXPECT_EQ(ChildrenOf(DefaultRootWindow(display_)).size(), before);
    ASSERT_EQ(session_->Close(), 1);
}

TEST_F(X11PreviewTest, RepeatedStartsLeaveNoWindowsOrConnectionsBehind) {
    ASSERT_EQ(session_->SetPreviewWindow(parentHandle_, 0, 0, kWidth, kHeight), 1);
    // One round first: the message connection and Xlib's own caches are made once.
    ASSERT_EQ(session_->CallBackPreview(frames_, nullptr, 0, 0), 1);
    ASSERT_TRUE(WaitFrames(1));
    ASSERT_EQ(session_->Close(), 1);
    const int files = CountOpenFiles();
    const size_t rootWindows = ChildrenOf(DefaultRootWindow(display_)).size();
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(session_->CallBackPreview(frames_, nullptr, 0, 0), 1);
        ASSERT_TRUE(WaitFrames(1));
        EXPECT_EQ(ChildrenOf(parent_).size(), 1u);
        ASSERT_EQ(session_->Close(), 1);
    }
    EXPECT_TRUE(ChildrenOf(parent_).empty());
    EXPECT_EQ(ChildrenOf(DefaultRootWindow(display_)).size(), rootWindows);
    EXPECT_EQ(CountOpenFiles(), files);
}

TEST_F(X11PreviewTest, ParentsThatAreMissingOrGoneFailCleanly) {
    // An XID no window has: creation fails with the window error.
    VantixHwnd bogus = vantix::WrapX11Window(0x7FFFFF0);
    ASSERT_EQ(session_->SetPreviewWindow(bogus, 0, 0, kWidth, kHeight), 1);
    EXPECT_EQ(session_->Preview(), 0);
    EXPECT_EQ(session_->PopError(), 4);
    vantix::DestroyWindow(bogus);
    // A message window cannot be a parent either.
    ASSERT_EQ(session_->SetPreviewWindow(frames_, 0, 0, kWidth, kHeight), 1);
    EXPECT_EQ(session_->Preview(), 0);
    EXPECT_EQ(session_->PopError(), 4);

    // The application destroys the parent while frames are being drawn: the
    // preview keeps running without a window to draw into.
    ASSERT_EQ(session_->SetPreviewWindow(parentHandle_, 0, 0, kWidth, kHeight), 1);
    ASSERT_EQ(session_->CallBackPreview(frames_, nullptr, 0, 0), 1);
    ASSERT_TRUE(WaitFrames(2));
    XDestroyWindow(display_, parent_);
    XSync(display_, False);
    parent_ = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 10, 10, 0, 0, 0);
    EXPECT_TRUE(WaitFrames(5));
    EXPECT_EQ(session_->Close(), 1);
}

TEST_F(X11PreviewTest, MessagesToAWrappedWindowArriveAsClientMessages) {
    const Atom type = XInternAtom(display_, "VANTIX_MESSAGE", False);
    const uintptr_t wParam = sizeof(uintptr_t) == 8 ? static_cast<uintptr_t>(0x1122334455667788ull) : 0x11223344u;
    ASSERT_TRUE(vantix::PostWindowMessage(parentHandle_, 0x8002, wParam, -5));
    // A session whose notification window is the X11 window reports errors there.
    auto notified = std::make_unique<CVantix>();
    ASSERT_TRUE(notified->Initialize(parentHandle_));
    notified->RecordError(9);

    std::vector<VantixMessage> received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (received.size() < 2 && std::chrono::steady_clock::now() < deadline) {
        if (XPending(display_) == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type != ClientMessage || event.xclient.message_type != type) continue;
        EXPECT_EQ(event.xclient.format, 32);
        VantixMessage message;
        VantixExt_MessageFromClientData(event.xclient.data.l, &message);
        received.push_back(message);
    }
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].message, 0x8002u);
    EXPECT_EQ(received[0].wParam, wParam);
    EXPECT_EQ(received[0].lParam, -5);
    EXPECT_EQ(received[1].message, 0x8003u);
    EXPECT_EQ(received[1].wParam, 0u);
    EXPECT_EQ(received[1].lParam, 9);
    EXPECT_EQ(vantix::X11WindowOf(parentHandle_), parent_);
    EXPECT_EQ(vantix::X11WindowOf(frames_), 0u);
}

// Without a reachable display no window can be made; everything else works.
TEST(X11PreviewWithoutDisplay, WindowCallsReportCode4AndWindowlessPreviewWorks) {
    setenv("DISPLAY", ":4093", 1);  // nothing listens there
    vantix::InstallDeviceDrivers();
    Emulator::Instance().Reset();
    Emulator::Instance().Find(Emulator::Instance().Plug(0x3040))->SetUnthrottled(true);
    VantixHwnd frames = vantix::CreatePollableWindow();
    VantixHwnd parent = vantix::WrapX11Window(0x200001);
    {
        CVantix session;
        ASSERT_TRUE(session.Initialize(nullptr));
        ASSERT_EQ(session.SetCaptureWindowEx(3856, 0, kWidth, 2764, 0, kHeight), 1);
        session.SetWaitTime(0);
        ASSERT_EQ(session.SetPreviewWindow(parent, 0, 0, kWidth, kHeight), 1);
        EXPECT_EQ(session.Preview(), 0);
        EXPECT_EQ(session.PopError(), 4);
        ASSERT_EQ(session.SetPreviewWindow(nullptr, 0, 0, kWidth, kHeight), 1);
        EXPECT_EQ(session.Record("/dev/null", 100, 1), 0);
        EXPECT_EQ(session.PopError(), 4);
        EXPECT_FALSE(vantix::PostWindowMessage(parent, 0x8002, 0, 0));
        ASSERT_EQ(session.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
        ASSERT_EQ(session.CallBackPreview(frames, nullptr, 0, 0), 1);
        VantixMessage message;
        int announced = 0;
        for (int i = 0; i < 100 && announced < 2; ++i) {
            if (vantix::GetWindowMessage(frames, &message, 100) == 1 && message.wParam != 0) ++announced;
        }
        EXPECT_EQ(announced, 2);
        EXPECT_EQ(session.Close(), 1);
    }
    vantix::DestroyWindow(frames);
    vantix::DestroyWindow(parent);
    Emulator::Instance().Reset();
}

}  // namespace
