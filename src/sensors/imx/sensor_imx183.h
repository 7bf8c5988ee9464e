#pragma once
// CSensorIMX183: the 5520 x 3680 sensor of model 0x3110 at bus address 0x48.
// Its writes wait for the FPGA to free the sensor bus and are kept in a
// shadow that reads answer from (imx::Transfers::IdleWaitShadow); the
// sensor is put to standby when the object goes. Constants in imx::kIMX183.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CSensorIMX183 : public CImxSensor {
public:
    CSensorIMX183(CControllerBase* controller, uint8_t deviceAddress);
    // Stops the FPGA's streaming (register 48 = 0), then standby (sensor
    // register 0 = 3), so the head rests cool when the camera is closed.
    ~CSensorIMX183() override;
};

}  // namespace vantix
