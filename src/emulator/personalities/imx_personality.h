#pragma once
// The IMX family's sensors behind the virtual camera's serial bus: files of
// 8-bit registers at 16-bit addresses (big-endian addresses, one byte per
// register), with their reset values and read-only chip-identification
// registers. Frame timing follows the programmed frame length (lines) and
// the line time (a line-length register in ticks of the member's line
// clock, or the sensor's fixed line); brightness follows the exposure time
// (exposure lines times the line time) and the gain code. The SWIR members
// also hold a temperature sensor whose reading is latched by bit 0 of
// register 0x788.
#include <cstdint>
#include <memory>

#include "emulator/register_map_sensor.h"

namespace vantix::emulator {

enum class ImxSensorKind : uint8_t {
    IMX273, IMX174, IMX178, IMX183, IMX159, IMX226, LI7050, GLUX9701,
    IMX250, IMX252, IMX264, IMX487, IMX536, IMX990, IMX991,
};

// How the exposure register counts.
enum class ImxExposureLaw : uint8_t {
    FrameMinusShutter,  // shutter start line; exposure = frame length - shutter start
    DirectLines,        // the exposure lines; the frame lengthens to hold them
};

// Where a member keeps its timing values, each over consecutive byte
// registers, lowest byte first. frameLengthBytes 0: the frame length is
// fixedFrameLines. lineLengthBytes 0: a line is fixedLineTicks.
struct ImxTimingRegisters {
    uint16_t frameLength;
    uint8_t frameLengthBytes;
    uint16_t lineLength;
    uint8_t lineLengthBytes;
    uint16_t shutter;
    uint8_t shutterBytes;
    uint16_t gain;      // low byte; higher bits in the next register
    uint8_t gainBytes;  // 1 or 2
    uint32_t gainMask;
    uint32_t frameMask;  // bits the frame length and shutter registers hold
    ImxExposureLaw law = ImxExposureLaw::FrameMinusShutter;
    uint32_t fixedFrameLines = 0;
    uint32_t fixedLineTicks = 0;
    double lineClockKHz = 74250.0;  // the clock the line is counted in
    double gainCodesPerDecade = 200.0;  // 0.1 dB steps of amplitude by default
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
    uint32_t LineLength() const;  // in ticks of the line clock
    uint32_t ShutterStart() const;
    // The lines exposed, at least 1.
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
    uint16_t mirrorAddress_;  // 0: the member does not mirror
    bool mirrorInverted_;
    bool newerGeneration_;
    bool hasThermometer_;
    double nominalTicks_;
    double ambientCelsius_ = 25.0;
    bool coolerOn_ = false;
};

std::unique_ptr<SensorPersonality> MakeImxPersonality(ImxSensorKind kind);

}  // namespace vantix::emulator
