#pragma once
// CSensorG1467x: the cooled 320 x 256 InGaAs head (model 0x3220). Beyond
// its family it carries a thermistor read through a 16-bit code, a cooler
// and a target temperature, reached through a command register: each
// exchange writes the latch (84), then command 0 and the command itself to
// register 82.
#include <cstdint>

#include "sensors/fpga_timed/fpga_timed_head.h"

namespace vantix {

class CSensorG1467x final : public CFpgaTimedHead {
public:
    CSensorG1467x(CControllerBase* controller, uint8_t deviceAddress);

    // The family's opening, with the exposure-time maximum of the model
    // variant, and the target the head holds taken as the last target.
    int32_t Initialize() override;

    int32_t IsCoolingSupported() override;
    int32_t GetCooling(int32_t* on) override;
    // Switching on applies the last target again.
    int32_t SetCooling(int32_t on) override;
    int32_t IsTemperatureSupported() override;
    // The thermistor's temperature now; fails when its code has no
    // temperature (an open or shorted thermistor).
    int32_t GetTemperature(double* celsius) override;
    int32_t IsTargetTemperatureSupported() override;
    // The target the head holds, to the nearest whole degree.
    int32_t GetTargetTemperature(double* celsius) override;
    // Remembers the target; programs it while the cooler is on (switching
    // the cooler on programs the remembered one).
    int32_t SetTargetTemperature(double celsius) override;

    double LastTarget() const { return lastTarget_; }

private:
    // Latches the head's codes for reading.
    bool LatchForRead();

    double lastTarget_ = 25.0;
};

}  // namespace vantix
