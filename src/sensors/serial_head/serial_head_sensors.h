#pragma once
// Factory of the serial-controlled SWIR head's sensor class, as the engine's
// sensor factory names it. Construction sends nothing to the camera.
#include <cstdint>
#include <memory>

#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vantix {

std::unique_ptr<CSensorBase> MakeSensorQ121(CControllerBase* controller, uint8_t deviceAddress);

}  // namespace vantix
