// The SDK through its C interface against cameras on the USB test bed: every
// request travels through the libusb driver, the real libusb and the kernel's
// usbfs interface (mocked) to the camera's firmware model.
#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

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

}  // namespace
}  // namespace vantix::usbtest
