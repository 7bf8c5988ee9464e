#pragma once
// CSensorQ120: the cooled 640 x 512 InGaAs head of model 0x3200. Its
// readout is programmed in FPGA registers: three fixed windows, exposure,
// frame rate, trigger, auxiliary power and the Peltier cooler. A monitor
// thread samples the head's temperature sensor while the camera streams.
#include <cstdint>
#include <optional>

#include "sensors/sensor_base.h"
#include "sensors/standalone/temperature_monitor.h"

namespace vantix {

class CSensorQ120 : public CSensorBase {
public:
    CSensorQ120(CControllerBase* controller, uint8_t deviceAddress);
    ~CSensorQ120() override;

    int32_t Detect() override { return 1; }
    // Default exposure and the full window.
    int32_t Initialize() override;
    // 640 x 512 at (0, 0), 320 x 240 at (160, 136) or 160 x 120 at (240, 196),
    // after x and width are rounded up to multiples of 4, the height to a
    // multiple of 4 and y to even; anything else fails.
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    int32_t SetTriggerMode(int32_t on) override;
    int32_t GetTriggerMode(int32_t* on) override;
    int32_t SetBitDepth(int32_t sixteenBit) override { return ApplyBitDepth(sixteenBit); }
    // 24 bits in FPGA 133, 134 and 155; fails unless all three were taken.
    int32_t SetExposureLines(int32_t lines) override;
    int32_t SetExposureTime(int32_t tenthsOfMs) override;
    int32_t GetExposureTimeMin(int32_t* value) override;
    int32_t GetExposureTimeMax(int32_t* value) override;
    // Op 0: the frame rate (the int32 the buffer points to); the frame
    // length follows and the exposure time is programmed again in its lines.
    int32_t AccessDevice(int32_t op, void* buffer) override;
    // Firmware 256 and later has the cooler and the temperature sensor.
    int32_t IsCoolingSupported() override;
    int32_t GetCooling(int32_t* on) override;
    int32_t SetCooling(int32_t on) override;
    int32_t IsTemperatureSupported() override;
    // The average of the monitor's samples; fails before the first one.
    int32_t GetTemperature(double* celsius) override;
    void StartTemperatureMonitor() override;
    void StopTemperatureMonitor() override;
    int32_t IsAuxPowerSupported() override { return 1; }
    int32_t GetAuxPower(int32_t* on) override;
    int32_t SetAuxPower(int32_t on) override;
    // The head's sensor bus, plain and checked against the FPGA's own use.
    int32_t WriteRegister(uint32_t address, uint32_t value) override;
    int32_t ReadRegister(uint32_t address, uint32_t* value) override;
    int32_t WriteRegisterChecked(uint32_t address, uint32_t value) override;
    int32_t ReadRegisterChecked(uint32_t address, uint32_t* value) override;

    // The temperature sensor: FPGA 160 (low) and 161 (high), a signed 16-bit
    // value in units of 1/256 degree Celsius, sampled every 500 ms; the
    // average of the latest 16 samples is the temperature.
    static constexpr uint8_t kTemperatureLow = 160;
    static constexpr uint32_t kTemperaturePeriodMs = 500;
    static constexpr double kDegreesPerCount = 1.0 / 256.0;

    bool TemperatureMonitorRunning() const { return monitor_.Running(); }

private:
    // Exposure line time in units of 0.1 ms.
    double LineTime() const;
    std::optional<int16_t> SampleTemperature();

    TemperatureMonitor monitor_;
};

}  // namespace vantix
