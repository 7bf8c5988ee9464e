// The session's property front ends and device naming against virtual
// cameras: ranges and codes, what reaches the camera, and the names the
// application sees.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <cstring>
#include <string>

#include "emulator/emulator.h"
#include "session/vantix_session.h"
#include <vantix/linux_ext.h>
#include "transport/device_drivers.h"

namespace {

using vantix::emulator::Emulator;

class FrontEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        vantix::InstallDeviceDrivers();
        Emulator::Instance().Reset();
        std::remove(std::getenv("VANTIX_REGISTRY"));
    }
    void TearDown() override { Emulator::Instance().Reset(); }
    std::string Plug() {
        const std::string path = Emulator::Instance().Plug(0x3040);
        Emulator::Instance().Find(path)->SetUnthrottled(true);
        return path;
    }
    // A session with one camera selected.
    void OpenWithCamera() {
        path_ = Plug();
        ASSERT_TRUE(session_.Initialize(nullptr));
        ASSERT_NE(session_.Engine()->Sensor(), nullptr);
        while (session_.PopError() != 0) {
        }
    }
    std::string path_;
    CVantix session_;
};

TEST_F(FrontEndTest, StoredFiltersCheckTheirRangesAndKeepOldValues) {
    OpenWithCamera();
    ASSERT_EQ(session_.SetFilterValue(1, -255), 1);
    EXPECT_EQ(session_.SetFilterValue(1, 256), 0);
    EXPECT_EQ(session_.PopError(), 9);
    int32_t ok = 0;
    EXPECT_EQ(session_.GetFilterValue(1, &ok), -255);
    EXPECT_EQ(ok, 1);

    // Red, green and blue Bayer gains travel packed in one value.
    ASSERT_EQ(session_.SetFilterValue(6, 0xFF8040), 1);
    EXPECT_EQ(session_.GetFilterValue(7, &ok), 0x40);
    EXPECT_EQ(session_.GetFilterValue(8, &ok), 0x80);
    EXPECT_EQ(session_.GetFilterValue(9, &ok), 0xFF);
    EXPECT_EQ(session_.GetFilterValue(6, &ok), 0xFF8040);

    for (int32_t id : {29, 33, 101, 0, 37, 99, 107}) {
        EXPECT_EQ(session_.SetFilterValue(id, 0), 0) << id;
        EXPECT_EQ(session_.PopError(), 9) << id;
    }
    EXPECT_EQ(session_.GetFilterValue(28, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(session_.PopError(), 9);
    // The temperature id exists but this camera has no sensor for it.
    EXPECT_EQ(session_.GetFilterValue(101, &ok), -1);
    EXPECT_EQ(session_.PopError(), 11);
    EXPECT_EQ(session_.SetFilterValue(100, 1), 0);  // no cooler
    EXPECT_EQ(session_.PopError(), 11);
    // Nor a gain mode: the engine's -1 is not passed off as a mode.
    ok = 1;
    EXPECT_EQ(session_.GetFilterValue(104, &ok), -1);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(session_.PopError(), 11);
    EXPECT_EQ(session_.SetFilterValue(104, 1), 0);
    EXPECT_EQ(session_.PopError(), 11);
}

TEST_F(FrontEndTest, GainsAndExposureGoToTheCamera) {
    OpenWithCamera();
    ASSERT_EQ(session_.SetFilterValue(13, 70), 1);
    EXPECT_EQ(session_.Camera().colorGainRed, 70);
    EXPECT_EQ(session_.Camera().colorGainGreen2, 70);
    int32_t ok = 0;
    EXPECT_EQ(session_.GetFilterValue(13, &ok), 70);
    EXPECT_EQ(session_.Engine()->GetGain(), 70);
    EXPECT_EQ(session_.SetFilterValue(13, session_.Engine()->GetGainMax() + 1), 0);
    EXPECT_EQ(session_.PopError(), 9);

    ASSERT_EQ(session_.SetFilterValue(14, 90), 1);
    EXPECT_EQ(session_.Engine()->GetColorGainRed(), 90);

    ASSERT_EQ(session_.SetRealExposureTime(10000), 1);  // 10 ms
    EXPECT_EQ(session_.Camera().exposure, 100);
    EXPECT_EQ(session_.GetRealExposureTime(&ok), 10000);
    EXPECT_EQ(session_.Engine()->GetExposureTime(), 100);
    EXPECT_EQ(session_.SetRealExposureTime(-100), 0);
    EXPECT_EQ(session_.PopError(), 9);

    // This camera takes no exposure in seconds.
    EXPECT_EQ(session_.SetExposureTimeEx(0.5), 0);
    EXPECT_EQ(session_.PopError(), 11);
    EXPECT_EQ(session_.GetExposureTimeEx(&ok), -1.0);
    EXPECT_EQ(ok, 0);
}

TEST_F(FrontEndTest, AClampedExposureIsReportedAsProgrammedByEveryGetter) {
    OpenWithCamera();
    // A 640-wide window runs 1816-pixel lines at 80 MHz: the 16-bit line
    // counter's largest count, 32767 lines, is 0.7438 s.
    ASSERT_EQ(session_.SetCaptureWindowEx(3856, 0, 640, 2764, 0, 480), 1);
    constexpr int32_t kLongest = 7438;
    int32_t ok = 0;
    for (const auto& request : {std::function<int32_t()>([&] { return session_.SetFilterValue(18, 20000); }),
                                std::function<int32_t()>([&] { return session_.SetRealExposureTime(2000000); })}) {
        ASSERT_EQ(request(), 1);
        EXPECT_EQ(session_.Engine()->GetExposureLines(), 32767);
        EXPECT_EQ(session_.Engine()->GetExposureTime(), kLongest);
        EXPECT_EQ(session_.GetFilterValue(18, &ok), kLongest);
        EXPECT_EQ(session_.Camera().exposure, kLongest);
        EXPECT_EQ(session_.GetRealExposureTime(&ok), kLongest * 100);
    }
    // A time that fits is kept as asked.
    ASSERT_EQ(session_.SetFilterValue(18, 500), 1);
    EXPECT_EQ(session_.GetRealExposureTime(&ok), 50000);

    // Narrowing the window shortens the line: the time is re-programmed in
    // lines of the new length and clamped there, and the session says so.
    ASSERT_EQ(session_.SetCaptureWindowEx(3856, 0, 3840, 2764, 0, 2752), 1);
    ASSERT_EQ(session_.SetFilterValue(18, 15000), 1);  // 1.5 s fits 4436-pixel lines
    EXPECT_EQ(session_.GetRealExposureTime(&ok), 1500000);
    ASSERT_EQ(session_.SetCaptureWindowEx(3856, 0, 640, 2764, 0, 480), 1);
    EXPECT_EQ(session_.GetRealExposureTime(&ok), kLongest * 100);
    EXPECT_EQ(session_.GetFilterValue(18, &ok), kLongest);
}

TEST_F(FrontEndTest, ASnapshotTakesAtLeastTheExposure) {
    OpenWithCamera();
    Emulator::Instance().Find(path_)->SetUnthrottled(false);
    ASSERT_EQ(session_.SetPreviewWindow(nullptr, 0, 0, 0, 0), 1);
    ASSERT_EQ(session_.SetCaptureWindowEx(3856, 0, 640, 2764, 0, 480), 1);
    ASSERT_EQ(session_.SetColorMode(8), 1);
    ASSERT_EQ(session_.SetFilterValue(18, 5000), 1);  // 0.5 s
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(session_.SnapShot(nullptr, 0, 0), 1);
    // A lower bound only: the frame cannot exist before it was exposed.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    session_.Close();
}

TEST_F(FrontEndTest, WindowRulesDescribeTheWindowsTheCameraTakes) {
    VantixWindowRules rules{};
    ASSERT_TRUE(session_.Initialize(nullptr));
    EXPECT_EQ(session_.GetWindowRules(&rules), 0);  // no camera open yet
    EXPECT_EQ(session_.PopError(), 1);
    OpenWithCamera();
    EXPECT_EQ(session_.GetWindowRules(nullptr), 0);
    EXPECT_EQ(session_.PopError(), 9);
    ASSERT_EQ(session_.GetWindowRules(&rules), 1);
    EXPECT_EQ(rules.maxWidth, 3856);
    EXPECT_EQ(rules.maxHeight, 2764);
    EXPECT_EQ(rules.subSampleModes, 0b111);
    // Windows built from the rules reach the camera; one step off in any
    // direction does not.
    for (int32_t mode = 0; mode < 3; ++mode) {
        const VantixWindowGrid& g = rules.grid[mode];
        ASSERT_GT(g.widthStep * g.heightStep * g.xStep * g.yStep, 0) << mode;
        ASSERT_EQ(session_.SetSubSample(mode), 1);
        const int32_t width = (rules.minWidth + g.widthStep - 1) / g.widthStep * g.widthStep;
        const int32_t height = (rules.minHeight + g.heightStep - 1) / g.heightStep * g.heightStep;
        const auto reaches = [&](int32_t x, int32_t y, int32_t w, int32_t h) {
            session_.SetCaptureWindowEx(rules.maxWidth, x, w, rules.maxHeight, y, h);
            int32_t ax = -1, ay = -1, aw = 0, ah = 0, am = -1;
            session_.Engine()->GetCaptureWindow(&ax, &ay, &aw, &ah, &am);
            return ax == x && ay == y && am == mode;
        };
        EXPECT_TRUE(reaches(g.xStep, g.yStep, width, height)) << mode;
        // The last window on the grid that ends at or before the far corner.
        const int32_t farX = (rules.maxWidth - 2 * width) / g.xStep * g.xStep;
        const int32_t farY = (rules.maxHeight - 2 * height) / g.yStep * g.yStep;
        EXPECT_TRUE(reaches(farX, farY, 2 * width, 2 * height)) << mode;
        EXPECT_FALSE(reaches(farX + g.xStep * (2 * width / g.xStep), farY, 2 * width, 2 * height)) << mode;
        EXPECT_FALSE(reaches(g.xStep + 1, 3 * g.yStep, width, height)) << mode;
        EXPECT_FALSE(reaches(3 * g.xStep, 3 * g.yStep, width + 1, height)) << mode;
        EXPECT_FALSE(reaches(5 * g.xStep, 5 * g.yStep, width - g.widthStep, height)) << mode;  // below the minimum
    }
}

TEST_F(FrontEndTest, MirrorFlagsCrossToTheSensorsAxes) {
    OpenWithCamera();
    ASSERT_EQ(session_.SetMirrorH(5), 1);
    EXPECT_EQ(session_.GetMirrorH(), 1);
    EXPECT_EQ(session_.Engine()->GetMirrorV(), 1);
    EXPECT_EQ(session_.Engine()->GetMirrorH(), 0);
    ASSERT_EQ(session_.SetMirrorV(1), 1);
    EXPECT_EQ(session_.Engine()->GetMirrorH(), 1);
}

TEST_F(FrontEndTest, CaptureWindowIsCheckedAgainstTheSensor) {
    OpenWithCamera();
    EXPECT_EQ(session_.SetCaptureWindowEx(3856, 100, 3840, 2764, 0, 2752), 0);  // runs past the right edge
    EXPECT_EQ(session_.PopError(), 7);
    EXPECT_EQ(session_.Geometry().startX, 100);  // stored anyway
    ASSERT_EQ(session_.SetCaptureWindowEx(3856, 0, 1024, 2764, 16, 512), 1);
    int32_t x = 0, y = 0, w = 0, h = 0, mode = 0;
    session_.Engine()->GetCaptureWindow(&x, &y, &w, &h, &mode);
    EXPECT_EQ(w, 1024);
    EXPECT_EQ(h, 512);
    EXPECT_EQ(y, 16);

    // The default preset is found under the camera key this library writes.
    ASSERT_EQ(session_.SetCaptureWindow(3840, 2752), 1);
    EXPECT_EQ(session_.Geometry().width, 3840);
    EXPECT_EQ(session_.SetCaptureWindow(123, 45), 0);
    EXPECT_EQ(session_.PopError(), 4);
}

TEST_F(FrontEndTest, RegistersSromAndIoPort) {
    OpenWithCamera();
    int32_t ok = 0;
    ASSERT_EQ(session_.WriteFpgaRegister(0x21, 0x5A), 1);
    ok = 7;
    EXPECT_EQ(session_.ReadFpgaRegister(0x21, &ok), 0x5A);
    EXPECT_EQ(ok, 7);  // left alone on success
    ASSERT_EQ(session_.WriteRegister(0x3012, 0x1234), 1);
    EXPECT_EQ(session_.ReadRegister(0x3012, &ok), 0x1234);
    EXPECT_EQ(ok, 1);

    ASSERT_EQ(session_.SetIOPort(0xA5), 1);
    uint8_t port = 0;
    EXPECT_EQ(session_.GetIOPort(&port), 1);
    EXPECT_EQ(port, 0xA5);
    EXPECT_EQ(session_.GetIOPort(nullptr), 0);

    ASSERT_EQ(session_.WriteSrom(0x1005, 0x77), 1);
    EXPECT_EQ(session_.ReadSrom(0x1005, &ok), 0x77);
    EXPECT_EQ(ok, 1);

    // Read-backs that never match still report the accepted write.
    vantix::emulator::FaultPlan faults;
    faults.stallRequest = 0x31;
    faults.stallCount = 1000;
    Emulator::Instance().Find(path_)->SetFaults(faults);
    EXPECT_EQ(session_.WriteSrom(0x20, 0x42), 1);
    EXPECT_EQ(session_.PopError(), 0);  // notified only, never recorded
}

TEST_F(FrontEndTest, NamesCountPresentCamerasAndIndexesNameTheSlot) {
    {
        CVantix empty;
        ASSERT_TRUE(empty.Initialize(nullptr));
        char names[10 * 256];
        std::memset(names, 'x', sizeof names);
        EXPECT_EQ(empty.EnumDevice(names), 0);
        for (int k = 0; k < 10; ++k) EXPECT_EQ(names[k * 256], '\0');
    }
    Plug();
    const std::string second = Plug();
    Plug();
    ASSERT_TRUE(session_.Initialize(nullptr));
    Emulator::Instance().Unplug(second);
    char names[10 * 256];
    ASSERT_EQ(session_.EnumDevice(names), 2);
    EXPECT_STREQ(names, "VantixQ720LX-USB3-K9_01");
    EXPECT_STREQ(names + 256, "VantixQ720LX-USB3-K9_02");
    char name[32];
    ASSERT_EQ(session_.GetDeviceName(2, name, sizeof name), 1);
    EXPECT_STREQ(name, "VantixQ720LX-USB3-K9_03");
    EXPECT_EQ(session_.GetDeviceName(1, name, sizeof name), 0);
    EXPECT_EQ(session_.PopError(), 2);
    char small[24];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(session_.GetDeviceName(0, small, 17), 0);
    EXPECT_EQ(session_.PopError(), 9);
    EXPECT_EQ(session_.GetDeviceName(0, small, 23), 0);  // no truncated names
    EXPECT_EQ(session_.PopError(), 9);
    EXPECT_EQ(small[0], 'x');

    char16_t wide[32];
    ASSERT_EQ(session_.GetDeviceNameW(0, wide, 32), 1);
    EXPECT_EQ(std::u16string(wide), u"VantixQ720LX-USB3-K9_01");
    EXPECT_EQ(session_.GetDeviceNameW(1, wide, 32), 0);
    EXPECT_EQ(session_.PopError(), 2);
    EXPECT_EQ(session_.GetDeviceNameW(0, wide, 23), 0);
    EXPECT_EQ(session_.PopError(), 12);
    char16_t wideNames[10 * 256];
    EXPECT_EQ(session_.EnumDeviceW(wideNames), 2);
    EXPECT_EQ(std::u16string(wideNames + 256), u"VantixQ720LX-USB3-K9_02");
}

TEST_F(FrontEndTest, CameraInfoFillsWhatTheCallerSized) {
    OpenWithCamera();
    VantixCameraInfo info;
    std::memset(&info, 0xEE, sizeof info);
    info.size = 36;
    ASSERT_EQ(session_.GetCameraInfo(&info), 1);
    EXPECT_EQ(info.totalWidth, 3856);
    EXPECT_EQ(info.gainMax, session_.Engine()->GetGainMax());
    EXPECT_EQ(info.exposureMax, session_.Engine()->GetExposureTimeMax());
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&info);
    for (size_t i = 40; i < 56; ++i) EXPECT_EQ(bytes[i], 0xEE) << i;
    info.size = 35;
    EXPECT_EQ(session_.GetCameraInfo(&info), 0);
    EXPECT_EQ(session_.PopError(), 5);
    EXPECT_EQ(session_.GetCameraInfo(nullptr), 0);
    EXPECT_EQ(session_.PopError(), 9);
}

}  // namespace
