#pragma once
// The device-interface class under which the camera driver publishes every
// camera.
#include "drivers/device_file.h"

namespace vantix {

inline constexpr Guid kCameraInterfaceClass = {0x328184C5, 0x93E6, 0x49B7,
                                               {0x94, 0xB8, 0x2A, 0xDA, 0x13, 0xAA, 0xBB, 0x39}};

}  // namespace vantix
