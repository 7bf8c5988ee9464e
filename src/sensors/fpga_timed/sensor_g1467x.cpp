#include "sensors/fpga_timed/sensor_g1467x.h"

#include <cmath>

#include "platform/debug_output.h"
#include "sensors/fpga_timed/fpga_timed_members.h"
#include "sensors/fpga_timed/thermistor.h"

namespace vantix {
namespace {

constexpr uint8_t kCodeLow = 4;  // thermistor code, low and high byte
constexpr uint8_t kCodeHigh = 5;
constexpr uint8_t kTargetLow = 80;  // target code, low and high byte
constexpr uint8_t kTargetHigh = 83;
constexpr uint8_t kCooler = 81;  // bit 0: cooler on
constexpr uint8_t kCommand = 82;
constexpr uint8_t kLatch = 84;
constexpr uint8_t kCommandIdle = 0;
constexpr uint8_t kCommandCommitTarget = 1;
constexpr uint8_t kCommandRead = 2;
constexpr uint8_t kLatchWrite = 0;
constexpr uint8_t kLatchRead = 2;

// The longest exposure (0.1 ms) by model variant.
int32_t ExposureTimeMaxOfVariant(int32_t variant) {
    switch (variant) {
        case 105:
        case 106: return 100000000;
        case 107: return 10000000;
        default: return 100000;
    }
}
// Variant 108's head starts with this target code in its low byte.
constexpr int32_t kVariantWithPresetTarget = 108;
constexpr uint8_t kPresetTargetLow = 3;

int32_t Refuse(const char* why) {
    DebugPrintf(DebugCategory::Sensor, "sensor: %s", why);
    return 0;
}

}  // namespace

CSensorG1467x::CSensorG1467x(CControllerBase* controller, uint8_t deviceAddress)
    : CFpgaTimedHead(controller, deviceAddress, fpga_timed::kG1467x) {}

int32_t CSensorG1467x::Initialize() {
    if (!controller_) return Refuse("initialise refused: no controller");
    WaitUntilStarted();
    info_.exposureTime.max = ExposureTimeMaxOfVariant(modelVariant_);
    if (!ApplyAreaDefaults()) return 0;
    if (modelVariant_ == kVariantWithPresetTarget && !WriteFpga(kTargetLow, kPresetTargetLow)) return 0;
    double target = 0;
    if (GetTargetTemperature(&target)) lastTarget_ = target;
    return 1;
}

int32_t CSensorG1467x::IsCoolingSupported() { return 1; }
int32_t CSensorG1467x::IsTemperatureSupported() { return 1; }
int32_t CSensorG1467x::IsTargetTemperatureSupported() { return 1; }

int32_t CSensorG1467x::GetCooling(int32_t* on) {
    uint8_t value = 0;
    if (!ReadFpga(kCooler, &value)) return 0;
    if (on) *on = value & 1;
    return 1;
}

int32_t CSensorG1467x::SetCooling(int32_t on) {
    if (!WriteFpga(kCooler, on ? 1 : 0)) return 0;
    return on ? SetTargetTemperature(lastTarget_) : 1;
}

bool CSensorG1467x::LatchForRead() {
    return WriteFpga(kLatch, kLatchRead) && WriteFpga(kCommand, kCommandIdle) && WriteFpga(kCommand, kCommandRead);
}

int32_t CSensorG1467x::GetTemperature(double* celsius) {
    int32_t cooling = 0;
    if (!GetCooling(&cooling)) return 0;
    uint8_t low = 0, high = 0;
    if (!LatchForRead() || !ReadFpga(kCodeLow, &low) || !ReadFpga(kCodeHigh, &high)) return 0;
    const std::optional<double> t = fpga_timed::ThermistorCelsius(static_cast<uint32_t>(high << 8 | low));
    if (!t) return Refuse("temperature: the thermistor reads open or shorted");
    if (celsius) *celsius = *t;
    return 1;
}

int32_t CSensorG1467x::GetTargetTemperature(double* celsius) {
    uint8_t low = 0, high = 0;
    if (!LatchForRead() || !ReadFpga(kTargetLow, &low) || !ReadFpga(kTargetHigh, &high)) return 0;
    const std::optional<double> t = fpga_timed::ThermistorCelsius(static_cast<uint32_t>(high << 8 | low));
    if (!t) return Refuse("target temperature: the head holds no valid target");
    // The nearest whole degree: a code is the truncation of its target, so
    // 25 degrees reads back as 24.98, which must not become 24.
    if (celsius) *celsius = std::round(*t);
    return 1;
}

int32_t CSensorG1467x::SetTargetTemperature(double celsius) {
    const std::optional<uint16_t> code = fpga_timed::ThermistorCode(celsius);
    if (!code) return Refuse("target temperature refused: not a temperature");
    lastTarget_ = celsius;
    int32_t cooling = 0;
    if (!GetCooling(&cooling)) return 0;
    if (cooling == 0) return Refuse("target temperature: kept until the cooler is switched on");
    return WriteFpga(kTargetLow, *code & 0xFF) && WriteFpga(kTargetHigh, *code >> 8) &&
                   WriteFpga(kLatch, kLatchWrite) && WriteFpga(kCommand, kCommandIdle) &&
                   WriteFpga(kCommand, kCommandCommitTarget)
               ? 1
               : 0;
}

}  // namespace vantix
