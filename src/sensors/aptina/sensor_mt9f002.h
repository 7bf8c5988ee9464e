#pragma once
// CSensorMT9F002: the newer 4608 x 3288 sensor of the 0x3020 board (the one
// that answers the board probe), at bus address 0x20 with 16-bit register
// addresses. Constants in aptina::kMT9F002. Unlike MT9F001 it shares the
// window with the FPGA, so window changes restart the camera's stream.
#include "sensors/aptina/aptina_sensor.h"

namespace vantix {

class CSensorMT9F002 : public CAptinaSensor {
public:
    CSensorMT9F002(CControllerBase* controller, uint8_t deviceAddress);

    // The 0x3020 board carries this sensor or MT9F001; only this one answers
    // a read of its identity register at bus address 0x20 with 0x2E, 0x01.
    // NoAnswer when the bus transfer fails.
    static SensorProbe Probe(CControllerBase* controller);

    // FPGA and sensor reset, clocks and the power-on settings, then the
    // default gain, exposure, mirrors and window.
    int32_t Initialize() override;
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    // Restarts the frame in the sensor and the stream in the controller, then
    // waits out one frame and a margin.
    void RestartReadout() override;
    // Resets the controller's stream only.
    void ResetReadout() override;

private:
    // Writes only when reading the register back shows a different value (a
    // failed read counts as different).
    int32_t WriteIfChanged(uint16_t address, uint16_t value);
};

}  // namespace vantix
