#pragma once
// CSensorIMX178: the 3072 x 2048 sensor of model 0x30F0 at bus address 0x48,
// plain transfers paced 1 ms apart, with the external trigger in the sensor.
// Constants in imx::kIMX178.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CSensorIMX178 : public CImxSensor {
public:
    CSensorIMX178(CControllerBase* controller, uint8_t deviceAddress);

    // Bit 0 of the trigger-control register 0x208: the sensor waits for the
    // external trigger. The getter reads the bit back from that register.
    int32_t SetTriggerMode(int32_t on) override;
    int32_t GetTriggerMode(int32_t* on) override;
};

}  // namespace vantix
