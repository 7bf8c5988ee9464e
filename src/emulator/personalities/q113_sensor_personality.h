#pragma once
// The 1280 x 1024 head's sensor at bus address 0x6C: 16-bit registers at
// 16-bit addresses, big-endian on the bus, described as a register map.
// Exposure is register 15 (lines), the analog gain code the low byte of
// register 35; the sensor's own timing registers 0x0300 (line length in
// clocks) and 0x0301 (frame length in lines) give the frame period.
#include <memory>

#include "emulator/sensor_personality.h"

namespace vantix::emulator {

std::unique_ptr<SensorPersonality> MakeQ113SensorPersonality();

}  // namespace vantix::emulator
