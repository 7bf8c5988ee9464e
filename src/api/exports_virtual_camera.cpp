// The virtual-camera control call of <vantix/linux_ext.h>: unplugging and
// plugging back in a camera of VANTIX_EMULATE, for rehearsing a lost camera.
#include <vantix/linux_ext.h>

#include "emulator/emulator.h"
#include "transport/device_drivers.h"

extern "C" {

VANTIX_API int32_t VantixExt_SetVirtualCameraPlugged(const char* path, int32_t plugged) {
    if (path == nullptr) return 0;
    // The cameras of VANTIX_EMULATE are plugged when the drivers are installed.
    vantix::InstallDeviceDrivers();
    vantix::emulator::Emulator& emulator = vantix::emulator::Emulator::Instance();
    const bool done = plugged != 0 ? emulator.Replug(path) : emulator.Unplug(path);
    return done ? 1 : 0;
}

}  // extern "C"
