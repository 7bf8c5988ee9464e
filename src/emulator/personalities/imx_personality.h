#pragma once
// The IMX family's sensors behind the virtual camera's serial bus: files of
// 8-bit registers at 16-bit addresses (big-endian addresses, one byte per
// register), with their reset values and read-only chip-identification
// registers. Frame timing follows the programmed frame length (lines) and
// line length (in ticks of the member's line clock); brightness follows the
// exposure time (frame length minus shutter start line, times the line
// length) and the gain code (0.1 dB per step). The SWIR members also hold a
// temperature sensor whose reading is latched by bit 0 of register 0x788.
#include <cstdint>
#include <memory>

#include "emulator/register_map_sensor.h"

namespace vantix::emulator {

enum class ImxSensorKind : uint8_t { IMX273, IMX250, IMX252, IMX264, IMX487, IMX536, IMX990, IMX991 };

// Where a member keeps its timing values, each over consecutive byte
// registers, lowest byte first.
struct ImxTimingRegisters {
    uint16_t frameLength;
    uint8_t frameLengthBytes;
    uint16_t lineLength;
    uint8_t lineLengthBytes;
    uint16_t shutter;
    uint8_t shutterBytes;
    uint16_t gain;  // low byte; bit 8 in the next register
    uint32_t lineClockKHz;  // the clock the line length counts
    uint32_t frameLengthMask;
};

// Where the programmed window sits in the pixel array, as the frames show it.
struct ImxArrayView {
    uint32_t originX = 0;     // first array column read out
    uint32_t columnStep = 1;  // 2 in the binned readouts
    bool mirrored = false;    // horizontal mirror bit
};

class ImxPersonality : public RegisterMapSensor {
public:
    explicit ImxPersonality(ImxSensorKind kind);

    bool Write(const uint8_t* data, size_t count) override;
    uint32_t FramePeriodUs() const override;
    double Brightness() const override;

    uint32_t FrameLength() const;
    uint32_t LineLength() const;
    uint32_t ShutterStart() const;
    // Frame length minus shutter start, at least 1.
    uint32_t ExposureLines() const;
    uint32_t GainCode() const;

    // The chip number the identification registers 0x348/0x349 report, so
    // that a board can be given another chip (for tests).
    void SetChipNumber(int32_t chip);
    // The die temperature the SWIR members' sensor reads, and the cooler
    // that holds it below the ambient temperature while on.
    void SetAmbientTemperature(double celsius) { ambientCelsius_ = celsius; }
    void SetCoolerOn(bool on) { coolerOn_ = on; }
    double DieTemperature() const;
    // The readout's place in an array `arrayWidth` columns wide.
    ImxArrayView ArrayView(uint32_t arrayWidth) const;

private:
    uint32_t Value(uint16_t address, uint8_t bytes) const;
    double ExposureTicks() const;
    void LatchTemperature();

    const ImxTimingRegisters& timing_;
    bool newerGeneration_;
    bool hasThermometer_;
    double nominalTicks_;
    double ambientCelsius_ = 25.0;
    bool coolerOn_ = false;
};

std::unique_ptr<SensorPersonality> MakeImxPersonality(ImxSensorKind kind);

}  // namespace vantix::emulator
