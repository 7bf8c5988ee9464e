#pragma once
// CSensorIMX252: the 2048 x 1536 head of models 0x31C0 and 0x31C4 at bus
// address 0x48, with checked transfers, a slower power-up and an external
// trigger. Constants in imx::kIMX252.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CSensorIMX252 : public CImxSensor {
public:
    CSensorIMX252(CControllerBase* controller, uint8_t deviceAddress);

    // The frame rate (op 0, frames per second in the buffer's first word).
    int32_t AccessDevice(int32_t op, void* buffer) override;
    // External trigger on (1) or free running (0); kept in the control flags.
    int32_t SetTriggerMode(int32_t on) override;
    int32_t GetTriggerMode(int32_t* on) override;

protected:
    int32_t VariantForChip(int32_t chip) override;
    // Initialize programs the whole array whatever the defaults say.
    void DefaultWindow(int32_t* x, int32_t* width, int32_t* y, int32_t* height) const override;
    // The board variant of an unidentified chip (58) has no vertical-drive flag.
    bool AwaitsVerticalDrive() const override;
};

}  // namespace vantix
