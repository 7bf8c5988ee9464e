// CSensorLI7050: its Initialize order and the held gain write; the rest is
// the family's.
#include "sensors/imx/sensor_li7050.h"

#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {
namespace {

// While 1, the sensor keeps its registers' previous values for readout.
constexpr uint16_t kRegisterHold = 0x201;

}  // namespace

CSensorLI7050::CSensorLI7050(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kLI7050) {}

int32_t CSensorLI7050::Initialize() {
    WritePowerOn();
    ApplyDefaultsInSeconds();
    return 1;
}

int32_t CSensorLI7050::SetGain(int32_t gain) {
    if (!Put(kRegisterHold, 1)) return 0;
    const int32_t result = CImxSensor::SetGain(gain);
    // Released whatever happened, or the sensor would keep the old settings.
    const int32_t released = Put(kRegisterHold, 0);
    return result && released ? 1 : 0;
}

std::unique_ptr<CSensorBase> MakeSensorLI7050(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorLI7050>(controller, deviceAddress);
}

}  // namespace vantix
