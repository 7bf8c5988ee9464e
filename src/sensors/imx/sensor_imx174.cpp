// CSensorIMX174: window, exposure, mirror and Initialize of the oldest IMX
// head; gain and the register primitives are the family's.
#include "sensors/imx/sensor_imx174.h"

#include <algorithm>
#include <cmath>

#include "platform/debug_output.h"
#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {
namespace {

constexpr uint16_t kAnalogSetup = 0x458;
constexpr uint8_t kAnalogSetupValue = 20;
// The line length the sensor runs at, in units of 8 pixel clocks.
constexpr uint16_t kLineLengthLow = 0x21A;
constexpr uint16_t kLineLengthHigh = 0x21B;
constexpr int32_t kLineLengthUnit = 8;
constexpr uint8_t kFpgaHeadIdLow = 18;
constexpr uint8_t kFpgaHeadIdHigh = 19;
// Window: start and size pairs (low byte, bits 8-10), then 3 in the window
// control register, which makes the sensor take them.
constexpr uint8_t kWindowApply = 3;
// The frame and shutter registers hold 12 bits.
constexpr int32_t kFrameLengthMax = 0xFFF;

int32_t RoundUp(int32_t value, int32_t step) { return (value + step - 1) / step * step; }

}  // namespace

CSensorIMX174::CSensorIMX174(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kIMX174) {
    info_.exposureTime.current = 100;
}

int32_t CSensorIMX174::Initialize() {
    WriteRegister(kAnalogSetup, kAnalogSetupValue);
    uint32_t low = 0;
    uint32_t high = 0;
    if (ReadRegister(kLineLengthLow, &low) && ReadRegister(kLineLengthHigh, &high)) {
        info_.totalWidth = static_cast<int32_t>(((high << 8) | low) * kLineLengthUnit);
    }
    if (controller_) {
        uint8_t idLow = 0;
        uint8_t idHigh = 0;
        controller_->ReadFpgaRegister(kFpgaHeadIdLow, &idLow);
        controller_->ReadFpgaRegister(kFpgaHeadIdHigh, &idHigh);
        headIdentification_ = static_cast<uint16_t>(idLow | idHigh << 8);
    }
    SetGain(info_.gain.defaultValue);
    SetExposureLines(info_.exposureLines.defaultValue);
    SetMirrorV(info_.mirrorVDefault);
    SetMirrorH(info_.mirrorHDefault);
    SetArea(0, k_.maxWidth, 0, k_.maxHeight, 0);
    return 1;
}

int32_t CSensorIMX174::SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t) {
    // Bounded before rounding, so the rounding cannot overflow.
    if (x < 0 || y < 0 || width <= 0 || height <= 0 || x > k_.maxWidth || y > k_.maxHeight || width > k_.maxWidth ||
        height > k_.maxHeight) {
        DebugPrintf(DebugCategory::Sensor, "sensor: window %d, %d, %d x %d refused", x, y, width, height);
        return 0;
    }
    x = RoundUp(x, k_.alignX);
    width = RoundUp(width, k_.alignX);
    y = RoundUp(y, k_.alignY);
    height = RoundUp(height, k_.alignY);
    if (int64_t{x} + width > k_.maxWidth || int64_t{y} + height > k_.maxHeight) {
        DebugPrintf(DebugCategory::Sensor, "sensor: window %d, %d, %d x %d leaves the array", x, y, width, height);
        return 0;
    }
    // Starts are counted from the far edge of the array.
    const imx::WindowRegisters& w = k_.window;
    bool written = PutBytes(w.hStart, static_cast<uint32_t>(k_.maxWidth - x - width));
    written = PutBytes(w.vStart, static_cast<uint32_t>(k_.maxHeight - y - height)) && written;
    written = PutBytes(w.width, static_cast<uint32_t>(width)) && written;
    written = PutBytes(w.height, static_cast<uint32_t>(height)) && written;
    written = Put(w.windowMode, kWindowApply) && written;
    info_.areaX = x;
    info_.areaY = y;
    info_.areaWidth = width;
    info_.areaHeight = height;
    info_.areaMode = 0;
    targetFrameLines_ = height + k_.verticalBlank;
    info_.totalHeight = targetFrameLines_;
    // The shutter counts from the frame end: the exposure is programmed
    // again against the window's frame length.
    SetExposureLines(info_.exposureLines.current);
    return written ? 1 : 0;
}

// An exposure longer than the window's frame (less the shutter margin)
// stretches the frame to exposure + margin, so the sensor exposes the lines
// asked for; the 12-bit frame register limits a stretched exposure to 4085
// lines.
int32_t CSensorIMX174::SetExposureLines(int32_t lines) {
    int32_t n = std::clamp(lines, info_.exposureLines.min, info_.exposureLines.max);
    const int32_t frame = targetFrameLines_;
    bool shutterWritten = false;
    if (frame < n + k_.shutterMargin) {
        const int32_t stretched = std::min(n + k_.shutterMargin, kFrameLengthMax);
        n = stretched - k_.shutterMargin;
        WriteFrameLength(stretched);
        shutterWritten = PutBytes(k_.shutter, static_cast<uint32_t>(k_.shutterMargin));
    } else {
        WriteFrameLength(frame);
        shutterWritten = PutBytes(k_.shutter, static_cast<uint32_t>(frame - n));
    }
    if (!shutterWritten) return 0;
    info_.exposureLines.current = n;
    return 1;
}

int32_t CSensorIMX174::SetExposureTime(int32_t tenthsOfMs) {
    if (tenthsOfMs <= 0) {
        DebugPrintf(DebugCategory::Sensor, "sensor: exposure time %d refused", tenthsOfMs);
        return 0;
    }
    const int32_t t = std::min(tenthsOfMs, info_.exposureTime.max);
    // One line in units of 0.1 ms: the line length is counted in units of 8
    // pixel clocks.
    const double lineTime = (info_.totalWidth / kLineLengthUnit) * 10.0 / info_.pixelClockKHz;
    if (!(lineTime > 0.0)) return 0;
    const double exact = std::trunc(t / lineTime);
    const bool limited = exact > info_.exposureLines.max;
    const int32_t lines = std::max(1, static_cast<int32_t>(std::min(exact, double(info_.exposureLines.max))));
    if (!SetExposureLines(lines)) return 0;
    // The time kept is what the sensor exposes when the lines were limited.
    const bool shortened = limited || info_.exposureLines.current < lines;
    info_.exposureTime.current =
        shortened ? std::max(1, static_cast<int32_t>(std::trunc(info_.exposureLines.current * lineTime))) : t;
    info_.exposureSeconds = info_.exposureTime.current / 10000.0;
    return 1;
}

// Register 0x216 holds the flags inverted: bit 0 set when the horizontal
// mirror is off, bit 1 when the vertical one is.
int32_t CSensorIMX174::WriteMirrors(int32_t mirrorH, int32_t mirrorV) {
    const uint32_t value = (mirrorH ? 0u : k_.mirrorHBit) | (mirrorV ? 0u : k_.mirrorVBit);
    return Put(k_.mirrorRegister, value);
}

int32_t CSensorIMX174::SetMirrorH(int32_t on) {
    if (!WriteMirrors(on, info_.mirrorV)) return 0;
    info_.mirrorH = on ? 1 : 0;
    return 1;
}

int32_t CSensorIMX174::SetMirrorV(int32_t on) {
    if (!WriteMirrors(info_.mirrorH, on)) return 0;
    info_.mirrorV = on ? 1 : 0;
    return 1;
}

std::unique_ptr<CSensorBase> MakeSensorIMX174(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX174>(controller, deviceAddress);
}

}  // namespace vantix
