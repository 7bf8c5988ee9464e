#pragma once
// CSensorMT9P001: the 2592 x 1944 sensor of model 0x3030, at bus address
// 0x90 with 8-bit register addresses. Constants in aptina::kMT9P001.
#include "sensors/aptina/aptina_sensor.h"

namespace vantix {

class CSensorMT9P001 : public CAptinaSensor {
public:
    CSensorMT9P001(CControllerBase* controller, uint8_t deviceAddress);

    // Out of reset, PLL to 80 MHz, the analog settings on the revision that
    // needs them, then gain, exposure, mirrors and the default window.
    int32_t Initialize() override;
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    // Snapshot triggering: bits 0x310 of read mode 1 (register 0x1E).
    int32_t SetTriggerMode(int32_t on) override;
    int32_t GetTriggerMode(int32_t* on) override;
    // Bits 0x8000 (H) and 0x4000 (V) of read mode 2 (register 0x20). Mirror H
    // also moves the row start by 4, which keeps the colour pattern's phase.
    int32_t SetMirrorH(int32_t on) override;
    int32_t SetMirrorV(int32_t on) override;
    // 1 at 16 MHz, 2 at 80 MHz, 0 otherwise.
    int32_t GetClockMode(int32_t* mode) override;

private:
    int32_t SetReadModeBit(uint16_t bit, int32_t on);
    uint16_t RowStart() const;

    int32_t triggerMode_ = 0;
};

}  // namespace vantix
