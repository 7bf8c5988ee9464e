#include "drivers/usb_device_path.h"

#include <gtest/gtest.h>
#include <libusb-1.0/libusb.h>

#include <cctype>
#include <string>
#include <vector>

#include "drivers/libusb_driver.h"

namespace vantix {
namespace {

const std::string kCameraClassText = "{328184c5-93e6-49b7-94b8-2ada13aabb39}";

std::string CameraPath(const std::string& instance) {
    return "\\\\?\\usb#vid_04b4&pid_3040#" + instance + "#" + kCameraClassText;
}

// ---------------------------------------------------------------------------
// Device paths

TEST(UsbDevicePath, FormsTheClassicLayoutWithIdsAtFixedColumns) {
    const UsbDevicePath device{0x04B4, 0x3040, 2, {1, 4}, kCameraInterfaceClass};
    const std::string path = FormUsbDevicePath(device);
    EXPECT_EQ(path, CameraPath("2-1.4"));
    EXPECT_EQ(path.substr(kPathVendorIdOffset, 4), "04b4");
    EXPECT_EQ(path.substr(kPathProductIdOffset, 4), "3040");
    EXPECT_EQ(ParseUsbDevicePath(path), device);
}

TEST(UsbDevicePath, RoundTripsExtremeValues) {
    const Guid other{0xDEADBEEF, 0xABCD, 0x0001, {0xFF, 0, 1, 2, 3, 4, 5, 0xA0}};
    const std::vector<UsbDevicePath> devices = {
        {0xFFFF, 0xABCD, 255, {255, 255, 255, 255, 255, 255, 255}, kCameraInterfaceClass},
        {0x0000, 0x0000, 0, {1}, other},
        {0x1234, 0x33FF, 10, {10, 100, 9}, kCameraInterfaceClass},
    };
    for (const UsbDevicePath& device : devices) {
        const std::string path = FormUsbDevicePath(device);
        ASSERT_FALSE(path.empty());
        EXPECT_LE(path.size(), kMaxDevicePathLength);
        EXPECT_EQ(path, [&] {  // hex always lower case
            std::string lower = path;
            for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return lower;
        }());
        EXPECT_EQ(ParseUsbDevicePath(path), device) << path;
    }
}

TEST(UsbDevicePath, RefusesToFormPathsThatCouldNotBeOpenedAgain) {
    EXPECT_EQ(FormUsbDevicePath({0x04B4, 0x3040, 1, {}, kCameraInterfaceClass}), "");
    EXPECT_EQ(FormUsbDevicePath({0x04B4, 0x3040, 1, {1, 2, 3, 4, 5, 6, 7, 8}, kCameraInterfaceClass}), "");
}

TEST(UsbDevicePath, AcceptsUpperCaseAsDevicePathsAreCaseInsensitive) {
    const auto device =
        ParseUsbDevicePath("\\\\?\\USB#VID_04B4&PID_30AF#3-2#{328184C5-93E6-49B7-94B8-2ADA13AABB39}");
    ASSERT_TRUE(device.has_value());
    EXPECT_EQ(device->vendorId, 0x04B4);
    EXPECT_EQ(device->productId, 0x30AF);
    EXPECT_EQ(device->bus, 3);
    EXPECT_EQ(device->ports, std::vector<uint8_t>{2});
    EXPECT_EQ(device->interfaceClass, kCameraInterfaceClass);
}

TEST(UsbDevicePath, RejectsMalformedPaths) {
    const std::string good = CameraPath("2-1.4");
    ASSERT_TRUE(ParseUsbDevicePath(good).has_value());
    const std::vector<std::string> bad = {
        "",
        "\\\\?\\usb#vid_04b4",
        CameraPath("emu0"),  // the virtual camera's paths
        CameraPath("2"),
        CameraPath("2-"),
        CameraPath("-1"),
        CameraPath("2-1..4"),
        CameraPath("2-1.4."),
        CameraPath("2-01"),  // not canonical: one device, one path
        CameraPath("02-1"),
        CameraPath("2-0"),  // ports count from 1
        CameraPath("256-1"),
        CameraPath("2-1.256"),
        CameraPath("2-1.2.3.4.5.6.7.8"),
        CameraPath("+2-1"),
        CameraPath("2-1a"),
        CameraPath("2 -1"),
        "\\\\?\\usb#vid_04g4&pid_3040#2-1#" + kCameraClassText,
        "\\\\?\\usb#vid_04b&pid_3040#2-1#" + kCameraClassText,
        "\\\\?\\usb#vid_04b4#pid_3040#2-1#" + kCameraClassText,
        "\\\\?\\hid#vid_04b4&pid_3040#2-1#" + kCameraClassText,
        "\\\\?\\usb#vid_04b4&pid_3040#2-1",
        "\\\\?\\usb#vid_04b4&pid_3040#2-1#",
        "\\\\?\\usb#vid_04b4&pid_3040#2-1#328184c5-93e6-49b7-94b8-2ada13aabb39",
        "\\\\?\\usb#vid_04b4&pid_3040#2-1#{328184c5-93e6-49b7-94b8_2ada13aabb39}",
        "\\\\?\\usb#vid_04b4&pid_3040#2-1#{328184c5-93e6-49b7-94b8-2ada13aabbz9}",
        good + "#",
        good + "x",
        good.substr(0, good.size() - 1),
    };
    for (const std::string& path : bad) EXPECT_FALSE(ParseUsbDevicePath(path).has_value()) << path;
}

TEST(UsbDevicePath, RefusesPathsLongerThanThePathBuffer) {
    EXPECT_FALSE(ParseUsbDevicePath(CameraPath("1-1") + std::string(100000, 'a')).has_value());
    EXPECT_FALSE(ParseUsbDevicePath(std::string(kMaxDevicePathLength + 1, '\\')).has_value());
}

TEST(UsbVendorIds, DefaultUnlessTheTextNamesValidIds) {
    const std::vector<uint16_t> defaults = {kDefaultUsbVendorId};
    EXPECT_EQ(UsbVendorIdsFromText(nullptr), defaults);
    EXPECT_EQ(UsbVendorIdsFromText(""), defaults);
    EXPECT_EQ(UsbVendorIdsFromText(" , ;"), defaults);
    EXPECT_EQ(UsbVendorIdsFromText("xyz,12345,0x"), defaults);
    EXPECT_EQ(UsbVendorIdsFromText("04b4,1234"), (std::vector<uint16_t>{0x04B4, 0x1234}));
    EXPECT_EQ(UsbVendorIdsFromText("0x1234; 04B4 1234,zz,4b4"), (std::vector<uint16_t>{0x1234, 0x04B4}));
}

// ---------------------------------------------------------------------------
// Request and result translation

TEST(UsbControlSetup, TakesSetupFieldsFromTheHeaderAndAlwaysMovesTheDataArea) {
    TransferHeader in{};
    in.requestType = kRequestVendorDeviceIn;
    in.request = 0xD1;
    in.value = 0x1234;
    in.index = 0xBEEF;
    in.length = kEp0RecordSize;
    in.timeoutMs = 750;
    const UsbControlSetup read = ControlSetupFromHeader(in);
    EXPECT_TRUE(read.deviceToHost);
    EXPECT_EQ(read.requestType, kRequestVendorDeviceIn);
    EXPECT_EQ(read.request, 0xD1);
    EXPECT_EQ(read.value, 0x1234);
    EXPECT_EQ(read.index, 0xBEEF);
    EXPECT_EQ(read.length, kEp0DataSize);  // not the record length in the header
    EXPECT_EQ(read.timeoutMs, 750u);

    TransferHeader out = in;
    out.requestType = kRequestVendorEndpointOut;
    out.timeoutMs = 0;  // never an unbounded wait
    const UsbControlSetup write = ControlSetupFromHeader(out);
    EXPECT_FALSE(write.deviceToHost);
    EXPECT_EQ(write.requestType, kRequestVendorEndpointOut);
    EXPECT_EQ(write.length, kEp0DataSize);
    EXPECT_EQ(write.timeoutMs, kEp0TimeoutMs);
}

TEST(UsbSpeedCode, EverySuperSpeedVariantReportsUsb3) {
    EXPECT_EQ(SpeedCodeFromLibusb(LIBUSB_SPEED_UNKNOWN), 0u);
    EXPECT_EQ(SpeedCodeFromLibusb(-3), 0u);
    EXPECT_EQ(SpeedCodeFromLibusb(LIBUSB_SPEED_HIGH), 3u);
    EXPECT_EQ(SpeedCodeFromLibusb(LIBUSB_SPEED_SUPER), 4u);
    EXPECT_EQ(SpeedCodeFromLibusb(LIBUSB_SPEED_SUPER_PLUS), 4u);
    EXPECT_EQ(SpeedCodeFromLibusb(LIBUSB_SPEED_SUPER_PLUS + 1), 4u);  // faster links of newer libusb
}

TEST(UsbErrorMapping, FailuresNeverReadAsSuccess) {
    EXPECT_EQ(ErrorFromLibusbResult(LIBUSB_ERROR_PIPE), kErrorGenFailure);
    EXPECT_EQ(ErrorFromLibusbResult(LIBUSB_ERROR_NO_DEVICE), kErrorDeviceNotConnected);
    EXPECT_EQ(ErrorFromLibusbResult(LIBUSB_ERROR_TIMEOUT), kErrorSemTimeout);
    EXPECT_EQ(ErrorFromLibusbResult(LIBUSB_ERROR_OTHER), kErrorGenFailure);
    EXPECT_EQ(ErrorFromLibusbResult(-1000), kErrorGenFailure);
    EXPECT_EQ(ErrorFromTransferStatus(LIBUSB_TRANSFER_COMPLETED), kErrorSuccess);
    EXPECT_EQ(ErrorFromTransferStatus(LIBUSB_TRANSFER_STALL), kErrorGenFailure);
    EXPECT_EQ(ErrorFromTransferStatus(LIBUSB_TRANSFER_OVERFLOW), kErrorGenFailure);
    EXPECT_EQ(ErrorFromTransferStatus(LIBUSB_TRANSFER_CANCELLED), kErrorOperationAborted);
    EXPECT_EQ(ErrorFromTransferStatus(LIBUSB_TRANSFER_TIMED_OUT), kErrorSemTimeout);
    EXPECT_EQ(ErrorFromTransferStatus(LIBUSB_TRANSFER_NO_DEVICE), kErrorDeviceNotConnected);
    EXPECT_EQ(ErrorFromTransferStatus(99), kErrorGenFailure);
    EXPECT_EQ(OpenErrorFromLibusbResult(LIBUSB_ERROR_NO_DEVICE), kErrorFileNotFound);
    EXPECT_EQ(OpenErrorFromLibusbResult(LIBUSB_ERROR_ACCESS), kErrorAccessDenied);
    EXPECT_EQ(OpenErrorFromLibusbResult(LIBUSB_ERROR_BUSY), kErrorAccessDenied);
    EXPECT_EQ(OpenErrorFromLibusbResult(LIBUSB_ERROR_IO), kErrorGenFailure);
}

// ---------------------------------------------------------------------------
// Endpoint queue scheduling

constexpr uint32_t kLimit = 100;

UsbPipeRequest Read(uint32_t length, const void* owner = nullptr) {
    UsbPipeRequest request;
    request.length = length;
    request.owner = owner;
    return request;
}

TEST(UsbPipeQueue, ReadsThatFitOneSegmentAreQueuedBackToBack) {
    UsbPipeQueue pipe(kLimit);
    UsbPipeRequest a = Read(100), b = Read(40), empty = Read(0);
    pipe.Add(&a);
    pipe.Add(&b);
    pipe.Add(&empty);
    const auto sa = pipe.Next(), sb = pipe.Next(), se = pipe.Next();
    ASSERT_TRUE(sa && sb && se);
    EXPECT_FALSE(pipe.Next());
    EXPECT_TRUE(sa->request == &a && sa->last && sa->length == 100);
    EXPECT_TRUE(sb->request == &b && sb->last && sb->length == 40);
    EXPECT_TRUE(se->request == &empty && se->last && se->length == 0);
    EXPECT_TRUE(pipe.Done(*sb, kErrorSuccess, 0, 40));  // completions may come in any order
    EXPECT_TRUE(pipe.Done(*sa, kErrorSuccess, 0, 100));
    EXPECT_TRUE(pipe.Done(*se, kErrorSuccess, 0, 0));
    EXPECT_EQ(a.transferred, 100u);
    EXPECT_EQ(b.transferred, 40u);
    EXPECT_TRUE(pipe.Idle());
}

TEST(UsbPipeQueue, LargeReadRunsAsSequentialSegmentsAndLaterReadsWaitForItsLast) {
    UsbPipeQueue pipe(kLimit);
    UsbPipeRequest big = Read(250), next = Read(10);
    pipe.Add(&big);
    pipe.Add(&next);
    uint32_t expectedOffset = 0;
    for (uint32_t expectedLength : {100u, 100u, 50u}) {
        const auto segment = pipe.Next();
        ASSERT_TRUE(segment);
        EXPECT_EQ(segment->request, &big);
        EXPECT_EQ(segment->offset, expectedOffset);
        EXPECT_EQ(segment->length, expectedLength);
        if (!segment->last) {
            EXPECT_FALSE(pipe.Next()) << "nothing may queue behind a non-final segment";
        } else {
            // The final segment does not hold the next read back.
            const auto following = pipe.Next();
            ASSERT_TRUE(following);
            EXPECT_EQ(following->request, &next);
            EXPECT_TRUE(pipe.Done(*following, kErrorSuccess, 0, 10));
        }
        EXPECT_EQ(pipe.Done(*segment, kErrorSuccess, 0, expectedLength), segment->last);
        expectedOffset += expectedLength;
    }
    EXPECT_EQ(big.transferred, 250u);
    EXPECT_EQ(big.error, kErrorSuccess);
    EXPECT_TRUE(pipe.Idle());
}

TEST(UsbPipeQueue, ShortSegmentEndsTheReadAndTheNextReadStartsAtItsBeginning) {
    UsbPipeQueue pipe(kLimit);
    UsbPipeRequest frame = Read(250), next = Read(250);
    pipe.Add(&frame);
    pipe.Add(&next);
    const auto first = pipe.Next();
    ASSERT_TRUE(first);
    EXPECT_TRUE(pipe.Done(*first, kErrorSuccess, 0, 30));
    EXPECT_EQ(frame.transferred, 30u);
    EXPECT_EQ(frame.error, kErrorSuccess);
    const auto second = pipe.Next();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->request, &next);
    EXPECT_EQ(second->offset, 0u);
    // More bytes than the segment asked for are never counted.
    EXPECT_FALSE(pipe.Done(*second, kErrorSuccess, 0, 1000));
    EXPECT_EQ(next.transferred, 100u);
}

TEST(UsbPipeQueue, FailedSegmentEndsOnlyItsReadKeepingTheFirstError) {
    UsbPipeQueue pipe(kLimit);
    UsbPipeRequest failing = Read(250), next = Read(20);
    pipe.Add(&failing);
    pipe.Add(&next);
    const auto segment = pipe.Next();
    ASSERT_TRUE(segment);
    EXPECT_TRUE(pipe.Done(*segment, kErrorGenFailure, 4, 60));
    EXPECT_EQ(failing.error, kErrorGenFailure);
    EXPECT_EQ(failing.detail, 4);
    EXPECT_EQ(failing.transferred, 60u);
    const auto following = pipe.Next();
    ASSERT_TRUE(following);
    EXPECT_EQ(following->request, &next);
    EXPECT_FALSE(pipe.Next());
}

TEST(UsbPipeQueue, AbortFinishesQueuedReadsAtOnceAndInFlightOnesWhenTheyEnd) {
    UsbPipeQueue pipe(kLimit);
    UsbPipeRequest big = Read(300), queued = Read(10);
    pipe.Add(&big);
    pipe.Add(&queued);
    const auto segment = pipe.Next();
    ASSERT_TRUE(segment);
    const std::vector<UsbPipeRequest*> finished = pipe.Abort(nullptr);
    EXPECT_EQ(finished, std::vector<UsbPipeRequest*>{&queued});
    EXPECT_EQ(queued.error, kErrorOperationAborted);
    EXPECT_TRUE(big.aborted);
    EXPECT_FALSE(pipe.Next());
    // The in-flight segment finished before its cancellation took effect: the
    // read still stops there, as aborted, with the bytes it got.
    EXPECT_TRUE(pipe.Done(*segment, kErrorSuccess, 0, 100));
    EXPECT_EQ(big.error, kErrorOperationAborted);
    EXPECT_EQ(big.transferred, 100u);
    EXPECT_FALSE(pipe.Next());
    EXPECT_TRUE(pipe.Idle());
}

TEST(UsbPipeQueue, AbortOfOneOwnerLeavesTheOtherOwnersReads) {
    UsbPipeQueue pipe(kLimit);
    int mine = 0, theirs = 0;
    UsbPipeRequest inFlight = Read(50, &mine), other = Read(50, &theirs), queued = Read(50, &mine);
    pipe.Add(&inFlight);
    const auto segment = pipe.Next();
    ASSERT_TRUE(segment);
    pipe.Add(&other);
    pipe.Add(&queued);
    EXPECT_EQ(pipe.Abort(&mine), std::vector<UsbPipeRequest*>{&queued});
    EXPECT_FALSE(other.aborted);
    // A final segment that completes despite the abort delivered all its data.
    EXPECT_TRUE(pipe.Done(*segment, kErrorSuccess, 0, 50));
    EXPECT_EQ(inFlight.error, kErrorSuccess);
    const auto next = pipe.Next();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->request, &other);
    EXPECT_TRUE(pipe.Done(*next, kErrorOperationAborted, 3, 0));
    EXPECT_EQ(other.error, kErrorOperationAborted);
    EXPECT_TRUE(pipe.Idle());
}

// ---------------------------------------------------------------------------
// The driver on this machine (no camera attached)

TEST(LibusbDriver, ClaimsBusPathsButNotVirtualCameraPaths) {
    DeviceDriver& driver = LibusbDriver();
    EXPECT_TRUE(driver.Claims(CameraPath("1-2")));
    EXPECT_FALSE(driver.Claims(CameraPath("emu0")));
    EXPECT_FALSE(driver.Claims("COM1"));
}

TEST(LibusbDriver, EnumeratesOnlyCameraDevicesOfTheCameraClass) {
    DeviceDriver& driver = LibusbDriver();
    std::vector<std::string> paths = {"kept"};
    driver.Enumerate(Guid{1, 2, 3, {}}, paths);
    EXPECT_EQ(paths, std::vector<std::string>{"kept"});
    driver.Enumerate(kCameraInterfaceClass, paths);
    ASSERT_GE(paths.size(), 1u);
    EXPECT_EQ(paths[0], "kept");
    // Without a camera attached nothing is added; with one, its path is valid.
    for (size_t i = 1; i < paths.size(); ++i) {
        const auto device = ParseUsbDevicePath(paths[i]);
        ASSERT_TRUE(device.has_value()) << paths[i];
        EXPECT_TRUE(IsCameraProductId(device->productId));
    }
}

TEST(LibusbDriver, OpenOfAnAbsentOrForeignDeviceFailsCleanly) {
    DeviceDriver& driver = LibusbDriver();
    const std::vector<std::string> absent = {
        CameraPath("255-7.7.7.7.7.7.7"),
        CameraPath("emu0"),
        "\\\\?\\usb#vid_046d&pid_c52b#1-1#" + kCameraClassText,   // not a camera
        "\\\\?\\usb#vid_04b4&pid_3040#1-1#{00000000-0000-0000-0000-000000000000}",
    };
    for (const std::string& path : absent) {
        for (bool overlapped : {false, true}) {
            uint32_t error = kErrorSuccess;
            EXPECT_EQ(driver.Open(path, overlapped, &error), nullptr) << path;
            EXPECT_EQ(error, kErrorFileNotFound) << path;
        }
    }
}

}  // namespace
}  // namespace vantix
