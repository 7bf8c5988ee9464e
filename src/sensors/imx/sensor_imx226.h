#pragma once
// CSensorIMX226: the 4168 x 3062 sensor of model 0x31F0 at bus address 0x48,
// with checked transfers; Initialize applies the defaults and waits for the
// vertical drive (the family skeleton). Constants in imx::kIMX226.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CSensorIMX226 : public CImxSensor {
public:
    CSensorIMX226(CControllerBase* controller, uint8_t deviceAddress);
};

}  // namespace vantix
