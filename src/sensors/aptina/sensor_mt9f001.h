#pragma once
// CSensorMT9F001: the 4608 x 3288 sensor of the 0x3020 board's first
// version, at bus address 0x20 with 16-bit register addresses. Constants in
// aptina::kMT9F001.
#include "sensors/aptina/aptina_common.h"

namespace vantix {

class CSensorMT9F001 : public CSensorBase {
public:
    CSensorMT9F001(CControllerBase* controller, uint8_t deviceAddress);

    // Register 0 (chip version) reads non-zero.
    int32_t Detect() override;
    // Reset, clocks, the power-on tables and sequencer program, then the
    // default gain, exposure, mirrors and window.
    int32_t Initialize() override;
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    int32_t SetExposureLines(int32_t lines) override;
    int32_t SetGain(int32_t gain) override;
    int32_t SetColorGainRed(int32_t value) override;
    int32_t GetColorGainRed(int32_t* value) override;
    int32_t SetColorGainGreen1(int32_t value) override;
    int32_t GetColorGainGreen1(int32_t* value) override;
    int32_t SetColorGainGreen2(int32_t value) override;
    int32_t GetColorGainGreen2(int32_t* value) override;
    int32_t SetColorGainBlue(int32_t value) override;
    int32_t GetColorGainBlue(int32_t* value) override;
    int32_t SetExposureTime(int32_t tenthsOfMs) override;
    // The sensor is not mirrored; the flags are kept for the caller only.
    int32_t SetMirrorH(int32_t on) override;
    int32_t GetMirrorH(int32_t* on) override;
    int32_t SetMirrorV(int32_t on) override;
    int32_t GetMirrorV(int32_t* on) override;
    int32_t WriteRegister(uint32_t address, uint32_t value) override;
    int32_t ReadRegister(uint32_t address, uint32_t* value) override;

private:
    uint16_t readModeShadow_;
};

}  // namespace vantix
