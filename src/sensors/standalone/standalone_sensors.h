#pragma once
// Factories of the heads that share no family with others: the video
// converter, the 1280 x 1024 head and the cooled InGaAs head, as the
// engine's sensor factory names them. Construction sends nothing.
#include <cstdint>
#include <memory>

#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vantix {

std::unique_ptr<CSensorBase> MakeSensorQ112(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorQ113(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorQ120(CControllerBase* controller, uint8_t deviceAddress);

}  // namespace vantix
