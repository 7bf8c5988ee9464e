// CSensorIMX178: the sensor-side trigger; the rest is the family's.
#include "sensors/imx/sensor_imx178.h"

#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {
namespace {

constexpr uint16_t kTriggerControl = 0x208;
constexpr uint32_t kExternalTrigger = 0x01;

}  // namespace

CSensorIMX178::CSensorIMX178(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kIMX178) {}

int32_t CSensorIMX178::SetTriggerMode(int32_t on) {
    uint32_t control = 0;
    if (!ReadRegister(kTriggerControl, &control)) return 0;
    control = on ? (control | kExternalTrigger) : (control & ~kExternalTrigger);
    return WriteRegister(kTriggerControl, control & 0xFF);
}

int32_t CSensorIMX178::GetTriggerMode(int32_t* on) {
    uint32_t control = 0;
    if (!ReadRegister(kTriggerControl, &control)) return 0;
    if (on) *on = (control & kExternalTrigger) ? 1 : 0;
    return 1;
}

std::unique_ptr<CSensorBase> MakeSensorIMX178(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX178>(controller, deviceAddress);
}

}  // namespace vantix
