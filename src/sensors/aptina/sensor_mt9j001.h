#pragma once
// CSensorMT9J001: the 3856 x 2764 sensor of models 0x3040 and 0x3042, at bus
// address 0x20 with 16-bit register addresses and three selectable pixel
// clocks. Constants in aptina::kMT9J001.
#include "sensors/aptina/aptina_common.h"

namespace vantix {

class CSensorMT9J001 : public CSensorBase {
public:
    // The control flag this class interprets (the 0x3042 board sets it).
    static constexpr uint32_t kControlCameraRegisterPath = kControlCameraOwnsSensorBus;

    CSensorMT9J001(CControllerBase* controller, uint8_t deviceAddress);

    // Register 0 (chip version) must read 0x2C01.
    int32_t Detect() override;
    // Clock mode 2, the power-on settings (not on the camera-register path),
    // then gain, exposure, mirrors and the default window.
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
    // Modes 0, 1, 2: 32, 16 and 80 MHz pixel clock. The mode is read back
    // from the sensor's PLL divider.
    int32_t SetClockMode(int32_t mode) override;
    int32_t GetClockMode(int32_t* mode) override;

private:
    // The camera reaches the sensor through its own registers (the 0x3042
    // board): register transfers go through the controller's camera
    // registers, and the camera has already loaded the power-on settings.
    bool ThroughCameraRegisters() const { return (controlFlags_ & kControlCameraOwnsSensorBus) != 0; }

    uint16_t readModeShadow_;
};

}  // namespace vantix
