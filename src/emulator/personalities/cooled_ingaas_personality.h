#pragma once
// The cooled 640 x 512 InGaAs head: its readout is FPGA registers (window
// size in 68/69 and 64/65, exposure in lines in 133, 134 and 155, trigger
// 88, auxiliary power 130, cooler bit 0 of 151), and its temperature sensor
// reads in FPGA 160 (low) and 161 (high): a signed 16-bit value in 1/256
// degree Celsius. The head sits at 25 degrees with the cooler off and -20
// with it on. Firmware 1.00 (FPGA 0x11 = 1, 0x10 = 0).
#include <cstdint>

#include "emulator/head_personality.h"

namespace vantix::emulator {

class CooledInGaAsPersonality : public HeadPersonality {
public:
    explicit CooledInGaAsPersonality(const VirtualModel& model);

    uint8_t ReadFpgaRegister(uint8_t reg) override;
    // Exposure against the power-on 510 lines.
    double Brightness() const override;
    uint32_t FramePeriodUs() const override;

    // ---- For tests ----
    // Overrides the temperature the sensor reports (degrees Celsius).
    void SetTemperature(double celsius);
    uint32_t TemperatureReads() const { return temperatureReads_; }
    uint32_t ExposureLines() const;

private:
    int16_t Code() const;

    bool fixedTemperature_ = false;
    double celsius_ = 0;
    uint32_t temperatureReads_ = 0;
};

}  // namespace vantix::emulator
