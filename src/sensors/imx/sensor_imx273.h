#pragma once
// CSensorIMX273: the 1440 x 1080 sensor of model 0x3300 at bus address 0x48,
// with checked transfers, black level and exposure in seconds. Constants in
// imx::kIMX273.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CSensorIMX273 : public CImxSensor {
public:
    CSensorIMX273(CControllerBase* controller, uint8_t deviceAddress);

    // The power-on write, then black level, gain, exposure in seconds,
    // mirrors and the default window.
    int32_t Initialize() override;

private:
    // The FPGA's readout start follows the horizontal mirror and the window.
    void AfterMirrorH() override;
};

}  // namespace vantix
