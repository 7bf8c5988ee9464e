// CSensorQ113: power-on, window, exposure, gain table, transfer width and
// mirrors of the 1280 x 1024 head.
#include "sensors/standalone/sensor_q113.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "sensors/standalone/standalone_sensors.h"

namespace vantix {
namespace {

constexpr uint32_t kBusTimeoutMs = 3000;

// Register map.
constexpr uint16_t kRegisterHold = 1;  // 1 while several registers change together
constexpr uint16_t kReadMode = 2;      // bit 0: mirror H, bit 1: mirror V
constexpr uint16_t kRowStart = 4;
constexpr uint16_t kRowCount = 5;
constexpr uint16_t kColumnStart = 6;
constexpr uint16_t kColumnCount = 7;
constexpr uint16_t kShutterWidth = 15;  // exposure in lines
constexpr uint16_t kAnalogGain1 = 35;
constexpr uint16_t kAnalogGain2 = 36;
constexpr uint16_t kStandby = 62;
constexpr uint16_t kLineLengthLow = 0x21A;
constexpr uint16_t kLineLengthHigh = 0x21B;
constexpr uint16_t kOutputControl = 0x21C;  // bit 0: 12-bit output
constexpr uint32_t kMirrorHBit = 1;
constexpr uint32_t kMirrorVBit = 2;
// The array's first active row and column.
constexpr int32_t kRowOffset = 68;
constexpr int32_t kColumnOffset = 132;
constexpr int32_t kLineLength16 = 924;
constexpr int32_t kLineLength8 = 720;
constexpr int32_t kClocksPerLineUnit = 8;  // totalWidth = line length register x 8

// Analog gain codes of gain indices 0-11.
constexpr uint16_t kGainCodes[] = {2, 3, 20, 21, 22, 23, 56, 57, 58, 59, 60, 61};

struct RegisterValue {
    uint16_t address;
    uint16_t value;
};

// Power-on settings of this library: the sensor's PLL from the board's
// 37.125 MHz clock at 1:1, the analog bias and black-level calibration
// values for the 1280 x 1024 readout, row and column timing of the full
// window, and 8-bit output at 720 clocks a line.
constexpr RegisterValue kPowerOn[] = {
    {0x0010, 0x0051},  // PLL powered, bypassed
    {0x0011, 0x0101},  // M = 1, N = 1: 1:1
    {0x0010, 0x0053},  // PLL in use
    {0x0020, 0x0000},  // read mode: no mirror, no skipping
    {0x0041, 0x00C0},  // analog bias: column amplifier
    {0x0042, 0x0030},  // analog bias: pixel source follower
    {0x005F, 0x8080},  // black-level calibration target
    {0x0060, 0x0040},  // black-level offset
    {0x0062, 0x0498},  // black-level calibration on
    {0x0008, 0x0000},  // horizontal blanking minimum
    {0x0009, 0x0019},  // vertical blanking: 25 lines
    {kLineLengthLow, kLineLength8 & 0xFF},
    {kLineLengthHigh, kLineLength8 >> 8},
    {kOutputControl, 0x0000},
};

int32_t RoundUp(int32_t value, int32_t grid) { return (value + grid - 1) / grid * grid; }

}  // namespace

CSensorQ113::CSensorQ113(CControllerBase* controller, uint8_t deviceAddress)
    : CSensorBase(controller, deviceAddress) {
    info_.maxWidth = 1280;
    info_.maxHeight = 1024;
    info_.defaultWidth = 1280;
    info_.defaultHeight = 1024;
    info_.areaWidth = 1280;
    info_.areaHeight = 1024;
    info_.totalWidth = 1280;
    info_.totalHeight = 1024;
    // Windows of any width and height on the sensor's grid.
    info_.capability1 = 1;
    info_.capability2 = 1;
    info_.gain = {.min = 0, .max = 11, .current = 0, .defaultValue = 0, .stepOrSupported = 1};
    info_.exposureLines = {.min = 1, .max = 1372, .current = 1240, .defaultValue = 1240, .stepOrSupported = 1};
    info_.exposureTime = {.min = 1, .max = 30000, .current = 100, .defaultValue = 200, .stepOrSupported = 1};
    info_.mirrorHSupported = 1;
    info_.mirrorVSupported = 1;
    info_.pixelClockKHz = 37125;
}

int32_t CSensorQ113::WriteRegister(uint32_t address, uint32_t value) {
    if (address > 0xFFFF || value > 0xFFFF) return 0;
    ScopedLock lock(busLock_);
    if (!controller_) return 0;
    const uint8_t bytes[4] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    return controller_->BusWrite(deviceAddress_, bytes, sizeof bytes, kBusTimeoutMs);
}

int32_t CSensorQ113::ReadRegister(uint32_t address, uint32_t* value) {
    if (address > 0xFFFF) return 0;
    ScopedLock lock(busLock_);
    if (!controller_) return 0;
    const uint8_t request[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    uint8_t reply[2] = {};
    if (!controller_->BusWrite(deviceAddress_, request, sizeof request, kBusTimeoutMs) ||
        !controller_->BusRead(deviceAddress_, reply, sizeof reply, kBusTimeoutMs)) {
        return 0;
    }
    if (value) *value = static_cast<uint32_t>(reply[0] << 8 | reply[1]);
    return 1;
}

int32_t CSensorQ113::Initialize() {
    if (!controller_ || !WriteRegister(kStandby, 0)) return 0;
    // The table is sent whole; the window programming below checks the bus.
    for (const RegisterValue& entry : kPowerOn) WriteRegister(entry.address, entry.value);
    SetGain(info_.gain.defaultValue);
    SetExposureLines(info_.exposureLines.defaultValue);
    SetMirrorV(info_.mirrorVDefault);
    SetMirrorH(info_.mirrorHDefault);
    return SetArea(0, info_.maxWidth, 0, info_.maxHeight, 0);
}

int32_t CSensorQ113::SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x > info_.maxWidth || y > info_.maxHeight ||
        width > info_.maxWidth || height > info_.maxHeight) {
        return 0;
    }
    x = RoundUp(x, 4);
    width = RoundUp(width, 4);
    y = RoundUp(y, 2);
    height = RoundUp(height, 2);
    if (x + width > info_.maxWidth || y + height > info_.maxHeight) return 0;
    if (!WriteRegister(kRowStart, static_cast<uint32_t>(y + kRowOffset)) ||
        !WriteRegister(kRowCount, static_cast<uint32_t>(height)) ||
        !WriteRegister(kColumnStart, static_cast<uint32_t>(x + kColumnOffset)) ||
        !WriteRegister(kColumnCount, static_cast<uint32_t>(width))) {
        return 0;
    }
    info_.areaX = x;
    info_.areaY = y;
    info_.areaWidth = width;
    info_.areaHeight = height;
    info_.areaMode = mode;
    return 1;
}

int32_t CSensorQ113::SetBitDepth(int32_t sixteenBit) {
    uint32_t output = 0;
    if (!ReadRegister(kOutputControl, &output)) return 0;
    const int32_t lineLength = sixteenBit == 1 ? kLineLength16 : kLineLength8;
    output = sixteenBit == 1 ? (output | 1u) : (output & ~1u);
    if (!WriteRegister(kLineLengthLow, lineLength & 0xFF) || !WriteRegister(kLineLengthHigh, lineLength >> 8) ||
        !WriteRegister(kOutputControl, output)) {
        return 0;
    }
    info_.totalWidth = lineLength * kClocksPerLineUnit;
    info_.bitDepth = sixteenBit == 1 ? 16 : 8;
    return 1;
}

int32_t CSensorQ113::SetExposureLines(int32_t lines) {
    const int32_t n = std::clamp(lines, info_.exposureLines.min, info_.exposureLines.max);
    if (!WriteRegister(kShutterWidth, static_cast<uint32_t>(n))) return 0;
    info_.exposureLines.current = n;
    return 1;
}

int32_t CSensorQ113::SetExposureTime(int32_t tenthsOfMs) {
    // Line time in units of 0.1 ms.
    const double lineTime = info_.totalWidth * 10.0 / info_.pixelClockKHz;
    if (tenthsOfMs <= 0 || !(lineTime > 0)) return 0;
    double lines = std::max(1.0, std::trunc(tenthsOfMs / lineTime));
    int32_t time = tenthsOfMs;
    if (lines > info_.exposureLines.max) {
        lines = info_.exposureLines.max;
        time = static_cast<int32_t>(lines * lineTime);
    }
    if (!SetExposureLines(static_cast<int32_t>(lines))) return 0;
    info_.exposureTime.current = time;
    return 1;
}

int32_t CSensorQ113::SetGain(int32_t index) {
    if (index < 0) return 0;
    const int32_t i = std::min(index, info_.gain.max);
    const uint32_t code = kGainCodes[i] * 257u;  // the code in both bytes
    if (!WriteRegister(kAnalogGain1, code) || !WriteRegister(kAnalogGain2, code)) return 0;
    info_.gain.current = i;
    return 1;
}

int32_t CSensorQ113::SetMirrorBit(uint32_t bit, int32_t on) {
    uint32_t readMode = 0;
    if (!ReadRegister(kReadMode, &readMode)) return 0;
    readMode = on ? (readMode | bit) : (readMode & ~bit);
    const bool ok = WriteRegister(kRegisterHold, 1) && WriteRegister(kReadMode, readMode);
    // The hold is released even after a failed write, so the sensor never stays frozen.
    const bool released = WriteRegister(kRegisterHold, 0) != 0;
    return ok && released ? 1 : 0;
}

int32_t CSensorQ113::SetMirrorH(int32_t on) {
    if (!SetMirrorBit(kMirrorHBit, on)) return 0;
    info_.mirrorH = on ? 1 : 0;
    return 1;
}

int32_t CSensorQ113::SetMirrorV(int32_t on) {
    if (!SetMirrorBit(kMirrorVBit, on)) return 0;
    info_.mirrorV = on ? 1 : 0;
    return 1;
}

int32_t CSensorQ113::GetMirrorH(int32_t* on) {
    if (on) *on = info_.mirrorH;
    return 1;
}

int32_t CSensorQ113::GetMirrorV(int32_t* on) {
    if (on) *on = info_.mirrorV;
    return 1;
}

std::unique_ptr<CSensorBase> MakeSensorQ113(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ113>(controller, deviceAddress);
}

}  // namespace vantix
