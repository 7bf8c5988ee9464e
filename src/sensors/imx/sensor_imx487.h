#pragma once
// CSensorIMX487: the 2848 x 2848 UV head of model 0x32F0 at bus address
// 0x48, with checked transfers, black level and exposure in seconds.
// Constants in imx::kIMX487.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CSensorIMX487 : public CImxSensor {
public:
    CSensorIMX487(CControllerBase* controller, uint8_t deviceAddress);

    // The power-on write, the black level, then the family's defaults and the
    // vertical-drive wait.
    int32_t Initialize() override;
};

}  // namespace vantix
