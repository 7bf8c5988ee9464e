#include "transport/device_drivers.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <mutex>

#include "emulator/emulator.h"
#include "platform/debug_output.h"
#include "platform/device_file.h"
#include "platform/libusb_driver.h"

namespace vantix {

void InstallDeviceDrivers() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The virtual camera first: its paths are claimed by marker, so the
        // order only decides which cameras enumerate first.
        emulator::Emulator& emulator = emulator::Emulator::Instance();
        RegisterDeviceDriver(&emulator.Driver());
        RegisterDeviceDriver(&LibusbDriver());
        if (const char* emulate = std::getenv("VANTIX_EMULATE"); emulate != nullptr && *emulate != '\0') {
            if (!emulator.PlugFromList(emulate)) {
                DebugPrintf("vantix: VANTIX_EMULATE=\"%s\" is not a list like 3040 or 3040:2,3100", emulate);
            }
        }
        // Benchmarks of the host side want frames as fast as they are read,
        // not at the emulated sensor's frame rate.
        if (const char* fast = std::getenv("VANTIX_EMULATE_UNTHROTTLED"); fast != nullptr && std::strcmp(fast, "1") == 0) {
            for (const std::string& path : emulator.Paths()) emulator.Find(path)->SetUnthrottled(true);
        }
    });
}

}  // namespace vantix
