// CSensorIMX273: its own Initialize order and the FPGA readout start that
// follows the horizontal mirror; the rest is the family's.
#include "sensors/imx/sensor_imx273.h"

#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {
namespace {

// Analog set-up register written first at power-on.
constexpr uint16_t kPowerOnRegister = 0x404;
constexpr uint8_t kPowerOnValue = 8;
// FPGA readout start (72) and its high byte (73): the first column the FPGA
// keeps, which moves with the mirror and the window.
constexpr uint8_t kFpgaReadoutStart = 72;
constexpr uint8_t kStartMirrored = 11;
constexpr uint8_t kStartBinned = 15;
constexpr uint8_t kStartFull = 19;

}  // namespace

CSensorIMX273::CSensorIMX273(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kIMX273) {}

int32_t CSensorIMX273::Initialize() {
    WriteRegisterChecked(kPowerOnRegister, kPowerOnValue);
    SetBlackLevel(info_.blackLevel.defaultValue);
    SetGain(info_.gain.defaultValue);
    SetExposureSeconds(info_.exposureSecondsDefault);
    SetMirrorV(info_.mirrorVDefault);
    SetMirrorH(info_.mirrorHDefault);
    SetArea(info_.defaultX, info_.defaultWidth, info_.defaultY, info_.defaultHeight, 0);
    return 1;
}

void CSensorIMX273::AfterMirrorH() {
    if (!controller_) return;
    uint8_t start = 0;
    if (info_.areaMode != 0) {
        start = info_.mirrorH ? kStartMirrored : kStartBinned;
    } else {
        const bool window = info_.areaWidth < info_.maxWidth || info_.areaHeight < info_.maxHeight;
        start = (window || info_.mirrorH) ? kStartMirrored : kStartFull;
    }
    controller_->WriteFpgaRegister(kFpgaReadoutStart, start);
    controller_->WriteFpgaRegister(kFpgaReadoutStart + 1, 0);
}

std::unique_ptr<CSensorBase> MakeSensorIMX273(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX273>(controller, deviceAddress);
}

}  // namespace vantix
