// CSensorIMX990: the SWIR implementation with its record.
#include "sensors/imx/sensor_imx990.h"

#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {

CSensorIMX990::CSensorIMX990(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSwirSensor(controller, deviceAddress, imx::kIMX990, imx::kIMX990Variants) {}

std::unique_ptr<CSensorBase> MakeSensorIMX990(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX990>(controller, deviceAddress);
}

}  // namespace vantix
