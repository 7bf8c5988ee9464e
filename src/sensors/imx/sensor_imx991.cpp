// CSensorIMX991: the SWIR implementation with its record.
#include "sensors/imx/sensor_imx991.h"

#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {

CSensorIMX991::CSensorIMX991(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSwirSensor(controller, deviceAddress, imx::kIMX991, imx::kIMX991Variants) {}

std::unique_ptr<CSensorBase> MakeSensorIMX991(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX991>(controller, deviceAddress);
}

}  // namespace vantix
