#pragma once
// Heads whose sensor timing the FPGA generates: InGaAs arrays and line
// sensors. Exposure (FPGA 226-228, 24 bits) and gain (FPGA 146, 64 = unity)
// shape the picture; register 22 reads 1 once the head has started, which
// it has at power-on. The exposure count is pixel clocks of the 6.25 MHz
// clock on the InGaAs arrays, 8 ms steps above 50 ms on the cooled array,
// and the line period in clocks of the 5 MHz clock on the line sensors.
// Brightness is the exposure against the model's reference count, times the
// gain; the frame period is the exposure plus the readout (area heads) or
// the lines of a frame times the line period (line heads).
//
// Line heads gather each frame from the window height's number of lines
// (FPGA 64/65) of a moving line pattern: the pattern moves on by one line
// per line, so each frame continues where the previous one ended.
//
// The cooled head carries a thermistor read through a 16-bit code (FPGA 4/5)
// and a set point (80/83) committed by command 1 on register 82 (latch 84 =
// 0); command 2 with latch 84 = 2 latches the current code. The code moves
// toward the set point while the cooler (bit 0 of 81) is on, and back
// toward ambient while it is off, by a few codes per latch: drift is counted
// in reads, never in wall-clock time, so tests repeat exactly.
#include <cstdint>

#include "emulator/head_personality.h"

namespace vantix::emulator {

class FpgaTimedHead : public HeadPersonality {
public:
    explicit FpgaTimedHead(const VirtualModel& model);

    void WriteFpgaRegister(uint8_t reg, uint8_t value) override;
    double Brightness() const override;
    uint32_t FramePeriodUs() const override;
    uint32_t SceneFrameIndex(uint32_t frameCounter) const override;

    // The thermistor: code at 25 degrees, and codes moved per latch.
    static constexpr uint16_t kAmbientCode = 506;
    static constexpr uint16_t kDriftCodesPerRead = 8;
    uint16_t ThermistorCode() const { return sensorCode_; }
    uint16_t SetPointCode() const { return setPointCode_; }
    // The exposure count and the lines per frame as programmed.
    uint32_t ExposureCount() const;
    uint32_t FrameLines() const;

private:
    void LatchTemperature();
    // How long an exposure count integrates, in microseconds.
    double ExposureUs(uint32_t count) const;

    uint16_t sensorCode_ = kAmbientCode;
    uint16_t setPointCode_ = kAmbientCode - 1;
};

}  // namespace vantix::emulator
