// CSensorIMX487: its Initialize order; the rest is the family's.
#include "sensors/imx/sensor_imx487.h"

#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {

CSensorIMX487::CSensorIMX487(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kIMX487) {}

int32_t CSensorIMX487::Initialize() {
    WritePowerOn();
    SetBlackLevel(info_.blackLevel.defaultValue);
    ApplyDefaults();
    AwaitVerticalDrive();
    return 1;
}

std::unique_ptr<CSensorBase> MakeSensorIMX487(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX487>(controller, deviceAddress);
}

}  // namespace vantix
