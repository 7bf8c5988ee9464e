#include "emulator/personalities/fpga_timed_personality.h"

#include <algorithm>
#include <cmath>

namespace vantix::emulator {
namespace {

constexpr uint8_t kCameraReady = 22;
constexpr uint8_t kExposure = 226;  // 226, 227, 228: bits 0-7, 8-15, 16-23
constexpr uint8_t kGain = 146;
constexpr uint8_t kUnityGain = 64;
constexpr uint8_t kHeightLow = 64;
constexpr uint8_t kHeightHigh = 65;
// Thermistor and cooler.
constexpr uint8_t kCodeLow = 4;
constexpr uint8_t kCodeHigh = 5;
constexpr uint8_t kSetPointLow = 80;
constexpr uint8_t kCooler = 81;
constexpr uint8_t kCommand = 82;
constexpr uint8_t kSetPointHigh = 83;
constexpr uint8_t kLatch = 84;
constexpr uint8_t kCommandCommit = 1;
constexpr uint8_t kCommandRead = 2;

// Clocks of the heads, in clocks per microsecond.
constexpr double kAreaClockPerUs = 6.25;
constexpr double kLineClockPerUs = 5.0;
// The area heads read four pixels per clock.
constexpr double kPixelsPerClock = 4.0;
// The cooled head: 50 ms plus 8 ms per step.
constexpr double kCooledBaseUs = 50000.0;
constexpr double kCooledStepUs = 8000.0;

}  // namespace

FpgaTimedHead::FpgaTimedHead(const VirtualModel& model) : HeadPersonality(model) {
    fpga_[kCameraReady] = 1;
    fpga_[kExposure] = static_cast<uint8_t>(model.exposureReference);
    fpga_[kExposure + 1] = static_cast<uint8_t>(model.exposureReference >> 8);
    fpga_[kExposure + 2] = static_cast<uint8_t>(model.exposureReference >> 16);
    fpga_[kGain] = kUnityGain;
    if (model.head == EmulatedHead::FpgaTimedCooledArea) {
        LatchTemperature();
        fpga_[kSetPointLow] = static_cast<uint8_t>(setPointCode_);
        fpga_[kSetPointHigh] = static_cast<uint8_t>(setPointCode_ >> 8);
    }
}

void FpgaTimedHead::LatchTemperature() {
    fpga_[kCodeLow] = static_cast<uint8_t>(sensorCode_);
    fpga_[kCodeHigh] = static_cast<uint8_t>(sensorCode_ >> 8);
}

void FpgaTimedHead::WriteFpgaRegister(uint8_t reg, uint8_t value) {
    HeadPersonality::WriteFpgaRegister(reg, value);
    if (model_.head != EmulatedHead::FpgaTimedCooledArea || reg != kCommand) return;
    if (value == kCommandCommit && fpga_[kLatch] == 0) {
        setPointCode_ = static_cast<uint16_t>(fpga_[kSetPointLow] | fpga_[kSetPointHigh] << 8);
    } else if (value == kCommandRead && fpga_[kLatch] == kCommandRead) {
        const uint16_t goal = (fpga_[kCooler] & 1) ? setPointCode_ : kAmbientCode;
        const int step = std::clamp(goal - sensorCode_, -int{kDriftCodesPerRead}, int{kDriftCodesPerRead});
        sensorCode_ = static_cast<uint16_t>(sensorCode_ + step);
        LatchTemperature();
        // A read shows the committed set point.
        fpga_[kSetPointLow] = static_cast<uint8_t>(setPointCode_);
        fpga_[kSetPointHigh] = static_cast<uint8_t>(setPointCode_ >> 8);
    }
}

uint32_t FpgaTimedHead::ExposureCount() const {
    return fpga_[kExposure] | fpga_[kExposure + 1] << 8 | fpga_[kExposure + 2] << 16;
}

uint32_t FpgaTimedHead::FrameLines() const { return fpga_[kHeightLow] | fpga_[kHeightHigh] << 8; }

double FpgaTimedHead::ExposureUs(uint32_t count) const {
    switch (model_.head) {
        case EmulatedHead::FpgaTimedCooledArea: return kCooledBaseUs + kCooledStepUs * count;
        case EmulatedHead::FpgaTimedLines: return count / kLineClockPerUs;
        default: return count / kAreaClockPerUs;
    }
}

double FpgaTimedHead::Brightness() const {
    const double reference = ExposureUs(model_.exposureReference);
    const double exposure = reference > 0 ? ExposureUs(ExposureCount()) / reference : 1.0;
    return exposure * fpga_[kGain] / kUnityGain;
}

uint32_t FpgaTimedHead::FramePeriodUs() const {
    const FrameGeometry g = Geometry(0);
    double period = 0;
    if (model_.head == EmulatedHead::FpgaTimedLines) {
        // Each line integrates for one line period while the previous one is read.
        period = FrameLines() * ExposureUs(ExposureCount());
    } else {
        const double readoutUs = static_cast<double>(g.width) * g.height / kPixelsPerClock / kAreaClockPerUs;
        period = ExposureUs(ExposureCount()) + readoutUs;
    }
    return static_cast<uint32_t>(std::clamp(period, 1.0, 60e6));
}

uint32_t FpgaTimedHead::SceneFrameIndex(uint32_t frameCounter) const {
    if (model_.head != EmulatedHead::FpgaTimedLines) return frameCounter;
    return frameCounter * FrameLines();
}

}  // namespace vantix::emulator
