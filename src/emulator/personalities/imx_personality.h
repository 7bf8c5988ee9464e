#pragma once
// The IMX family's sensors behind the virtual camera's serial bus: files of
// 8-bit registers at 16-bit addresses (big-endian addresses, one byte per
// register), with their reset values and read-only chip-identification
// registers. Frame timing follows the programmed frame length (lines) and
// line length (in ticks of the sensor's 74.25 MHz input clock); brightness
// follows the exposure (frame length minus shutter start line) and the gain
// code (0.1 dB per step).
#include <cstdint>
#include <memory>

#include "emulator/register_map_sensor.h"

namespace vantix::emulator {

enum class ImxSensorKind : uint8_t { IMX273 };

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
};

class ImxPersonality : public RegisterMapSensor {
public:
    explicit ImxPersonality(ImxSensorKind kind);

    uint32_t FramePeriodUs() const override;
    double Brightness() const override;

    uint32_t FrameLength() const;
    uint32_t LineLength() const;
    uint32_t ShutterStart() const;
    // Frame length minus shutter start, at least 1.
    uint32_t ExposureLines() const;
    uint32_t GainCode() const;

private:
    uint32_t Value(uint16_t address, uint8_t bytes) const;

    const ImxTimingRegisters& timing_;
    double nominalLines_;
};

std::unique_ptr<SensorPersonality> MakeImxPersonality(ImxSensorKind kind);

}  // namespace vantix::emulator
