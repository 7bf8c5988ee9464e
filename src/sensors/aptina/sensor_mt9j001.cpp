// CSensorMT9J001: clock modes, power-on, window programming, exposure and
// gain, over the serial bus or the camera's registers.
#include "sensors/aptina/sensor_mt9j001.h"

#include "platform/clock.h"
#include "sensors/aptina/aptina_sensors.h"

namespace vantix {
namespace {

using aptina::RegisterValue;
namespace reg = aptina::reg;
constexpr const aptina::AptinaConstants& kModel = aptina::kMT9J001;

constexpr uint32_t kPowerSettleMs = 50;
constexpr uint32_t kClockSettleMs = 100;
constexpr int32_t kPowerOnClockMode = 2;
constexpr uint16_t kExpectedChipVersion = 0x2C01;
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
    : CSensorBase(controller, deviceAddress), readModeShadow_(kModel.readModeInitial) {
    aptina::FillSensorInfo(info_, kModel);
}

int32_t CSensorMT9J001::Detect() {
    uint32_t version = 0;
    return ReadRegister(reg::kChipVersion, &version) && version == kExpectedChipVersion ? 1 : 0;
}

int32_t CSensorMT9J001::Initialize() {
    if (!controller_) return 0;
    Sleep(kPowerSettleMs);
    SetClockMode(kPowerOnClockMode);
    Sleep(kClockSettleMs);
    if (!ThroughCameraRegisters()) aptina::WriteTable(*this, kPowerOnSettings);
    SetGain(info_.gain.current);
    SetExposureTime(info_.exposureTime.current);
    SetMirrorH(info_.mirrorHDefault);
    SetMirrorV(info_.mirrorVDefault);
    return SetArea(info_.defaultX, info_.defaultWidth, info_.defaultY, info_.defaultHeight, info_.specific15);
}

int32_t CSensorMT9J001::SetClockMode(int32_t mode) {
    if (mode < 0 || mode > 2) return 0;
    const aptina::PllSetting& pll = kModel.clockModes[static_cast<size_t>(mode)];
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
    for (size_t m = 0; m < kModel.clockModes.size(); ++m) {
        if (kModel.clockModes[m].registers[kPllDividerIndex] == divider) {
            return aptina::PutWord(mode, static_cast<int32_t>(m));
        }
    }
    return 0;
}

int32_t CSensorMT9J001::SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    if (!aptina::WindowIsValid(kModel, x, width, y, height, mode)) return 0;
    uint32_t readMode = 0;
    if (ReadRegister(reg::kReadMode, &readMode)) readModeShadow_ = static_cast<uint16_t>(readMode);
    const uint16_t newReadMode = aptina::ReadModeForArea(kModel, readModeShadow_, mode);
    const int32_t outWidth = OutputSize(width, mode);
    const int32_t outHeight = OutputSize(height, mode);
    const int32_t lineLength = aptina::LineLength(kModel, mode, outWidth);
    const int32_t frameLength = outHeight + kModel.frameBlank;

    // Under the parameter hold the sensor takes the whole window at one frame start.
    const RegisterValue window[] = {
        {reg::kParameterHold, 1},
        {reg::kXStart, static_cast<uint16_t>(x + kModel.columnOffset)},
        {reg::kXEnd, static_cast<uint16_t>(x + width + kModel.columnOffset - 1)},
        {reg::kYStart, static_cast<uint16_t>(y + kModel.rowOffset)},
        {reg::kYEnd, static_cast<uint16_t>(y + height + kModel.rowOffset - 1)},
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
    bool written = true;
    for (const RegisterValue& entry : window) written = WriteRegister(entry.address, entry.value) && written;
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

int32_t CSensorMT9J001::SetExposureLines(int32_t lines) {
    return aptina::ApplyExposureLines(*this, info_, kModel.exposureRegister, lines);
}
int32_t CSensorMT9J001::SetExposureTime(int32_t tenthsOfMs) {
    return aptina::ApplyExposureTime(*this, info_, tenthsOfMs);
}

int32_t CSensorMT9J001::SetGain(int32_t gain) {
    return aptina::ApplyGain(*this, kModel, info_.gain, kModel.globalGainRegister, gain);
}
int32_t CSensorMT9J001::SetColorGainRed(int32_t value) {
    return aptina::ApplyGain(*this, kModel, info_.colorGainRed, kModel.redGainRegister, value);
}
int32_t CSensorMT9J001::SetColorGainGreen1(int32_t value) {
    return aptina::ApplyGain(*this, kModel, info_.colorGainGreen1, kModel.green1GainRegister, value);
}
int32_t CSensorMT9J001::SetColorGainGreen2(int32_t value) {
    return aptina::ApplyGain(*this, kModel, info_.colorGainGreen2, kModel.green2GainRegister, value);
}
int32_t CSensorMT9J001::SetColorGainBlue(int32_t value) {
    return aptina::ApplyGain(*this, kModel, info_.colorGainBlue, kModel.blueGainRegister, value);
}
int32_t CSensorMT9J001::GetColorGainRed(int32_t* value) { return aptina::PutWord(value, info_.colorGainRed.current); }
int32_t CSensorMT9J001::GetColorGainGreen1(int32_t* value) {
    return aptina::PutWord(value, info_.colorGainGreen1.current);
}
int32_t CSensorMT9J001::GetColorGainGreen2(int32_t* value) {
    return aptina::PutWord(value, info_.colorGainGreen2.current);
}
int32_t CSensorMT9J001::GetColorGainBlue(int32_t* value) {
    return aptina::PutWord(value, info_.colorGainBlue.current);
}

int32_t CSensorMT9J001::SetMirrorH(int32_t on) {
    info_.mirrorH = on != 0 ? 1 : 0;
    return 1;
}
int32_t CSensorMT9J001::GetMirrorH(int32_t* on) { return aptina::PutWord(on, info_.mirrorH); }
int32_t CSensorMT9J001::SetMirrorV(int32_t on) {
    info_.mirrorV = on != 0 ? 1 : 0;
    return 1;
}
int32_t CSensorMT9J001::GetMirrorV(int32_t* on) { return aptina::PutWord(on, info_.mirrorV); }

int32_t CSensorMT9J001::WriteRegister(uint32_t address, uint32_t value) {
    if (!ThroughCameraRegisters()) {
        return aptina::BusWriteRegister(controller_, deviceAddress_, busLock_, kModel.busFormat, address, value);
    }
    // Camera registers have 15-bit addresses (bit 15 selects a bank), which
    // every sensor register fits.
    if (!controller_ || address > 0x7FFF || value > 0xFFFF) return 0;
    ScopedLock hold(busLock_);
    return controller_->WriteCameraRegister(static_cast<uint16_t>(address), value) ? 1 : 0;
}

int32_t CSensorMT9J001::ReadRegister(uint32_t address, uint32_t* value) {
    if (!ThroughCameraRegisters()) {
        return aptina::BusReadRegister(controller_, deviceAddress_, busLock_, kModel.busFormat, address, value);
    }
    if (!controller_ || address > 0x7FFF) return 0;
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
