// CAptinaSensor: the slots the Aptina family members share and the window
// arithmetic they build their SetArea on.
#include "sensors/aptina/aptina_sensor.h"

#include <algorithm>
#include <cmath>

#include "platform/debug_output.h"

namespace vantix {
namespace {

using aptina::BusFormat;
using aptina::PutWord;

constexpr uint32_t kBusTimeoutMs = 3000;

void FillSensorInfo(SensorInfo& info, const aptina::AptinaConstants& k) {
    info.maxWidth = k.maxWidth;
    info.maxHeight = k.maxHeight;
    info.defaultX = k.defaultX;
    info.defaultY = k.defaultY;
    info.defaultWidth = k.defaultWidth;
    info.defaultHeight = k.defaultHeight;
    info.capability1 = 1;
    info.capability2 = 1;
    info.specific16 = 1;
    info.areaX = k.defaultX;
    info.areaY = k.defaultY;
    info.areaWidth = k.defaultWidth;
    info.areaHeight = k.defaultHeight;
    info.areaMode = k.defaultAreaMode;
    info.specific15 = k.defaultAreaMode;
    info.totalWidth = k.totalWidth;
    info.totalHeight = k.totalHeight;
    info.gain = {0, k.gainMax, k.gainDefault, k.gainDefault, 1};
    const ParameterRange color{0, k.colorGainMax, k.colorGainDefault, k.colorGainDefault, 1};
    info.colorGainRed = color;
    info.colorGainGreen1 = color;
    info.colorGainGreen2 = color;
    info.colorGainBlue = color;
    info.exposureLines = {1, k.exposureLinesMax, k.exposureLinesDefault, k.exposureLinesDefault, 1};
    info.exposureTime = {1, k.exposureTimeMax, k.exposureTimeDefault, k.exposureTimeDefault, 1};
    info.mirrorHSupported = k.mirrorSupported;
    info.mirrorVSupported = k.mirrorSupported;
    info.bitDepth = k.bitDepth;
    info.pixelClockKHz = k.pixelClockKHz;
}

}  // namespace

CAptinaSensor::CAptinaSensor(CControllerBase* controller, uint8_t deviceAddress,
                             const aptina::AptinaConstants& constants)
    : CSensorBase(controller, deviceAddress), k_(constants), readModeShadow_(constants.readModeInitial) {
    FillSensorInfo(info_, k_);
}

// ---- Detection and registers ----

int32_t CAptinaSensor::Detect() {
    uint32_t version = 0;
    if (!ReadRegister(aptina::reg::kChipVersion, &version)) return 0;
    if (k_.chipVersionMask == 0) return version != 0 ? 1 : 0;
    return (version & k_.chipVersionMask) == k_.chipVersion ? 1 : 0;
}

int32_t CAptinaSensor::WriteRegister(uint32_t address, uint32_t value) {
    if (!controller_) return 0;
    if (value > 0xFFFF) {
        DebugPrintf(DebugCategory::Sensor, "sensor: register 0x%04x = 0x%x refused: registers hold 16 bits", address,
                    value);
        return 0;
    }
    const auto hi = static_cast<uint8_t>(value >> 8);
    const auto lo = static_cast<uint8_t>(value);
    ScopedLock hold(busLock_);
    if (k_.busFormat == BusFormat::Address8) {
        if (address > 0xFF) {
            DebugPrintf(DebugCategory::Sensor, "sensor: register 0x%x refused: addresses are 8 bits", address);
            return 0;
        }
        const uint8_t bytes[3] = {static_cast<uint8_t>(address), hi, lo};
        return controller_->BusWrite(deviceAddress_, bytes, sizeof bytes, kBusTimeoutMs) ? 1 : 0;
    }
    if (address > 0xFFFF) {
        DebugPrintf(DebugCategory::Sensor, "sensor: register 0x%x refused: addresses are 16 bits", address);
        return 0;
    }
    const uint8_t bytes[4] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), hi, lo};
    return controller_->BusWrite(deviceAddress_, bytes, sizeof bytes, kBusTimeoutMs) ? 1 : 0;
}

int32_t CAptinaSensor::ReadRegister(uint32_t address, uint32_t* value) {
    if (!controller_) return 0;
    const bool narrow = k_.busFormat == BusFormat::Address8;
    if (address > (narrow ? 0xFFu : 0xFFFFu)) {
        DebugPrintf(DebugCategory::Sensor, "sensor: read of register 0x%x refused: addresses are %d bits", address,
                    narrow ? 8 : 16);
        return 0;
    }
    const uint8_t request[2] = {narrow ? static_cast<uint8_t>(address) : static_cast<uint8_t>(address >> 8),
                                static_cast<uint8_t>(address)};
    uint8_t reply[2] = {0, 0};
    ScopedLock hold(busLock_);
    if (!controller_->BusWrite(deviceAddress_, request, narrow ? 1 : 2, kBusTimeoutMs)) return 0;
    if (!controller_->BusRead(deviceAddress_, reply, sizeof reply, kBusTimeoutMs)) return 0;
    if (value) *value = static_cast<uint32_t>(reply[0] << 8 | reply[1]);
    return 1;
}

void CAptinaSensor::WriteTable(std::span<const aptina::RegisterValue> table) {
    for (const aptina::RegisterValue& entry : table) WriteRegister(entry.address, entry.value);
}

bool CAptinaSensor::WriteEach(std::span<const aptina::RegisterValue> table) {
    bool written = true;
    for (const aptina::RegisterValue& entry : table) written = WriteRegister(entry.address, entry.value) && written;
    return written;
}

// ---- Exposure ----

int32_t CAptinaSensor::SetExposureLines(int32_t lines) {
    if (lines < 0 || lines > 0xFFFF) {
        DebugPrintf(DebugCategory::Sensor, "sensor: exposure of %d lines refused: the register holds 0 to 65535",
                    lines);
        return 0;
    }
    info_.exposureLines.current = lines;
    return WriteRegister(k_.exposureRegister, static_cast<uint32_t>(lines));
}

int32_t CAptinaSensor::SetExposureTime(int32_t tenthsOfMs) {
    if (tenthsOfMs <= 0) {
        DebugPrintf(DebugCategory::Sensor, "sensor: exposure time %d refused: it must be at least 1 (0.1 ms)",
                    tenthsOfMs);
        return 0;
    }
    if (info_.pixelClockKHz <= 0 || info_.totalWidth <= 0) {
        DebugPrintf(DebugCategory::Sensor, "sensor: exposure time refused: no line time (clock %d kHz, line %d)",
                    info_.pixelClockKHz, info_.totalWidth);
        return 0;
    }
    // Time of one line in 0.1 ms: pixels per line / (kHz) gives ms, x10.
    const double lineTime = info_.totalWidth * 10.0 / info_.pixelClockKHz;
    const double exact = std::trunc(tenthsOfMs / lineTime);
    const bool atMaximum = exact > info_.exposureLines.max;
    const int32_t lines = atMaximum ? info_.exposureLines.max : std::max(1, static_cast<int32_t>(exact));
    const int32_t result = SetExposureLines(lines);
    if (result) {
        info_.exposureTime.current =
            atMaximum ? static_cast<int32_t>(std::trunc(info_.exposureLines.max * lineTime)) : tenthsOfMs;
        info_.exposureSeconds = info_.exposureTime.current / 10000.0;
    }
    return result;
}

// ---- Gains ----

int32_t CAptinaSensor::ApplyGain(ParameterRange& range, uint16_t address, int32_t code) {
    if (k_.gainClampsToMax) code = std::min(code, range.max);
    if (code < range.min || code > range.max) {
        DebugPrintf(DebugCategory::Sensor, "sensor: gain code %d for register 0x%04x refused: the range is %d to %d",
                    code, address, range.min, range.max);
        return 0;
    }
    range.current = code;
    return WriteRegister(address, (static_cast<uint32_t>(code) & k_.gainCodeMask) | k_.gainEncoding);
}

int32_t CAptinaSensor::SetGain(int32_t gain) { return ApplyGain(info_.gain, k_.globalGainRegister, gain); }
int32_t CAptinaSensor::SetColorGainRed(int32_t value) {
    return ApplyGain(info_.colorGainRed, k_.redGainRegister, value);
}
int32_t CAptinaSensor::SetColorGainGreen1(int32_t value) {
    return ApplyGain(info_.colorGainGreen1, k_.green1GainRegister, value);
}
int32_t CAptinaSensor::SetColorGainGreen2(int32_t value) {
    return ApplyGain(info_.colorGainGreen2, k_.green2GainRegister, value);
}
int32_t CAptinaSensor::SetColorGainBlue(int32_t value) {
    return ApplyGain(info_.colorGainBlue, k_.blueGainRegister, value);
}
int32_t CAptinaSensor::GetColorGainRed(int32_t* value) { return PutWord(value, info_.colorGainRed.current); }
int32_t CAptinaSensor::GetColorGainGreen1(int32_t* value) { return PutWord(value, info_.colorGainGreen1.current); }
int32_t CAptinaSensor::GetColorGainGreen2(int32_t* value) { return PutWord(value, info_.colorGainGreen2.current); }
int32_t CAptinaSensor::GetColorGainBlue(int32_t* value) { return PutWord(value, info_.colorGainBlue.current); }

// ---- Mirrors ----

int32_t CAptinaSensor::SetMirrorH(int32_t on) {
    info_.mirrorH = on != 0 ? 1 : 0;
    return 1;
}
int32_t CAptinaSensor::GetMirrorH(int32_t* on) { return PutWord(on, info_.mirrorH); }
int32_t CAptinaSensor::SetMirrorV(int32_t on) {
    info_.mirrorV = on != 0 ? 1 : 0;
    return 1;
}
int32_t CAptinaSensor::GetMirrorV(int32_t* on) { return PutWord(on, info_.mirrorV); }

// ---- Window arithmetic ----

bool CAptinaSensor::WindowIsValid(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) const {
    const char* reason = nullptr;
    if (mode < 0 || mode > 2) {
        reason = "area modes are 0, 1 and 2";
    } else if (x < 0 || y < 0) {
        reason = "the origin is negative";
    } else if (width < k_.minWidth || height < k_.minHeight) {
        reason = "smaller than the smallest window";
    } else if (int64_t{x} + width > k_.maxWidth || int64_t{y} + height > k_.maxHeight) {
        reason = "outside the pixel array";
    } else {
        const aptina::WindowAlignment& a = k_.alignment[static_cast<size_t>(mode)];
        if (x % a.origin != 0 || y % a.origin != 0 || width % a.width != 0 || height % a.height != 0) {
            reason = "off the area mode's grid";
        }
    }
    if (reason == nullptr) return true;
    DebugPrintf(DebugCategory::Sensor, "sensor: window %d, %d, %d x %d in area mode %d refused: %s", x, y, width,
                height, mode, reason);
    return false;
}

bool CAptinaSensor::GetWindowRules(WindowRules* rules) const {
    if (rules == nullptr) return false;
    *rules = WindowRules{};
    rules->maxWidth = k_.maxWidth;
    rules->maxHeight = k_.maxHeight;
    rules->minWidth = k_.minWidth;
    rules->minHeight = k_.minHeight;
    for (size_t m = 0; m < k_.alignment.size(); ++m) {
        const aptina::WindowAlignment& a = k_.alignment[m];
        rules->areaModes |= 1 << m;
        rules->grid[m] = {a.width, a.height, a.origin, a.origin};
    }
    return true;
}

int32_t CAptinaSensor::LineLength(int32_t mode, int32_t outputWidth) const {
    const auto m = static_cast<size_t>(mode);
    if (k_.fixedLineLength[m] != 0) return k_.fixedLineLength[m];
    return std::max(outputWidth + k_.lineBlank, k_.minLineLength[m]);
}

uint16_t CAptinaSensor::ReadModeForArea(uint16_t readMode, int32_t mode) const {
    const auto m = static_cast<size_t>(mode);
    return static_cast<uint16_t>((readMode & ~k_.readModeClear[m]) | k_.readModeSet[m]);
}

int32_t CAptinaSensor::ApplyDefaultSettings() {
    SetGain(info_.gain.defaultValue);
    SetExposureTime(info_.exposureTime.current);
    SetMirrorH(info_.mirrorHDefault);
    SetMirrorV(info_.mirrorVDefault);
    return SetArea(info_.defaultX, info_.defaultWidth, info_.defaultY, info_.defaultHeight, info_.specific15);
}

}  // namespace vantix
