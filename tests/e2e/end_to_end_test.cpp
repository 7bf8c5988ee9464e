// The SDK as an application uses it, through the C interface only, against
// two virtual cameras (VANTIX_EMULATE=3040:2): snapshots in every colour mode
// saved in every file type, and every acquisition call from several threads
// at once.
#include <gtest/gtest.h>
#include <unistd.h>
#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#include <atomic>
#include <climits>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// A session on camera `index` with a small capture window.
int32_t OpenCamera(int32_t index) {
    const int32_t handle = Vantix_Initialize(nullptr);
    if (handle == 0) return 0;
    if (!Vantix_SetDeviceNumber(handle, index) || !Vantix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0) ||
        !Vantix_SetCaptureWindowEx(handle, 3856, 0, 640, 2764, 0, 480)) {
        Vantix_Release(handle);
        return 0;
    }
    Vantix_SetWaitTime(handle, 0);
    return handle;
}

TEST(EndToEnd, BothCamerasAreListedAndNamed) {
    const int32_t handle = Vantix_Initialize(nullptr);
    ASSERT_NE(handle, 0);
    char names[10 * 256];
    ASSERT_EQ(Vantix_EnumDevice(handle, names), 2);
    EXPECT_STREQ(names, "VantixQ720LX-USB3-K9_01");
    EXPECT_STREQ(names + 256, "VantixQ720LX-USB3-K9_02");
    EXPECT_EQ(Vantix_Width(handle), 3840);  // two cameras: none selected yet

    // Details name the device each instance number opens.
    VantixDeviceDetails details[2] = {};
    for (int32_t instance = 0; instance < 2; ++instance) {
        ASSERT_EQ(VantixExt_GetDeviceDetails(handle, instance, &details[instance]), 1);
        EXPECT_EQ(details[instance].instance, instance);
        EXPECT_EQ(details[instance].productId, 0x3040);
        EXPECT_EQ(details[instance].isVirtual, 1);
        EXPECT_NE(std::string(details[instance].path).find("pid_3040"), std::string::npos);
    }
    EXPECT_STRNE(details[0].path, details[1].path);
    EXPECT_EQ(VantixExt_GetDeviceDetails(handle, 2, &details[0]), 0);
    EXPECT_EQ(Vantix_GetLastError(handle), 2);
    EXPECT_EQ(VantixExt_GetDeviceDetails(handle, 0, nullptr), 0);
    EXPECT_EQ(Vantix_GetLastError(handle), 9);
    EXPECT_EQ(VantixExt_GetDeviceDetails(handle + 12345, 0, &details[0]), 0);  // unknown handle
    EXPECT_EQ(Vantix_Release(handle), 1);
}

TEST(EndToEnd, SnapshotsInEveryColourModeSaveInEveryFileType) {
    const int32_t handle = OpenCamera(1);
    ASSERT_NE(handle, 0);
    const std::string base = "/tmp/vantix-e2e-" + std::to_string(getpid());
    for (int32_t bits : {8, 16, 24, 32, 48, 64}) {
        ASSERT_EQ(Vantix_SetColorMode(handle, bits), 1);
        std::vector<uint8_t> buffer(640 * 480 * 8);
        ASSERT_EQ(Vantix_SnapShot(handle, buffer.data(), static_cast<int32_t>(buffer.size()), 1), 1) << bits;
        for (int32_t type = 0; type <= 6; ++type) {
            const std::string path = base + "-" + std::to_string(bits) + "-" + std::to_string(type);
            EXPECT_EQ(Vantix_SaveImage(handle, path.c_str(), type), 1) << bits << " bits, type " << type;
            std::FILE* file = std::fopen(path.c_str(), "rb");
            ASSERT_NE(file, nullptr);
            std::fseek(file, 0, SEEK_END);
            EXPECT_GT(std::ftell(file), 1000L);
            std::fclose(file);
            std::remove(path.c_str());
        }
    }
    EXPECT_EQ(Vantix_Release(handle), 1);
}

// Every acquisition call, from four threads at once on two cameras, for a
// bounded time; nothing may crash, hang or leak.
TEST(EndToEnd, AcquisitionCallsFromSeveralThreadsAtOnce) {
    const int32_t cameras[2] = {OpenCamera(0), OpenCamera(1)};
    ASSERT_NE(cameras[0], 0);
    ASSERT_NE(cameras[1], 0);
    VantixHwnd window = VantixExt_CreatePollableWindow();
    const std::string avi = "/tmp/vantix-e2e-stress-" + std::to_string(getpid());
    // The callback buffers belong to the preview workers while previews run.
    std::vector<uint8_t> callbackBuffers[2] = {std::vector<uint8_t>(640 * 480 * 8), std::vector<uint8_t>(640 * 480 * 8)};
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 random(static_cast<unsigned>(t) * 7919u + 1u);
            std::vector<uint8_t> buffer(640 * 480 * 8);
            const int32_t size = static_cast<int32_t>(buffer.size());
            while (!stop) {
                const unsigned camera = random() % 2;
                const int32_t h = cameras[camera];
                switch (random() % 9) {
                    case 0: Vantix_StartPreview(h); break;
                    case 1: Vantix_StopPreview(h); break;
                    case 2: Vantix_SnapShot(h, buffer.data(), size, 1); break;
                    case 3: Vantix_GetImage(h, buffer.data(), size, 0); break;
                    case 4: Vantix_Capture(h); break;
                    case 5: Vantix_Close(h); break;
                    case 6:
                        Vantix_CallBackPreview(h, window, callbackBuffers[camera].data(), size, 1);
                        break;
                    case 7: Vantix_Record(h, (avi + std::to_string(t) + ".avi").c_str(), 50, 0); break;
                    default: Vantix_SetColorMode(h, (random() % 2) ? 8 : 24); break;
                }
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    stop = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(Vantix_Release(cameras[0]), 1);
    EXPECT_EQ(Vantix_Release(cameras[1]), 1);
    VantixExt_DestroyWindow(window);
    for (int t = 0; t < 4; ++t) std::remove((avi + std::to_string(t) + ".avi").c_str());
}

// Addresses past the serial ROM or a register bank would wrap onto another
// byte or register: they are refused with code 9 and nothing is written.
TEST(EndToEnd, RomAndRegisterAddressesThatWouldWrapAreRefused) {
    const int32_t h = OpenCamera(0);
    ASSERT_NE(h, 0);
    int32_t ok = 0;
    const int32_t first = Vantix_ReadSromID(h, 0, &ok);
    ASSERT_EQ(ok, 1);
    const int32_t last = Vantix_ReadSromID(h, 0xFFF, &ok);
    ASSERT_EQ(ok, 1);
    const auto notFirst = static_cast<int32_t>(static_cast<uint8_t>(first + 1));
    for (int32_t address : {0x1000, -1, INT32_MIN, 0x7FFFFFFF}) {
        EXPECT_EQ(Vantix_WriteSromID(h, address, notFirst), 0) << address;
        EXPECT_EQ(Vantix_GetLastError(h), 9) << address;
        ok = 1;
        EXPECT_EQ(Vantix_ReadSromID(h, address, &ok), 0) << address;
        EXPECT_EQ(ok, 0) << address;
        EXPECT_EQ(Vantix_GetLastError(h), 9) << address;
    }
    EXPECT_EQ(Vantix_WriteSromID(h, 0, 0x100), 0);  // not a byte
    EXPECT_EQ(Vantix_GetLastError(h), 9);
    EXPECT_EQ(Vantix_ReadSromID(h, 0, &ok), first);
    EXPECT_EQ(Vantix_ReadSromID(h, 0xFFF, &ok), last);

    // FPGA and narrow sensor register numbers are one byte, values 16 bits.
    const int32_t fpga7 = Vantix_Fpga_ReadRegister(h, 7, &ok);
    EXPECT_EQ(Vantix_Fpga_WriteRegister(h, 0x107, fpga7 ^ 1), 0);
    EXPECT_EQ(Vantix_GetLastError(h), 9);
    EXPECT_EQ(Vantix_Fpga_WriteRegister(h, 7, 0x10000), 0);
    EXPECT_EQ(Vantix_GetLastError(h), 9);
    EXPECT_EQ(Vantix_Fpga_ReadRegister(h, 7, &ok), fpga7);
    EXPECT_EQ(Vantix_WriteRegister(h, 0x100, 0), 0);
    EXPECT_EQ(Vantix_GetLastError(h), 9);
    EXPECT_EQ(Vantix_ReadRegister(h, -1, &ok), 0);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Vantix_GetLastError(h), 9);
    EXPECT_EQ(Vantix_Release(h), 1);
}

// Any thread may call the SDK: six threads on one handle change the capture
// window, filters, mirrors, exposure and gain while others preview, snap and
// read images. Run under ThreadSanitizer this proves the locking.
TEST(EndToEnd, SettingsChangedFromSixThreadsWhileFramesConvert) {
    const int32_t h = OpenCamera(0);
    ASSERT_NE(h, 0);
    ASSERT_EQ(Vantix_SetColorMode(h, 24), 1);
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    const auto worker = [&](int t) {
        std::mt19937 random(static_cast<unsigned>(t) * 104729u + 7u);
        std::vector<uint8_t> buffer(640 * 480 * 8);
        const int32_t size = static_cast<int32_t>(buffer.size());
        while (!stop) {
            switch (t) {
                case 0: {  // the capture window
                    const int32_t width = (random() % 2) ? 640 : 320;
                    Vantix_SetCaptureWindowEx(h, 3856, 0, width, 2764, 0, width * 3 / 4);
                    break;
                }
                case 1: Vantix_SetFilterValue(h, 1 + static_cast<int32_t>(random() % 5), static_cast<int32_t>(random() % 20)); break;
                case 2:
                    Vantix_SetMirrorH(h, static_cast<int32_t>(random() % 2));
                    Vantix_SetMirrorV(h, static_cast<int32_t>(random() % 2));
                    break;
                case 3:
                    Vantix_SetExposureTime(h, 1 + static_cast<int32_t>(random() % 50));
                    Vantix_SetGlobalGain(h, static_cast<int32_t>(random() % 60));
                    break;
                case 4:  // the same sensor setters from a second thread
                    Vantix_SetMirrorV(h, static_cast<int32_t>(random() % 2));
                    Vantix_SetExposureTime(h, 1 + static_cast<int32_t>(random() % 50));
                    break;
                default:
                    switch (random() % 4) {
                        case 0: Vantix_StartPreview(h); break;
                        case 1: Vantix_StopPreview(h); break;
                        case 2: Vantix_SnapShot(h, buffer.data(), size, 1); break;
                        default: Vantix_GetImage(h, buffer.data(), size, 0); break;
                    }
            }
            ++calls;
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) threads.emplace_back(worker, t);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    stop = true;
    for (std::thread& thread : threads) thread.join();
    EXPECT_GT(calls.load(), 6);
    // The session is still whole: a snapshot in the last window works.
    Vantix_StopPreview(h);
    ASSERT_EQ(Vantix_SetCaptureWindowEx(h, 3856, 0, 640, 2764, 0, 480), 1);
    std::vector<uint8_t> image(640 * 480 * 3);
    EXPECT_EQ(Vantix_SnapShot(h, image.data(), static_cast<int32_t>(image.size()), 1), 1);
    EXPECT_EQ(Vantix_Release(h), 1);
}

}  // namespace

// Unplugging a virtual camera ends its running preview with code 13 on the
// callback window; the other camera streams on, and the unplugged one opens
// again once plugged back in.
TEST(EndToEnd, UnpluggedVirtualCameraEndsItsPreviewAndComesBack) {
    const int32_t lost = OpenCamera(0);
    const int32_t other = OpenCamera(1);
    ASSERT_NE(lost, 0);
    ASSERT_NE(other, 0);
    VantixDeviceDetails details = {};
    ASSERT_EQ(VantixExt_GetDeviceDetails(lost, 0, &details), 1);
    EXPECT_EQ(VantixExt_SetVirtualCameraPlugged(nullptr, 0), 0);
    EXPECT_EQ(VantixExt_SetVirtualCameraPlugged("\\\\?\\usb#vid_04b4&pid_3040#emu9#{x}", 0), 0);

    VantixHwnd windows[2] = {VantixExt_CreatePollableWindow(), VantixExt_CreatePollableWindow()};
    ASSERT_EQ(Vantix_CallBackPreview(lost, windows[0], nullptr, 0, 1), 1);
    ASSERT_EQ(Vantix_CallBackPreview(other, windows[1], nullptr, 0, 1), 1);
    VantixMessage message = {};
    ASSERT_EQ(VantixExt_GetMessage(windows[0], &message, 5000), 1);
    EXPECT_NE(message.wParam, 0u);  // a frame arrived before the camera goes

    ASSERT_EQ(VantixExt_SetVirtualCameraPlugged(details.path, 0), 1);
    bool ended = false;
    while (!ended && VantixExt_GetMessage(windows[0], &message, 5000) == 1) {
        ended = message.message == VANTIX_MSG_FRAME && message.wParam == 0 && message.lParam == 13;
    }
    EXPECT_TRUE(ended);
    EXPECT_EQ(Vantix_StopPreview(lost), 1);  // joins the worker, which records the code after posting it
    EXPECT_EQ(Vantix_GetLastError(lost), 13);
    // The other camera keeps delivering frames.
    while (VantixExt_GetMessage(windows[1], &message, 0) == 1) {
    }
    ASSERT_EQ(VantixExt_GetMessage(windows[1], &message, 5000), 1);
    EXPECT_NE(message.wParam, 0u);
    EXPECT_EQ(Vantix_SnapShot(lost, nullptr, 0, 1), 0);

    ASSERT_EQ(VantixExt_SetVirtualCameraPlugged(details.path, 1), 1);
    EXPECT_EQ(Vantix_SetDeviceNumber(lost, 0), 1);
    EXPECT_EQ(Vantix_SetCaptureWindowEx(lost, 3856, 0, 640, 2764, 0, 480), 1);
    EXPECT_EQ(Vantix_SnapShot(lost, nullptr, 0, 1), 1);

    EXPECT_EQ(Vantix_StopPreview(other), 1);
    VantixExt_DestroyWindow(windows[0]);
    VantixExt_DestroyWindow(windows[1]);
    EXPECT_EQ(Vantix_Release(lost), 1);
    EXPECT_EQ(Vantix_Release(other), 1);
}
