// CCcdSensor: the slots the CCD heads share.
#include "sensors/ccd/ccd_sensor.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "platform/debug_output.h"

namespace vantix {
namespace {

using ccd::FpgaPair;
using ccd::GainPath;
using ccd::ShutterPath;
using ccd::TimingStep;

// Camera registers of the timing generator.
constexpr uint32_t kBank1 = 0x8000;
constexpr uint32_t kRegisterNumberMask = 0x0FFF;
constexpr uint32_t kMaxValue = 0x3FFFFFF;  // 26 bits
constexpr uint16_t kTriggerRegister = 0x8002;
constexpr uint16_t kExposureLinesRegister = 0x8003;
constexpr uint16_t kGainRegister = 0x0005;
constexpr uint16_t kBlackLevelRegister = 0x0006;
constexpr uint32_t kTenBits = 0x3FF;

// FPGA registers.
constexpr FpgaPair kShutterLine{0xE2, 0xE3};
constexpr FpgaPair kFpgaGain{0xA0, 0xA1};
constexpr FpgaPair kFpgaBlackLevel{0xA2, 0xA3};
constexpr uint8_t kMirrorRegister = 63;
constexpr uint8_t kMirrorHBit = 0x02;
constexpr uint8_t kMirrorVBit = 0x01;

constexpr int32_t kChannelTrimMax = 65535;
constexpr int32_t kChannelGainDefault = 4096;
constexpr int32_t kBlackLevelMax = 1023;

int32_t Refuse(const char* why) {
    DebugPrintf(DebugCategory::Sensor, "sensor: %s", why);
    return 0;
}

int32_t PutValue(int32_t* out, int32_t value) {
    if (out) *out = value;
    return 1;
}

void FillSensorInfo(SensorInfo& info, const ccd::CcdConstants& k) {
    info.maxWidth = k.maxWidth;
    info.maxHeight = k.maxHeight;
    info.defaultWidth = k.maxWidth;
    info.defaultHeight = k.maxHeight;
    info.areaWidth = k.maxWidth;
    info.areaHeight = k.maxHeight;
    info.totalWidth = k.totalWidth;
    info.totalHeight = k.totalHeight;
    info.gain = {k.gainMin, k.gainMax, k.gainDefault, k.gainDefault, 1};
    info.exposureLines = {k.linesMin, k.linesMax, k.linesDefault, k.linesDefault, 1};
    info.exposureTime = {k.timeMin, k.timeMax, k.timeDefault, k.timeDefault, 1};
    info.blackLevel = {0, kBlackLevelMax, 0, 0, k.interline ? 1 : 0};
    info.mirrorHSupported = 1;
    info.mirrorVSupported = 1;
    info.bitDepth = 8;
    info.pixelClockKHz = k.pixelClockKHz;
    info.specific84 = k.frameLayout;
}

}  // namespace

CCcdSensor::CCcdSensor(CControllerBase* controller, uint8_t deviceAddress, const ccd::CcdConstants& constants)
    : CSensorBase(controller, deviceAddress), k_(constants) {
    FillSensorInfo(info_, k_);
    if (k_.interline) {
        shadow_ = std::make_unique<std::array<uint32_t, 2 * 4096>>();
        shadow_->fill(kUnwritten);
    }
}

int32_t CCcdSensor::Detect() { return 1; }

// ---- Opening ----

int32_t CCcdSensor::Initialize() {
    if (!controller_) return Refuse("initialise refused: no controller");
    if (!WriteTimingProgram()) return Refuse("initialise: the camera refused the timing-generator program");
    return ApplyDefaults();
}

int32_t CCcdSensor::WriteTimingProgram() {
    if (!k_.program) return 1;
    for (const TimingStep& step : k_.program()) {
        if (step.kind == TimingStep::Kind::FpgaEnable) {
            Sleep(1);
            if (!controller_->WriteFpgaRegister(static_cast<uint8_t>(step.address), 1)) return 0;
        } else if (!WriteRegister(step.address, step.value)) {
            return 0;
        }
    }
    return 1;
}

int32_t CCcdSensor::ApplyDefaults() {
    const bool ok = SetTriggerMode(0) && SetGain(info_.gain.defaultValue) &&
                    SetExposureLines(info_.exposureLines.defaultValue) && SetMirrorV(info_.mirrorVDefault) &&
                    SetMirrorH(info_.mirrorHDefault) && SetArea(0, k_.maxWidth, 0, k_.maxHeight, 0);
    return ok ? 1 : Refuse("initialise: the camera refused a default setting");
}

int32_t CCcdSensor::SetArea(int32_t, int32_t, int32_t, int32_t, int32_t) { return 1; }

// ---- Trigger ----

int32_t CCcdSensor::SetTriggerMode(int32_t on) {
    const uint32_t mode = on ? 1 : 0;
    if (!WriteRegister(kTriggerRegister, mode)) return 0;
    controlFlags_ = mode;
    return 1;
}

int32_t CCcdSensor::GetTriggerMode(int32_t* on) { return PutValue(on, static_cast<int32_t>(controlFlags_)); }

// ---- Exposure ----

int32_t CCcdSensor::SetExposureLines(int32_t lines) {
    if (!controller_) return 0;
    const int32_t n = std::clamp(lines, info_.exposureLines.min, info_.exposureLines.max);
    if (k_.shutter == ShutterPath::CameraRegisterLines) {
        if (!WriteRegister(kExposureLinesRegister, static_cast<uint32_t>(n))) return 0;
    } else if (!WriteFpgaPair(kShutterLine, n)) {
        return 0;
    }
    info_.exposureLines.current = n;
    return 1;
}

// Interline heads: the shutter line n = N - t / lineTime, so the exposure
// lasts N - n lines; a time longer than the frame takes the longest exposure
// (n at the minimum) and reports the time it gives.
int32_t CCcdSensor::SetExposureTime(int32_t tenthsOfMs) {
    if (tenthsOfMs <= 0) return Refuse("exposure time refused: it must be positive");
    int32_t t = std::min(tenthsOfMs, info_.exposureTime.max);
    if (k_.lineTimeK == 0) {
        if (!SetExposureLines(t)) return 0;
        info_.exposureTime.current = info_.exposureLines.current;
        return 1;
    }
    const double lineTime = static_cast<double>(k_.lineTimeK) / k_.pixelClockKHz;
    const double shutter = std::trunc(k_.shutterReference - t / lineTime);
    int32_t n = static_cast<int32_t>(shutter);
    if (n < info_.exposureLines.min) {
        n = info_.exposureLines.min;
        t = static_cast<int32_t>(info_.exposureLines.max * lineTime);
    } else if (n > info_.exposureLines.max) {
        n = info_.exposureLines.max;
        t = static_cast<int32_t>(info_.exposureLines.min * lineTime);
    }
    if (!SetExposureLines(n)) return 0;
    info_.exposureTime.current = t;
    return 1;
}

// ---- Gain, black level, channel trims ----

int32_t CCcdSensor::SetGain(int32_t gain) {
    const int32_t g = std::clamp(gain, info_.gain.min, info_.gain.max);
    const uint32_t code = static_cast<uint32_t>(g) & kTenBits;
    bool ok = false;
    switch (k_.gain) {
        case GainPath::CameraRegisterBothBanks:
            ok = WriteRegister(kBank1 | kGainRegister, code) && WriteRegister(kGainRegister, code);
            break;
        case GainPath::CameraRegister:
            ok = WriteRegister(kGainRegister, code);
            break;
        case GainPath::FpgaLeftAligned:
            ok = WriteFpgaPair(kFpgaGain, static_cast<int32_t>(code << 6));
            break;
    }
    if (!ok) return 0;
    info_.gain.current = g;
    return 1;
}

int32_t CCcdSensor::SetBlackLevel(int32_t value) {
    if (!k_.interline) return Refuse("black level refused: this head has no front-end black level");
    if (value < info_.blackLevel.min || value > info_.blackLevel.max) {
        return Refuse("black level refused: outside 0-1023");
    }
    // The FPGA's copy is a convenience for the readout; the front end's
    // registers are what counts.
    WriteFpgaPair(kFpgaBlackLevel, value);
    const uint32_t code = static_cast<uint32_t>(value) & kTenBits;
    if (!WriteRegister(kBank1 | kBlackLevelRegister, code) || !WriteRegister(kBlackLevelRegister, code)) return 0;
    info_.blackLevel.current = value;
    return 1;
}

int32_t CCcdSensor::SetChannelGain(int32_t channel, int32_t value) {
    if (!k_.interline || channel < 1 || channel > 4) return Refuse("channel gain refused: channels are 1-4");
    if (value < 0 || value > kChannelTrimMax) return Refuse("channel gain refused: outside 0-65535");
    return WriteFpgaPair(k_.channelGain[channel - 1], value);
}

int32_t CCcdSensor::SetChannelOffset(int32_t channel, int32_t value) {
    if (!k_.interline || channel < 1 || channel > 4) return Refuse("channel offset refused: channels are 1-4");
    if (value < 0 || value > kChannelTrimMax) return Refuse("channel offset refused: outside 0-65535");
    return WriteFpgaPair(k_.channelOffset[channel - 1], value);
}

int32_t CCcdSensor::GetChannelGain(int32_t channel, int32_t* value) {
    if (!k_.interline || channel < 1 || channel > 4 || !controller_) return 0;
    const FpgaPair pair = k_.channelGain[channel - 1];
    uint8_t low = 0, high = 0;
    if (!controller_->ReadFpgaRegister(pair.low, &low) || !controller_->ReadFpgaRegister(pair.high, &high)) return 0;
    return PutValue(value, high << 8 | low);
}

int32_t CCcdSensor::GetChannelOffset(int32_t channel, int32_t* value) {
    if (!k_.interline || channel < 1 || channel > 4 || !controller_) return 0;
    const FpgaPair pair = k_.channelOffset[channel - 1];
    uint8_t low = 0, high = 0;
    if (!controller_->ReadFpgaRegister(pair.low, &low) || !controller_->ReadFpgaRegister(pair.high, &high)) return 0;
    return PutValue(value, high << 8 | low);
}

int32_t CCcdSensor::GetChannelGainMin(int32_t* value) { return k_.interline ? PutValue(value, 0) : 0; }
int32_t CCcdSensor::GetChannelGainMax(int32_t* value) { return k_.interline ? PutValue(value, kChannelTrimMax) : 0; }
int32_t CCcdSensor::GetChannelGainDefault(int32_t* value) {
    return k_.interline ? PutValue(value, kChannelGainDefault) : 0;
}
int32_t CCcdSensor::GetChannelOffsetMin(int32_t* value) { return k_.interline ? PutValue(value, 0) : 0; }
int32_t CCcdSensor::GetChannelOffsetMax(int32_t* value) { return k_.interline ? PutValue(value, kChannelTrimMax) : 0; }
int32_t CCcdSensor::GetChannelOffsetDefault(int32_t* value) { return k_.interline ? PutValue(value, 0) : 0; }

// ---- Mirrors ----

int32_t CCcdSensor::SetMirrorBit(uint8_t bit, int32_t on, int32_t* flag) {
    if (k_.interline) {
        if (!controller_) return 0;
        uint8_t value = 0;
        if (!controller_->ReadFpgaRegister(kMirrorRegister, &value)) return 0;
        value = on ? static_cast<uint8_t>(value | bit) : static_cast<uint8_t>(value & ~bit);
        if (!controller_->WriteFpgaRegister(kMirrorRegister, value)) return 0;
    }
    *flag = on ? 1 : 0;
    return 1;
}

int32_t CCcdSensor::SetMirrorH(int32_t on) { return SetMirrorBit(kMirrorHBit, on, &info_.mirrorH); }
int32_t CCcdSensor::SetMirrorV(int32_t on) { return SetMirrorBit(kMirrorVBit, on, &info_.mirrorV); }
int32_t CCcdSensor::GetMirrorH(int32_t* on) { return PutValue(on, info_.mirrorH); }
int32_t CCcdSensor::GetMirrorV(int32_t* on) { return PutValue(on, info_.mirrorV); }

// ---- Registers ----

int32_t CCcdSensor::WriteRegister(uint32_t address, uint32_t value) {
    if (!controller_) return 0;
    // Register numbers above 12 bits would alias another register's shadow
    // entry, and a value above 26 bits could read back as "unwritten".
    if ((address & ~(kBank1 | kRegisterNumberMask)) != 0) return Refuse("camera register refused: no such register");
    if (value > kMaxValue) return Refuse("camera register refused: values have 26 bits");
    if (!controller_->WriteCameraRegister(static_cast<uint16_t>(address), value)) return 0;
    // Recorded only once the camera took it, so a read never reports a value
    // the timing generator does not hold.
    if (shadow_) (*shadow_)[(address & kBank1 ? 4096 : 0) + (address & kRegisterNumberMask)] = value;
    return 1;
}

int32_t CCcdSensor::ReadRegister(uint32_t address, uint32_t* value) {
    if ((address & ~(kBank1 | kRegisterNumberMask)) != 0) return 0;
    if (shadow_) {
        const uint32_t stored = (*shadow_)[(address & kBank1 ? 4096 : 0) + (address & kRegisterNumberMask)];
        if (stored == kUnwritten) return 0;
        if (value) *value = stored;
        return 1;
    }
    if (!controller_) return 0;
    return controller_->ReadCameraRegister(static_cast<uint16_t>(address), value);
}

int32_t CCcdSensor::WriteFpgaPair(FpgaPair pair, int32_t value) {
    if (!controller_) return 0;
    const int32_t low = controller_->WriteFpgaRegister(pair.low, static_cast<uint8_t>(value & 0xFF));
    if (!low) return 0;
    return controller_->WriteFpgaRegister(pair.high, static_cast<uint8_t>((value >> 8) & 0xFF));
}

}  // namespace vantix
