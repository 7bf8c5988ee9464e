#pragma once
// CSensorLI7050: the 1936 x 1096 sensor of model 0x32B0 at bus address 0x48,
// with checked transfers and exposure in seconds. Constants in imx::kLI7050.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CSensorLI7050 : public CImxSensor {
public:
    CSensorLI7050(CControllerBase* controller, uint8_t deviceAddress);

    // The power-on list, then gain, exposure in seconds, mirrors and the
    // whole array.
    int32_t Initialize() override;
    // The gain code's two registers inside a register hold, so the sensor
    // never runs a frame with half of a new code.
    int32_t SetGain(int32_t gain) override;
};

}  // namespace vantix
