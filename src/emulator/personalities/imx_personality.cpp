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

// The line clocks: 74.25 MHz on the older generation, 75 MHz on the newer.
constexpr uint32_t kOlderLineClockKHz = 74250;
constexpr uint32_t kNewerLineClockKHz = 75000;
// The cooler holds the die this far below the ambient temperature.
constexpr double kCoolingDepth = 20.0;
// SWIR temperature sensor: 0x788 bit 0 latches the reading into 0x690 (low)
// and 0x691 (high), a signed count of eighths of a degree over 12 bits.
constexpr uint16_t kTemperatureLatch = 0x788;
constexpr uint16_t kTemperatureLow = 0x690;
constexpr uint16_t kTemperatureHigh = 0x691;
constexpr uint16_t kChipLow = 0x348;   // bits 6-7: chip number bits 0-1
constexpr uint16_t kChipHigh = 0x349;  // chip number bits 2-8

// The chip number in the identification registers.
constexpr RegisterWord ChipLow(int chip) { return {kChipLow, static_cast<uint16_t>((chip & 3) << 6)}; }
constexpr RegisterWord ChipHigh(int chip) { return {kChipHigh, static_cast<uint16_t>((chip >> 2) & 0x7F)}; }

constexpr uint16_t kChipIdentification[] = {kChipLow, kChipHigh};
constexpr uint16_t kThermometer[] = {kTemperatureLow, kTemperatureHigh};

// IMX273 after reset: frame length 1130 lines (0x210-0x212), line length
// 286 ticks (0x214-0x215), shutter start 14 (0x28D-0x28F), gain 0
// (0x404-0x405), readout control 0 (0x20E), chip number 273.
constexpr RegisterWord kImx273Reset[] = {
    {0x210, 0x6A}, {0x211, 0x04}, {0x212, 0x00}, {0x214, 0x1E}, {0x215, 0x01},
    {0x28D, 0x0E}, {0x28E, 0x00}, {0x28F, 0x00}, {0x404, 0x00}, {0x405, 0x00},
    {0x20E, 0x00}, ChipLow(273), ChipHigh(273),
};
// IMX250: 2094 lines of 260 ticks, shutter start 14, chip 250.
constexpr RegisterWord kImx250Reset[] = {
    {0x210, 0x2E}, {0x211, 0x08}, {0x212, 0x00}, {0x214, 0x04}, {0x215, 0x01},
    {0x28D, 0x0E}, {0x28E, 0x00}, {0x28F, 0x00}, {0x404, 0x00}, {0x405, 0x00},
    {0x20E, 0x00}, ChipLow(250), ChipHigh(250),
};
// IMX252: 1576 lines of 297 ticks, shutter start 14, chip 252.
constexpr RegisterWord kImx252Reset[] = {
    {0x210, 0x28}, {0x211, 0x06}, {0x212, 0x00}, {0x214, 0x29}, {0x215, 0x01},
    {0x28D, 0x0E}, {0x28E, 0x00}, {0x28F, 0x00}, {0x404, 0x00}, {0x405, 0x00},
    {0x20E, 0x00}, ChipLow(252), ChipHigh(252),
};
// IMX264: 2094 lines of 98 ticks, shutter start 14, chip 264.
constexpr RegisterWord kImx264Reset[] = {
    {0x210, 0x2E}, {0x211, 0x08}, {0x212, 0x00}, {0x214, 0x62}, {0x215, 0x00},
    {0x28D, 0x0E}, {0x28E, 0x00}, {0x28F, 0x00}, {0x404, 0x00}, {0x405, 0x00},
    {0x20E, 0x00}, ChipLow(264), ChipHigh(264),
};
// IMX487 / IMX536: 2884 lines (0x2D4-0x2D6) of 990 ticks (0x2D8-0x2D9),
// shutter start 15 (0x440-0x442), gain 0 (0x714-0x715), mirror 0 (0x404),
// black level 60 (0x7C0-0x7C1).
constexpr RegisterWord kImx487Reset[] = {
    {0x2D4, 0x44}, {0x2D5, 0x0B}, {0x2D6, 0x00}, {0x2D8, 0xDE}, {0x2D9, 0x03},
    {0x440, 0x0F}, {0x441, 0x00}, {0x442, 0x00}, {0x714, 0x00}, {0x715, 0x00},
    {0x404, 0x00}, {0x7C0, 0x3C}, {0x7C1, 0x00},
};
// IMX990: 1078 lines of 972 ticks, shutter start 15. IMX991: 561 lines.
constexpr RegisterWord kImx990Reset[] = {
    {0x2D4, 0x36}, {0x2D5, 0x04}, {0x2D6, 0x00}, {0x2D8, 0xCC}, {0x2D9, 0x03},
    {0x440, 0x0F}, {0x441, 0x00}, {0x442, 0x00}, {0x714, 0x00}, {0x715, 0x00},
    {0x404, 0x00}, {kTemperatureLatch, 0x00},
};
constexpr RegisterWord kImx991Reset[] = {
    {0x2D4, 0x31}, {0x2D5, 0x02}, {0x2D6, 0x00}, {0x2D8, 0xCC}, {0x2D9, 0x03},
    {0x440, 0x0F}, {0x441, 0x00}, {0x442, 0x00}, {0x714, 0x00}, {0x715, 0x00},
    {0x404, 0x00}, {kTemperatureLatch, 0x00},
};

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

constexpr RegisterMapDescription kImx250Map = Map(kImx250Reset, 54000, kChipIdentification);
constexpr RegisterMapDescription kImx252Map = Map(kImx252Reset, 54545, kChipIdentification);
constexpr RegisterMapDescription kImx264Map = Map(kImx264Reset, 74250, kChipIdentification);
constexpr RegisterMapDescription kImx487Map = Map(kImx487Reset, 54545);
constexpr RegisterMapDescription kImx990Map = Map(kImx990Reset, 54545, kThermometer);
constexpr RegisterMapDescription kImx991Map = Map(kImx991Reset, 54545, kThermometer);

// The older generation (IMX273, IMX250, IMX252, IMX264).
constexpr ImxTimingRegisters kOlderTiming{
    .frameLength = 0x210, .frameLengthBytes = 3, .lineLength = 0x214, .lineLengthBytes = 2,
    .shutter = 0x28D, .shutterBytes = 3, .gain = 0x404, .gainBytes = 2, .gainMask = 0x1FF,
    .frameMask = kTwentyBits, .lineClockKHz = kOlderLineClockKHz,
};
// The newer generation (IMX487, IMX536, IMX990, IMX991).
constexpr ImxTimingRegisters kNewerTiming{
    .frameLength = 0x2D4, .frameLengthBytes = 3, .lineLength = 0x2D8, .lineLengthBytes = 2,
    .shutter = 0x440, .shutterBytes = 3, .gain = 0x714, .gainBytes = 2, .gainMask = 0x1FF,
    .frameMask = 0xFFFFFF, .lineClockKHz = kNewerLineClockKHz,
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
        case ImxSensorKind::IMX250: return kImx250Map;
        case ImxSensorKind::IMX252: return kImx252Map;
        case ImxSensorKind::IMX264: return kImx264Map;
        case ImxSensorKind::IMX487:
        case ImxSensorKind::IMX536: return kImx487Map;
        case ImxSensorKind::IMX990: return kImx990Map;
        case ImxSensorKind::IMX991: return kImx991Map;
    }
    return kImx273Map;
}

const ImxTimingRegisters& TimingOf(ImxSensorKind kind) {
    switch (kind) {
        case ImxSensorKind::IMX273: return kOlderTiming;
        case ImxSensorKind::IMX174: return kImx174Timing;
        case ImxSensorKind::IMX178: return kImx178Timing;
        case ImxSensorKind::IMX183: return kImx183Timing;
        case ImxSensorKind::IMX159: return kImx159Timing;
        case ImxSensorKind::IMX226: return kImx226Timing;
        case ImxSensorKind::LI7050: return kLi7050Timing;
        case ImxSensorKind::GLUX9701: return kGlux9701Timing;
        case ImxSensorKind::IMX250:
        case ImxSensorKind::IMX252:
        case ImxSensorKind::IMX264: return kOlderTiming;
        case ImxSensorKind::IMX487:
        case ImxSensorKind::IMX536:
        case ImxSensorKind::IMX990:
        case ImxSensorKind::IMX991: return kNewerTiming;
    }
    return kOlderTiming;
}

// Readout registers. The older generation: window mode 0x500 (bit 0:
// columns cropped), horizontal start 0x510/0x511 counted from the far edge
// of the array plus 8, readout mode 0x20D (0x11 and 0x22: 2 x 2 binning),
// mirror bit 0 of 0x20E. The newer one: x at 0x320/0x321 from the origin,
// readout code 0x23C (0x11 and 0x22 binned), mirror bit 0 of 0x404.
constexpr uint16_t kOlderWindowMode = 0x500;
constexpr uint16_t kOlderHStart = 0x510;
constexpr uint16_t kOlderWidth = 0x514;
constexpr uint32_t kOlderHStartOffset = 8;
constexpr uint16_t kOlderReadout = 0x20D;
constexpr uint16_t kOlderMirror = 0x20E;
constexpr uint16_t kNewerX = 0x320;
constexpr uint16_t kNewerReadout = 0x23C;
constexpr uint16_t kNewerMirror = 0x404;
constexpr uint8_t kBinnedReadouts[] = {0x11, 0x22};

// Where a member keeps its mirror bits (bit 0 horizontal, bit 1 vertical).
// The IMX174 holds them inverted; the IMX159 does not mirror.
struct ImxMirrorRegister {
    uint16_t address;
    bool inverted;
};

ImxMirrorRegister MirrorOf(ImxSensorKind kind) {
    switch (kind) {
        case ImxSensorKind::IMX174: return {0x216, true};
        case ImxSensorKind::IMX178: return {0x20F, false};
        case ImxSensorKind::IMX183:
        case ImxSensorKind::IMX226: return {0x1A, false};
        case ImxSensorKind::IMX159: return {0, false};
        case ImxSensorKind::LI7050: return {0x600, false};
        case ImxSensorKind::GLUX9701: return {0x01, false};
        case ImxSensorKind::IMX273:
        case ImxSensorKind::IMX250:
        case ImxSensorKind::IMX252:
        case ImxSensorKind::IMX264: return {kOlderMirror, false};
        case ImxSensorKind::IMX487:
        case ImxSensorKind::IMX536:
        case ImxSensorKind::IMX990:
        case ImxSensorKind::IMX991: return {kNewerMirror, false};
    }
    return {0, false};
}

bool IsNewerGeneration(ImxSensorKind kind) { return &TimingOf(kind) == &kNewerTiming; }

bool HasThermometer(ImxSensorKind kind) { return kind == ImxSensorKind::IMX990 || kind == ImxSensorKind::IMX991; }

}  // namespace

ImxPersonality::ImxPersonality(ImxSensorKind kind)
    : RegisterMapSensor(MapOf(kind)), timing_(TimingOf(kind)), mirrorAddress_(MirrorOf(kind).address),
      mirrorInverted_(MirrorOf(kind).inverted), newerGeneration_(IsNewerGeneration(kind)),
      hasThermometer_(HasThermometer(kind)),
      nominalTicks_(1) {
    nominalTicks_ = std::max(ExposureTicks(), 1.0);
    if (hasThermometer_) LatchTemperature();
}

bool ImxPersonality::Write(const uint8_t* data, size_t count) {
    const bool latched = (Word(kTemperatureLatch) & 1) != 0;
    if (!RegisterMapSensor::Write(data, count)) return false;
    if (hasThermometer_ && !latched && (Word(kTemperatureLatch) & 1) != 0) LatchTemperature();
    return true;
}

double ImxPersonality::DieTemperature() const { return ambientCelsius_ - (coolerOn_ ? kCoolingDepth : 0.0); }

void ImxPersonality::LatchTemperature() {
    // Eighths of a degree as a 12-bit two's complement count: bits 0-7 of
    // the count go to bits 3-7 of the low register and bits 0-2 of the high
    // one (with the fraction in bits 0-2 of the low register), the sign to
    // bit 3 of the high register.
    const int32_t eighths = static_cast<int32_t>(std::lround(DieTemperature() * 8.0));
    const uint32_t count = static_cast<uint32_t>(eighths) & 0xFFF;
    SetWord(kTemperatureLow, static_cast<uint16_t>(count & 0xFF));
    SetWord(kTemperatureHigh, static_cast<uint16_t>((count >> 8) & 0x0F));
}

ImxArrayView ImxPersonality::ArrayView(uint32_t arrayWidth) const {
    ImxArrayView view;
    const uint16_t readout = Word(newerGeneration_ ? kNewerReadout : kOlderReadout);
    const bool binned = std::find(std::begin(kBinnedReadouts), std::end(kBinnedReadouts), readout) !=
                        std::end(kBinnedReadouts);
    view.mirrored = mirrorAddress_ != 0 && ((Word(mirrorAddress_) & 1) != 0) != mirrorInverted_;
    if (binned) {
        view.columnStep = 2;
    } else if (newerGeneration_) {
        view.originX = Value(kNewerX, 2);
    } else if (Word(kOlderWindowMode) & 1) {
        // Start = array width - x - width + 8.
        const uint32_t start = Value(kOlderHStart, 2);
        const uint32_t width = Value(kOlderWidth, 2);
        const uint64_t farEdge = uint64_t{start} + width;
        view.originX = farEdge - kOlderHStartOffset <= arrayWidth
                           ? static_cast<uint32_t>(arrayWidth - (farEdge - kOlderHStartOffset))
                           : 0;
    }
    return view;
}

void ImxPersonality::SetChipNumber(int32_t chip) {
    const RegisterWord low = ChipLow(chip);
    const RegisterWord high = ChipHigh(chip);
    SetWord(low.address, low.value);
    SetWord(high.address, high.value);
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

double ImxPersonality::ExposureTicks() const { return static_cast<double>(ExposureLines()) * LineLength(); }

uint32_t ImxPersonality::FramePeriodUs() const {
    const double us = static_cast<double>(FrameLength()) * LineLength() * 1000.0 / timing_.lineClockKHz;
    return static_cast<uint32_t>(std::clamp(us, 1.0, 4.0e9));
}

double ImxPersonality::Brightness() const {
    return ExposureTicks() / nominalTicks_ * std::pow(10.0, GainCode() / timing_.gainCodesPerDecade);
}

std::unique_ptr<SensorPersonality> MakeImxPersonality(ImxSensorKind kind) {
    return std::make_unique<ImxPersonality>(kind);
}

}  // namespace vantix::emulator
