// CSensorIMX536: the family's behaviour with its record.
#include "sensors/imx/sensor_imx536.h"

#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {

CSensorIMX536::CSensorIMX536(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kIMX536) {}

std::unique_ptr<CSensorBase> MakeSensorIMX536(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX536>(controller, deviceAddress);
}

}  // namespace vantix
