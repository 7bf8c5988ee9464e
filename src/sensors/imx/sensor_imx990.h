#pragma once
// CSensorIMX990: the 1280 x 1024 SWIR head of models 0x3260 and 0x3270 at
// bus address 0x48 (variants in imx::kIMX990Variants). Constants in
// imx::kIMX990; behaviour in CImxSwirSensor.
#include "sensors/imx/imx_swir_sensor.h"

namespace vantix {

class CSensorIMX990 : public CImxSwirSensor {
public:
    CSensorIMX990(CControllerBase* controller, uint8_t deviceAddress);
};

}  // namespace vantix
