#include "usb/usb_test_support.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

namespace vantix::usbtest {

void UsbCameraTest::SetUp() {
    // Without the preload library the library would see this machine's USB.
    ASSERT_TRUE(UsbTestBed::InMockEnvironment())
        << "run through umockdev-wrapper (LD_PRELOAD=libumockdev-preload.so.0), as CTest does";
    ASSERT_TRUE(WaitUntilListed(0)) << "cameras of an earlier test are still listed";
}

void UsbCameraTest::TearDown() {
    Bed().UnplugAll();
    EXPECT_TRUE(WaitUntilListed(0));
}

int UsbCameraTest::Plug(const PlugOptions& options, int32_t expectListed) {
    const int slot = Bed().Plug(options);
    EXPECT_TRUE(WaitUntilListed(expectListed)) << "libusb did not report the camera at port " << int{options.port};
    return slot;
}

bool WaitUntilListed(int32_t count) {
    // libusb learns of plugs and unplugs from uevents on its own thread.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    char names[10 * 256];
    do {
        const int32_t handle = Vantix_Initialize(nullptr);
        const int32_t listed = handle != 0 ? Vantix_EnumDevice(handle, names) : -1;
        if (handle != 0) Vantix_Release(handle);
        if (listed == count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

int32_t OpenCamera(int32_t index) {
    const int32_t handle = Vantix_Initialize(nullptr);
    if (handle == 0) return 0;
    if (!Vantix_SetDeviceNumber(handle, index) || !Vantix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0) ||
        !Vantix_SetCaptureWindowEx(handle, 3856, 0, kTestWidth, 2764, 0, kTestHeight)) {
        Vantix_Release(handle);
        return 0;
    }
    Vantix_SetWaitTime(handle, 0);
    return handle;
}

bool NextFrameMessage(VantixHwnd window, uint32_t timeoutMs, int32_t* error) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    VantixMessage message{};
    while (std::chrono::steady_clock::now() < deadline) {
        if (VantixExt_GetMessage(window, &message, 100) != 1 || message.message != VANTIX_MSG_FRAME) continue;
        if (error != nullptr) *error = message.wParam == 0 ? static_cast<int32_t>(message.lParam) : 0;
        return true;
    }
    return false;
}

int64_t AviFrameCount(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char head[52] = {};
    if (!file.read(head, sizeof head)) return -1;
    if (std::string(head, 4) != "RIFF" || std::string(head + 8, 4) != "AVI " || std::string(head + 24, 4) != "avih") {
        return -1;
    }
    const auto le32 = [&](size_t offset) {
        const auto* b = reinterpret_cast<const unsigned char*>(head + offset);
        return static_cast<uint32_t>(b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24);
    };
    // A finalised file's RIFF size covers the whole file.
    file.seekg(0, std::ios::end);
    if (static_cast<int64_t>(le32(4)) + 8 != static_cast<int64_t>(file.tellg())) return -1;
    return le32(48);  // dwTotalFrames
}

std::string TempPath(const std::string& name) {
    return "/tmp/vantix-usb-" + std::to_string(getpid()) + "-" + name;
}

}  // namespace vantix::usbtest
