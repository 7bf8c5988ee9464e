#include "emulator/personalities/imx_personality.h"

#include <algorithm>
#include <cmath>

namespace vantix::emulator {
namespace {

constexpr uint32_t kTwentyBits = 0xFFFFF;
constexpr uint32_t kTwelveBits = 0xFFF;
constexpr uint32_t kSixteenBits = 0xFFFF;
// The 11-bit analog gain codes span 27 dB.
constexpr double kElevenBitCodesPerDecade = 2047.0 / 27.0 * 20.0;

// IMX273 after reset: frame length 1130 lines (0x210-0x212), line length
// 286 ticks of 74.25 MHz (0x214-0x215), shutter start 14 (0x28D-0x28F), gain
// 0 (0x404-0x405), readout control 0 (0x20E), chip number 273 in the
// identification registers 0x348 (bits 6-7: chip bits 0-1) and 0x349 (chip
// bits 2-8).
constexpr RegisterWord kImx273Reset[] = {
    {0x210, 0x6A}, {0x211, 0x04}, {0x212, 0x00}, {0x214, 0x1E}, {0x215, 0x01},
    {0x28D, 0x0E}, {0x28E, 0x00}, {0x28F, 0x00}, {0x404, 0x00}, {0x405, 0x00},
    {0x20E, 0x00}, {0x348, 0x40}, {0x349, 0x44},
};
constexpr uint16_t kChipIdentification[] = {0x348, 0x349};

// IMX174 after reset: frame length 1254 (0x217-0x218), shutter start 294
// (0x29A-0x29B: 960 lines), line length 270 ticks of 74.25 MHz in
// 0x21A-0x21B (read-only: the sensor reports it), gain 0, both mirror-off
// flags set in 0x216.
constexpr RegisterWord kImx174Reset[] = {
    {0x217, 0xE6}, {0x218, 0x04}, {0x29A, 0x26}, {0x29B, 0x01}, {0x21A, 0x0E}, {0x21B, 0x01},
    {0x404, 0x00}, {0x405, 0x00}, {0x216, 0x03},
};
constexpr uint16_t kImx174ReadOnly[] = {0x21A, 0x21B};

// IMX178 after reset: frame length 2100 (0x22C-0x22E), shutter start 100
// (0x234-0x236: 2000 lines), gain 0 (0x21F-0x220), lines of 3640 ticks of
// 364 MHz.
constexpr RegisterWord kImx178Reset[] = {
    {0x22C, 0x34}, {0x22D, 0x08}, {0x22E, 0x00}, {0x234, 0x64}, {0x235, 0x00}, {0x236, 0x00},
    {0x21F, 0x00}, {0x220, 0x00}, {0x20F, 0x00}, {0x208, 0x00},
};

// IMX183 after reset: frame length 3700 (0x0B-0x0C), shutter start 2500
// (0x0D-0x0E: 1200 lines), gain 0 (0x09-0x0A), lines of 1200 ticks of 72 MHz.
constexpr RegisterWord kImx183Reset[] = {
    {0x0B, 0x74}, {0x0C, 0x0E}, {0x0D, 0xC4}, {0x0E, 0x09}, {0x09, 0x00}, {0x0A, 0x00}, {0x1A, 0x00},
};

// IMX159 after reset: a fixed frame of 3600 lines of 1260 ticks of 36 MHz,
// shutter start 3029 (0x207-0x208: 571 lines), gain 0 (0x275-0x276).
constexpr RegisterWord kImx159Reset[] = {
    {0x207, 0xD5}, {0x208, 0x0B}, {0x275, 0x00}, {0x276, 0x00}, {0x277, 0x00}, {0x278, 0x00},
};

// IMX226 after reset: frame length 3100 (0x0B-0x0C), shutter start 1660
// (0x0D-0x0E: 1440 lines), gain 0 (0x09-0x0A), lines of 1000 ticks of 72 MHz.
constexpr RegisterWord kImx226Reset[] = {
    {0x0B, 0x1C}, {0x0C, 0x0C}, {0x0D, 0x7C}, {0x0E, 0x06}, {0x09, 0x00}, {0x0A, 0x00}, {0x1A, 0x00},
};

// LI7050 after reset: frame length 1125 (0x204-0x205), shutter start 689
// (0x206-0x207: 436 lines), gain 0 (0x208-0x209), lines of 1100 ticks of
// 48 MHz.
constexpr RegisterWord kLi7050Reset[] = {
    {0x204, 0x65}, {0x205, 0x04}, {0x206, 0xB1}, {0x207, 0x02}, {0x208, 0x00}, {0x209, 0x00}, {0x600, 0x00},
};

// GLUX9701 after reset: exposure 370 lines (0x0B-0x0E), gain 0 (0x11F),
// frames of 1060 lines of 1000 ticks of 37.037 MHz.
constexpr RegisterWord kGlux9701Reset[] = {
    {0x0B, 0x72}, {0x0C, 0x01}, {0x0D, 0x00}, {0x0E, 0x00}, {0x11F, 0x00}, {0x01, 0x00},
};

constexpr RegisterMapDescription Map(std::span<const RegisterWord> reset, uint32_t clockKHz,
                                     std::span<const uint16_t> readOnly = {}) {
    return {.addressBytes = 2, .valueBytes = 1, .bytesPerAddress = 1,
            .powerOn = reset, .readOnly = readOnly, .pixelClockKHz = clockKHz};
}

constexpr RegisterMapDescription kImx273Map = Map(kImx273Reset, 54545, kChipIdentification);
constexpr RegisterMapDescription kImx174Map = Map(kImx174Reset, 74250, kImx174ReadOnly);
constexpr RegisterMapDescription kImx178Map = Map(kImx178Reset, 364000);
constexpr RegisterMapDescription kImx183Map = Map(kImx183Reset, 72000);
constexpr RegisterMapDescription kImx159Map = Map(kImx159Reset, 36000);
constexpr RegisterMapDescription kImx226Map = Map(kImx226Reset, 72000);
constexpr RegisterMapDescription kLi7050Map = Map(kLi7050Reset, 48000);
constexpr RegisterMapDescription kGlux9701Map = Map(kGlux9701Reset, 37037);

constexpr ImxTimingRegisters kImx273Timing{
    .frameLength = 0x210, .frameLengthBytes = 3, .lineLength = 0x214, .lineLengthBytes = 2,
    .shutter = 0x28D, .shutterBytes = 3, .gain = 0x404, .gainBytes = 2, .gainMask = 0x1FF,
    .frameMask = kTwentyBits,
};
constexpr ImxTimingRegisters kImx174Timing{
    .frameLength = 0x217, .frameLengthBytes = 2, .lineLength = 0x21A, .lineLengthBytes = 2,
    .shutter = 0x29A, .shutterBytes = 2, .gain = 0x404, .gainBytes = 2, .gainMask = 0x1FF,
    .frameMask = kTwelveBits,
};
constexpr ImxTimingRegisters kImx178Timing{
    .frameLength = 0x22C, .frameLengthBytes = 3, .lineLength = 0, .lineLengthBytes = 0,
    .shutter = 0x234, .shutterBytes = 3, .gain = 0x21F, .gainBytes = 2, .gainMask = 0x1FF,
    .frameMask = kTwentyBits, .fixedLineTicks = 3640, .lineClockKHz = 364000,
};
constexpr ImxTimingRegisters kImx183Timing{
    .frameLength = 0x0B, .frameLengthBytes = 2, .lineLength = 0, .lineLengthBytes = 0,
    .shutter = 0x0D, .shutterBytes = 2, .gain = 0x09, .gainBytes = 2, .gainMask = 0x7FF,
    .frameMask = kSixteenBits, .fixedLineTicks = 1200, .lineClockKHz = 72000,
    .gainCodesPerDecade = kElevenBitCodesPerDecade,
};
constexpr ImxTimingRegisters kImx159Timing{
    .frameLength = 0, .frameLengthBytes = 0, .lineLength = 0, .lineLengthBytes = 0,
    .shutter = 0x207, .shutterBytes = 2, .gain = 0x275, .gainBytes = 2, .gainMask = 0x7FF,
    .frameMask = kSixteenBits, .fixedFrameLines = 3600, .fixedLineTicks = 1260, .lineClockKHz = 36000,
    .gainCodesPerDecade = kElevenBitCodesPerDecade,
};
constexpr ImxTimingRegisters kImx226Timing{
    .frameLength = 0x0B, .frameLengthBytes = 2, .lineLength = 0, .lineLengthBytes = 0,
    .shutter = 0x0D, .shutterBytes = 2, .gain = 0x09, .gainBytes = 2, .gainMask = 0x7FF,
    .frameMask = kSixteenBits, .fixedLineTicks = 1000, .lineClockKHz = 72000,
    .gainCodesPerDecade = kElevenBitCodesPerDecade,
};
constexpr ImxTimingRegisters kLi7050Timing{
    .frameLength = 0x204, .frameLengthBytes = 2, .lineLength = 0, .lineLengthBytes = 0,
    .shutter = 0x206, .shutterBytes = 2, .gain = 0x208, .gainBytes = 2, .gainMask = 0x1FF,
    .frameMask = kSixteenBits, .fixedLineTicks = 1100, .lineClockKHz = 48000,
};
constexpr ImxTimingRegisters kGlux9701Timing{
    .frameLength = 0, .frameLengthBytes = 0, .lineLength = 0, .lineLengthBytes = 0,
    .shutter = 0x0B, .shutterBytes = 4, .gain = 0x11F, .gainBytes = 1, .gainMask = 0xFF,
    .frameMask = 0xFFFFFFFF, .law = ImxExposureLaw::DirectLines, .fixedFrameLines = 1060,
    .fixedLineTicks = 1000, .lineClockKHz = 37037,
};

const RegisterMapDescription& MapOf(ImxSensorKind kind) {
    switch (kind) {
        case ImxSensorKind::IMX273: return kImx273Map;
        case ImxSensorKind::IMX174: return kImx174Map;
        case ImxSensorKind::IMX178: return kImx178Map;
        case ImxSensorKind::IMX183: return kImx183Map;
        case ImxSensorKind::IMX159: return kImx159Map;
        case ImxSensorKind::IMX226: return kImx226Map;
        case ImxSensorKind::LI7050: return kLi7050Map;
        case ImxSensorKind::GLUX9701: return kGlux9701Map;
    }
    return kImx273Map;
}

const ImxTimingRegisters& TimingOf(ImxSensorKind kind) {
    switch (kind) {
        case ImxSensorKind::IMX273: return kImx273Timing;
        case ImxSensorKind::IMX174: return kImx174Timing;
        case ImxSensorKind::IMX178: return kImx178Timing;
        case ImxSensorKind::IMX183: return kImx183Timing;
        case ImxSensorKind::IMX159: return kImx159Timing;
        case ImxSensorKind::IMX226: return kImx226Timing;
        case ImxSensorKind::LI7050: return kLi7050Timing;
        case ImxSensorKind::GLUX9701: return kGlux9701Timing;
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

uint32_t ImxPersonality::FrameLength() const {
    const uint32_t programmed = timing_.frameLengthBytes == 0
                                    ? timing_.fixedFrameLines
                                    : Value(timing_.frameLength, timing_.frameLengthBytes) & timing_.frameMask;
    // A sensor that takes the exposure lines themselves lengthens its frame
    // to hold them.
    if (timing_.law == ImxExposureLaw::DirectLines) return std::max(programmed, ExposureLines() + 1);
    return programmed;
}

uint32_t ImxPersonality::LineLength() const {
    if (timing_.lineLengthBytes == 0) return timing_.fixedLineTicks;
    return Value(timing_.lineLength, timing_.lineLengthBytes);
}

uint32_t ImxPersonality::ShutterStart() const {
    return Value(timing_.shutter, timing_.shutterBytes) & timing_.frameMask;
}

uint32_t ImxPersonality::GainCode() const { return Value(timing_.gain, timing_.gainBytes) & timing_.gainMask; }

uint32_t ImxPersonality::ExposureLines() const {
    const uint32_t shutter = ShutterStart();
    if (timing_.law == ImxExposureLaw::DirectLines) return std::max(shutter, 1u);
    const uint32_t frame = FrameLength();
    return shutter < frame ? frame - shutter : 1;
}

uint32_t ImxPersonality::FramePeriodUs() const {
    const double us = static_cast<double>(FrameLength()) * LineLength() * 1000.0 / timing_.lineClockKHz;
    return static_cast<uint32_t>(std::clamp(us, 1.0, 4.0e9));
}

double ImxPersonality::Brightness() const {
    return ExposureLines() / nominalLines_ * std::pow(10.0, GainCode() / timing_.gainCodesPerDecade);
}

std::unique_ptr<SensorPersonality> MakeImxPersonality(ImxSensorKind kind) {
    return std::make_unique<ImxPersonality>(kind);
}

}  // namespace vantix::emulator
