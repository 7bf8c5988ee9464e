// The SDK through its C interface against cameras on the USB test bed: every
// request travels through the libusb driver, the real libusb and the kernel's
// usbfs interface (mocked) to the camera's firmware model.
#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "doctor_checks.h"
#include "usb/usb_test_support.h"

namespace vantix::usbtest {
namespace {

class UsbCameras : public UsbCameraTest {};

TEST_F(UsbCameras, AreListedByIdsWithTheirBusLocationInThePath) {
    Plug({.modelId = 0x3040, .bus = 1, .port = 2}, 1);
    Plug({.modelId = 0x3030, .bus = 1, .port = 3}, 1);  // another model: not the library's
    Plug({.modelId = 0x3040, .bus = 2, .port = 1}, 2);
    Plug({.vendorId = 0x1234, .modelId = 0x3040, .bus = 2, .port = 4}, 2);  // not a camera's vendor id

    const int32_t handle = Vantix_Initialize(nullptr);
    ASSERT_NE(handle, 0);
    char names[10 * 256];
    ASSERT_EQ(Vantix_EnumDevice(handle, names), 2);
    EXPECT_STREQ(names, "VantixQ720LX-USB3-K9_01");
    EXPECT_STREQ(names + 256, "VantixQ720LX-USB3-K9_02");
    // Ordered by location; each path names the ids where the device code reads them.
    const std::string expected[2] = {Bed().DevicePath(0), Bed().DevicePath(2)};
    for (int32_t instance = 0; instance < 2; ++instance) {
        VantixDeviceDetails details{};
        ASSERT_EQ(VantixExt_GetDeviceDetails(handle, instance, &details), 1);
        const std::string path = details.path;
        EXPECT_EQ(path, expected[instance]);
        EXPECT_EQ(path.substr(12, 4), "04b4");
        EXPECT_EQ(path.substr(21, 4), "3040");
        EXPECT_EQ(details.productId, 0x3040);
        EXPECT_EQ(details.isVirtual, 0);
    }
    EXPECT_NE(std::string(expected[0]).find("#1-2#"), std::string::npos);
    EXPECT_NE(std::string(expected[1]).find("#2-1#"), std::string::npos);
    EXPECT_EQ(Vantix_Release(handle), 1);
}

TEST_F(UsbCameras, SelectedCameraAnswersRegistersAndSerialRomOverEndpointZero) {
    Plug({.port = 2}, 1);
    const int second = Plug({.port = 3}, 2);
    const int32_t h = OpenCamera(1);
    ASSERT_NE(h, 0);
    emulator::VirtualCamera& camera = Bed().Camera(second).Camera();
    const uint32_t controlBefore = Bed().Camera(second).Counters().controlUrbs;

    // The out ints report failure only: preset, they must stay 1.
    int32_t ok = 1;
    EXPECT_EQ(Vantix_Fpga_WriteRegister(h, 7, 0x5A), 1);
    EXPECT_EQ(camera.FpgaRegister(7), 0x5A);  // it reached the selected camera's FPGA
    EXPECT_EQ(Vantix_Fpga_ReadRegister(h, 7, &ok), 0x5A);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(Vantix_ReadRegister(h, 0x0000, &ok), 0x2C01);  // the sensor's chip version
    EXPECT_EQ(ok, 1);
    const int32_t lines = Vantix_ReadRegisterEx(h, 0x0202, &ok);  // integration time
    EXPECT_EQ(Vantix_WriteRegisterEx(h, 0x0202, lines + 3), 1);
    EXPECT_EQ(Vantix_ReadRegisterEx(h, 0x0202, &ok), lines + 3);

    const int32_t original = Vantix_ReadSromID(h, 0xFF0, &ok);
    ASSERT_EQ(ok, 1);
    const int32_t changed = original ^ 0xA5;
    EXPECT_EQ(Vantix_WriteSromID(h, 0xFF0, changed), 1);
    EXPECT_EQ(camera.EepromByte(0xFF0), changed);
    EXPECT_EQ(Vantix_ReadSromID(h, 0xFF0, &ok), changed);
    EXPECT_EQ(Vantix_WriteSromID(h, 0xFF0, original), 1);
    EXPECT_GT(Bed().Camera(second).Counters().controlUrbs, controlBefore + 10);
    EXPECT_EQ(Vantix_Release(h), 1);
}

TEST_F(UsbCameras, SnapshotsInEightAndSixteenBitsCarryTheSamePicture) {
    const int slot = Plug({}, 1);
    const int32_t h = OpenCamera(0);
    ASSERT_NE(h, 0);
    std::vector<uint8_t> gray8(kTestWidth * kTestHeight);
    std::vector<uint16_t> gray16(kTestWidth * kTestHeight);
    ASSERT_EQ(Vantix_SetColorMode(h, 8), 1);
    ASSERT_EQ(Vantix_SnapShot(h, gray8.data(), static_cast<int32_t>(gray8.size()), 1), 1);
    ASSERT_EQ(Vantix_SetColorMode(h, 16), 1);
    ASSERT_EQ(Vantix_SnapShot(h, gray16.data(), static_cast<int32_t>(gray16.size() * 2), 1), 1);
    EXPECT_GT(Bed().Camera(slot).Counters().bulkUrbs, 2u);
    // The scene is the same in both depths: the 8-bit picture is the top
    // byte of the 16-bit one, give or take rounding and the scene's noise;
    // and it is not flat. Swapped or shifted 16-bit samples break this.
    size_t mismatches = 0;
    uint8_t lowest = 255;
    uint8_t highest = 0;
    for (size_t i = 0; i < gray8.size(); ++i) {
        const int top = gray16[i] >> 8;
        if (std::abs(top - gray8[i]) > 1) ++mismatches;
        lowest = std::min(lowest, gray8[i]);
        highest = std::max(highest, gray8[i]);
    }
    EXPECT_LT(mismatches, gray8.size() / 20);
    EXPECT_GT(highest - lowest, 64);
    EXPECT_EQ(Vantix_Release(h), 1);
}

TEST_F(UsbCameras, CallbackPreviewDeliversAHundredFrames) {
    Plug({}, 1);
    const int32_t h = OpenCamera(0);
    ASSERT_NE(h, 0);
    ASSERT_EQ(Vantix_SetColorMode(h, 24), 1);
    VantixHwnd window = VantixExt_CreatePollableWindow();
    std::vector<uint8_t> buffer(kTestWidth * kTestHeight * 3);
    ASSERT_EQ(Vantix_CallBackPreview(h, window, buffer.data(), static_cast<int32_t>(buffer.size()), 1), 1);
    int frames = 0;
    int32_t error = 0;
    while (frames < 100 && NextFrameMessage(window, 10000, &error) && error == 0) ++frames;
    EXPECT_EQ(frames, 100);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(Vantix_StopPreview(h), 1);
    VantixExt_DestroyWindow(window);
    EXPECT_EQ(Vantix_Release(h), 1);
}

TEST_F(UsbCameras, TwoSecondRecordingIsFinalisedWithItsFrames) {
    Plug({}, 1);
    const int32_t h = OpenCamera(0);
    ASSERT_NE(h, 0);
    const std::string avi = TempPath("record.avi");
    ASSERT_EQ(Vantix_Record(h, avi.c_str(), 2000, 0), 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_EQ(Vantix_Close(h), 1);
    EXPECT_GT(AviFrameCount(avi), 0);
    EXPECT_EQ(Vantix_Release(h), 1);
    std::remove(avi.c_str());
}

// A High Speed link: the camera still streams (the engine picks its USB 2
// settings from the reported speed), and the doctor finds it on the bus and
// warns about the link.
TEST_F(UsbCameras, HighSpeedCameraStreamsAndTheDoctorWarnsAboutItsLink) {
    const int slot = Plug({.port = 4, .speedMbps = kHighSpeedMbps}, 1);
    const int32_t h = OpenCamera(0);
    ASSERT_NE(h, 0);
    ASSERT_EQ(Vantix_SetColorMode(h, 8), 1);
    std::vector<uint8_t> image(kTestWidth * kTestHeight);
    EXPECT_EQ(Vantix_SnapShot(h, image.data(), static_cast<int32_t>(image.size()), 1), 1);
    EXPECT_EQ(Vantix_Release(h), 1);

    // The doctor reads the same (mocked) sysfs and /dev the library saw.
    const cli::doctor::SystemView view;
    const std::vector<cli::doctor::UsbCamera> cameras = cli::doctor::FindCameras(view);
    ASSERT_EQ(cameras.size(), 1u);
    EXPECT_EQ(cameras[0].location, "1-4");
    EXPECT_EQ(cameras[0].productId, 0x3040);
    EXPECT_EQ(cli::doctor::CheckSpeed(cameras[0]).level, cli::doctor::Level::Warning);
    EXPECT_EQ("/dev/bus/usb/001/" + std::string(3 - std::to_string(cameras[0].device).size(), '0') +
                  std::to_string(cameras[0].device),
              Bed().DeviceNode(slot));
    EXPECT_NE(cli::doctor::CheckDeviceNode(view, cameras[0]).level, cli::doctor::Level::Problem);

    // The node answers the connection queries as the kernel would.
    const int fd = open(Bed().DeviceNode(slot).c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ioctl(fd, USBDEVFS_GET_SPEED), USB_SPEED_HIGH);
    usbdevfs_conninfo_ex info{};
    ASSERT_EQ(ioctl(fd, USBDEVFS_CONNINFO_EX(sizeof info), &info), 0);
    EXPECT_EQ(info.busnum, 1u);
    EXPECT_EQ(info.devnum, cameras[0].device);
    EXPECT_EQ(info.speed, static_cast<uint32_t>(USB_SPEED_HIGH));
    ASSERT_EQ(info.num_ports, 1);
    EXPECT_EQ(info.ports[0], 4);
    close(fd);
}

}  // namespace
}  // namespace vantix::usbtest
