// The camera engine's property calls: each passed through to the sensor (or
// the controller for FPGA registers and the EEPROM), with the read time-out
// following long exposures and the text channel of the serial-controlled
// head. The per-model option switch is in model_hooks.cpp.
#include <algorithm>
#include <cstring>
#include <string>

#include "engine/camera_engine.h"

namespace vantix {
namespace {

constexpr int32_t kDefaultReadTimeoutMs = 5000;
// The camera's EEPROM keeps an area for the application from this address on.
constexpr uint16_t kUserSromBase = 0x1080;

}  // namespace

template <typename Getter>
int32_t CVantixU3K9Base::SensorGetter(Getter&& getter) {
    if (!sensor_) return 0;
    int32_t cell = 0;
    getter(*sensor_, &cell);
    return cell;
}

// ---- Mirrors ----

int32_t CVantixU3K9Base::SetMirrorV(int32_t on) { return sensor_ ? sensor_->SetMirrorV(on) : 0; }
int32_t CVantixU3K9Base::SetMirrorH(int32_t on) { return sensor_ ? sensor_->SetMirrorH(on) : 0; }
int32_t CVantixU3K9Base::GetMirrorV() {
    return SensorGetter([](CSensorBase& s, int32_t* c) { s.GetMirrorV(c); });
}
int32_t CVantixU3K9Base::GetMirrorH() {
    return SensorGetter([](CSensorBase& s, int32_t* c) { s.GetMirrorH(c); });
}
int32_t CVantixU3K9Base::GetMirrorHDefault() { return sensor_ ? sensor_->GetMirrorHDefault() : 0; }
int32_t CVantixU3K9Base::GetMirrorVDefault() { return sensor_ ? sensor_->GetMirrorVDefault() : 0; }
int32_t CVantixU3K9Base::IsMirrorHSupported() { return sensor_ ? sensor_->IsMirrorHSupported() : 0; }
int32_t CVantixU3K9Base::IsMirrorVSupported() { return sensor_ ? sensor_->IsMirrorVSupported() : 0; }

// ---- Trigger ----

int32_t CVantixU3K9Base::SetTriggerMode(int32_t mode, int32_t force) {
    if (!sensor_) return 0;
    if (!force && mode == triggerMode_) return 1;
    StopCapture();
    OpenFrameEvent();
    triggerMode_ = ApplyTriggerRule(mode);
    return 1;
}

int32_t CVantixU3K9Base::GetTriggerMode(int32_t* mode) { return sensor_ ? sensor_->GetTriggerMode(mode) : 0; }

// ---- EEPROM ----

int32_t CVantixU3K9Base::WriteSrom(int32_t address, int32_t value) {
    return controller_ ? controller_->WriteSrom(static_cast<uint16_t>(address), static_cast<uint8_t>(value)) : 0;
}

int32_t CVantixU3K9Base::ReadSrom(int32_t address, uint8_t* value) {
    return controller_ ? controller_->ReadSrom(static_cast<uint16_t>(address), value) : 0;
}

int32_t CVantixU3K9Base::WriteUserSrom(int32_t offset, int32_t value) {
    return WriteSrom(kUserSromBase + (offset & 0xFF), value);
}

int32_t CVantixU3K9Base::ReadUserSrom(int32_t offset, uint8_t* value) {
    return ReadSrom(kUserSromBase + (offset & 0xFF), value);
}

// ---- Sizes ----

int32_t CVantixU3K9Base::GetSensorCapability1() { return sensor_ ? sensor_->Info().capability1 : 0; }
int32_t CVantixU3K9Base::GetSensorCapability2() { return sensor_ ? sensor_->Info().capability2 : 0; }
int32_t CVantixU3K9Base::GetMaxWidth() { return sensor_ ? sensor_->Info().maxWidth : 0; }
int32_t CVantixU3K9Base::GetMaxHeight() { return sensor_ ? sensor_->Info().maxHeight : 0; }
int32_t CVantixU3K9Base::GetDefaultWidth() { return sensor_ ? sensor_->Info().defaultWidth : 0; }
int32_t CVantixU3K9Base::GetDefaultHeight() { return sensor_ ? sensor_->Info().defaultHeight : 0; }
int32_t CVantixU3K9Base::GetDefaultX() { return sensor_ ? sensor_->Info().defaultX : 0; }
int32_t CVantixU3K9Base::GetDefaultY() { return sensor_ ? sensor_->Info().defaultY : 0; }

// ---- Gain and exposure ----

#define VANTIX_SENSOR_GETTER(EngineName, SensorName)                                     \
    int32_t CVantixU3K9Base::EngineName() {                                              \
        return SensorGetter([](CSensorBase& s, int32_t* c) { s.SensorName(c); });        \
    }

int32_t CVantixU3K9Base::SetGain(int32_t gain) { return sensor_ ? sensor_->SetGain(gain) : 0; }
VANTIX_SENSOR_GETTER(GetGain, GetGain)
VANTIX_SENSOR_GETTER(GetGainMin, GetGainMin)
VANTIX_SENSOR_GETTER(GetGainMax, GetGainMax)
VANTIX_SENSOR_GETTER(GetGainDefault, GetGainDefault)

int32_t CVantixU3K9Base::SetExposureTime(int32_t tenthsOfMs) {
    if (!sensor_) return 0;
    // Long exposures need a longer wait for each payload piece.
    readTimeoutMs_ = tenthsOfMs <= 50000 ? kDefaultReadTimeoutMs : tenthsOfMs / 5;
    if (Facts().exposureBetweenFrames && running_) {
        // While it streams, this head is reprogrammed between frames by the
        // acquisition thread. Without a stream no frame is in the way: the
        // sensor takes the value now and its refusal reaches the caller.
        pendingExposure_ = tenthsOfMs;
        exposurePending_ = true;
        return 1;
    }
    // A value left pending by a stream that ended first is superseded.
    exposurePending_ = false;
    return sensor_->SetExposureTime(tenthsOfMs);
}

VANTIX_SENSOR_GETTER(GetExposureTime, GetExposureTime)
VANTIX_SENSOR_GETTER(GetExposureTimeMin, GetExposureTimeMin)
VANTIX_SENSOR_GETTER(GetExposureTimeMax, GetExposureTimeMax)
VANTIX_SENSOR_GETTER(GetExposureTimeDefault, GetExposureTimeDefault)

int32_t CVantixU3K9Base::SetExposureLines(int32_t lines) { return sensor_ ? sensor_->SetExposureLines(lines) : 0; }
VANTIX_SENSOR_GETTER(GetExposureLines, GetExposureLines)
VANTIX_SENSOR_GETTER(GetExposureLinesMin, GetExposureLinesMin)
VANTIX_SENSOR_GETTER(GetExposureLinesMax, GetExposureLinesMax)
VANTIX_SENSOR_GETTER(GetExposureLinesDefault, GetExposureLinesDefault)

int32_t CVantixU3K9Base::IsExposureSecondsSupported() { return sensor_ ? sensor_->IsExposureSecondsSupported() : 0; }

int32_t CVantixU3K9Base::SetExposureSeconds(double seconds) {
    if (!sensor_) return 0;
    if (seconds > 2.0) readTimeoutMs_ = static_cast<int32_t>((seconds + 1.0) * 1000.0);
    return sensor_->SetExposureSeconds(seconds);
}

int32_t CVantixU3K9Base::GetExposureSeconds(double* s) { return sensor_ ? sensor_->GetExposureSeconds(s) : 0; }
int32_t CVantixU3K9Base::GetExposureSecondsMin(double* s) { return sensor_ ? sensor_->GetExposureSecondsMin(s) : 0; }
int32_t CVantixU3K9Base::GetExposureSecondsMax(double* s) { return sensor_ ? sensor_->GetExposureSecondsMax(s) : 0; }
int32_t CVantixU3K9Base::GetExposureSecondsDefault(double* s) {
    return sensor_ ? sensor_->GetExposureSecondsDefault(s) : 0;
}

// ---- Channel gains and offsets ----

int32_t CVantixU3K9Base::SetChannelGain(int32_t channel, int32_t value) {
    return sensor_ ? sensor_->SetChannelGain(channel, value) : 0;
}
int32_t CVantixU3K9Base::GetChannelGain(int32_t channel) {
    return SensorGetter([channel](CSensorBase& s, int32_t* c) { s.GetChannelGain(channel, c); });
}
VANTIX_SENSOR_GETTER(GetChannelGainMin, GetChannelGainMin)
VANTIX_SENSOR_GETTER(GetChannelGainMax, GetChannelGainMax)
VANTIX_SENSOR_GETTER(GetChannelGainDefault, GetChannelGainDefault)
int32_t CVantixU3K9Base::SetChannelOffset(int32_t channel, int32_t value) {
    return sensor_ ? sensor_->SetChannelOffset(channel, value) : 0;
}
int32_t CVantixU3K9Base::GetChannelOffset(int32_t channel) {
    return SensorGetter([channel](CSensorBase& s, int32_t* c) { s.GetChannelOffset(channel, c); });
}
VANTIX_SENSOR_GETTER(GetChannelOffsetMin, GetChannelOffsetMin)
VANTIX_SENSOR_GETTER(GetChannelOffsetMax, GetChannelOffsetMax)
VANTIX_SENSOR_GETTER(GetChannelOffsetDefault, GetChannelOffsetDefault)

// ---- Colour gains ----

int32_t CVantixU3K9Base::SetColorGainRed(int32_t v) { return sensor_ ? sensor_->SetColorGainRed(v) : 0; }
VANTIX_SENSOR_GETTER(GetColorGainRed, GetColorGainRed)
int32_t CVantixU3K9Base::SetColorGainGreen1(int32_t v) { return sensor_ ? sensor_->SetColorGainGreen1(v) : 0; }
VANTIX_SENSOR_GETTER(GetColorGainGreen1, GetColorGainGreen1)
int32_t CVantixU3K9Base::SetColorGainGreen2(int32_t v) { return sensor_ ? sensor_->SetColorGainGreen2(v) : 0; }
VANTIX_SENSOR_GETTER(GetColorGainGreen2, GetColorGainGreen2)
int32_t CVantixU3K9Base::SetColorGainBlue(int32_t v) { return sensor_ ? sensor_->SetColorGainBlue(v) : 0; }
VANTIX_SENSOR_GETTER(GetColorGainBlue, GetColorGainBlue)
VANTIX_SENSOR_GETTER(GetColorGainMin, GetColorGainMin)
VANTIX_SENSOR_GETTER(GetColorGainMax, GetColorGainMax)
VANTIX_SENSOR_GETTER(GetColorGainDefault, GetColorGainDefault)

// ---- Black level ----

int32_t CVantixU3K9Base::IsBlackLevelSupported() { return sensor_ ? sensor_->IsBlackLevelSupported() : 0; }
int32_t CVantixU3K9Base::SetBlackLevel(int32_t v) { return sensor_ ? sensor_->SetBlackLevel(v) : 0; }
VANTIX_SENSOR_GETTER(GetBlackLevel, GetBlackLevel)
VANTIX_SENSOR_GETTER(GetBlackLevelMin, GetBlackLevelMin)
VANTIX_SENSOR_GETTER(GetBlackLevelMax, GetBlackLevelMax)
VANTIX_SENSOR_GETTER(GetBlackLevelDefault, GetBlackLevelDefault)

// ---- Registers ----

int32_t CVantixU3K9Base::WriteSensorRegister(int32_t address, int32_t value) {
    return sensor_ ? sensor_->WriteRegister(static_cast<uint32_t>(address), static_cast<uint32_t>(value)) : 0;
}

int32_t CVantixU3K9Base::ReadSensorRegister(int32_t address, int32_t* ok) {
    if (!sensor_) return 0;
    uint32_t value = 0;
    if (!sensor_->ReadRegister(static_cast<uint32_t>(address), &value)) return 0;
    if (ok != nullptr) *ok = 1;
    return static_cast<int32_t>(value);
}

int32_t CVantixU3K9Base::WriteFpgaRegister(int32_t reg, int32_t value) {
    if (!controller_) return 0;
    if (!Facts().fpgaRegisters) return Refuse("FPGA register write: this camera gives the host no FPGA registers");
    return controller_->WriteFpgaRegister(static_cast<uint8_t>(reg), static_cast<uint8_t>(value));
}

int32_t CVantixU3K9Base::ReadFpgaRegister(int32_t reg, int32_t* ok) {
    if (!controller_) return 0;
    if (!Facts().fpgaRegisters) return Refuse("FPGA register read: this camera gives the host no FPGA registers");
    uint8_t value = 0;
    if (!controller_->ReadFpgaRegister(static_cast<uint8_t>(reg), &value)) return 0;
    if (ok != nullptr) *ok = 1;
    return value;
}

int32_t CVantixU3K9Base::Slot114() { return 0; }
int32_t CVantixU3K9Base::Slot115() { return 0; }

int32_t CVantixU3K9Base::RestartReadout() {
    if (!sensor_) return 0;
    sensor_->RestartReadout();
    return 1;
}

int32_t CVantixU3K9Base::ResetReadout() {
    if (!sensor_) return 0;
    sensor_->ResetReadout();
    return 1;
}

int32_t CVantixU3K9Base::AccessDevice(int32_t /*index*/, int32_t op, void* buffer) {
    return sensor_ ? sensor_->AccessDevice(op, buffer) : 0;
}

int32_t CVantixU3K9Base::IsOutputModeSupported() { return sensor_ ? sensor_->IsOutputModeSupported() : 0; }
int32_t CVantixU3K9Base::SetOutputMode(int32_t mode) { return sensor_ ? sensor_->SetOutputMode(mode) : 0; }
int32_t CVantixU3K9Base::GetOutputMode() { return sensor_ ? sensor_->GetOutputMode() : -1; }

// ---- Text channel of the serial-controlled head ----

int32_t CVantixU3K9Base::ReceiveText(char* buffer, int32_t length) {
    if (!Facts().textChannel) return Refuse("receive text: this camera has no text channel");
    if (!sensor_ || buffer == nullptr || length < 0) return 0;
    char received[256] = {};
    const int32_t count = sensor_->ReceiveText(received, sizeof received);
    const int32_t copied = std::clamp(std::min(length, count), 0, static_cast<int32_t>(sizeof received));
    std::memcpy(buffer, received, static_cast<size_t>(copied));
    return count;
}

int32_t CVantixU3K9Base::SendText(const char* text, int32_t length) {
    if (!Facts().textChannel) return Refuse("send text: this camera has no text channel");
    if (!sensor_ || text == nullptr || length < 0) return 0;
    // The text ends at its NUL or after `length` bytes, whichever comes
    // first: a length beyond a shorter text never reads past its end.
    const std::string copy(text, strnlen(text, static_cast<size_t>(length)));
    return sensor_->SendText(copy.c_str(), static_cast<int32_t>(copy.size()) + 1);
}

// ---- Cooling, temperature, auxiliary power, sensor mode ----

int32_t CVantixU3K9Base::IsCoolingSupported() { return sensor_ ? sensor_->IsCoolingSupported() : 0; }
int32_t CVantixU3K9Base::GetCooling(int32_t* on) { return sensor_ ? sensor_->GetCooling(on) : 0; }
int32_t CVantixU3K9Base::SetCooling(int32_t on) { return sensor_ ? sensor_->SetCooling(on) : 0; }
int32_t CVantixU3K9Base::IsTemperatureSupported() { return sensor_ ? sensor_->IsTemperatureSupported() : 0; }
int32_t CVantixU3K9Base::GetTemperature(double* c) { return sensor_ ? sensor_->GetTemperature(c) : 0; }
int32_t CVantixU3K9Base::IsAuxPowerSupported() { return sensor_ ? sensor_->IsAuxPowerSupported() : 0; }
int32_t CVantixU3K9Base::GetAuxPower(int32_t* on) { return sensor_ ? sensor_->GetAuxPower(on) : 0; }
int32_t CVantixU3K9Base::SetAuxPower(int32_t on) { return sensor_ ? sensor_->SetAuxPower(on) : 0; }
int32_t CVantixU3K9Base::IsSensorModeSupported() { return sensor_ ? sensor_->IsSensorModeSupported() : 0; }
int32_t CVantixU3K9Base::GetSensorMode(int32_t* state) { return sensor_ ? sensor_->GetSensorMode(state) : 0; }
int32_t CVantixU3K9Base::SetSensorMode(int32_t on) { return sensor_ ? sensor_->SetSensorMode(on) : 0; }
int32_t CVantixU3K9Base::IsTargetTemperatureSupported() {
    return sensor_ ? sensor_->IsTargetTemperatureSupported() : 0;
}
int32_t CVantixU3K9Base::Slot141() { return sensor_ ? sensor_->Reserved108() : 0; }
int32_t CVantixU3K9Base::Slot142() { return sensor_ ? sensor_->Reserved109() : 0; }
int32_t CVantixU3K9Base::GetTargetTemperature(double* c) { return sensor_ ? sensor_->GetTargetTemperature(c) : 0; }
int32_t CVantixU3K9Base::SetTargetTemperature(double c) { return sensor_ ? sensor_->SetTargetTemperature(c) : 0; }
int32_t CVantixU3K9Base::IsInfoBlockValid() { return sensor_ ? sensor_->IsInfoBlockValid() : 0; }
int32_t CVantixU3K9Base::GetInfoBlock(int32_t* value, int16_t* word, uint8_t bytes[2]) {
    return sensor_ ? sensor_->GetInfoBlock(value, word, bytes) : 0;
}
int32_t CVantixU3K9Base::SetAuxMode(int32_t mode) { return sensor_ ? sensor_->SetAuxMode(mode) : 0; }
int32_t CVantixU3K9Base::PulseAuxControl() { return sensor_ ? sensor_->PulseAuxControl() : 0; }
int32_t CVantixU3K9Base::IsAuxSupported() { return sensor_ ? sensor_->IsAuxSupported() : 0; }
int32_t CVantixU3K9Base::IsExposureModeSupported() { return sensor_ ? sensor_->IsExposureModeSupported() : 0; }
int32_t CVantixU3K9Base::GetExposureMode(int32_t* mode) { return sensor_ ? sensor_->GetExposureMode(mode) : 0; }
int32_t CVantixU3K9Base::SetExposureMode(int32_t mode) { return sensor_ ? sensor_->SetExposureMode(mode) : 0; }

// ---- Gain steps and scan mode ----

int32_t CVantixU3K9Base::IsGainStepSupported() { return sensor_ ? sensor_->IsGainStepSupported() : 0; }
VANTIX_SENSOR_GETTER(GetGainStepMin, GetGainStepMin)
VANTIX_SENSOR_GETTER(GetGainStepMax, GetGainStepMax)
VANTIX_SENSOR_GETTER(GetGainStepDefault, GetGainStepDefault)
#undef VANTIX_SENSOR_GETTER

int32_t CVantixU3K9Base::GetGainStep(int32_t* value, int32_t, int32_t) {
    if (!sensor_) return 0;
    int32_t cell = 0;
    if (!sensor_->GetGainStep(&cell)) return 0;
    if (value != nullptr) *value = cell;
    return 1;
}

int32_t CVantixU3K9Base::SetGainStep(int32_t step) { return sensor_ ? sensor_->SetGainStep(step) : 0; }
int32_t CVantixU3K9Base::GetGainStepLabel(int32_t index, char* text) {
    return sensor_ ? sensor_->GetGainStepLabel(index, text) : 0;
}
int32_t CVantixU3K9Base::IsScanModeSupported() { return sensor_ ? sensor_->IsScanModeSupported() : 0; }
int32_t CVantixU3K9Base::SetScanMode(int32_t mode) { return sensor_ ? sensor_->SetScanMode(mode) : 0; }
int32_t CVantixU3K9Base::GetScanMode() { return sensor_ ? sensor_->GetScanMode() : -1; }

}  // namespace vantix
