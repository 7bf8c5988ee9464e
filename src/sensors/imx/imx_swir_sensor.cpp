// CImxSwirSensor: window, exposure, trigger, cooler and temperature of the
// SWIR InGaAs heads. Register transfers are the family's hand-over checked
// transfers (imx_sensor.cpp), chosen by the record.
#include "sensors/imx/imx_swir_sensor.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "platform/debug_output.h"

namespace vantix {
namespace {

// Power-on writes, in order.
constexpr imx::RegisterValue kPowerOn[] = {{0x702, 0}, {0x7C0, 60}, {0x7C1, 0}};

// Window: x and y on an 8-pixel grid, width on 4, height on 8. The frame
// length is programmed in ticks of the sensor's own clock, scaled from the
// line count by the ratio of the two clock periods.
constexpr int32_t kOriginGrid = 8;
constexpr int32_t kWidthGrid = 4;
constexpr int32_t kHeightGrid = 8;
constexpr double kFrameScale = 1.30925e-5 / 1.29599e-5;
constexpr uint8_t kWindowFlagRows = 2;  // the readout skips rows outside the window
constexpr uint16_t kLineLength = 0x2D8;
constexpr uint32_t kLineLengthTicks = 972;  // 0x2D8 = 204, 0x2D9 = 3

// Exposure: lines = (ns - offset) / line time; the line time of the whole
// array's timing and of a window's.
constexpr double kExposureOffsetNs = 7372.0;
constexpr double kLineNsFullHeight = 12959.94133284444;
constexpr double kLineNsWindow = 12961.774681455678;
constexpr double kFrameMsPerLine = 0.012961774681455677;
constexpr uint32_t kFrameLengthMax = 0xFFFFFF;  // 24 bits over 0x2D4-0x2D6

// FPGA registers of these heads.
constexpr uint8_t kFpgaTriggerControl = 88;  // 0: program being changed, 2: armed
constexpr uint8_t kFpgaExposureLines[] = {133, 134, 155};  // bits 0-7, 8-15, 16-23
constexpr uint8_t kFpgaTriggerTiming = 84;
constexpr uint8_t kTriggerTimingValue = 195;
constexpr uint8_t kFpgaTriggerStep = 85;
constexpr uint8_t kTriggerStepValue = 2;
constexpr uint8_t kFpgaFrameLines[] = {80, 81, 82};  // exposure + height + 9
constexpr int32_t kTriggerFrameExtra = 9;
constexpr uint8_t kTriggerArmed = 2;
constexpr int kVerifiedTries = 10;
constexpr uint32_t kVerifiedRetryMs = 5;
constexpr uint8_t kFpgaAuxControl = 89;
constexpr uint8_t kAuxPulse[] = {4, 132, 4};
constexpr uint8_t kAuxOutputOn = 4;
constexpr uint8_t kFpgaReadoutOffset = 76;  // 16 bits over 76/77: first row kept, follows mirror V
constexpr uint16_t kRowOffsetBinnedMirrored = 52;
constexpr uint16_t kRowOffsetBinned = 4;
constexpr uint16_t kRowOffsetMirrored = 104;
constexpr uint16_t kRowOffset = 8;
constexpr uint8_t kFpgaCooler = 151;  // bit 0: cooler on
constexpr uint8_t kFirmwareWithAux = 4;  // versions above this have the auxiliary output

// Sensor registers of the trigger sequence and the temperature sensor.
constexpr uint16_t kStandby = 0x200;
constexpr uint16_t kSyncMode = 0x430;
constexpr uint8_t kSyncTriggered = 19;
constexpr uint8_t kSyncFreeRunning = 17;
constexpr uint16_t kTriggerEnable = 0x600;
constexpr uint32_t kTriggerStepMs = 100;
constexpr uint32_t kTriggerSettleMs = 10;
constexpr uint16_t kTemperatureLatch = 0x788;  // bit 0 holds the reading still
constexpr uint16_t kTemperatureLow = 0x690;
constexpr uint16_t kTemperatureHigh = 0x691;

int32_t RoundUp(int32_t value, int32_t grid) { return (value + grid - 1) / grid * grid; }

}  // namespace

CImxSwirSensor::CImxSwirSensor(CControllerBase* controller, uint8_t deviceAddress,
                               const imx::ImxConstants& constants, const imx::SwirVariants& variants)
    : CImxSensor(controller, deviceAddress, constants), variants_(variants) {
    frameTimeMs_ = targetFrameLines_ * kFrameMsPerLine;
}

int32_t CImxSwirSensor::SetModelVariant(int32_t code) {
    if (code != variants_.plain && code != variants_.cooled) {
        DebugPrintf(DebugCategory::Sensor, "sensor: variant %d refused: this head is %d or %d", code,
                    variants_.plain, variants_.cooled);
        return 0;
    }
    modelVariant_ = code;
    info_.specific84 = code == variants_.cooled ? variants_.cooledWord84 : variants_.plainWord84;
    return 1;
}

int32_t CImxSwirSensor::Initialize() {
    for (const imx::RegisterValue& entry : kPowerOn) WriteRegisterChecked(entry.address, entry.value);
    SetGain(info_.gain.defaultValue);
    SetMirrorV(info_.mirrorVDefault);
    SetMirrorH(info_.mirrorHDefault);
    SetArea(info_.defaultX, info_.defaultWidth, info_.defaultY, info_.defaultHeight, 0);
    SetExposureLines(info_.exposureLines.defaultValue);
    return 1;
}

// ---- Window ----

int32_t CImxSwirSensor::SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    const int32_t f = mode == 1 ? 2 : 1;
    if (x < 0 || y < 0 || width <= 0 || height <= 0) {
        DebugPrintf(DebugCategory::Sensor, "sensor: window %d, %d, %d x %d refused: negative or empty", x, y,
                    width, height);
        return 0;
    }
    const int32_t left = RoundUp(x, kOriginGrid);
    const int32_t top = RoundUp(y, kOriginGrid);
    const int32_t w = width / f / kWidthGrid * kWidthGrid;
    const int32_t h = height / f / kHeightGrid * kHeightGrid;
    // A window rounded down to nothing would program an empty readout.
    if (w == 0 || h == 0 || int64_t{left} + w > k_.maxWidth || int64_t{top} + h > k_.maxHeight) {
        DebugPrintf(DebugCategory::Sensor, "sensor: window %d, %d, %d x %d (mode %d) refused: outside the array",
                    x, y, width, height, mode);
        return 0;
    }
    int32_t frameBase = k_.fullFrameLines;
    uint8_t readout = k_.readoutCodes[0];
    uint8_t windowFlag = 0;
    int32_t rowStart = top;
    if (mode == 1) {
        frameBase = k_.binnedFrameLines;
        readout = k_.readoutCodes[1];
    } else if (mode == 0 && h != info_.defaultHeight) {
        frameBase = h + k_.verticalBlank;
        windowFlag = kWindowFlagRows;
        rowStart = top + k_.vStartOffset;
    }
    const int32_t frameLength = static_cast<int32_t>(std::trunc(frameBase * kFrameScale));
    const imx::WindowRegisters& r = k_.window;
    bool written = WriteRegisterChecked(r.readoutMode, readout) != 0;
    written = WriteRegisterChecked(r.windowMode, windowFlag) && written;
    written = PutBytes(r.hStart, static_cast<uint32_t>(left)) && written;
    written = PutBytes(r.vStart, static_cast<uint32_t>(rowStart)) && written;
    written = PutBytes(r.width, static_cast<uint32_t>(w)) && written;
    written = PutBytes(r.height, static_cast<uint32_t>(h)) && written;
    written = PutBytes({k_.frameLength.address, 2, 0xFF}, static_cast<uint32_t>(frameLength)) && written;
    written = PutBytes({kLineLength, 2, 0xFF}, kLineLengthTicks) && written;
    targetFrameLines_ = frameLength;
    writtenFrameLines_ = frameLength;
    targetLineLength_ = writtenLineLength_ = static_cast<int32_t>(kLineLengthTicks);
    info_.totalWidth = k_.windowLineLength;
    info_.totalHeight = frameLength;
    info_.areaX = left;
    info_.areaY = top;
    info_.areaWidth = w;
    info_.areaHeight = h;
    info_.areaMode = mode;
    // The shutter counts from the frame end: the current exposure is
    // programmed again against the new frame length.
    SetExposureLines(info_.exposureLines.current);
    return written ? 1 : 0;
}

// ---- Exposure ----

void CImxSwirSensor::PauseBetweenWrites() const {
    // The sensor takes a new exposure between frames; very long exposures
    // (word 49 in 0.1 ms) leave it longer.
    Sleep(std::max<uint32_t>(1, static_cast<uint32_t>(std::max(info_.exposureTime.current, 0)) / 1000000u));
}

int32_t CImxSwirSensor::SetExposureLines(int32_t lines) {
    int32_t n = std::max(lines, info_.exposureLines.min);
    n = std::min(n, info_.exposureLines.max);
    // The stretched frame must fit the 24-bit frame-length register.
    n = std::min(n, static_cast<int32_t>(kFrameLengthMax) - k_.shutterMargin);
    const int32_t frame = targetFrameLines_;
    const bool stretch = n > frame - k_.shutterMargin;
    const uint32_t frameLength = static_cast<uint32_t>(stretch ? n + k_.shutterMargin : frame);
    const uint32_t shutter = static_cast<uint32_t>(stretch ? k_.shutterMargin : frame - n);
    bool written = true;
    for (int shift = 16; shift >= 0; shift -= 8) {
        const uint32_t address = k_.frameLength.address + static_cast<uint32_t>(shift / 8);
        written = WriteRegisterChecked(address, (frameLength >> shift) & 0xFF) && written;
        PauseBetweenWrites();
    }
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t address = k_.shutter.address + static_cast<uint32_t>(shift / 8);
        written = WriteRegisterChecked(address, (shutter >> shift) & 0xFF) && written;
        PauseBetweenWrites();
    }
    writtenFrameLines_ = static_cast<int32_t>(frameLength);
    frameTimeMs_ = frameLength * kFrameMsPerLine;
    if (!written) return 0;
    info_.exposureLines.current = n;
    if (controlFlags_ == 1) RunTriggerProgram();
    return 1;
}

int32_t CImxSwirSensor::ExposeNanoseconds(double nanoseconds) {
    const double line = info_.areaHeight == info_.defaultHeight ? kLineNsFullHeight : kLineNsWindow;
    const double lines = std::trunc((nanoseconds - kExposureOffsetNs) / line);
    const double bounded = std::clamp(lines, 1.0, static_cast<double>(info_.exposureLines.max));
    return SetExposureLines(static_cast<int32_t>(bounded));
}

int32_t CImxSwirSensor::SetExposureTime(int32_t tenthsOfMs) {
    int32_t t = std::max(tenthsOfMs, info_.exposureTime.min);
    t = std::min(t, info_.exposureTime.max);
    if (!ExposeNanoseconds(t * 100000.0)) return 0;
    info_.exposureTime.current = t;
    info_.exposureSeconds = t / 10000.0;
    return 1;
}

int32_t CImxSwirSensor::SetExposureSeconds(double seconds) {
    if (std::isnan(seconds)) return 0;
    const double x = std::clamp(seconds, info_.exposureSecondsMin, info_.exposureSecondsMax);
    if (!ExposeNanoseconds(x * 1e9)) return 0;
    info_.exposureSeconds = x;
    info_.exposureTime.current = static_cast<int32_t>(std::trunc(x * 10000.0));
    return 1;
}

// ---- Mirrors ----

void CImxSwirSensor::AfterMirrorV() {
    if (!controller_) return;
    const bool binned = info_.areaMode == 1;
    const uint16_t offset = binned ? (info_.mirrorV ? kRowOffsetBinnedMirrored : kRowOffsetBinned)
                                   : (info_.mirrorV ? kRowOffsetMirrored : kRowOffset);
    controller_->WriteFpgaRegister(kFpgaReadoutOffset, static_cast<uint8_t>(offset & 0xFF));
    controller_->WriteFpgaRegister(kFpgaReadoutOffset + 1, static_cast<uint8_t>(offset >> 8));
}

// ---- Trigger and auxiliary output ----

bool CImxSwirSensor::VerifiedFpgaWrite(uint8_t reg, uint8_t value) {
    if (!controller_) return false;
    for (int attempt = 0; attempt < kVerifiedTries; ++attempt) {
        uint8_t readBack = static_cast<uint8_t>(~value);
        if (controller_->WriteFpgaRegister(reg, value) && controller_->ReadFpgaRegister(reg, &readBack) &&
            readBack == value) {
            return true;
        }
        Sleep(kVerifiedRetryMs);
    }
    DebugPrintf(DebugCategory::Sensor, "sensor: FPGA register %u never read back %u", reg, value);
    return false;
}

bool CImxSwirSensor::RunTriggerProgram() {
    const uint32_t lines = static_cast<uint32_t>(info_.exposureLines.current);
    const uint32_t frame = lines + static_cast<uint32_t>(info_.areaHeight + kTriggerFrameExtra);
    bool ok = VerifiedFpgaWrite(kFpgaTriggerControl, 0);
    for (int i = 0; i < 3; ++i) ok = VerifiedFpgaWrite(kFpgaExposureLines[i], (lines >> (8 * i)) & 0xFF) && ok;
    ok = VerifiedFpgaWrite(kFpgaTriggerTiming, kTriggerTimingValue) && ok;
    ok = VerifiedFpgaWrite(kFpgaTriggerStep, kTriggerStepValue) && ok;
    for (int i = 0; i < 3; ++i) ok = VerifiedFpgaWrite(kFpgaFrameLines[i], (frame >> (8 * i)) & 0xFF) && ok;
    return VerifiedFpgaWrite(kFpgaTriggerControl, kTriggerArmed) && ok;
}

int32_t CImxSwirSensor::SetTriggerMode(int32_t on) {
    if (!controller_) return 0;
    bool ok = true;
    const auto step = [&](uint16_t address, uint8_t value) {
        ok = WriteRegisterChecked(address, value) && ok;
        Sleep(kTriggerStepMs);
    };
    if (on) {
        ok = RunTriggerProgram();
        step(kStandby, 1);
        step(kSyncMode, kSyncTriggered);
        step(kTriggerEnable, 1);
        ok = WriteRegisterChecked(kStandby, 0) && ok;
        PulseAuxControl();
        controller_->WriteFpgaRegister(kFpgaAuxControl, auxMode_ == 1 ? kAuxOutputOn : 0);
        SettingsStrobe();
        Sleep(static_cast<uint32_t>(frameTimeMs_) + kTriggerSettleMs);
    } else {
        ok = VerifiedFpgaWrite(kFpgaTriggerControl, 0);
        controller_->WriteFpgaRegister(kFpgaAuxControl, 0);
        step(kStandby, 1);
        step(kSyncMode, kSyncFreeRunning);
        step(kTriggerEnable, 0);
        ok = WriteRegisterChecked(kStandby, 0) && ok;
    }
    if (!ok) {
        DebugPrintf(DebugCategory::Sensor, "sensor: trigger mode %d did not reach the head", on);
        return 0;
    }
    controlFlags_ = on ? 1 : 0;
    return 1;
}

int32_t CImxSwirSensor::GetTriggerMode(int32_t* on) {
    if (on) *on = static_cast<int32_t>(controlFlags_);
    return 1;
}

int32_t CImxSwirSensor::SetAuxMode(int32_t mode) {
    auxMode_ = mode;
    return 1;
}

int32_t CImxSwirSensor::PulseAuxControl() {
    if (!controller_) return 0;
    int32_t result = 0;
    for (uint8_t value : kAuxPulse) {
        result = controller_->WriteFpgaRegister(kFpgaAuxControl, value);
        Sleep(1);
    }
    return result;
}

int32_t CImxSwirSensor::IsAuxSupported() { return FirmwareVersion() > kFirmwareWithAux ? 1 : 0; }

int32_t CImxSwirSensor::AccessDevice(int32_t, void*) { return 1; }

// ---- Cooler and temperature ----

int32_t CImxSwirSensor::IsCoolingSupported() { return modelVariant_ == variants_.cooled ? 1 : 0; }

int32_t CImxSwirSensor::GetCooling(int32_t* on) {
    if (!IsCoolingSupported() || !controller_) return 0;
    uint8_t state = 0;
    if (!controller_->ReadFpgaRegister(kFpgaCooler, &state)) return 0;
    if (on) *on = state & 1;
    return 1;
}

int32_t CImxSwirSensor::SetCooling(int32_t on) {
    if (!IsCoolingSupported() || !controller_) {
        DebugPrintf(DebugCategory::Sensor, "sensor: no cooler on variant %d", modelVariant_);
        return 0;
    }
    return controller_->WriteFpgaRegister(kFpgaCooler, on ? 1 : 0) ? 1 : 0;
}

double CImxSwirSensor::TemperatureFromRegisters(uint32_t low, uint32_t high) {
    const int32_t whole = static_cast<int32_t>(((high << 5) & 0xFF) | ((low >> 3) & 0x1F));
    const int32_t sign = (high >> 3) & 1;
    return whole - 256.0 * sign + 0.5 * ((low >> 2) & 1) + 0.25 * ((low >> 1) & 1) + 0.125 * (low & 1);
}

int32_t CImxSwirSensor::GetTemperature(double* celsius) {
    uint32_t latch = 0;
    if (!ReadRegisterChecked(kTemperatureLatch, &latch)) return 0;
    // The latch holds the two halves still while they are read.
    bool ok = WriteRegisterChecked(kTemperatureLatch, latch | 1) != 0;
    uint32_t low = 0;
    uint32_t high = 0;
    ok = ReadRegisterChecked(kTemperatureLow, &low) && ok;
    ok = ReadRegisterChecked(kTemperatureHigh, &high) && ok;
    ok = WriteRegisterChecked(kTemperatureLatch, latch & ~1u) && ok;
    if (!ok) return 0;
    if (celsius) *celsius = TemperatureFromRegisters(low, high);
    return 1;
}

}  // namespace vantix
