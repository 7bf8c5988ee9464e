// CSensorIMX226: everything is the family's pattern with its record.
#include "sensors/imx/sensor_imx226.h"

#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {

CSensorIMX226::CSensorIMX226(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kIMX226) {}

std::unique_ptr<CSensorBase> MakeSensorIMX226(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX226>(controller, deviceAddress);
}

}  // namespace vantix
