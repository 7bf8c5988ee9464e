#pragma once
// CSensorMT9F001: the 4608 x 3288 sensor of the 0x3020 board's first
// version, at bus address 0x20 with 16-bit register addresses, and the class
// for model ids the catalog does not list. Constants in aptina::kMT9F001.
#include "sensors/aptina/aptina_sensor.h"

namespace vantix {

class CSensorMT9F001 : public CAptinaSensor {
public:
    CSensorMT9F001(CControllerBase* controller, uint8_t deviceAddress);

    // Reset, clocks, the power-on tables and sequencer program, then the
    // default gain, exposure, mirrors and window.
    int32_t Initialize() override;
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
};

}  // namespace vantix
