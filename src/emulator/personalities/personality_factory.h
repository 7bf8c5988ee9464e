#pragma once
// The sensor personality of each kind of emulated sensor, so that adding a
// family's personality is one enum value (virtual_models.h) and one case here.
#include <memory>

#include "emulator/sensor_personality.h"
#include "emulator/virtual_models.h"

namespace vantix::emulator {

std::unique_ptr<SensorPersonality> MakeSensorPersonality(EmulatedSensor sensor);

}  // namespace vantix::emulator
