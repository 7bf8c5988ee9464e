#pragma once
// CSensorIMX264: the 2448 x 2048 head of model 0x31B4 at bus address 0x48,
// with checked transfers. Constants in imx::kIMX264.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CSensorIMX264 : public CImxSensor {
public:
    CSensorIMX264(CControllerBase* controller, uint8_t deviceAddress);

    // The frame rate (op 0, frames per second in the buffer's first word).
    int32_t AccessDevice(int32_t op, void* buffer) override;
    // The head has no trigger of its own: accepted without action.
    int32_t SetTriggerMode(int32_t on) override;
    int32_t GetTriggerMode(int32_t* on) override;

protected:
    int32_t VariantForChip(int32_t chip) override;
};

}  // namespace vantix
