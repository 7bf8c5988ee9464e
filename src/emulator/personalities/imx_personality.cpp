#include "emulator/personalities/imx_personality.h"

#include <algorithm>
#include <cmath>

namespace vantix::emulator {
namespace {

// Gain codes are 0.1 dB steps of amplitude.
constexpr double kGainCodesPerDecade = 200.0;
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

constexpr RegisterMapDescription Map(std::span<const RegisterWord> reset, std::span<const uint16_t> readOnly,
                                     uint32_t pixelClockKHz) {
    return {.addressBytes = 2, .valueBytes = 1, .bytesPerAddress = 1,
            .powerOn = reset, .readOnly = readOnly, .pixelClockKHz = pixelClockKHz};
}

constexpr RegisterMapDescription kImx273Map = Map(kImx273Reset, kChipIdentification, 54545);
constexpr RegisterMapDescription kImx250Map = Map(kImx250Reset, kChipIdentification, 54000);
constexpr RegisterMapDescription kImx252Map = Map(kImx252Reset, kChipIdentification, 54545);
constexpr RegisterMapDescription kImx264Map = Map(kImx264Reset, kChipIdentification, 74250);
constexpr RegisterMapDescription kImx487Map = Map(kImx487Reset, {}, 54545);
constexpr RegisterMapDescription kImx990Map = Map(kImx990Reset, kThermometer, 54545);
constexpr RegisterMapDescription kImx991Map = Map(kImx991Reset, kThermometer, 54545);

constexpr ImxTimingRegisters kOlderTiming{
    .frameLength = 0x210, .frameLengthBytes = 3, .lineLength = 0x214, .lineLengthBytes = 2,
    .shutter = 0x28D, .shutterBytes = 3, .gain = 0x404, .lineClockKHz = kOlderLineClockKHz,
    .frameLengthMask = 0xFFFFF,
};
constexpr ImxTimingRegisters kNewerTiming{
    .frameLength = 0x2D4, .frameLengthBytes = 3, .lineLength = 0x2D8, .lineLengthBytes = 2,
    .shutter = 0x440, .shutterBytes = 3, .gain = 0x714, .lineClockKHz = kNewerLineClockKHz,
    .frameLengthMask = 0xFFFFFF,
};

const RegisterMapDescription& MapOf(ImxSensorKind kind) {
    switch (kind) {
        case ImxSensorKind::IMX273: return kImx273Map;
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
        case ImxSensorKind::IMX273:
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

bool IsNewerGeneration(ImxSensorKind kind) { return &TimingOf(kind) == &kNewerTiming; }

bool HasThermometer(ImxSensorKind kind) { return kind == ImxSensorKind::IMX990 || kind == ImxSensorKind::IMX991; }

}  // namespace

ImxPersonality::ImxPersonality(ImxSensorKind kind)
    : RegisterMapSensor(MapOf(kind)), timing_(TimingOf(kind)), newerGeneration_(IsNewerGeneration(kind)),
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
    view.mirrored = (Word(newerGeneration_ ? kNewerMirror : kOlderMirror) & 1) != 0;
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
    return Value(timing_.frameLength, timing_.frameLengthBytes) & timing_.frameLengthMask;
}
uint32_t ImxPersonality::LineLength() const { return Value(timing_.lineLength, timing_.lineLengthBytes); }
uint32_t ImxPersonality::ShutterStart() const {
    return Value(timing_.shutter, timing_.shutterBytes) & timing_.frameLengthMask;
}
uint32_t ImxPersonality::GainCode() const { return Value(timing_.gain, 2) & 0x1FF; }

uint32_t ImxPersonality::ExposureLines() const {
    const uint32_t frame = FrameLength();
    const uint32_t shutter = ShutterStart();
    return shutter < frame ? frame - shutter : 1;
}

double ImxPersonality::ExposureTicks() const { return static_cast<double>(ExposureLines()) * LineLength(); }

uint32_t ImxPersonality::FramePeriodUs() const {
    const double us = static_cast<double>(FrameLength()) * LineLength() * 1000.0 / timing_.lineClockKHz;
    return static_cast<uint32_t>(std::clamp(us, 1.0, 4.0e9));
}

double ImxPersonality::Brightness() const {
    return ExposureTicks() / nominalTicks_ * std::pow(10.0, GainCode() / kGainCodesPerDecade);
}

std::unique_ptr<SensorPersonality> MakeImxPersonality(ImxSensorKind kind) {
    return std::make_unique<ImxPersonality>(kind);
}

}  // namespace vantix::emulator
