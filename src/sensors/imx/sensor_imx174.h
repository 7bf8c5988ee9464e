#pragma once
// CSensorIMX174: the 1920 x 1200 sensor of model 0x3100 at bus address 0x48,
// the oldest head: plain transfers paced 1 ms apart, its own window
// registers, frame length counted from the window height, and mirror flags
// that the sensor holds inverted. Constants in imx::kIMX174.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CSensorIMX174 : public CImxSensor {
public:
    CSensorIMX174(CControllerBase* controller, uint8_t deviceAddress);

    // The analog set-up write, the line length the sensor reports, the
    // head's identification word, then gain, exposure lines, mirrors and the
    // whole array.
    int32_t Initialize() override;
    // x and width rounded up to 4 columns, y and height to 2 rows; the mode
    // is ignored (the sensor has no binned readout).
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    int32_t SetExposureLines(int32_t lines) override;
    int32_t SetExposureTime(int32_t tenthsOfMs) override;
    int32_t SetMirrorH(int32_t on) override;
    int32_t SetMirrorV(int32_t on) override;
    // The head triggers on the FPGA alone: nothing to program.
    int32_t SetTriggerMode(int32_t) override { return 1; }
    int32_t GetTriggerMode(int32_t*) override { return 1; }

    // FPGA registers 18 (low) and 19 (high) as read by Initialize.
    uint16_t HeadIdentification() const { return headIdentification_; }

private:
    int32_t WriteMirrors(int32_t mirrorH, int32_t mirrorV);

    uint16_t headIdentification_ = 0;
};

}  // namespace vantix
