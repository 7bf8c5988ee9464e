// The one reading of device-control arguments that both drivers share, and
// the virtual-camera driver answering through it: malformed calls get the
// same errors from either driver, and the session can ask the driver whether
// a device is virtual.
#include "drivers/ioctl_decoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "drivers/virtual_camera_driver.h"
#include "emulator/emulator.h"
#include "transport/device_drivers.h"

namespace vantix {
namespace {

TEST(IoctlDecoder, BuffersThatDoNotFitTheCodeAreRefused) {
    Ep0Record record{};
    uint8_t small[8] = {};
    TransferHeader outward{};
    outward.endpoint = 0x01;  // a write endpoint: not a stream read
    IoRequest request;
    const struct {
        const char* what;
        uint32_t code;
        void* in;
        uint32_t inSize;
        void* out;
        uint32_t outSize;
        uint32_t error;
    } cases[] = {
        {"ep0 without input", kIoctlEp0Transfer, nullptr, 0, &record, kEp0RecordSize, kErrorInvalidParameter},
        {"ep0 short input", kIoctlEp0Transfer, &record, kEp0RecordSize - 1, &record, kEp0RecordSize,
         kErrorInvalidParameter},
        {"ep0 short output", kIoctlEp0Transfer, &record, kEp0RecordSize, &record, kEp0RecordSize - 1,
         kErrorInsufficientBuffer},
        {"bulk on an out endpoint", kIoctlBulkTransfer, &outward, kTransferHeaderSize, small, sizeof small,
         kErrorInvalidParameter},
        {"direct without its buffer", kIoctlDirectTransfer, &record, kTransferHeaderSize, nullptr, 64,
         kErrorInvalidParameter},
        {"abort without endpoint", kIoctlAbortPipe, nullptr, 0, nullptr, 0, kErrorInvalidParameter},
        {"reset without endpoint", kIoctlResetPipe, small, 0, nullptr, 0, kErrorInvalidParameter},
        {"speed into two bytes", kIoctlGetSpeed, nullptr, 0, small, 2, kErrorInsufficientBuffer},
        {"unknown code", 0x00220000, small, sizeof small, small, sizeof small, kErrorInvalidParameter},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeIoRequest(c.code, c.in, c.inSize, c.out, c.outSize, &request), c.error) << c.what;
    }
}

TEST(IoctlDecoder, BufferedReadsReplyWithTheHeaderDirectReadsIntoTheCallersBuffer) {
    uint8_t staging[kTransferHeaderSize + 100] = {};
    TransferHeader header{};
    header.endpoint = kStreamEndpoint;
    header.dataLength = 100;
    std::memcpy(staging, &header, sizeof header);
    IoRequest bulk;
    ASSERT_EQ(DecodeIoRequest(kIoctlBulkTransfer, staging, sizeof staging, staging, sizeof staging, &bulk),
              kErrorSuccess);
    EXPECT_EQ(bulk.kind, IoRequestKind::BulkTransfer);
    EXPECT_EQ(bulk.data, staging + kTransferHeaderSize);
    EXPECT_EQ(bulk.dataSize, 100u);
    EXPECT_EQ(bulk.bytesBias, kTransferHeaderSize);
    EXPECT_EQ(static_cast<void*>(bulk.statusHeader), static_cast<void*>(staging));

    uint8_t frame[64];
    IoRequest direct;
    ASSERT_EQ(DecodeIoRequest(kIoctlDirectTransfer, &header, sizeof header, frame, sizeof frame, &direct),
              kErrorSuccess);
    EXPECT_EQ(direct.data, frame);
    EXPECT_EQ(direct.dataSize, sizeof frame);
    EXPECT_EQ(direct.bytesBias, 0u);
    EXPECT_EQ(direct.statusHeader, &header);
    EXPECT_EQ(direct.endpoint, kStreamEndpoint);
}

TEST(VirtualCameraDriver, AnswersThroughTheSharedDecoderAndSaysItsDevicesAreVirtual) {
    InstallDeviceDrivers();
    emulator::Emulator::Instance().Reset();
    const std::string path = emulator::Emulator::Instance().Plug(0x3040);
    uint32_t error = 0;
    std::unique_ptr<DeviceConnection> device = OpenDeviceFile(path, false, &error);
    ASSERT_NE(device, nullptr);
    uint8_t speed[4] = {};
    uint32_t returned = 0;
    // A two-byte speed buffer: the libusb driver's answer, not a parameter error.
    EXPECT_EQ(device->IoControl(kIoctlGetSpeed, nullptr, 0, speed, 2, &returned, nullptr), kErrorInsufficientBuffer);
    ASSERT_EQ(device->IoControl(kIoctlGetSpeed, nullptr, 0, speed, sizeof speed, &returned, nullptr), kErrorSuccess);
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(speed[0], 4);  // SuperSpeed
    EXPECT_TRUE(IsVirtualDevice(path));
    EXPECT_FALSE(IsVirtualDevice("\\\\?\\usb#vid_04b4&pid_3040#emu7#{328184c5-93e6-49b7-94b8-2ada13aabb39}"));
    EXPECT_FALSE(IsVirtualDevice("\\\\?\\usb#vid_04b4&pid_3040#1-2.3#{328184c5-93e6-49b7-94b8-2ada13aabb39}"));
    device.reset();
    emulator::Emulator::Instance().Reset();
}

}  // namespace
}  // namespace vantix
