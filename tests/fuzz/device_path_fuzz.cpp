// libFuzzer target: the device-path parser on arbitrary text. A path that
// parses must be formed again into a path that parses to the same device
// (the formed path is the canonical spelling: lower-case hex), and the vendor
// and product ids must sit where the transport reads them.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "drivers/usb_device_path.h"
#include "emulator/emulator.h"

namespace {

unsigned HexAt(const std::string& text, size_t at) {
    return static_cast<unsigned>(std::stoul(text.substr(at, 4), nullptr, 16));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The emulator's own test for its paths reads any text without harm.
    (void)vantix::emulator::Emulator::IsEmulatorPath(text);
    const auto device = vantix::ParseUsbDevicePath(text);
    if (!device) return 0;
    if (text.size() > vantix::kMaxDevicePathLength) std::abort();
    const std::string formed = vantix::FormUsbDevicePath(*device);
    const auto again = vantix::ParseUsbDevicePath(formed);
    if (formed.empty() || !again || !(*again == *device)) std::abort();
    if (HexAt(formed, vantix::kPathVendorIdOffset) != device->vendorId ||
        HexAt(formed, vantix::kPathProductIdOffset) != device->productId) {
        std::abort();
    }
    return 0;
}
