#pragma once
// Factories of the Aptina CMOS sensor classes, as the engine's sensor factory
// names them. Construction sends nothing to the camera.
#include <cstdint>
#include <memory>

#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vantix {

std::unique_ptr<CSensorBase> MakeSensorMT9F001(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorMT9F002(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorMT9J001(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorMT9P001(CControllerBase* controller, uint8_t deviceAddress);

}  // namespace vantix
