// CSensorIMX252: chip identification, the frame-rate request, the external
// trigger and the Initialize differences; the rest is the family's.
#include "sensors/imx/sensor_imx252.h"

#include "platform/debug_output.h"
#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {
namespace {

// A frame-rate request's line time: totalWidth x 3 / 2.2 pixel-clock
// periods; and the shortest blanking it leaves.
constexpr double kRateClocksPerPixel = 3.0 / 2.2;
constexpr int32_t kRateMinimumBlank = 40;
// Chips this board may carry and the variant codes they give.
constexpr int32_t kChip250 = 250;
constexpr int32_t kChip252 = 252;
constexpr int32_t kChip264 = 264;
constexpr int32_t kVariantChip250 = 59;
constexpr int32_t kVariantChip252 = 56;
constexpr int32_t kVariantChip264 = 57;
constexpr int32_t kVariantOtherChip = 58;
// Trigger: the sensor is put in standby (0x200 = 1) while its trigger-mode
// register (0x208), trigger-exposure register (0x20B) and trigger-input
// enable (0x2AA) change, then released (0x200 = 0).
constexpr uint16_t kStandby = 0x200;
constexpr uint16_t kTriggerRegisters[] = {0x208, 0x20B, 0x2AA};

}  // namespace

CSensorIMX252::CSensorIMX252(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kIMX252) {}

int32_t CSensorIMX252::VariantForChip(int32_t chip) {
    switch (chip) {
        case kChip250: return kVariantChip250;
        case kChip252: return kVariantChip252;
        case kChip264: return kVariantChip264;
        default: return kVariantOtherChip;
    }
}

void CSensorIMX252::DefaultWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height) const {
    *x = 0;
    *width = k_.maxWidth;
    *y = 0;
    *height = k_.maxHeight;
}

bool CSensorIMX252::AwaitsVerticalDrive() const { return modelVariant_ != kVariantOtherChip; }

int32_t CSensorIMX252::AccessDevice(int32_t op, void* buffer) {
    const int32_t rate = FrameRateRequest(op, buffer);
    if (rate == 0) return 0;
    const double line = info_.totalWidth * kRateClocksPerPixel / info_.pixelClockKHz;
    return ApplyFrameRateLines(100000.0 / rate / line, kRateMinimumBlank);
}

int32_t CSensorIMX252::SetTriggerMode(int32_t on) {
    const uint32_t value = on ? 1 : 0;
    bool written = WriteRegisterChecked(kStandby, 1) != 0;
    for (uint16_t address : kTriggerRegisters) written = WriteRegisterChecked(address, value) && written;
    // Standby is left even after a failed write, so the sensor keeps streaming.
    written = WriteRegisterChecked(kStandby, 0) && written;
    if (!written) {
        DebugPrintf(DebugCategory::Sensor, "sensor: trigger mode %d did not reach the sensor", on);
        return 0;
    }
    controlFlags_ = value;
    return 1;
}

int32_t CSensorIMX252::GetTriggerMode(int32_t* on) {
    if (on) *on = static_cast<int32_t>(controlFlags_);
    return 1;
}

std::unique_ptr<CSensorBase> MakeSensorIMX252(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX252>(controller, deviceAddress);
}

}  // namespace vantix
