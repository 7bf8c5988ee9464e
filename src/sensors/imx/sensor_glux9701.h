#pragma once
// CSensorGLUX9701: the 1280 x 1024 sensor of model 0x32C0 at bus address
// 0x48, with checked transfers, exposure in seconds, a second exposure per
// frame and two output modes. Detect waits for the head to report its
// sensor ready. Constants in imx::kGLUX9701.
#include "sensors/imx/imx_sensor.h"

namespace vantix {

class CSensorGLUX9701 : public CImxSensor {
public:
    CSensorGLUX9701(CControllerBase* controller, uint8_t deviceAddress);

    // FPGA register 33 reads 3 once the head has powered its sensor; a head
    // that does not is restarted (bit 1 of FPGA register 164) up to five
    // times.
    int32_t Detect() override;
    // The power-on list, then gain, exposure in seconds, mirrors and the
    // whole array.
    int32_t Initialize() override;

    // Exposure mode 0: one exposure per frame; 1: a second exposure per
    // frame (sensor register 0x10).
    int32_t IsExposureModeSupported() override { return 1; }
    int32_t GetExposureMode(int32_t* mode) override;
    int32_t SetExposureMode(int32_t mode) override;
    // Output mode 0: linear; 1: the two exposures combined (sensor register
    // 0x12). The getter reads the sensor: -1 when it does not answer.
    int32_t IsOutputModeSupported() override { return 1; }
    int32_t GetOutputMode() override;
    int32_t SetOutputMode(int32_t mode) override;

private:
    bool HeadReady();

    int32_t exposureMode_ = 0;
};

}  // namespace vantix
