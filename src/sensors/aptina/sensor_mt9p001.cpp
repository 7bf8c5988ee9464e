// CSensorMT9P001: power-on, window programming with binning, mirrors in the
// sensor and trigger mode over the 8-bit register interface; the rest is the
// family's.
#include "sensors/aptina/sensor_mt9p001.h"

#include "platform/clock.h"
#include "sensors/aptina/aptina_members.h"
#include "sensors/aptina/aptina_sensors.h"

namespace vantix {
namespace {

using aptina::RegisterValue;

// Register map (8-bit addresses).
constexpr uint16_t kChipVersion = 0x00;
constexpr uint16_t kRowStart = 0x01;
constexpr uint16_t kColumnStart = 0x02;
constexpr uint16_t kRowSize = 0x03;
constexpr uint16_t kColumnSize = 0x04;
constexpr uint16_t kHorizontalBlank = 0x05;
constexpr uint16_t kVerticalBlank = 0x06;
constexpr uint16_t kResetRegister = 0x0D;
constexpr uint16_t kReadMode1 = 0x1E;
constexpr uint16_t kReadMode2 = 0x20;
constexpr uint16_t kRowAddressMode = 0x22;
constexpr uint16_t kColumnAddressMode = 0x23;
constexpr uint16_t kRevision = 0xFD;

constexpr uint16_t kTriggerBits = 0x0310;
constexpr uint16_t kMirrorHBit = 0x8000;
constexpr uint16_t kMirrorVBit = 0x4000;
constexpr int32_t kMirrorHRowShift = 4;

// The revision that needs kAnalogSettings: chip version 0x1801 with these
// bits of register 0xFD.
constexpr uint32_t kAnalogChipVersion = 0x1801;
constexpr uint32_t kAnalogRevisionMask = 0x07E0;
constexpr uint32_t kAnalogRevisionValue = 0x00E0;

// Pixel clocks GetClockMode tells apart.
constexpr int32_t kClockMode1KHz = 16000;
constexpr int32_t kClockMode2KHz = 80000;

// PLL set-up (vendor power-on settings chosen for this library): from the
// board's 24 MHz oscillator, M = 20, N + 1 = 2, P1 + 1 = 3 give 80 MHz. The
// PLL runs bypassed until it has locked.
struct PllStep {
    RegisterValue write;
    uint32_t pauseMs;
};
constexpr PllStep kPllSequence[] = {
    {{0x10, 0x0051}, 0},  // PLL powered, bypassed
    {{0x11, 0x1401}, 0},  // M = 20, N = 1
    {{0x12, 0x0002}, 1},  // P1 = 2; wait for lock
    {{0x10, 0x0053}, 0},  // PLL in use
};

// Analog settings of the revision named above (vendor power-on settings
// chosen for this library).
constexpr RegisterValue kAnalogSettings[] = {
    {0x3E, 0x0080}, {0x3F, 0x0007}, {0x41, 0x0003}, {0x42, 0x0003}, {0x48, 0x0018}, {0x4F, 0x0014},
    {0x57, 0x0002}, {0x70, 0x0079}, {0x71, 0x7800}, {0x72, 0x7800}, {0x73, 0x0300}, {0x74, 0x0300},
};

}  // namespace

CSensorMT9P001::CSensorMT9P001(CControllerBase* controller, uint8_t deviceAddress)
    : CAptinaSensor(controller, deviceAddress, aptina::kMT9P001) {}

int32_t CSensorMT9P001::Initialize() {
    if (!controller_) return 0;
    WriteRegister(kResetRegister, 0);
    for (const PllStep& step : kPllSequence) {
        WriteRegister(step.write.address, step.write.value);
        if (step.pauseMs) Sleep(step.pauseMs);
    }
    uint32_t version = 0;
    uint32_t revision = 0;
    if (ReadRegister(kChipVersion, &version) && ReadRegister(kRevision, &revision) &&
        version == kAnalogChipVersion && (revision & kAnalogRevisionMask) == kAnalogRevisionValue) {
        WriteTable(kAnalogSettings);
    }
    return ApplyDefaultSettings();
}

uint16_t CSensorMT9P001::RowStart() const {
    return static_cast<uint16_t>(info_.areaY + k_.rowOffset + (info_.mirrorH ? kMirrorHRowShift : 0));
}

int32_t CSensorMT9P001::SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    if (!WindowIsValid(x, width, y, height, mode)) return 0;
    const int32_t outWidth = aptina::BinnedSize(width, mode);
    const int32_t outHeight = aptina::BinnedSize(height, mode);
    const int32_t lineLength = LineLength(mode, outWidth);
    const int32_t frameLength = outHeight + k_.frameBlank;
    const uint16_t addressMode = k_.addressModeBits[static_cast<size_t>(mode)];
    const int32_t mirrorShift = info_.mirrorH ? kMirrorHRowShift : 0;

    // Row and column size registers hold the array window less one; binning
    // and skipping by the address-mode bits shrink the output.
    const RegisterValue window[] = {
        {kRowAddressMode, addressMode},
        {kColumnAddressMode, addressMode},
        {kRowStart, static_cast<uint16_t>(y + k_.rowOffset + mirrorShift)},
        {kColumnStart, static_cast<uint16_t>(x + k_.columnOffset)},
        {kRowSize, static_cast<uint16_t>(height - 1)},
        {kColumnSize, static_cast<uint16_t>(width - 1)},
        {kHorizontalBlank, static_cast<uint16_t>(lineLength - outWidth)},
        {kVerticalBlank, static_cast<uint16_t>(k_.frameBlank)},
    };
    if (!WriteEach(window)) return 0;

    info_.areaX = x;
    info_.areaY = y;
    info_.areaWidth = outWidth;
    info_.areaHeight = outHeight;
    info_.areaMode = mode;
    info_.totalWidth = lineLength;
    info_.totalHeight = frameLength;
    // The line time changed: program the same time in lines of the new length.
    SetExposureTime(info_.exposureTime.current);
    return 1;
}

int32_t CSensorMT9P001::SetTriggerMode(int32_t on) {
    uint32_t readMode = 0;
    if (!ReadRegister(kReadMode1, &readMode)) return 0;
    readMode = on ? (readMode | kTriggerBits) : (readMode & ~uint32_t{kTriggerBits});
    if (!WriteRegister(kReadMode1, readMode)) return 0;
    triggerMode_ = on ? 1 : 0;
    return 1;
}
int32_t CSensorMT9P001::GetTriggerMode(int32_t* on) { return aptina::PutWord(on, triggerMode_); }

int32_t CSensorMT9P001::SetReadModeBit(uint16_t bit, int32_t on) {
    const auto readMode = static_cast<uint16_t>(on ? (readModeShadow_ | bit) : (readModeShadow_ & ~bit));
    if (!WriteRegister(kReadMode2, readMode)) return 0;
    readModeShadow_ = readMode;
    return 1;
}

int32_t CSensorMT9P001::SetMirrorH(int32_t on) {
    if (!SetReadModeBit(kMirrorHBit, on)) return 0;
    info_.mirrorH = on != 0 ? 1 : 0;
    return WriteRegister(kRowStart, RowStart());
}
int32_t CSensorMT9P001::SetMirrorV(int32_t on) {
    if (!SetReadModeBit(kMirrorVBit, on)) return 0;
    info_.mirrorV = on != 0 ? 1 : 0;
    return 1;
}

int32_t CSensorMT9P001::GetClockMode(int32_t* mode) {
    const int32_t value = info_.pixelClockKHz == kClockMode1KHz ? 1 : info_.pixelClockKHz == kClockMode2KHz ? 2 : 0;
    return aptina::PutWord(mode, value);
}

std::unique_ptr<CSensorBase> MakeSensorMT9P001(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorMT9P001>(controller, deviceAddress);
}

}  // namespace vantix
