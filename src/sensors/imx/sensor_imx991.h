#pragma once
// CSensorIMX991: the 640 x 512 SWIR head of models 0x3280 and 0x3290 at
// bus address 0x48 (variants in imx::kIMX991Variants). Constants in
// imx::kIMX991; behaviour in CImxSwirSensor.
#include "sensors/imx/imx_swir_sensor.h"

namespace vantix {

class CSensorIMX991 : public CImxSwirSensor {
public:
    CSensorIMX991(CControllerBase* controller, uint8_t deviceAddress);
};

}  // namespace vantix
