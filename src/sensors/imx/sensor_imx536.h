#pragma once
// CSensorIMX536: the 2848 x 2848 head of model 0x32E0 at bus address 0x48,
// with checked transfers. Initialize applies
// the defaults directly and waits for the vertical drive. Constants in
// imx::kIMX536.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CSensorIMX536 : public CImxSensor {
public:
    CSensorIMX536(CControllerBase* controller, uint8_t deviceAddress);
};

}  // namespace vantix
