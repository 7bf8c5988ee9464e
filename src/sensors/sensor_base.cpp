// CSensorBase: the record getters every head shares, the "not supported"
// answers of the operations a head has to provide itself, and the register,
// strobe and exposure helpers the sensor classes build on.
#include "sensors/sensor_base.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>

#include "platform/clock.h"
#include "platform/debug_output.h"

namespace vantix {

namespace {

// Serial-bus transfers of the sensor classes always carry the standard time-out.
constexpr uint32_t kBusTimeoutMs = 3000;
// FPGA register that reads non-zero while the FPGA itself talks to the sensor.
constexpr uint8_t kFpgaSensorBusBusy = 2;
constexpr int kCheckedAttempts = 100;
constexpr uint32_t kCheckedRetryMs = 3;
// Read-back buffer preset: a pattern no successful read leaves behind by accident.
constexpr uint32_t kReadBackPreset = 0x0A0A;

constexpr uint8_t kFpgaFirmwareLow = 0x10;
constexpr uint8_t kFpgaFirmwareHigh = 0x11;
constexpr uint8_t kFpgaStrobeDefault = 108;
constexpr uint8_t kFpgaStrobeAlternate = 150;  // model variants 103 and 115
constexpr uint8_t kFpgaWindowHeightLow = 64;
constexpr uint8_t kFpgaWindowHeightHigh = 65;
constexpr uint8_t kFpgaWindowWidthLow = 68;
constexpr uint8_t kFpgaWindowWidthHigh = 69;

// The answer of an operation this sensor does not provide, said on the
// debug output so a refused request is never silent.
int32_t NotSupported(const char* operation) {
    DebugPrintf(DebugCategory::Sensor, "sensor: %s refused: this sensor does not support it", operation);
    return 0;
}

// Writes through an optional out pointer; returns `result` either way.
template <typename T, typename U>
int32_t Put(T* out, U value, int32_t result) {
    if (out) *out = static_cast<T>(value);
    return result;
}

}  // namespace

CSensorBase::CSensorBase(CControllerBase* controller, uint8_t deviceAddress)
    : controller_(controller), deviceAddress_(deviceAddress) {
    std::memset(&info_, 0, sizeof(info_));
}

CSensorBase::~CSensorBase() = default;

// ---- Identity and flags ----

int32_t CSensorBase::SetModelVariant(int32_t code) {
    modelVariant_ = code;
    return 1;
}
int32_t CSensorBase::SetControlFlags(uint32_t flags) {
    controlFlags_ = flags;
    return 1;
}
uint32_t CSensorBase::GetControlFlags() { return controlFlags_; }
int32_t CSensorBase::Detect() { return 0; }
int32_t CSensorBase::Initialize() { return 0; }
int32_t CSensorBase::Handshake() { return NotSupported("Handshake"); }

// ---- Area, trigger, aux, bit depth ----

int32_t CSensorBase::SetArea(int32_t, int32_t, int32_t, int32_t, int32_t) { return NotSupported("SetArea"); }
int32_t CSensorBase::GetArea(int32_t* x, int32_t* width, int32_t* y, int32_t* height, int32_t* mode) {
    Put(x, info_.areaX, 1);
    Put(width, info_.areaWidth, 1);
    Put(y, info_.areaY, 1);
    Put(height, info_.areaHeight, 1);
    return Put(mode, info_.areaMode, 1);
}
int32_t CSensorBase::SetTriggerMode(int32_t) { return NotSupported("SetTriggerMode"); }
int32_t CSensorBase::GetTriggerMode(int32_t*) { return 0; }
int32_t CSensorBase::SetAuxMode(int32_t) { return NotSupported("SetAuxMode"); }
int32_t CSensorBase::PulseAuxControl() { return NotSupported("PulseAuxControl"); }
int32_t CSensorBase::IsAuxSupported() { return 0; }
int32_t CSensorBase::SetBitDepth(int32_t) { return NotSupported("SetBitDepth"); }

// ---- Exposure lines, gain, colour gains ----

int32_t CSensorBase::SetExposureLines(int32_t) { return NotSupported("SetExposureLines"); }
int32_t CSensorBase::GetExposureLines(int32_t* lines) { return Put(lines, info_.exposureLines.current, 1); }
int32_t CSensorBase::SetGain(int32_t) { return NotSupported("SetGain"); }
int32_t CSensorBase::GetGain(int32_t* gain) { return Put(gain, info_.gain.current, 1); }
int32_t CSensorBase::SetColorGainRed(int32_t) { return NotSupported("SetColorGainRed"); }
int32_t CSensorBase::GetColorGainRed(int32_t*) { return 0; }
int32_t CSensorBase::SetColorGainGreen1(int32_t) { return NotSupported("SetColorGainGreen1"); }
int32_t CSensorBase::GetColorGainGreen1(int32_t*) { return 0; }
int32_t CSensorBase::SetColorGainGreen2(int32_t) { return NotSupported("SetColorGainGreen2"); }
int32_t CSensorBase::GetColorGainGreen2(int32_t*) { return 0; }
int32_t CSensorBase::SetColorGainBlue(int32_t) { return NotSupported("SetColorGainBlue"); }
int32_t CSensorBase::GetColorGainBlue(int32_t*) { return 0; }
int32_t CSensorBase::GetExposureLinesMin(int32_t* value) { return Put(value, info_.exposureLines.min, 1); }
int32_t CSensorBase::GetExposureLinesMax(int32_t* value) { return Put(value, info_.exposureLines.max, 1); }
int32_t CSensorBase::GetExposureLinesDefault(int32_t* value) {
    return Put(value, info_.exposureLines.defaultValue, 1);
}
int32_t CSensorBase::GetGainMin(int32_t* value) { return Put(value, info_.gain.min, 1); }
int32_t CSensorBase::GetGainMax(int32_t* value) { return Put(value, info_.gain.max, 1); }
int32_t CSensorBase::GetGainDefault(int32_t* value) { return Put(value, info_.gain.defaultValue, 1); }
// All four colour channels share the red channel's range.
int32_t CSensorBase::GetColorGainMin(int32_t* value) { return Put(value, info_.colorGainRed.min, 1); }
int32_t CSensorBase::GetColorGainMax(int32_t* value) { return Put(value, info_.colorGainRed.max, 1); }
int32_t CSensorBase::GetColorGainDefault(int32_t* value) {
    return Put(value, info_.colorGainRed.defaultValue, 1);
}

// ---- Per-channel gain and offset (CCD heads only) ----

int32_t CSensorBase::SetChannelGain(int32_t, int32_t) { return NotSupported("SetChannelGain"); }
int32_t CSensorBase::GetChannelGain(int32_t, int32_t*) { return 0; }
int32_t CSensorBase::GetChannelGainMin(int32_t*) { return 0; }
int32_t CSensorBase::GetChannelGainMax(int32_t*) { return 0; }
int32_t CSensorBase::GetChannelGainDefault(int32_t*) { return 0; }
int32_t CSensorBase::SetChannelOffset(int32_t, int32_t) { return NotSupported("SetChannelOffset"); }
int32_t CSensorBase::GetChannelOffset(int32_t, int32_t*) { return 0; }
int32_t CSensorBase::GetChannelOffsetMin(int32_t*) { return 0; }
int32_t CSensorBase::GetChannelOffsetMax(int32_t*) { return 0; }
int32_t CSensorBase::GetChannelOffsetDefault(int32_t*) { return 0; }

// ---- Black level and gain step: the value is always written, the result is
// the supported flag, so 0 tells the caller the value means nothing ----

int32_t CSensorBase::IsBlackLevelSupported() { return info_.blackLevel.stepOrSupported; }
int32_t CSensorBase::SetBlackLevel(int32_t) { return NotSupported("SetBlackLevel"); }
int32_t CSensorBase::GetBlackLevel(int32_t* value) {
    return Put(value, info_.blackLevel.current, info_.blackLevel.stepOrSupported);
}
int32_t CSensorBase::GetBlackLevelMin(int32_t* value) {
    return Put(value, info_.blackLevel.min, info_.blackLevel.stepOrSupported);
}
int32_t CSensorBase::GetBlackLevelMax(int32_t* value) {
    return Put(value, info_.blackLevel.max, info_.blackLevel.stepOrSupported);
}
int32_t CSensorBase::GetBlackLevelDefault(int32_t* value) {
    return Put(value, info_.blackLevel.defaultValue, info_.blackLevel.stepOrSupported);
}
int32_t CSensorBase::IsGainStepSupported() { return info_.gainStep.stepOrSupported; }
int32_t CSensorBase::GetGainStepMin(int32_t* value) {
    return Put(value, info_.gainStep.min, info_.gainStep.stepOrSupported);
}
int32_t CSensorBase::GetGainStepMax(int32_t* value) {
    return Put(value, info_.gainStep.max, info_.gainStep.stepOrSupported);
}
int32_t CSensorBase::GetGainStepDefault(int32_t* value) {
    return Put(value, info_.gainStep.defaultValue, info_.gainStep.stepOrSupported);
}
int32_t CSensorBase::GetGainStepCurrent(int32_t* value) {
    return Put(value, info_.gainStep.current, info_.gainStep.stepOrSupported);
}
int32_t CSensorBase::SetGainStep(int32_t) { return NotSupported("SetGainStep"); }
int32_t CSensorBase::GetGainStep(int32_t*) { return 0; }
int32_t CSensorBase::GetGainStepLabel(int32_t, char*) { return 0; }

// ---- Exposure time in 0.1 ms ----

int32_t CSensorBase::SetExposureTime(int32_t) { return NotSupported("SetExposureTime"); }
int32_t CSensorBase::GetExposureTime(int32_t* value) { return Put(value, info_.exposureTime.current, 1); }
int32_t CSensorBase::GetExposureTimeMin(int32_t* value) { return Put(value, info_.exposureTime.min, 1); }
int32_t CSensorBase::GetExposureTimeMax(int32_t* value) { return Put(value, info_.exposureTime.max, 1); }
int32_t CSensorBase::GetExposureTimeDefault(int32_t* value) {
    return Put(value, info_.exposureTime.defaultValue, 1);
}

// ---- Mirroring ----

int32_t CSensorBase::SetMirrorH(int32_t) { return NotSupported("SetMirrorH"); }
int32_t CSensorBase::GetMirrorH(int32_t*) { return 0; }
int32_t CSensorBase::SetMirrorV(int32_t) { return NotSupported("SetMirrorV"); }
int32_t CSensorBase::GetMirrorV(int32_t*) { return 0; }
int32_t CSensorBase::GetMirrorHDefault() { return info_.mirrorHDefault; }
int32_t CSensorBase::GetMirrorVDefault() { return info_.mirrorVDefault; }
int32_t CSensorBase::IsMirrorHSupported() { return info_.mirrorHSupported; }
int32_t CSensorBase::IsMirrorVSupported() { return info_.mirrorVSupported; }

// ---- Register access, reserved slots, clock mode ----

int32_t CSensorBase::AccessDevice(int32_t, void*) { return NotSupported("AccessDevice"); }
int32_t CSensorBase::WriteRegister(uint32_t, uint32_t) { return NotSupported("WriteRegister"); }
int32_t CSensorBase::ReadRegister(uint32_t, uint32_t*) { return NotSupported("ReadRegister"); }
int32_t CSensorBase::WriteRegisterChecked(uint32_t, uint32_t) { return NotSupported("WriteRegisterChecked"); }
int32_t CSensorBase::ReadRegisterChecked(uint32_t, uint32_t*) { return NotSupported("ReadRegisterChecked"); }
int32_t CSensorBase::Reserved78() { return 0; }
int32_t CSensorBase::Reserved79() { return 0; }
int32_t CSensorBase::Reserved80() { return 0; }
int32_t CSensorBase::Reserved81() { return 0; }
int32_t CSensorBase::Reserved82() { return 0; }
int32_t CSensorBase::SetClockMode(int32_t) { return NotSupported("SetClockMode"); }
int32_t CSensorBase::GetClockMode(int32_t*) { return 0; }
int32_t CSensorBase::Reserved85() { return 0; }
int32_t CSensorBase::Reserved86() { return 0; }

int32_t CSensorBase::GetSensorInfo(SensorInfo* info) {
    if (!info) return 0;
    std::memcpy(info, &info_, sizeof(SensorInfo));
    return 1;
}

// ---- Readout, cooling, temperature, aux power, text channel ----

void CSensorBase::RestartReadout() {}
void CSensorBase::ResetReadout() {}
int32_t CSensorBase::SetReadoutMode(int32_t) { return NotSupported("SetReadoutMode"); }
int32_t CSensorBase::GetReadoutMode(int32_t*) { return 0; }
int32_t CSensorBase::IsCoolingSupported() { return 0; }
int32_t CSensorBase::GetCooling(int32_t*) { return 0; }
int32_t CSensorBase::SetCooling(int32_t) { return NotSupported("SetCooling"); }
int32_t CSensorBase::IsTemperatureSupported() { return 0; }
int32_t CSensorBase::GetTemperature(double*) { return 0; }
void CSensorBase::StartTemperatureMonitor() {}
void CSensorBase::StopTemperatureMonitor() {}
int32_t CSensorBase::IsAuxPowerSupported() { return 0; }
int32_t CSensorBase::GetAuxPower(int32_t*) { return 0; }
int32_t CSensorBase::SetAuxPower(int32_t) { return NotSupported("SetAuxPower"); }
int32_t CSensorBase::ReceiveText(char*, int32_t) { return NotSupported("ReceiveText"); }
int32_t CSensorBase::SendText(const char*, int32_t) { return NotSupported("SendText"); }
int32_t CSensorBase::IsSensorModeSupported() { return 0; }
int32_t CSensorBase::GetSensorMode(int32_t*) { return 0; }
int32_t CSensorBase::SetSensorMode(int32_t) { return NotSupported("SetSensorMode"); }
int32_t CSensorBase::IsTargetTemperatureSupported() { return 0; }
int32_t CSensorBase::Reserved108() { return 0; }
int32_t CSensorBase::Reserved109() { return 0; }
int32_t CSensorBase::GetTargetTemperature(double*) { return 0; }
int32_t CSensorBase::SetTargetTemperature(double) { return NotSupported("SetTargetTemperature"); }

// ---- Exposure in seconds: values are always written, the result is the
// supported flag ----

int32_t CSensorBase::IsExposureSecondsSupported() { return info_.exposureSecondsSupported; }
int32_t CSensorBase::GetExposureSecondsMin(double* seconds) {
    return Put(seconds, info_.exposureSecondsMin, info_.exposureSecondsSupported);
}
int32_t CSensorBase::GetExposureSecondsMax(double* seconds) {
    return Put(seconds, info_.exposureSecondsMax, info_.exposureSecondsSupported);
}
int32_t CSensorBase::GetExposureSecondsDefault(double* seconds) {
    return Put(seconds, info_.exposureSecondsDefault, info_.exposureSecondsSupported);
}
int32_t CSensorBase::GetExposureSeconds(double* seconds) {
    return Put(seconds, info_.exposureSeconds, info_.exposureSecondsSupported);
}
int32_t CSensorBase::SetExposureSeconds(double) { return NotSupported("SetExposureSeconds"); }

// ---- Exposure mode, info block, output and scan modes ----

int32_t CSensorBase::IsExposureModeSupported() { return 0; }
int32_t CSensorBase::GetExposureMode(int32_t*) { return 0; }
int32_t CSensorBase::SetExposureMode(int32_t) { return NotSupported("SetExposureMode"); }
int32_t CSensorBase::IsInfoBlockValid() { return 0; }
int32_t CSensorBase::GetInfoBlock(int32_t*, int16_t*, uint8_t*) { return 0; }
int32_t CSensorBase::IsOutputModeSupported() { return 0; }
int32_t CSensorBase::GetOutputMode() { return -1; }
int32_t CSensorBase::SetOutputMode(int32_t) { return NotSupported("SetOutputMode"); }
int32_t CSensorBase::IsScanModeSupported() { return 0; }
int32_t CSensorBase::GetScanMode() { return -1; }
int32_t CSensorBase::SetScanMode(int32_t) { return NotSupported("SetScanMode"); }

bool CSensorBase::GetWindowRules(WindowRules*) const { return false; }

// ---- Helpers shared by the sensor classes ----

int32_t CSensorBase::SettingsStrobe() {
    if (!controller_) return 0;
    const uint8_t reg =
        (modelVariant_ == 103 || modelVariant_ == 115) ? kFpgaStrobeAlternate : kFpgaStrobeDefault;
    const int32_t raised = controller_->WriteFpgaRegister(reg, 1);
    Sleep(1);
    // The strobe is lowered even when raising it failed, so it is never left high.
    const int32_t lowered = controller_->WriteFpgaRegister(reg, 0);
    Sleep(1);
    return (raised && lowered) ? 1 : 0;
}

uint16_t CSensorBase::FirmwareVersion() {
    if (firmwareVersion_ != 0 || !controller_) return firmwareVersion_;
    uint8_t high = 0;
    uint8_t low = 0;
    // A failed read leaves the cache empty so the next call tries again.
    if (controller_->ReadFpgaRegister(kFpgaFirmwareHigh, &high) &&
        controller_->ReadFpgaRegister(kFpgaFirmwareLow, &low)) {
        firmwareVersion_ = static_cast<uint16_t>(high * 256 + low);
    }
    return firmwareVersion_;
}

int32_t CSensorBase::SetExposureTimeThroughMicroseconds(int32_t tenthsOfMs) {
    int32_t t = std::max(tenthsOfMs, info_.exposureTime.min);
    t = std::min(t, info_.exposureTime.max);
    // A negative time cannot be programmed (only reachable with a broken range).
    if (t < 0) return 0;
    const int32_t result = SetExposureMicroseconds(static_cast<uint64_t>(t) * 100u);
    if (result) {
        info_.exposureTime.current = t;
        info_.exposureSeconds = t / 10000.0;
    }
    return result;
}

int32_t CSensorBase::SetExposureSecondsThroughMicroseconds(double seconds) {
    if (std::isnan(seconds)) return 0;
    double x = std::max(seconds, info_.exposureSecondsMin);
    x = std::min(x, info_.exposureSecondsMax);
    if (std::isnan(x) || x < 0.0) return 0;
    const double micros = x * 1e6;
    // Beyond what the conversion can carry (2^64 us); no real range comes near.
    if (!(micros < 18446744073709551616.0)) return 0;
    const int32_t result = SetExposureMicroseconds(static_cast<uint64_t>(micros));
    if (result) {
        info_.exposureSeconds = x;
        const double tenths = std::trunc(x * 10000.0);
        info_.exposureTime.current =
            tenths >= static_cast<double>(std::numeric_limits<int32_t>::max())
                ? std::numeric_limits<int32_t>::max()
                : static_cast<int32_t>(tenths);
    }
    return result;
}

int32_t CSensorBase::SetExposureMicroseconds(uint64_t) { return 0; }

int32_t CSensorBase::BusWriteRegister8(uint32_t address, uint32_t value) {
    ScopedLock lock(busLock_);
    if (!controller_) return 0;
    const uint8_t bytes[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF),
                              static_cast<uint8_t>(value & 0xFF)};
    return controller_->BusWrite(deviceAddress_, bytes, sizeof(bytes), kBusTimeoutMs);
}

int32_t CSensorBase::BusReadRegister8(uint32_t address, uint32_t* value) {
    ScopedLock lock(busLock_);
    if (!controller_) return 0;
    const uint8_t request[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address & 0xFF)};
    if (!controller_->BusWrite(deviceAddress_, request, sizeof(request), kBusTimeoutMs)) return 0;
    uint8_t byte = 0;
    if (!controller_->BusRead(deviceAddress_, &byte, 1, kBusTimeoutMs)) return 0;
    if (value) *value = byte;
    return 1;
}

int32_t CSensorBase::ReadRegisterCheckedVia(uint32_t address, uint32_t* value) {
    if (!controller_) return 0;
    for (int attempt = 0; attempt < kCheckedAttempts; ++attempt) {
        uint8_t busy = 1;
        if (controller_->ReadFpgaRegister(kFpgaSensorBusBusy, &busy) && busy == 0) {
            uint32_t read = kReadBackPreset;
            if (ReadRegister(address, &read)) {
                if (value) *value = read;
                return 1;
            }
        }
        Sleep(kCheckedRetryMs);
    }
    return 0;
}

int32_t CSensorBase::WriteRegisterCheckedVia(uint32_t address, uint32_t value) {
    if (!controller_) return 0;
    for (int attempt = 0; attempt < kCheckedAttempts; ++attempt) {
        uint8_t busy = 1;
        if (controller_->ReadFpgaRegister(kFpgaSensorBusBusy, &busy) && busy == 0 &&
            WriteRegister(address, value)) {
            uint32_t readBack = kReadBackPreset;
            if (ReadRegisterCheckedVia(address, &readBack) && readBack == value) return 1;
        }
        Sleep(kCheckedRetryMs);
    }
    return 0;
}

int32_t CSensorBase::ApplyBitDepth(int32_t sixteenBit) {
    if (!controller_) return 0;
    info_.bitDepth = sixteenBit ? 16 : 8;
    const int32_t width = info_.areaWidth;
    const int32_t height = info_.areaHeight;
    const int32_t results[4] = {
        controller_->WriteFpgaRegister(kFpgaWindowWidthLow, static_cast<uint8_t>(width & 0xFF)),
        controller_->WriteFpgaRegister(kFpgaWindowWidthHigh, static_cast<uint8_t>((width >> 8) & 0xFF)),
        controller_->WriteFpgaRegister(kFpgaWindowHeightLow, static_cast<uint8_t>(height & 0xFF)),
        controller_->WriteFpgaRegister(kFpgaWindowHeightHigh, static_cast<uint8_t>((height >> 8) & 0xFF)),
    };
    const bool ok = std::all_of(std::begin(results), std::end(results), [](int32_t r) { return r != 0; });
    return ok ? 1 : 0;
}

}  // namespace vantix
