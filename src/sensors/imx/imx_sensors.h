#pragma once
// Factories of the IMX family's sensor classes, as the engine's sensor
// factory names them. Construction sends nothing to the camera.
#include <cstdint>
#include <memory>

#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vantix {

std::unique_ptr<CSensorBase> MakeSensorIMX273(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorIMX174(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorIMX178(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorIMX183(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorIMX159(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorIMX226(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorLI7050(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorGLUX9701(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorIMX250(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorIMX252(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorIMX264(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorIMX487(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorIMX536(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorIMX990(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorIMX991(CControllerBase* controller, uint8_t deviceAddress);

}  // namespace vantix
