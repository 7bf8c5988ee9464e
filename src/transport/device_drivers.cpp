#include "transport/device_drivers.h"

#include <mutex>

#include "drivers/device_file.h"
#include "drivers/libusb_driver.h"
#include "drivers/virtual_camera_driver.h"

namespace vantix {

void InstallDeviceDrivers() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The virtual cameras first: their paths are claimed by marker, so
        // the order only decides which cameras enumerate first.
        RegisterDeviceDriver(&VirtualCameraDriver());
        RegisterDeviceDriver(&LibusbDriver());
    });
}

}  // namespace vantix
