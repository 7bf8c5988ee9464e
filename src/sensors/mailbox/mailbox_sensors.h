#pragma once
// Factories of the mailbox heads' sensor classes, as the engine's sensor
// factory names them. Construction sends nothing to the camera.
#include <cstdint>
#include <memory>

#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vantix {

std::unique_ptr<CSensorBase> MakeSensorQ119(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorQ123(CControllerBase* controller, uint8_t deviceAddress);

}  // namespace vantix
