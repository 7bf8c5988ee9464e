#include "drivers/usb_device_path.h"

#include <libusb-1.0/libusb.h>

#include <cctype>
#include <cstdio>

namespace vantix {

namespace {

constexpr std::string_view kPathPrefix = "\\\\?\\usb#vid_";
constexpr std::string_view kProductPrefix = "&pid_";
constexpr char kPartSeparator = '#';
constexpr char kBusSeparator = '-';
constexpr char kPortSeparator = '.';
constexpr size_t kGuidTextLength = 38;  // {8-4-4-4-12}

bool EqualsIgnoringCase(std::string_view text, std::string_view expected) {
    if (text.size() != expected.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != expected[i]) return false;
    }
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Exactly `digits` hex digits.
std::optional<uint32_t> ParseHex(std::string_view text, size_t digits) {
    if (text.size() != digits) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

// A decimal number 0..255 in canonical form (no sign, no leading zeros), so
// that each device has exactly one path.
std::optional<uint8_t> ParseDecimalByte(std::string_view text) {
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 255) return std::nullopt;
    return static_cast<uint8_t>(value);
}

std::optional<Guid> ParseGuid(std::string_view text) {
    if (text.size() != kGuidTextLength || text.front() != '{' || text.back() != '}' || text[9] != '-' ||
        text[14] != '-' || text[19] != '-' || text[24] != '-') {
        return std::nullopt;
    }
    const auto data1 = ParseHex(text.substr(1, 8), 8);
    const auto data2 = ParseHex(text.substr(10, 4), 4);
    const auto data3 = ParseHex(text.substr(15, 4), 4);
    if (!data1 || !data2 || !data3) return std::nullopt;
    Guid guid{*data1, static_cast<uint16_t>(*data2), static_cast<uint16_t>(*data3), {}};
    // data4: two bytes before the last dash, six after it.
    constexpr size_t kData4Offsets[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (size_t i = 0; i < guid.data4.size(); ++i) {
        const auto byte = ParseHex(text.substr(kData4Offsets[i], 2), 2);
        if (!byte) return std::nullopt;
        guid.data4[i] = static_cast<uint8_t>(*byte);
    }
    return guid;
}

// "<bus>-<port>[.<port>...]"
bool ParseLocation(std::string_view text, UsbDevicePath& device) {
    const size_t dash = text.find(kBusSeparator);
    if (dash == std::string_view::npos) return false;
    const auto bus = ParseDecimalByte(text.substr(0, dash));
    if (!bus) return false;
    device.bus = *bus;
    std::string_view chain = text.substr(dash + 1);
    while (true) {
        const size_t dot = chain.find(kPortSeparator);
        const auto port = ParseDecimalByte(chain.substr(0, dot));
        // Port numbers count from 1; 0 never names a hub port.
        if (!port || *port == 0 || device.ports.size() == kMaxUsbPortDepth) return false;
        device.ports.push_back(*port);
        if (dot == std::string_view::npos) return true;
        chain = chain.substr(dot + 1);
    }
}

}  // namespace

std::string FormUsbDevicePath(const UsbDevicePath& device) {
    if (device.ports.empty() || device.ports.size() > kMaxUsbPortDepth) return {};
    char ids[32];
    std::snprintf(ids, sizeof ids, "%04x%.*s%04x", device.vendorId, static_cast<int>(kProductPrefix.size()),
                  kProductPrefix.data(), device.productId);
    std::string path(kPathPrefix);
    path += ids;
    path += kPartSeparator;
    path += std::to_string(device.bus);
    path += kBusSeparator;
    for (size_t i = 0; i < device.ports.size(); ++i) {
        if (i > 0) path += kPortSeparator;
        path += std::to_string(device.ports[i]);
    }
    path += kPartSeparator;
    path += GuidToString(device.interfaceClass);
    return path;
}

std::optional<UsbDevicePath> ParseUsbDevicePath(std::string_view path) {
    static_assert(kPathPrefix.size() == kPathVendorIdOffset);
    static_assert(kPathVendorIdOffset + 4 + kProductPrefix.size() == kPathProductIdOffset);
    // Everything up to the '#' before the device location has a fixed layout.
    constexpr size_t kIdsEnd = kPathProductIdOffset + 4;
    if (path.size() > kMaxDevicePathLength || path.size() <= kIdsEnd) return std::nullopt;
    const auto vendorId = ParseHex(path.substr(kPathVendorIdOffset, 4), 4);
    const auto productId = ParseHex(path.substr(kPathProductIdOffset, 4), 4);
    if (!EqualsIgnoringCase(path.substr(0, kPathPrefix.size()), kPathPrefix) || !vendorId ||
        !EqualsIgnoringCase(path.substr(kPathVendorIdOffset + 4, kProductPrefix.size()), kProductPrefix) ||
        !productId || path[kIdsEnd] != kPartSeparator) {
        return std::nullopt;
    }
    UsbDevicePath device;
    device.vendorId = static_cast<uint16_t>(*vendorId);
    device.productId = static_cast<uint16_t>(*productId);

    const std::string_view rest = path.substr(kIdsEnd + 1);
    const size_t separator = rest.find(kPartSeparator);
    if (separator == std::string_view::npos) return std::nullopt;
    if (!ParseLocation(rest.substr(0, separator), device)) return std::nullopt;
    const auto guid = ParseGuid(rest.substr(separator + 1));
    if (!guid) return std::nullopt;
    device.interfaceClass = *guid;
    return device;
}

std::vector<uint16_t> UsbVendorIdsFromText(const char* text) {
    std::vector<uint16_t> ids;
    std::string_view rest = text != nullptr ? std::string_view(text) : std::string_view();
    constexpr std::string_view kSeparators = ", ;\t";
    while (!rest.empty()) {
        const size_t start = rest.find_first_not_of(kSeparators);
        if (start == std::string_view::npos) break;
        rest = rest.substr(start);
        const size_t end = rest.find_first_of(kSeparators);
        std::string_view token = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
        if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) token.remove_prefix(2);
        if (token.empty() || token.size() > 4) continue;
        // Shorter tokens are accepted as written ("4b4" is 0x04B4).
        const auto value = ParseHex(token, token.size());
        if (!value) continue;
        const auto id = static_cast<uint16_t>(*value);
        bool known = false;
        for (uint16_t existing : ids) known = known || existing == id;
        if (!known) ids.push_back(id);
    }
    if (ids.empty()) ids.push_back(kDefaultUsbVendorId);
    return ids;
}

uint32_t SpeedCodeFromLibusb(int libusbSpeed) {
    if (libusbSpeed <= LIBUSB_SPEED_UNKNOWN) return LIBUSB_SPEED_UNKNOWN;
    if (libusbSpeed >= LIBUSB_SPEED_SUPER) return LIBUSB_SPEED_SUPER;
    return static_cast<uint32_t>(libusbSpeed);
}

UsbControlSetup ControlSetupFromHeader(const TransferHeader& header) {
    UsbControlSetup setup;
    setup.requestType = header.requestType;
    setup.request = header.request;
    setup.value = header.value;
    setup.index = header.index;
    setup.length = kEp0DataSize;
    setup.timeoutMs = header.timeoutMs != 0 ? header.timeoutMs : kEp0TimeoutMs;
    setup.deviceToHost = (header.requestType & LIBUSB_ENDPOINT_IN) != 0;
    return setup;
}

uint32_t ErrorFromLibusbResult(int libusbError) {
    if (libusbError >= 0) return kErrorSuccess;
    switch (libusbError) {
        case LIBUSB_ERROR_TIMEOUT:
            return kErrorSemTimeout;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND:  // a reset device that came back as a different one
            return kErrorDeviceNotConnected;
        case LIBUSB_ERROR_NO_MEM:
            return kErrorNotEnoughMemory;
        case LIBUSB_ERROR_INVALID_PARAM:
            return kErrorInvalidParameter;
        case LIBUSB_ERROR_INTERRUPTED:
            return kErrorOperationAborted;
        case LIBUSB_ERROR_ACCESS:
            return kErrorAccessDenied;
        default:  // stall (LIBUSB_ERROR_PIPE), overflow, I/O and other errors
            return kErrorGenFailure;
    }
}

uint32_t ErrorFromTransferStatus(int transferStatus) {
    switch (transferStatus) {
        case LIBUSB_TRANSFER_COMPLETED:
            return kErrorSuccess;
        case LIBUSB_TRANSFER_TIMED_OUT:
            return kErrorSemTimeout;
        case LIBUSB_TRANSFER_CANCELLED:
            return kErrorOperationAborted;
        case LIBUSB_TRANSFER_NO_DEVICE:
            return kErrorDeviceNotConnected;
        default:  // LIBUSB_TRANSFER_ERROR, _STALL, _OVERFLOW
            return kErrorGenFailure;
    }
}

uint32_t OpenErrorFromLibusbResult(int libusbError) {
    switch (libusbError) {
        case LIBUSB_SUCCESS:
            return kErrorSuccess;
        case LIBUSB_ERROR_NO_DEVICE:
        case LIBUSB_ERROR_NOT_FOUND:
            return kErrorFileNotFound;
        case LIBUSB_ERROR_ACCESS:
        case LIBUSB_ERROR_BUSY:
            return kErrorAccessDenied;
        case LIBUSB_ERROR_NO_MEM:
            return kErrorNotEnoughMemory;
        default:
            return kErrorGenFailure;
    }
}

}  // namespace vantix
