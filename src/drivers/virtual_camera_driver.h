#pragma once
// The virtual cameras behind the device files: the driver that presents the
// emulator's cameras to the transport exactly as the libusb driver presents
// real ones. It decodes each device-control call (ioctl_decoder.h), turns
// endpoint-0 records into the camera's control transfers and stream requests
// into its bulk reads, and completes Overlappeds as the kernel driver does.
#include "drivers/device_file.h"

namespace vantix {

// The process-lifetime driver of the emulator's cameras. Its first use plugs
// the cameras named by VANTIX_EMULATE.
DeviceDriver& VirtualCameraDriver();

}  // namespace vantix
