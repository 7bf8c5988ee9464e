#pragma once
// The sensor personality of each kind of emulated sensor, so that adding a
// family's personality is one enum value (virtual_models.h) and one case here.
#include <memory>

#include "emulator/head_personality.h"
#include "emulator/sensor_personality.h"
#include "emulator/virtual_models.h"

namespace vantix::emulator {

std::unique_ptr<SensorPersonality> MakeSensorPersonality(EmulatedSensor sensor);

// The head of a model: the standard head, or one with a controller of its own.
std::unique_ptr<HeadPersonality> MakeHeadPersonality(const VirtualModel& model);

}  // namespace vantix::emulator
