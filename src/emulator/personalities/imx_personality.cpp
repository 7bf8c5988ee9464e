#include "emulator/personalities/imx_personality.h"

#include <algorithm>
#include <cmath>

namespace vantix::emulator {
namespace {

// The line length counts ticks of the 74.25 MHz input clock.
constexpr double kLineClockKHz = 74250.0;
// Gain codes are 0.1 dB steps of amplitude.
constexpr double kGainCodesPerDecade = 200.0;

// IMX273 after reset: frame length 1130 lines (0x210-0x212), line length
// 286 ticks (0x214-0x215), shutter start 14 (0x28D-0x28F), gain 0
// (0x404-0x405), readout control 0 (0x20E), chip number 273 in the
// identification registers 0x348 (bits 6-7: chip bits 0-1) and 0x349 (chip
// bits 2-8).
constexpr RegisterWord kImx273Reset[] = {
    {0x210, 0x6A}, {0x211, 0x04}, {0x212, 0x00}, {0x214, 0x1E}, {0x215, 0x01},
    {0x28D, 0x0E}, {0x28E, 0x00}, {0x28F, 0x00}, {0x404, 0x00}, {0x405, 0x00},
    {0x20E, 0x00}, {0x348, 0x40}, {0x349, 0x44},
};
constexpr uint16_t kChipIdentification[] = {0x348, 0x349};

constexpr RegisterMapDescription kImx273Map{
    .addressBytes = 2, .valueBytes = 1, .bytesPerAddress = 1,
    .powerOn = kImx273Reset, .readOnly = kChipIdentification,
    .pixelClockKHz = 54545,
};
constexpr ImxTimingRegisters kImx273Timing{
    .frameLength = 0x210, .frameLengthBytes = 3, .lineLength = 0x214, .lineLengthBytes = 2,
    .shutter = 0x28D, .shutterBytes = 3, .gain = 0x404,
};

const RegisterMapDescription& MapOf(ImxSensorKind kind) {
    switch (kind) {
        case ImxSensorKind::IMX273: break;
    }
    return kImx273Map;
}

const ImxTimingRegisters& TimingOf(ImxSensorKind kind) {
    switch (kind) {
        case ImxSensorKind::IMX273: break;
    }
    return kImx273Timing;
}

}  // namespace

ImxPersonality::ImxPersonality(ImxSensorKind kind)
    : RegisterMapSensor(MapOf(kind)), timing_(TimingOf(kind)), nominalLines_(1) {
    nominalLines_ = ExposureLines();
}

uint32_t ImxPersonality::Value(uint16_t address, uint8_t bytes) const {
    uint32_t value = 0;
    for (uint8_t i = 0; i < bytes; ++i) value |= uint32_t{Word(static_cast<uint16_t>(address + i))} << (8 * i);
    return value;
}

uint32_t ImxPersonality::FrameLength() const { return Value(timing_.frameLength, timing_.frameLengthBytes) & 0xFFFFF; }
uint32_t ImxPersonality::LineLength() const { return Value(timing_.lineLength, timing_.lineLengthBytes); }
uint32_t ImxPersonality::ShutterStart() const { return Value(timing_.shutter, timing_.shutterBytes) & 0xFFFFF; }
uint32_t ImxPersonality::GainCode() const { return Value(timing_.gain, 2) & 0x1FF; }

uint32_t ImxPersonality::ExposureLines() const {
    const uint32_t frame = FrameLength();
    const uint32_t shutter = ShutterStart();
    return shutter < frame ? frame - shutter : 1;
}

uint32_t ImxPersonality::FramePeriodUs() const {
    const double us = static_cast<double>(FrameLength()) * LineLength() * 1000.0 / kLineClockKHz;
    return static_cast<uint32_t>(std::clamp(us, 1.0, 4.0e9));
}

double ImxPersonality::Brightness() const {
    return ExposureLines() / nominalLines_ * std::pow(10.0, GainCode() / kGainCodesPerDecade);
}

std::unique_ptr<SensorPersonality> MakeImxPersonality(ImxSensorKind kind) {
    return std::make_unique<ImxPersonality>(kind);
}

}  // namespace vantix::emulator
