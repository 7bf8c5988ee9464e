#pragma once
// CSensorMT9J001: the 3856 x 2764 sensor of models 0x3040 and 0x3042, at bus
// address 0x20 with 16-bit register addresses and three selectable pixel
// clocks. Constants in aptina::kMT9J001.
#include "sensors/aptina/aptina_sensor.h"

namespace vantix {

class CSensorMT9J001 : public CAptinaSensor {
public:
    // The control flag this class interprets (the 0x3042 board sets it).
    static constexpr uint32_t kControlCameraRegisterPath = kControlCameraOwnsSensorBus;

    CSensorMT9J001(CControllerBase* controller, uint8_t deviceAddress);

    // Clock mode 2, the power-on settings (not on the camera-register path),
    // then gain, exposure, mirrors and the default window.
    int32_t Initialize() override;
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    // The family's bus transfers, or the camera's registers (see below).
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
};

}  // namespace vantix
