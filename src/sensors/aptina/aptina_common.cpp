#include "sensors/aptina/aptina_common.h"

#include <algorithm>
#include <cmath>

namespace vantix::aptina {
namespace {

constexpr uint32_t kBusTimeoutMs = 3000;

}  // namespace

int32_t BusWriteRegister(CControllerBase* controller, uint8_t device, CriticalSection& lock, BusFormat format,
                         uint32_t address, uint32_t value) {
    if (!controller || value > 0xFFFF) return 0;
    const auto hi = static_cast<uint8_t>(value >> 8);
    const auto lo = static_cast<uint8_t>(value);
    ScopedLock hold(lock);
    if (format == BusFormat::Address8) {
        if (address > 0xFF) return 0;
        const uint8_t bytes[3] = {static_cast<uint8_t>(address), hi, lo};
        return controller->BusWrite(device, bytes, sizeof bytes, kBusTimeoutMs) ? 1 : 0;
    }
    if (address > 0xFFFF) return 0;
    const uint8_t bytes[4] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address), hi, lo};
    return controller->BusWrite(device, bytes, sizeof bytes, kBusTimeoutMs) ? 1 : 0;
}

int32_t BusReadRegister(CControllerBase* controller, uint8_t device, CriticalSection& lock, BusFormat format,
                        uint32_t address, uint32_t* value) {
    if (!controller) return 0;
    const bool narrow = format == BusFormat::Address8;
    if (address > (narrow ? 0xFFu : 0xFFFFu)) return 0;
    const uint8_t request[2] = {narrow ? static_cast<uint8_t>(address) : static_cast<uint8_t>(address >> 8),
                                static_cast<uint8_t>(address)};
    uint8_t reply[2] = {0, 0};
    ScopedLock hold(lock);
    if (!controller->BusWrite(device, request, narrow ? 1 : 2, kBusTimeoutMs)) return 0;
    if (!controller->BusRead(device, reply, sizeof reply, kBusTimeoutMs)) return 0;
    if (value) *value = static_cast<uint32_t>(reply[0] << 8 | reply[1]);
    return 1;
}

void FillSensorInfo(SensorInfo& info, const AptinaConstants& k) {
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

bool WindowIsValid(const AptinaConstants& k, int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    if (mode < 0 || mode > 2) return false;
    if (x < 0 || y < 0 || width < k.minWidth || height < k.minHeight) return false;
    if (int64_t{x} + width > k.maxWidth || int64_t{y} + height > k.maxHeight) return false;
    const WindowAlignment& a = k.alignment[static_cast<size_t>(mode)];
    return x % a.origin == 0 && y % a.origin == 0 && width % a.width == 0 && height % a.height == 0;
}

int32_t LineLength(const AptinaConstants& k, int32_t mode, int32_t outputWidth) {
    const auto m = static_cast<size_t>(mode);
    if (k.fixedLineLength[m] != 0) return k.fixedLineLength[m];
    return std::max(outputWidth + k.lineBlank, k.minLineLength[m]);
}

uint16_t ReadModeForArea(const AptinaConstants& k, uint16_t readMode, int32_t mode) {
    const auto m = static_cast<size_t>(mode);
    return static_cast<uint16_t>((readMode & ~k.readModeClear[m]) | k.readModeSet[m]);
}

void WriteTable(CSensorBase& sensor, std::span<const RegisterValue> table) {
    for (const RegisterValue& entry : table) sensor.WriteRegister(entry.address, entry.value);
}

int32_t ApplyExposureTime(CSensorBase& sensor, SensorInfo& info, int32_t tenthsOfMs) {
    if (tenthsOfMs <= 0 || info.pixelClockKHz <= 0 || info.totalWidth <= 0) return 0;
    // Time of one line in 0.1 ms: pixels per line / (kHz) gives ms, x10.
    const double lineTime = info.totalWidth * 10.0 / info.pixelClockKHz;
    const double exact = std::trunc(tenthsOfMs / lineTime);
    const bool atMaximum = exact > info.exposureLines.max;
    const int32_t lines = atMaximum ? info.exposureLines.max : std::max(1, static_cast<int32_t>(exact));
    const int32_t result = sensor.SetExposureLines(lines);
    if (result) {
        info.exposureTime.current =
            atMaximum ? static_cast<int32_t>(std::trunc(info.exposureLines.max * lineTime)) : tenthsOfMs;
    }
    return result;
}

int32_t ApplyGain(CSensorBase& sensor, const AptinaConstants& k, ParameterRange& range, uint16_t address,
                  int32_t code, bool clampToMax) {
    if (clampToMax) code = std::min(code, range.max);
    if (code < range.min || code > range.max) return 0;
    range.current = code;
    return sensor.WriteRegister(address, (static_cast<uint32_t>(code) & k.gainCodeMask) | k.gainEncoding);
}

int32_t ApplyExposureLines(CSensorBase& sensor, SensorInfo& info, uint16_t address, int32_t lines) {
    if (lines < 0 || lines > 0xFFFF) return 0;
    info.exposureLines.current = lines;
    return sensor.WriteRegister(address, static_cast<uint32_t>(lines));
}

}  // namespace vantix::aptina
