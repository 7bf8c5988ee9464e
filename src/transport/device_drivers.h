#pragma once
// Installs the drivers behind the device files once per process: the virtual
// camera (with the cameras named by VANTIX_EMULATE plugged) and libusb for
// real cameras. Every transport entry point calls this first.
namespace vantix {

void InstallDeviceDrivers();

}  // namespace vantix
