// CSensorIMX264: chip identification and the frame-rate request; the rest
// is the family's.
#include "sensors/imx/sensor_imx264.h"

#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {
namespace {

// A frame-rate request's line time in units of 10 us: binned (area mode 1)
// and otherwise; and the shortest blanking it leaves.
constexpr double kRateLineBinned = 0.29182724252491693;
constexpr double kRateLine = 0.13235880398671096;
constexpr int32_t kRateMinimumBlank = 46;
// Chips this board may carry and the variant codes they give.
constexpr int32_t kChip250 = 250;
constexpr int32_t kChip252 = 252;
constexpr int32_t kChip264 = 264;
constexpr int32_t kVariantChip250 = 59;
constexpr int32_t kVariantChip264 = 57;
constexpr int32_t kVariantOtherChip = 58;

}  // namespace

CSensorIMX264::CSensorIMX264(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kIMX264) {}

int32_t CSensorIMX264::VariantForChip(int32_t chip) {
    if (chip == kChip250 || chip == kChip252) return kVariantChip250;
    if (chip == kChip264) return kVariantChip264;
    return kVariantOtherChip;
}

int32_t CSensorIMX264::AccessDevice(int32_t op, void* buffer) {
    const int32_t rate = FrameRateRequest(op, buffer);
    if (rate == 0) return 0;
    const double line = info_.areaMode == 1 ? kRateLineBinned : kRateLine;
    return ApplyFrameRateLines(100000.0 / rate / line, kRateMinimumBlank);
}

int32_t CSensorIMX264::SetTriggerMode(int32_t) { return 1; }

int32_t CSensorIMX264::GetTriggerMode(int32_t*) { return 1; }

std::unique_ptr<CSensorBase> MakeSensorIMX264(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX264>(controller, deviceAddress);
}

}  // namespace vantix
