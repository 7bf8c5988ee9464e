#include "emulator/personalities/aptina_personality.h"

#include <algorithm>
#include <span>

namespace vantix::emulator {
struct AptinaPowerOnValue {
    uint16_t address;
    uint16_t value;
};

namespace {

using PowerOnValue = AptinaPowerOnValue;

// Power-on register values. Chip versions: MT9F002 0x2E01 (what the 0x3020
// board probe looks for), MT9F001 0x2D01, MT9J001 0x2C01, MT9P001 0x1801
// with the analog-settings revision bits (0xE0) in register 0xFD. Window and
// timing registers describe the full array; the exposure and gain values are
// the ones the driver programs by default, so Brightness() starts at 1.
constexpr PowerOnValue kMt9f001PowerOn[] = {
    {0x0000, 0x2D01}, {0x0340, 3434}, {0x0342, 4920}, {0x034C, 4608}, {0x034E, 3288},
    {0x0400, 2},      {0x0404, 16},   {0x3012, 3422}, {0x3040, 0x0041}, {0x301A, 0x0010},
    {0x305E, 0x1140}, {0x3056, 0x1140}, {0x3058, 0x1140}, {0x305A, 0x1140}, {0x305C, 0x1140},
};
constexpr PowerOnValue kMt9f002PowerOn[] = {
    {0x0000, 0x2E01}, {0x0340, 3434}, {0x0342, 4920}, {0x034C, 4608}, {0x034E, 3288},
    {0x0400, 2},      {0x0404, 16},   {0x3012, 3422}, {0x3040, 0x0041}, {0x301A, 0x0010},
    {0x305E, 0x1140}, {0x3056, 0x1140}, {0x3058, 0x1140}, {0x305A, 0x1140}, {0x305C, 0x1140},
};
constexpr PowerOnValue kMt9j001PowerOn[] = {
    {0x0000, 0x2C01}, {0x0302, 1},    {0x0340, 2988}, {0x0342, 4436}, {0x034C, 3840},
    {0x034E, 2752},   {0x0400, 0},    {0x0404, 16},   {0x0202, 3163}, {0x3040, 0x0041},
    {0x301A, 0x10DC}, {0x305E, 0x10C0}, {0x3056, 0x10C0}, {0x3058, 0x10C0}, {0x305A, 0x10C0},
    {0x305C, 0x10C0},
};
constexpr PowerOnValue kMt9p001PowerOn[] = {
    {0x00, 0x1801}, {0x01, 52},   {0x02, 16},     {0x03, 1943},   {0x04, 2591}, {0x05, 312},
    {0x06, 146},    {0x09, 4831}, {0x1E, 0x4006}, {0x20, 0x0040}, {0x22, 0},    {0x23, 0},
    {0x2B, 16},     {0x2C, 16},   {0x2D, 16},     {0x2E, 16},     {0x35, 16},   {0xFD, 0x00E4},
};

// MT9P001 window registers and the skip field of its address-mode registers.
constexpr uint16_t kP001RowSize = 0x03;
constexpr uint16_t kP001ColumnSize = 0x04;
constexpr uint16_t kP001HorizontalBlank = 0x05;
constexpr uint16_t kP001VerticalBlank = 0x06;
constexpr uint16_t kP001RowAddressMode = 0x22;
constexpr uint16_t kP001ColumnAddressMode = 0x23;
constexpr uint16_t kP001SkipField = 0x0007;

// Output size of an array window read with every (skip + 1)-th pixel.
uint32_t Skipped(uint32_t size, uint16_t addressMode) {
    const uint32_t factor = (addressMode & kP001SkipField) + 1u;
    return (size + factor - 1) / factor;
}

}  // namespace

struct AptinaSensorModel {
    bool address8;
    std::span<const AptinaPowerOnValue> powerOn;
    uint16_t exposureRegister;
    uint16_t gainRegister;
    uint16_t gainCodeMask;
    // 16-bit flavours: line and frame length registers.
    uint16_t lineLengthRegister;
    uint16_t frameLengthRegister;
    uint32_t pixelClockKHz;  // fixed, or the default of the divider decode
};

namespace {

constexpr uint16_t kPllVtSysDiv = 0x0302;

// 8-bit addresses, power-on values, exposure and gain registers, gain code
// bits, line and frame length registers (16-bit addresses only), pixel clock.
constexpr AptinaSensorModel kMt9f001Model{false, kMt9f001PowerOn, 0x3012, 0x305E, 0x7F, 0x0342, 0x0340, 96000};
constexpr AptinaSensorModel kMt9f002Model{false, kMt9f002PowerOn, 0x3012, 0x305E, 0x7F, 0x0342, 0x0340, 96000};
constexpr AptinaSensorModel kMt9j001Model{false, kMt9j001PowerOn, 0x0202, 0x305E, 0x7F, 0x0342, 0x0340, 80000};
constexpr AptinaSensorModel kMt9p001Model{true,  kMt9p001PowerOn, 0x09,   0x35,   0x3F, 0,      0,      80000};

const AptinaSensorModel& ModelOf(AptinaSensorKind kind) {
    switch (kind) {
        case AptinaSensorKind::MT9F001: return kMt9f001Model;
        case AptinaSensorKind::MT9F002: return kMt9f002Model;
        case AptinaSensorKind::MT9J001: return kMt9j001Model;
        case AptinaSensorKind::MT9P001: break;
    }
    return kMt9p001Model;
}

}  // namespace

AptinaPersonality::AptinaPersonality(AptinaSensorKind kind)
    : kind_(kind), model_(ModelOf(kind)), bytes_(model_.address8 ? 0x100 * 2 : 0x10000) {
    for (const PowerOnValue& entry : model_.powerOn) SetWord(entry.address, entry.value);
    nominalLines_ = std::max<double>(1, ExposureLines());
    nominalGain_ = std::max<double>(1, GainCode());
}

size_t AptinaPersonality::Offset(uint32_t address) const {
    return model_.address8 ? (address & 0xFF) * 2u : (address & 0xFFFF);
}

bool AptinaPersonality::Write(const uint8_t* data, size_t count) {
    const size_t addressBytes = model_.address8 ? 1 : 2;
    if (data == nullptr || count < addressBytes) return false;
    const uint32_t address = model_.address8 ? data[0] : static_cast<uint32_t>(data[0] << 8 | data[1]);
    pointer_ = Offset(address);
    for (size_t i = addressBytes; i < count; ++i) {
        if (pointer_ >= 2) bytes_[pointer_] = data[i];  // the chip version ignores writes
        pointer_ = (pointer_ + 1) % bytes_.size();
    }
    return true;
}

bool AptinaPersonality::Read(uint8_t* data, size_t count) {
    if (data == nullptr && count != 0) return false;
    for (size_t i = 0; i < count; ++i) {
        data[i] = bytes_[pointer_];
        pointer_ = (pointer_ + 1) % bytes_.size();
    }
    return true;
}

uint16_t AptinaPersonality::Word(uint16_t address) const {
    const size_t offset = Offset(address);
    return static_cast<uint16_t>(bytes_[offset] << 8 | bytes_[(offset + 1) % bytes_.size()]);
}

void AptinaPersonality::SetWord(uint16_t address, uint16_t value) {
    const size_t offset = Offset(address);
    bytes_[offset] = static_cast<uint8_t>(value >> 8);
    bytes_[(offset + 1) % bytes_.size()] = static_cast<uint8_t>(value);
}

uint32_t AptinaPersonality::PixelClockKHz() const {
    if (kind_ != AptinaSensorKind::MT9J001) return model_.pixelClockKHz;
    switch (Word(kPllVtSysDiv)) {
        case 2: return 32000;
        case 4: return 16000;
        default: return model_.pixelClockKHz;
    }
}

uint32_t AptinaPersonality::LineLengthPixels() const {
    if (!model_.address8) return Word(model_.lineLengthRegister);
    return Skipped(Word(kP001ColumnSize) + 1u, Word(kP001ColumnAddressMode)) + Word(kP001HorizontalBlank);
}

uint32_t AptinaPersonality::FrameLengthLines() const {
    if (!model_.address8) return Word(model_.frameLengthRegister);
    return Skipped(Word(kP001RowSize) + 1u, Word(kP001RowAddressMode)) + Word(kP001VerticalBlank);
}

uint16_t AptinaPersonality::ExposureLines() const { return Word(model_.exposureRegister); }
uint16_t AptinaPersonality::GainCode() const {
    return static_cast<uint16_t>(Word(model_.gainRegister) & model_.gainCodeMask);
}

uint32_t AptinaPersonality::FramePeriodUs() const {
    const uint64_t lines = std::max<uint64_t>(FrameLengthLines(), uint64_t{ExposureLines()} + 1);
    const uint64_t clocks = uint64_t{LineLengthPixels()} * lines;
    const uint64_t us = clocks * 1000 / std::max<uint32_t>(PixelClockKHz(), 1);
    return static_cast<uint32_t>(std::clamp<uint64_t>(us, 1, UINT32_MAX));
}

double AptinaPersonality::Brightness() const {
    return (ExposureLines() / nominalLines_) * (GainCode() / nominalGain_);
}

std::unique_ptr<SensorPersonality> MakeAptinaPersonality(uint16_t modelId, bool olderSensor) {
    switch (modelId) {
        case 0x3020:
            return std::make_unique<AptinaPersonality>(olderSensor ? AptinaSensorKind::MT9F001
                                                                   : AptinaSensorKind::MT9F002);
        case 0x3030: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9P001);
        case 0x3040:
        case 0x3042: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9J001);
        default: return nullptr;
    }
}

std::unique_ptr<SensorPersonality> MakeMt9f001Personality() {
    return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9F001);
}

}  // namespace vantix::emulator
