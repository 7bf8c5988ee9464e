#pragma once
// CSensorIMX159: the 4800 x 3520 sensor of model 0x3120 at bus address 0x48.
// Writes wait for the sensor bus to go idle (imx::Transfers::IdleWait); the
// head's EEPROM sits on the same bus and is reached through AccessDevice.
// No sensor mirroring. Constants in imx::kIMX159.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CSensorIMX159 : public CImxSensor {
public:
    CSensorIMX159(CControllerBase* controller, uint8_t deviceAddress);

    // The head's EEPROM, one byte at a time; buffer points at two bytes
    // {address, value}. op 0 writes value at address, op 1 reads the byte at
    // address into value. Any other op, or no buffer, fails.
    int32_t AccessDevice(int32_t op, void* buffer) override;
};

}  // namespace vantix
