// CFpgaTimedHead: the slots the FPGA-timed InGaAs and line-scan heads share.
#include "sensors/fpga_timed/fpga_timed_head.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "platform/debug_output.h"

namespace vantix {
namespace {

using fpga_timed::ExposureLaw;
using fpga_timed::HeadKind;

// FPGA registers of these heads.
constexpr uint8_t kCameraReady = 22;     // non-zero once the head has started
constexpr uint8_t kExposureLow = 226;    // 226, 227, 228: bits 0-7, 8-15, 16-23
constexpr uint8_t kGainRegister = 146;
constexpr uint8_t kFrameLinesLow = 64;   // line heads: lines per frame, low and high byte
constexpr uint8_t kFrameLinesHigh = 65;

constexpr int kReadyPolls = 10;
constexpr uint32_t kReadyPollMs = 1000;
constexpr int32_t kColumnGrid = 4;
constexpr int32_t kRowGrid = 2;
// The clock law's fixed offset, in pixel clocks: the FPGA starts the
// integration this many clocks after the count begins.
constexpr double kClockOffset = 6.25;
// The coarse law: 20 units of 0.1 ms per quarter step above 25 of them.
constexpr int32_t kCoarseUnitsPerStep = 20;
constexpr int32_t kCoarseBaseSteps = 25;
constexpr int kCoarseShift = 2;

int32_t Refuse(const char* why) {
    DebugPrintf(DebugCategory::Sensor, "sensor: %s", why);
    return 0;
}

int32_t PutValue(int32_t* out, int32_t value) {
    if (out) *out = value;
    return 1;
}

int64_t RoundUp(int64_t value, int64_t grid) { return (value + grid - 1) / grid * grid; }

void FillSensorInfo(SensorInfo& info, const fpga_timed::FpgaTimedConstants& k) {
    info.maxWidth = k.maxWidth;
    info.maxHeight = k.maxHeight;
    info.defaultWidth = k.defaultWidth;
    info.defaultHeight = k.defaultHeight;
    info.areaWidth = k.defaultWidth;
    info.areaHeight = k.defaultHeight;
    info.totalWidth = k.maxWidth;
    info.totalHeight = k.maxHeight;
    // Windows of any width and height on the head's grid.
    info.capability1 = 1;
    info.capability2 = 1;
    info.gain = k.gain;
    info.exposureLines = k.exposureLines;
    info.exposureTime = k.exposureTime;
    info.exposureSecondsMin = k.exposureSecondsMin;
    info.exposureSecondsMax = k.exposureSecondsMax;
    info.exposureSecondsDefault = k.exposureSecondsDefault;
    info.exposureSeconds = k.exposureSecondsDefault;
    info.exposureSecondsSupported = k.exposureSecondsMax > 0 ? 1 : 0;
    info.bitDepth = 8;
    info.pixelClockKHz = k.pixelClockKHz;
    info.specific84 = k.frameLayout;
}

}  // namespace

CFpgaTimedHead::CFpgaTimedHead(CControllerBase* controller, uint8_t deviceAddress,
                               const fpga_timed::FpgaTimedConstants& constants)
    : CSensorBase(controller, deviceAddress), k_(constants) {
    FillSensorInfo(info_, k_);
}

int32_t CFpgaTimedHead::Detect() { return 1; }

// ---- Opening ----

int32_t CFpgaTimedHead::Initialize() {
    if (!controller_) return Refuse("initialise refused: no controller");
    if (k_.kind == HeadKind::LineScan) return ApplyLineDefaults();
    WaitUntilStarted();
    return ApplyAreaDefaults();
}

bool CFpgaTimedHead::WaitUntilStarted() {
    for (int poll = 0; poll < kReadyPolls; ++poll) {
        if (poll > 0) Sleep(kReadyPollMs);
        uint8_t ready = 0;
        if (ReadFpga(kCameraReady, &ready) && ready != 0) return true;
    }
    DebugPrintf(DebugCategory::Sensor, "sensor: the head did not report ready; opening it anyway");
    return false;
}

int32_t CFpgaTimedHead::ApplyAreaDefaults() {
    int32_t lines = 0;
    if (!GetExposureLines(&lines)) return Refuse("initialise: the head's exposure could not be read");
    lines = std::clamp(lines, info_.exposureLines.min, info_.exposureLines.max);
    info_.exposureLines.current = lines;
    info_.exposureLines.defaultValue = lines;
    if (!SetGain(info_.gain.defaultValue)) return Refuse("initialise: the camera refused the default gain");
    // The mirror flags are only kept (their result is always 0).
    SetMirrorV(info_.mirrorVDefault);
    SetMirrorH(info_.mirrorHDefault);
    return SetArea(0, k_.maxWidth, 0, k_.maxHeight, 0);
}

int32_t CFpgaTimedHead::ApplyLineDefaults() {
    int32_t value = 0;
    if (!GetGain(&value) || !GetExposureLines(&value)) return Refuse("initialise: the head could not be read");
    const bool ok = SetGain(info_.gain.defaultValue) && SetExposureLines(info_.exposureLines.defaultValue) &&
                    SetArea(0, k_.maxWidth, 0, k_.openingLines, 0);
    return ok ? 1 : Refuse("initialise: the camera refused a default setting");
}

// ---- Area ----

int32_t CFpgaTimedHead::SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    if (mode != 0) return Refuse("window refused: this head has area mode 0 only");
    if (x < 0 || y < 0 || width <= 0 || height <= 0) return Refuse("window refused: negative or empty");
    int64_t ax = x, aw = width, ay = y, ah = height;
    if (k_.roundedArea) {
        ax = RoundUp(ax, kColumnGrid);
        aw = RoundUp(aw, kColumnGrid);
        ay = RoundUp(ay, kRowGrid);
        ah = RoundUp(ah, kRowGrid);
    }
    if (ax + aw > k_.maxWidth || ay + ah > k_.maxHeight) return Refuse("window refused: outside the array");
    if (k_.kind == HeadKind::LineScan) {
        const auto lines = static_cast<int32_t>(ah);
        if (!WriteFpga(kFrameLinesLow, lines & 0xFF) || !WriteFpga(kFrameLinesHigh, (lines >> 8) & 0xFF)) return 0;
    }
    info_.areaX = static_cast<int32_t>(ax);
    info_.areaWidth = static_cast<int32_t>(aw);
    info_.areaY = static_cast<int32_t>(ay);
    info_.areaHeight = static_cast<int32_t>(ah);
    info_.areaMode = mode;
    return 1;
}

bool CFpgaTimedHead::GetWindowRules(WindowRules* rules) const {
    if (rules == nullptr) return false;
    const int32_t columns = k_.roundedArea ? kColumnGrid : 1;
    const int32_t rows = k_.roundedArea ? kRowGrid : 1;
    *rules = WindowRules{};
    rules->maxWidth = k_.maxWidth;
    rules->maxHeight = k_.maxHeight;
    rules->minWidth = columns;
    rules->minHeight = rows;
    rules->areaModes = 1;
    rules->grid[0] = {columns, rows, columns, rows};
    return true;
}

int32_t CFpgaTimedHead::SetBitDepth(int32_t) { return 1; }

// ---- Exposure ----

int32_t CFpgaTimedHead::SetExposureLines(int32_t lines) {
    const int32_t n = std::clamp(lines, info_.exposureLines.min, info_.exposureLines.max);
    if (!WriteFpga(kExposureLow, n & 0xFF) || !WriteFpga(kExposureLow + 1, (n >> 8) & 0xFF) ||
        !WriteFpga(kExposureLow + 2, (n >> 16) & 0xFF)) {
        return 0;
    }
    info_.exposureLines.current = n;
    return 1;
}

int32_t CFpgaTimedHead::GetExposureLines(int32_t* lines) {
    uint8_t bytes[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (!ReadFpga(static_cast<uint8_t>(kExposureLow + i), &bytes[i])) return 0;
    }
    info_.exposureLines.current = bytes[0] | bytes[1] << 8 | bytes[2] << 16;
    return PutValue(lines, info_.exposureLines.current);
}

int32_t CFpgaTimedHead::SetExposureTime(int32_t tenthsOfMs) {
    if (k_.law == ExposureLaw::ClocksLessOffset) return SetExposureTimeThroughMicroseconds(tenthsOfMs);
    const int32_t t = std::clamp(tenthsOfMs, info_.exposureTime.min, info_.exposureTime.max);
    int32_t count = t;
    switch (k_.law) {
        case ExposureLaw::ClocksLessOffset:
        case ExposureLaw::Lines: break;
        case ExposureLaw::Clocks:
            // At most 10000 units of 6.25 MHz clocks: far inside 32 bits.
            count = static_cast<int32_t>(std::trunc(t / 10.0 * k_.pixelClockKHz));
            break;
        case ExposureLaw::CoarseSteps: count = (t / kCoarseUnitsPerStep - kCoarseBaseSteps) >> kCoarseShift; break;
    }
    if (!SetExposureLines(count)) return 0;
    info_.exposureTime.current = t;
    info_.exposureSeconds = t / 10000.0;
    return 1;
}

int32_t CFpgaTimedHead::SetExposureMicroseconds(uint64_t microseconds) {
    if (k_.law != ExposureLaw::ClocksLessOffset) return 0;
    const double clocks = std::trunc(static_cast<double>(microseconds) / 1000.0 * k_.pixelClockKHz - kClockOffset);
    const double limited = std::clamp(clocks, static_cast<double>(info_.exposureLines.min),
                                      static_cast<double>(info_.exposureLines.max));
    return SetExposureLines(static_cast<int32_t>(limited));
}

int32_t CFpgaTimedHead::SetExposureSeconds(double seconds) {
    if (info_.exposureSecondsSupported != 1) return Refuse("exposure in seconds refused: this head counts clocks");
    return SetExposureSecondsThroughMicroseconds(seconds);
}

// ---- Gain ----

int32_t CFpgaTimedHead::SetGain(int32_t gain) {
    const int32_t g = std::clamp(gain, info_.gain.min, info_.gain.max);
    if (!WriteFpga(kGainRegister, g)) return 0;
    info_.gain.current = g;
    return 1;
}

int32_t CFpgaTimedHead::GetGain(int32_t* gain) {
    uint8_t code = 0;
    if (!ReadFpga(kGainRegister, &code)) return 0;
    info_.gain.current = code;
    return PutValue(gain, code);
}

// ---- Mirrors ----

int32_t CFpgaTimedHead::SetMirrorH(int32_t on) {
    info_.mirrorH = on ? 1 : 0;
    return 0;
}
int32_t CFpgaTimedHead::SetMirrorV(int32_t on) {
    info_.mirrorV = on ? 1 : 0;
    return 0;
}
int32_t CFpgaTimedHead::GetMirrorH(int32_t* on) { return PutValue(on, info_.mirrorH); }
int32_t CFpgaTimedHead::GetMirrorV(int32_t* on) { return PutValue(on, info_.mirrorV); }

// ---- Registers ----

int32_t CFpgaTimedHead::WriteRegister(uint32_t address, uint32_t value) {
    // A wider number would land in another register once cut to a byte.
    if (address > 0xFF || value > 0xFF) return Refuse("FPGA register refused: registers and values are bytes");
    return WriteFpga(static_cast<uint8_t>(address), static_cast<int32_t>(value));
}

int32_t CFpgaTimedHead::ReadRegister(uint32_t address, uint32_t* value) {
    if (address > 0xFF) return Refuse("FPGA register refused: registers are bytes");
    uint8_t byte = 0;
    if (!ReadFpga(static_cast<uint8_t>(address), &byte)) return 0;
    if (value) *value = byte;
    return 1;
}

int32_t CFpgaTimedHead::WriteFpga(uint8_t reg, int32_t value) {
    if (!controller_) return 0;
    return controller_->WriteFpgaRegister(reg, static_cast<uint8_t>(value));
}

bool CFpgaTimedHead::ReadFpga(uint8_t reg, uint8_t* value) {
    return controller_ != nullptr && controller_->ReadFpgaRegister(reg, value) != 0;
}

}  // namespace vantix
