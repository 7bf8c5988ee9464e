// CSensorMT9F002: the board probe, power-on, window programming shared with
// the FPGA, and readout restarts; the rest is the family's.
#include "sensors/aptina/sensor_mt9f002.h"

#include "platform/clock.h"
#include "sensors/aptina/aptina_members.h"
#include "sensors/aptina/aptina_sensors.h"

namespace vantix {
namespace {

using aptina::RegisterValue;
namespace reg = aptina::reg;

// The FPGA's sensor-interface set-up: register 9 holds 128 while the sensor
// resets, then 36 with register 10 = 33 for this sensor's output.
constexpr uint8_t kFpgaSensorInterface = 9;
constexpr uint8_t kFpgaSensorInterface2 = 10;
constexpr uint8_t kFpgaInterfaceHold = 128;
constexpr uint8_t kFpgaInterfaceRun = 36;
constexpr uint8_t kFpgaInterface2Run = 33;
// Registers read once before the reset (0-47); the values are not used.
constexpr uint8_t kFpgaRegistersReadAtPowerOn = 48;
// The FPGA's copy of the window: line length - 12 (11 high, 12 low) and the
// output height (13 high, 14 low); register 16 = 128 re-arms it afterwards.
constexpr uint8_t kFpgaLineLengthHigh = 11;
constexpr uint8_t kFpgaLineLengthLow = 12;
constexpr uint8_t kFpgaHeightHigh = 13;
constexpr uint8_t kFpgaHeightLow = 14;
constexpr uint8_t kFpgaWindowArm = 16;
constexpr uint8_t kFpgaWindowArmValue = 128;
constexpr int32_t kFpgaLineLengthBias = 12;

constexpr uint32_t kResetSettleMs = 400;
constexpr uint32_t kPacedWriteMs = 10;
constexpr uint32_t kStreamSettleMs = 400;
constexpr uint32_t kRestartSettleMs = 100;
constexpr uint32_t kRestartMarginMs = 500;
constexpr uint16_t kReadModeWindowBit = 0x0200;
// Reset control with streaming on as the window leaves it.
constexpr uint16_t kResetControlStreaming = 68;
constexpr uint16_t kScalingModeValue = 2;

// Vendor power-on settings chosen for this library. The PLL gives the 96 MHz
// pixel clock from the board's oscillator.
constexpr RegisterValue kPllSettings[] = {
    {0x0304, 6}, {0x0306, 72}, {0x0302, 1}, {0x0300, 6}, {0x030A, 1}, {0x0308, 12},
};
// Analog settings the sensor takes one at a time, 10 ms apart.
constexpr RegisterValue kPacedSettings[] = {
    {0x3064, 2117}, {0x30C0, 32}, {0x3174, 0x8000}, {0x3ED8, 0x1A44}, {0x3EDA, 0x6F2C}, {0x3EFA, 0x0F2A},
};
// Replace the sensor's power-on values of these two.
constexpr RegisterValue kFinalSettings[] = {
    {0x31C6, 1036}, {0x31AE, 772},
};

// The board probe: the identity register read at the sensor's bus address.
constexpr uint8_t kProbeBusAddress = 0x20;
constexpr uint8_t kProbeIdentity[2] = {0x2E, 0x01};
constexpr uint32_t kProbeTimeoutMs = 3000;

}  // namespace

SensorProbe CSensorMT9F002::Probe(CControllerBase* controller) {
    const uint8_t address[2] = {0x00, 0x00};
    uint8_t identity[2] = {0, 0};
    if (controller == nullptr || !controller->BusWrite(kProbeBusAddress, address, sizeof address, kProbeTimeoutMs) ||
        !controller->BusRead(kProbeBusAddress, identity, sizeof identity, kProbeTimeoutMs)) {
        return SensorProbe::NoAnswer;
    }
    const bool fitted = identity[0] == kProbeIdentity[0] && identity[1] == kProbeIdentity[1];
    return fitted ? SensorProbe::Fitted : SensorProbe::NotFitted;
}

CSensorMT9F002::CSensorMT9F002(CControllerBase* controller, uint8_t deviceAddress)
    : CAptinaSensor(controller, deviceAddress, aptina::kMT9F002) {}

int32_t CSensorMT9F002::Initialize() {
    if (!controller_) return 0;
    for (uint8_t r = 0; r < kFpgaRegistersReadAtPowerOn; ++r) {
        uint8_t unused = 0;
        controller_->ReadFpgaRegister(r, &unused);
    }
    controller_->WriteFpgaRegister(kFpgaSensorInterface, kFpgaInterfaceHold);
    WriteRegister(reg::kResetControl, 1);
    Sleep(kResetSettleMs);
    controller_->WriteFpgaRegister(kFpgaSensorInterface, kFpgaInterfaceRun);
    controller_->WriteFpgaRegister(kFpgaSensorInterface2, kFpgaInterface2Run);
    WriteTable(kPllSettings);
    for (const RegisterValue& entry : kPacedSettings) {
        Sleep(kPacedWriteMs);
        WriteRegister(entry.address, entry.value);
    }
    WriteTable(kFinalSettings);
    return ApplyDefaultSettings();
}

int32_t CSensorMT9F002::WriteIfChanged(uint16_t address, uint16_t value) {
    uint32_t current = 0;
    if (ReadRegister(address, &current) && current == value) return 1;
    return WriteRegister(address, value);
}

int32_t CSensorMT9F002::SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    if (!WindowIsValid(x, width, y, height, mode)) return 0;
    if (!controller_) return 0;
    uint32_t readMode = 0;
    if (ReadRegister(reg::kReadMode, &readMode)) readModeShadow_ = static_cast<uint16_t>(readMode);
    readModeShadow_ = ReadModeForArea(readModeShadow_ | kReadModeWindowBit, mode);
    const int32_t outWidth = aptina::BinnedSize(width, mode);
    const int32_t outHeight = aptina::BinnedSize(height, mode);
    const int32_t lineLength = LineLength(mode, outWidth);
    const int32_t frameLength = outHeight + k_.frameBlank;

    // Only registers whose value changes are written, so an unchanged window
    // costs the sensor no frame.
    const RegisterValue window[] = {
        {reg::kXStart, static_cast<uint16_t>(x + k_.columnOffset)},
        {reg::kXEnd, static_cast<uint16_t>(x + width + k_.columnOffset - 1)},
        {reg::kYStart, static_cast<uint16_t>(y + k_.rowOffset)},
        {reg::kYEnd, static_cast<uint16_t>(y + height + k_.rowOffset - 1)},
        {reg::kScalingMode, kScalingModeValue},
        {reg::kScaleFactor, reg::kScaleFactorValue},
        {reg::kOutputWidth, static_cast<uint16_t>(outWidth)},
        {reg::kOutputHeight, static_cast<uint16_t>(outHeight)},
        {reg::kLineLength, static_cast<uint16_t>(lineLength)},
        {reg::kFrameLength, static_cast<uint16_t>(frameLength)},
        {reg::kFineCorrection, reg::kFineCorrectionValue},
        {reg::kFineIntegration, reg::kFineIntegrationValue},
    };
    bool written = WriteRegister(reg::kParameterHold, 1) != 0;
    for (const RegisterValue& entry : window) written = WriteIfChanged(entry.address, entry.value) && written;
    written = WriteRegister(reg::kParameterHold, 0) && written;
    written = WriteRegister(reg::kReadMode, readModeShadow_) && written;

    // The FPGA frames lines by its own copy of the window.
    const auto fpgaLine = static_cast<uint16_t>(lineLength - kFpgaLineLengthBias);
    const auto fpgaHeight = static_cast<uint16_t>(outHeight);
    written = controller_->WriteFpgaRegister(kFpgaLineLengthHigh, static_cast<uint8_t>(fpgaLine >> 8)) && written;
    written = controller_->WriteFpgaRegister(kFpgaLineLengthLow, static_cast<uint8_t>(fpgaLine)) && written;
    written = controller_->WriteFpgaRegister(kFpgaHeightHigh, static_cast<uint8_t>(fpgaHeight >> 8)) && written;
    written = controller_->WriteFpgaRegister(kFpgaHeightLow, static_cast<uint8_t>(fpgaHeight)) && written;

    // Streaming restarts with the new window; frames already in flight in the
    // controller have the old size, so its stream is reset (AbortStream
    // drops the pending transfers) once the sensor has settled.
    written = WriteRegister(reg::kResetControl, kResetControlStreaming) && written;
    Sleep(kStreamSettleMs);
    controller_->AbortStream();
    Sleep(kStreamSettleMs);
    written = controller_->WriteFpgaRegister(kFpgaWindowArm, kFpgaWindowArmValue) && written;
    if (!written) return 0;

    SetMirrorV(info_.mirrorV);
    info_.areaX = x + k_.columnOffset;
    info_.areaY = y;
    info_.areaWidth = outWidth;
    info_.areaHeight = outHeight;
    info_.areaMode = mode;
    info_.totalWidth = lineLength;
    info_.totalHeight = frameLength;
    SetExposureTime(info_.exposureTime.current);
    return 1;
}

void CSensorMT9F002::RestartReadout() {
    if (!controller_) return;
    uint32_t control = kResetControlStreaming;
    if (!ReadRegister(reg::kResetControl, &control)) control = kResetControlStreaming;
    WriteRegister(reg::kResetControl, control | reg::kResetControlRestart);
    Sleep(kRestartSettleMs);
    // The controller's stream reset: pending transfers of the interrupted frame are dropped.
    controller_->AbortStream();
    const int32_t frameMs = info_.pixelClockKHz > 0
                                ? static_cast<int32_t>(int64_t{info_.totalWidth} * info_.totalHeight /
                                                       info_.pixelClockKHz)
                                : 0;
    Sleep(static_cast<uint32_t>(frameMs > 0 ? frameMs : 0) + kRestartMarginMs);
}

void CSensorMT9F002::ResetReadout() {
    if (controller_) controller_->AbortStream();
}

std::unique_ptr<CSensorBase> MakeSensorMT9F002(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorMT9F002>(controller, deviceAddress);
}

}  // namespace vantix
