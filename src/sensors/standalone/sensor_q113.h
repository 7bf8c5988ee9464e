#pragma once
// CSensorQ113: the 1280 x 1024 head of model 0x3140, a sensor of 16-bit
// registers at bus address 0x6C (16-bit register addresses, high byte
// first). Gain is an index into a table of analog gain codes.
#include <cstdint>

#include "sensors/sensor_base.h"

namespace vantix {

class CSensorQ113 : public CSensorBase {
public:
    CSensorQ113(CControllerBase* controller, uint8_t deviceAddress);

    int32_t Detect() override { return 1; }
    // Standby off, the power-on table, then the default gain, exposure,
    // mirrors and the full window.
    int32_t Initialize() override;
    // x and width on multiples of 4, y and height even (rounded up), inside
    // the array.
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    // Triggering is the FPGA's: nothing for the sensor to do.
    int32_t SetTriggerMode(int32_t) override { return 1; }
    int32_t GetTriggerMode(int32_t*) override { return 1; }
    // Line length 924 clocks for 16-bit transfers, 720 for 8-bit; bit 0 of
    // register 0x21C selects the sensor's output width to match.
    int32_t SetBitDepth(int32_t sixteenBit) override;
    int32_t SetExposureLines(int32_t lines) override;
    int32_t SetExposureTime(int32_t tenthsOfMs) override;
    // Gain index 0-11 (larger ones are taken as 11).
    int32_t SetGain(int32_t index) override;
    // Bits 0 (H) and 1 (V) of register 2, changed under the register-hold
    // flag of register 1.
    int32_t SetMirrorH(int32_t on) override;
    int32_t GetMirrorH(int32_t* on) override;
    int32_t SetMirrorV(int32_t on) override;
    int32_t GetMirrorV(int32_t* on) override;
    // Four-byte writes {address hi, address lo, value hi, value lo}; reads
    // send the address and take two bytes, under one hold of the bus lock.
    int32_t WriteRegister(uint32_t address, uint32_t value) override;
    int32_t ReadRegister(uint32_t address, uint32_t* value) override;

private:
    int32_t SetMirrorBit(uint32_t bit, int32_t on);
};

}  // namespace vantix
