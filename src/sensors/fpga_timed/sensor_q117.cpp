#include "sensors/fpga_timed/sensor_q117.h"

#include "platform/debug_output.h"
#include "sensors/fpga_timed/fpga_timed_members.h"

namespace vantix {
namespace {

constexpr uint8_t kTriggerRegister = 36;
constexpr uint8_t kTriggerExternal = 2;
constexpr uint8_t kTriggerFreeRun = 0;

// Start-up settings of the head's FPGA: the option level off, and its line
// timing's two configuration bytes.
struct StartUpSetting {
    uint8_t reg;
    uint8_t value;
};
constexpr uint8_t kOptionLevel = 144;
constexpr StartUpSetting kStartUp[] = {{kOptionLevel, 0}, {242, 8}, {243, 0}};

}  // namespace

CSensorQ117::CSensorQ117(CControllerBase* controller, uint8_t deviceAddress)
    : CFpgaTimedHead(controller, deviceAddress, fpga_timed::kQ117) {}

int32_t CSensorQ117::Initialize() {
    if (!controller_) return 0;
    bool ok = SetGain(info_.gain.defaultValue) && SetExposureLines(info_.exposureLines.defaultValue);
    for (const StartUpSetting& s : kStartUp) ok = ok && WriteRegister(s.reg, s.value);
    // The option level once more, straight to the FPGA, after the line
    // timing bytes: the head's start-up sequence ends with it.
    ok = ok && controller_->WriteFpgaRegister(kOptionLevel, 0);
    ok = ok && SetArea(0, k_.maxWidth, 0, k_.openingLines, 0);
    if (!ok) DebugPrintf(DebugCategory::Sensor, "sensor: initialise: the camera refused a start-up setting");
    return ok ? 1 : 0;
}

int32_t CSensorQ117::SetTriggerMode(int32_t on) {
    return WriteFpga(kTriggerRegister, on ? kTriggerExternal : kTriggerFreeRun);
}

int32_t CSensorQ117::GetTriggerMode(int32_t* on) {
    uint8_t value = 0;
    if (!ReadFpga(kTriggerRegister, &value)) return 0;
    if (on) *on = value == kTriggerExternal ? 1 : 0;
    return 1;
}

}  // namespace vantix
