#pragma once
// The pure half of the USB camera driver: device paths in the form the camera
// code has always parsed, the vendor-id list, and the translations between the
// camera's request records / libusb results and what the transport expects.
// Nothing here touches a device, so all of it is testable without hardware.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/camera_interface_class.h"
#include "drivers/device_file.h"
#include "drivers/transfer_record.h"

namespace vantix {

// The USB controller's default vendor id, and the product ids of the camera
// family (the model ids).
inline constexpr uint16_t kDefaultUsbVendorId = 0x04B4;
inline constexpr uint16_t kCameraProductIdFirst = 0x3000;
inline constexpr uint16_t kCameraProductIdLast = 0x33FF;

// Comma-separated hex vendor ids that replace the default list, e.g. "04b4,1234".
inline constexpr const char* kUsbVendorIdsVariable = "VANTIX_USB_VENDOR_IDS";

// Device paths must fit the classic 260-character path buffer with its NUL.
inline constexpr size_t kMaxDevicePathLength = 259;
// USB allows at most seven tiers below the root hub (libusb's port-chain limit).
inline constexpr size_t kMaxUsbPortDepth = 7;
// Where the four hex digits of the vendor and product id sit in a path.
inline constexpr size_t kPathVendorIdOffset = 12;
inline constexpr size_t kPathProductIdOffset = 21;

// Open failure for a device the process may not use (no udev rule, or another
// process holds the interface).

// What a device path names: the device's ids, where it is plugged in (bus
// number and the hub port chain from the root), and the interface class.
struct UsbDevicePath {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint8_t bus = 0;
    std::vector<uint8_t> ports;
    Guid interfaceClass = kCameraInterfaceClass;
    friend bool operator==(const UsbDevicePath&, const UsbDevicePath&) = default;
};

// \\?\usb#vid_04b4&pid_3040#2-1.4#{328184c5-93e6-49b7-94b8-2ada13aabb39}
// (lower-case hex, decimal bus and ports). Empty when the port chain is empty
// or deeper than USB allows, since no such path could be opened again.
std::string FormUsbDevicePath(const UsbDevicePath& device);

// The inverse of FormUsbDevicePath. Accepts the fixed text and hex digits in
// either case, as device paths are case-insensitive; rejects anything else:
// wrong structure, numbers out of range or with leading zeros, a port chain
// that is empty or too deep, trailing text, and paths longer than
// kMaxDevicePathLength.
std::optional<UsbDevicePath> ParseUsbDevicePath(std::string_view path);

inline bool IsCameraProductId(uint16_t productId) {
    return productId >= kCameraProductIdFirst && productId <= kCameraProductIdLast;
}

// The vendor ids named by the environment text (hex, optional 0x, separated
// by commas, semicolons or blanks). Tokens that are not a 16-bit hex number are
// ignored; with no valid token (or no text) the default list {0x04B4} applies.
std::vector<uint16_t> UsbVendorIdsFromText(const char* text);

// The speed code reported to the engine for a libusb speed. SuperSpeed and
// every faster libusb speed report 4 (SuperSpeed): the engine only asks
// whether the link is USB3, and a newer libusb naming a faster link must not
// demote the camera to its USB2 settings. Unknown or invalid values report 0.
uint32_t SpeedCodeFromLibusb(int libusbSpeed);

// The setup stage of an endpoint-0 request taken from its record header.
struct UsbControlSetup {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;  // always the full data area: 64 bytes
    uint32_t timeoutMs = 0;
    bool deviceToHost = false;
};
// A zero timeout in the header means the default endpoint-0 timeout, never
// "wait forever": a device that stops answering must not hang the caller.
UsbControlSetup ControlSetupFromHeader(const TransferHeader& header);

// Error codes for libusb results: a negative libusb_error from a call, and a
// libusb_transfer_status from a completed transfer. A stall and a protocol
// error map to kErrorGenFailure, a vanished device to kErrorDeviceNotConnected,
// a timeout to kErrorSemTimeout, a cancelled transfer to kErrorOperationAborted.
uint32_t ErrorFromLibusbResult(int libusbError);
uint32_t ErrorFromTransferStatus(int transferStatus);
// libusb_open / libusb_claim_interface results: a device that has gone is
// kErrorFileNotFound; missing permission or a busy interface kErrorAccessDenied.
uint32_t OpenErrorFromLibusbResult(int libusbError);

}  // namespace vantix
