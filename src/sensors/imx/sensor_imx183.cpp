// CSensorIMX183: the standby sequence on destruction; the shadowed,
// bus-idle-waiting transfers and the rest are the family's.
#include "sensors/imx/sensor_imx183.h"

#include "platform/clock.h"
#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {
namespace {

constexpr uint8_t kFpgaStreamEnable = 48;
constexpr uint32_t kStreamStopMs = 10;
constexpr uint16_t kOperatingMode = 0x00;
constexpr uint8_t kStandby = 3;
constexpr uint32_t kStandbySettleMs = 100;

}  // namespace

CSensorIMX183::CSensorIMX183(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kIMX183) {}

CSensorIMX183::~CSensorIMX183() {
    if (!controller_) return;
    controller_->WriteFpgaRegister(kFpgaStreamEnable, 0);
    Sleep(kStreamStopMs);
    WriteRegister(kOperatingMode, kStandby);
    Sleep(kStandbySettleMs);
}

std::unique_ptr<CSensorBase> MakeSensorIMX183(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX183>(controller, deviceAddress);
}

}  // namespace vantix
