// CSensorQ120: fixed windows, exposure, frame rate, trigger, cooler,
// auxiliary power and the temperature monitor of the cooled InGaAs head.
#include "sensors/standalone/sensor_q120.h"

#include <algorithm>
#include <cmath>

#include "platform/clock.h"
#include "sensors/standalone/standalone_sensors.h"

namespace vantix {
namespace {

// FPGA registers.
constexpr uint8_t kTrigger = 88;
constexpr uint8_t kReadoutEnable = 129;  // bit 0 cleared for a while restarts the readout
constexpr uint8_t kAuxPower = 130;
constexpr uint8_t kExposureLow = 133;    // bits 0-7; 134 bits 8-15, 155 bits 16-23
constexpr uint8_t kExposureMid = 134;
constexpr uint8_t kExposureHigh = 155;
constexpr uint8_t kCooler = 151;         // bit 0: Peltier cooler on
constexpr uint8_t kAuxPowerDependent = 143;  // the one window value that follows auxiliary power
constexpr uint32_t kReadoutRestartMs = 100;
constexpr uint16_t kCoolingFirmware = 256;
constexpr int32_t kFrameBlankLines = 46;
constexpr int32_t kLongestFrame = 65535;

// One fixed window: its place, and the 19 FPGA values that program it, in
// the order they are written.
struct RegisterValue {
    uint8_t reg;
    uint8_t value;
};
struct FixedWindow {
    int32_t x, y, width, height;
    RegisterValue registers[19];
    uint8_t valueWithoutAuxPower;  // register 143 when auxiliary power is off
};

constexpr FixedWindow kWindows[] = {
    {0, 0, 640, 512,
     {{68, 128}, {69, 2}, {84, 128}, {85, 2}, {76, 40}, {77, 0}, {131, 57}, {132, 48}, {137, 79}, {135, 0},
      {64, 0}, {65, 2}, {80, 0}, {81, 2}, {72, 0}, {73, 0}, {138, 127}, {136, 0}, {143, 99}},
     99},
    {160, 136, 320, 240,
     {{68, 64}, {69, 1}, {84, 64}, {85, 1}, {76, 24}, {77, 0}, {131, 12}, {132, 40}, {137, 39}, {135, 21},
      {64, 240}, {65, 0}, {80, 240}, {81, 0}, {72, 0}, {73, 0}, {138, 59}, {136, 34}, {143, 99}},
     3},
    {240, 196, 160, 120,
     {{68, 160}, {69, 0}, {84, 64}, {85, 1}, {76, 24}, {77, 0}, {131, 12}, {132, 40}, {137, 19}, {135, 39},
      {64, 120}, {65, 0}, {80, 120}, {81, 0}, {72, 0}, {73, 0}, {138, 29}, {136, 49}, {143, 99}},
     3},
};
constexpr uint8_t kLineLengthLow = 84;  // line length = 85 x 256 + 84
constexpr uint8_t kLineLengthHigh = 85;

int32_t RoundUp(int32_t value, int32_t grid) { return (value + grid - 1) / grid * grid; }

}  // namespace

CSensorQ120::CSensorQ120(CControllerBase* controller, uint8_t deviceAddress)
    : CSensorBase(controller, deviceAddress),
      monitor_([this] { return SampleTemperature(); }, kTemperaturePeriodMs) {
    info_.maxWidth = 640;
    info_.maxHeight = 512;
    info_.defaultWidth = 640;
    info_.defaultHeight = 512;
    info_.areaWidth = 640;
    info_.areaHeight = 512;
    info_.totalWidth = 640;
    info_.totalHeight = 512;
    info_.gain = {.min = 0, .max = 0, .current = 0, .defaultValue = 0, .stepOrSupported = 1};
    info_.exposureLines = {.min = 1, .max = 16777215, .current = 1582, .defaultValue = 510, .stepOrSupported = 1};
    info_.exposureTime = {.min = 1, .max = 1230273, .current = 100, .defaultValue = 37, .stepOrSupported = 1};
    info_.pixelClockKHz = 9000;
    info_.specific84 = 4;
    modelVariant_ = 99;
}

// The monitor reads through the controller: it ends before the sensor does.
CSensorQ120::~CSensorQ120() { monitor_.Stop(); }

int32_t CSensorQ120::Initialize() {
    if (!controller_) return 0;
    SetExposureLines(info_.exposureLines.defaultValue);
    return SetArea(0, info_.maxWidth, 0, info_.maxHeight, 0);
}

int32_t CSensorQ120::SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    if (!controller_) return 0;
    x = RoundUp(x, 4);
    width = RoundUp(width, 4);
    height = RoundUp(height, 4);
    y = RoundUp(y, 2);
    const FixedWindow* window = nullptr;
    for (const FixedWindow& w : kWindows) {
        if (w.x == x && w.y == y && w.width == width && w.height == height) window = &w;
    }
    if (window == nullptr) return 0;
    int32_t auxPower = 0;
    if (!GetAuxPower(&auxPower)) return 0;
    bool ok = true;
    for (const RegisterValue& r : window->registers) {
        const uint8_t value = r.reg == kAuxPowerDependent && !auxPower ? window->valueWithoutAuxPower : r.value;
        ok = controller_->WriteFpgaRegister(r.reg, value) && ok;
    }
    // Restart the readout with the new window, then take the settings.
    uint8_t enable = 0;
    ok = controller_->ReadFpgaRegister(kReadoutEnable, &enable) && ok;
    ok = controller_->WriteFpgaRegister(kReadoutEnable, enable & ~1u) && ok;
    Sleep(kReadoutRestartMs);
    ok = controller_->WriteFpgaRegister(kReadoutEnable, enable | 1u) && ok;
    ok = SettingsStrobe() && ok;
    if (!ok) return 0;
    info_.areaX = x;
    info_.areaY = y;
    info_.areaWidth = width;
    info_.areaHeight = height;
    info_.areaMode = mode;
    uint8_t low = 0;
    uint8_t high = 0;
    for (const RegisterValue& r : window->registers) {
        if (r.reg == kLineLengthLow) low = r.value;
        if (r.reg == kLineLengthHigh) high = r.value;
    }
    info_.totalWidth = high * 256 + low;
    return 1;
}

int32_t CSensorQ120::SetTriggerMode(int32_t on) {
    if (!controller_ || !controller_->WriteFpgaRegister(kTrigger, on ? 1 : 0)) return 0;
    return SettingsStrobe();
}

int32_t CSensorQ120::GetTriggerMode(int32_t* on) {
    uint8_t value = 0;
    if (!controller_ || !controller_->ReadFpgaRegister(kTrigger, &value)) return 0;
    if (on) *on = value;
    return 1;
}

// ---- Exposure and frame rate ----

int32_t CSensorQ120::SetExposureLines(int32_t lines) {
    if (!controller_) return 0;
    const auto n = static_cast<uint32_t>(std::clamp(lines, info_.exposureLines.min, info_.exposureLines.max));
    const bool low = controller_->WriteFpgaRegister(kExposureLow, static_cast<uint8_t>(n)) != 0;
    const bool mid = controller_->WriteFpgaRegister(kExposureMid, static_cast<uint8_t>(n >> 8)) != 0;
    const bool high = controller_->WriteFpgaRegister(kExposureHigh, static_cast<uint8_t>(n >> 16)) != 0;
    if (!(low && mid && high)) return 0;
    info_.exposureLines.current = static_cast<int32_t>(n);
    return 1;
}

double CSensorQ120::LineTime() const { return (info_.totalWidth * 0.0625 + 26) * 10 / info_.pixelClockKHz; }

int32_t CSensorQ120::SetExposureTime(int32_t tenthsOfMs) {
    const double c = LineTime();
    if (tenthsOfMs <= 0 || !(c > 0)) return 0;
    double lines = std::trunc(tenthsOfMs / c);
    int32_t time = tenthsOfMs;
    if (lines > info_.exposureLines.max || lines < info_.exposureLines.min) {
        lines = lines > info_.exposureLines.max ? info_.exposureLines.max : info_.exposureLines.min;
        time = std::max(1, static_cast<int32_t>(lines * c));
    }
    if (!SetExposureLines(static_cast<int32_t>(lines))) return 0;
    info_.exposureTime.current = time;
    return 1;
}

int32_t CSensorQ120::GetExposureTimeMin(int32_t* value) {
    if (value) *value = std::max(1, static_cast<int32_t>(LineTime() * info_.exposureLines.min));
    return 1;
}

int32_t CSensorQ120::GetExposureTimeMax(int32_t* value) {
    if (value) *value = std::max(1, static_cast<int32_t>(LineTime() * info_.exposureLines.max));
    return 1;
}

int32_t CSensorQ120::AccessDevice(int32_t op, void* buffer) {
    if (op != 0 || buffer == nullptr) return 0;
    const int32_t rate = *static_cast<const int32_t*>(buffer);
    if (rate <= 0) return 0;
    const double lineMs = info_.totalWidth * 3 / 2.2 / info_.pixelClockKHz;
    if (!(lineMs > 0)) return 0;
    const double lines = std::trunc(100000.0 / rate / lineMs);
    const double shortest = info_.areaHeight + kFrameBlankLines;
    info_.totalHeight = static_cast<int32_t>(std::clamp(lines, shortest, static_cast<double>(kLongestFrame)));
    // The exposure time stays what it was, in lines of the new timing.
    return SetExposureTime(info_.exposureTime.current);
}

// ---- Cooler, auxiliary power, temperature ----

int32_t CSensorQ120::IsCoolingSupported() { return FirmwareVersion() >= kCoolingFirmware ? 1 : 0; }

int32_t CSensorQ120::GetCooling(int32_t* on) {
    uint8_t value = 0;
    if (!IsCoolingSupported() || !controller_->ReadFpgaRegister(kCooler, &value)) return 0;
    if (on) *on = value & 1;
    return 1;
}

int32_t CSensorQ120::SetCooling(int32_t on) {
    uint8_t value = 0;
    if (!IsCoolingSupported() || !controller_->ReadFpgaRegister(kCooler, &value)) return 0;
    value = on ? (value | 1u) : (value & ~1u);
    return controller_->WriteFpgaRegister(kCooler, value) ? 1 : 0;
}

int32_t CSensorQ120::IsTemperatureSupported() { return IsCoolingSupported(); }

int32_t CSensorQ120::GetAuxPower(int32_t* on) {
    uint8_t value = 0;
    if (!controller_ || !controller_->ReadFpgaRegister(kAuxPower, &value) || value > 1) return 0;
    if (on) *on = value;
    return 1;
}

int32_t CSensorQ120::SetAuxPower(int32_t on) {
    if (!controller_ || (on != 0 && on != 1)) return 0;
    return controller_->WriteFpgaRegister(kAuxPower, static_cast<uint8_t>(on)) ? 1 : 0;
}

std::optional<int16_t> CSensorQ120::SampleTemperature() {
    uint8_t low = 0;
    uint8_t high = 0;
    if (!controller_ || !controller_->ReadFpgaRegister(kTemperatureLow, &low) ||
        !controller_->ReadFpgaRegister(kTemperatureLow + 1, &high)) {
        return std::nullopt;
    }
    return static_cast<int16_t>(static_cast<uint16_t>(high << 8 | low));
}

int32_t CSensorQ120::GetTemperature(double* celsius) {
    if (!IsTemperatureSupported()) return 0;
    const std::optional<double> average = monitor_.Average();
    if (!average) return 0;
    if (celsius) *celsius = *average * kDegreesPerCount;
    return 1;
}

void CSensorQ120::StartTemperatureMonitor() { monitor_.Start(); }

void CSensorQ120::StopTemperatureMonitor() { monitor_.Stop(); }

// ---- Sensor bus ----

int32_t CSensorQ120::WriteRegister(uint32_t address, uint32_t value) { return BusWriteRegister8(address, value); }
int32_t CSensorQ120::ReadRegister(uint32_t address, uint32_t* value) { return BusReadRegister8(address, value); }
int32_t CSensorQ120::WriteRegisterChecked(uint32_t address, uint32_t value) {
    return WriteRegisterCheckedVia(address, value);
}
int32_t CSensorQ120::ReadRegisterChecked(uint32_t address, uint32_t* value) {
    return ReadRegisterCheckedVia(address, value);
}

std::unique_ptr<CSensorBase> MakeSensorQ120(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ120>(controller, deviceAddress);
}

}  // namespace vantix
