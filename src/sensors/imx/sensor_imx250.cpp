// CSensorIMX250: chip identification, the frame-rate request and the
// trigger it does not have; the rest is the family's.
#include "sensors/imx/sensor_imx250.h"

#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {
namespace {

// A frame-rate request's line time, in units of 10 us per pixel of the line
// length (totalWidth), and the shortest blanking it leaves.
constexpr double kRateLineUnit = 0.013289036544850499 / 100.0;
constexpr int32_t kRateMinimumBlank = 46;
// Chips this board may carry and the variant codes they give.
constexpr int32_t kChip264 = 264;
constexpr int32_t kChip265 = 265;
constexpr int32_t kVariantChip264 = 57;
constexpr int32_t kVariantChip265 = 58;

}  // namespace

CSensorIMX250::CSensorIMX250(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kIMX250) {}

int32_t CSensorIMX250::VariantForChip(int32_t chip) {
    if (chip == kChip264) return kVariantChip264;
    if (chip == kChip265) return kVariantChip265;
    return modelVariant_;
}

int32_t CSensorIMX250::AccessDevice(int32_t op, void* buffer) {
    const int32_t rate = FrameRateRequest(op, buffer);
    if (rate == 0) return 0;
    return ApplyFrameRateLines(100000.0 / rate / (info_.totalWidth * kRateLineUnit), kRateMinimumBlank);
}

int32_t CSensorIMX250::SetTriggerMode(int32_t) { return 1; }

int32_t CSensorIMX250::GetTriggerMode(int32_t*) { return 1; }

std::unique_ptr<CSensorBase> MakeSensorIMX250(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX250>(controller, deviceAddress);
}

}  // namespace vantix
