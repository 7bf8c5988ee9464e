// CSensorMT9J001: clock modes, power-on and window programming, and register
// access through the camera's registers on the board that owns the bus; the
// rest is the family's.
#include "sensors/aptina/sensor_mt9j001.h"

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "sensors/aptina/aptina_members.h"
#include "sensors/aptina/aptina_sensors.h"

namespace vantix {
namespace {

using aptina::RegisterValue;
namespace reg = aptina::reg;

constexpr uint32_t kPowerSettleMs = 50;
constexpr uint32_t kClockSettleMs = 100;
constexpr int32_t kPowerOnClockMode = 2;
// Reset control: streaming stopped while the PLL changes, and the running
// value (also assumed when a read of it fails).
constexpr uint16_t kResetControlStopped = 0;
constexpr uint16_t kResetControlRunning = 0x10DC;
constexpr uint16_t kScalingModeValue = 0;
constexpr uint16_t kExtraDelayValue = 0;
// PLL registers in the order of aptina::PllSetting::registers.
constexpr uint16_t kPllRegisters[] = {0x0300, 0x0302, 0x0304, 0x0306, 0x0308, 0x030A};
constexpr size_t kPllDividerIndex = 1;  // 0x0302 tells the modes apart

// Vendor power-on settings chosen for this library, sent in this order after
// the clock set-up: analog trims, then read-out and streaming control.
constexpr RegisterValue kPowerOnSettings[] = {
    {0x316C, 0x0429}, {0x3174, 0x8000}, {0x3E40, 0xDC05}, {0x3E42, 0x6E22}, {0x3E44, 0xDC22},
    {0x3E46, 0xFF00}, {0x3ED4, 0xF998}, {0x3ED6, 0x9789}, {0x3EDE, 0xE438}, {0x3EE0, 0xA43F},
    {0x3EE2, 0xA4B7}, {0x3EEC, 0x1C2C}, {0x31AE, 0x0301}, {0x301A, 0x10DC}, {0x3170, 0x0071},
    {0x3016, 0x0121}, {0x3070, 4},
};

// Output size of a window side in area mode 1 and 2, on the sensor's
// 2- and 4-pixel output grid.
int32_t OutputSize(int32_t size, int32_t mode) {
    switch (mode) {
        case 1: return (size / 2 + 1) & ~1;
        case 2: return (size / 4 + 3) & ~3;
        default: return size;
    }
}

}  // namespace

CSensorMT9J001::CSensorMT9J001(CControllerBase* controller, uint8_t deviceAddress)
    : CAptinaSensor(controller, deviceAddress, aptina::kMT9J001) {}

int32_t CSensorMT9J001::Initialize() {
    if (!controller_) return 0;
    Sleep(kPowerSettleMs);
    SetClockMode(kPowerOnClockMode);
    Sleep(kClockSettleMs);
    if (!ThroughCameraRegisters()) WriteTable(kPowerOnSettings);
    return ApplyDefaultSettings();
}

int32_t CSensorMT9J001::SetClockMode(int32_t mode) {
    if (mode < 0 || mode > 2) {
        DebugPrintf(DebugCategory::Sensor, "sensor: clock mode %d refused: the modes are 0, 1 and 2", mode);
        return 0;
    }
    const aptina::PllSetting& pll = k_.clockModes[static_cast<size_t>(mode)];
    // The PLL is changed with streaming stopped, then streaming resumes with
    // the read mode as it was.
    bool written = WriteRegister(reg::kResetControl, kResetControlStopped) != 0;
    for (size_t i = 0; i < pll.registers.size(); ++i) {
        written = WriteRegister(kPllRegisters[i], pll.registers[i]) && written;
    }
    written = WriteRegister(reg::kResetControl, kResetControlRunning) && written;
    written = WriteRegister(reg::kReadMode, readModeShadow_) && written;
    if (!written) return 0;
    info_.pixelClockKHz = pll.pixelClockKHz;
    return 1;
}

int32_t CSensorMT9J001::GetClockMode(int32_t* mode) {
    uint32_t divider = 0;
    if (!ReadRegister(kPllRegisters[kPllDividerIndex], &divider)) return 0;
    for (size_t m = 0; m < k_.clockModes.size(); ++m) {
        if (k_.clockModes[m].registers[kPllDividerIndex] == divider) {
            return aptina::PutWord(mode, static_cast<int32_t>(m));
        }
    }
    return 0;
}

int32_t CSensorMT9J001::SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    if (!WindowIsValid(x, width, y, height, mode)) return 0;
    uint32_t readMode = 0;
    if (ReadRegister(reg::kReadMode, &readMode)) readModeShadow_ = static_cast<uint16_t>(readMode);
    const uint16_t newReadMode = ReadModeForArea(readModeShadow_, mode);
    const int32_t outWidth = OutputSize(width, mode);
    const int32_t outHeight = OutputSize(height, mode);
    const int32_t lineLength = LineLength(mode, outWidth);
    const int32_t frameLength = outHeight + k_.frameBlank;

    // Under the parameter hold the sensor takes the whole window at one frame start.
    const RegisterValue window[] = {
        {reg::kParameterHold, 1},
        {reg::kXStart, static_cast<uint16_t>(x + k_.columnOffset)},
        {reg::kXEnd, static_cast<uint16_t>(x + width + k_.columnOffset - 1)},
        {reg::kYStart, static_cast<uint16_t>(y + k_.rowOffset)},
        {reg::kYEnd, static_cast<uint16_t>(y + height + k_.rowOffset - 1)},
        {reg::kScalingMode, kScalingModeValue},
        {reg::kScaleFactor, reg::kScaleFactorValue},
        {reg::kOutputWidth, static_cast<uint16_t>(outWidth)},
        {reg::kOutputHeight, static_cast<uint16_t>(outHeight)},
        {reg::kScalingMode, kScalingModeValue},
        {reg::kScaleFactor, reg::kScaleFactorValue},
        {reg::kLineLength, static_cast<uint16_t>(lineLength)},
        {reg::kFrameLength, static_cast<uint16_t>(frameLength)},
        {reg::kFineCorrection, reg::kFineCorrectionValue},
        {reg::kFineIntegration, reg::kFineIntegrationValue},
        {reg::kExtraDelay, kExtraDelayValue},
    };
    bool written = WriteEach(window);
    // Restart the frame in progress so the new window starts cleanly.
    uint32_t control = kResetControlRunning;
    if (!ReadRegister(reg::kResetControl, &control)) control = kResetControlRunning;
    written = WriteRegister(reg::kResetControl, control | reg::kResetControlRestart) && written;
    readModeShadow_ = newReadMode;
    written = WriteRegister(reg::kReadMode, readModeShadow_) && written;
    if (!written) {
        // Never leave the sensor holding its parameters.
        WriteRegister(reg::kParameterHold, 0);
        return 0;
    }

    SetMirrorV(info_.mirrorV);
    info_.areaX = x;
    info_.areaY = y;
    info_.areaWidth = outWidth;
    info_.areaHeight = outHeight;
    info_.areaMode = mode;
    info_.totalWidth = lineLength;
    info_.totalHeight = frameLength;
    if (!WriteRegister(reg::kParameterHold, 0)) return 0;
    // The line time changed: program the same time in lines of the new length.
    SetExposureTime(info_.exposureTime.current);
    return 1;
}

int32_t CSensorMT9J001::WriteRegister(uint32_t address, uint32_t value) {
    if (!ThroughCameraRegisters()) {
        return CAptinaSensor::WriteRegister(address, value);
    }
    // Camera registers have 15-bit addresses (bit 15 selects a bank), which
    // every sensor register fits.
    if (!controller_) return 0;
    if (address > 0x7FFF || value > 0xFFFF) {
        DebugPrintf(DebugCategory::Sensor,
                    "sensor: camera register 0x%x = 0x%x refused: 15-bit addresses, 16-bit values", address, value);
        return 0;
    }
    ScopedLock hold(busLock_);
    return controller_->WriteCameraRegister(static_cast<uint16_t>(address), value) ? 1 : 0;
}

int32_t CSensorMT9J001::ReadRegister(uint32_t address, uint32_t* value) {
    if (!ThroughCameraRegisters()) {
        return CAptinaSensor::ReadRegister(address, value);
    }
    if (!controller_) return 0;
    if (address > 0x7FFF) {
        DebugPrintf(DebugCategory::Sensor, "sensor: read of camera register 0x%x refused: addresses are 15 bits",
                    address);
        return 0;
    }
    uint32_t read = 0;
    ScopedLock hold(busLock_);
    if (!controller_->ReadCameraRegister(static_cast<uint16_t>(address), &read)) return 0;
    if (value) *value = read & 0xFFFF;
    return 1;
}

std::unique_ptr<CSensorBase> MakeSensorMT9J001(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorMT9J001>(controller, deviceAddress);
}

}  // namespace vantix
