#include "emulator/personalities/cooled_ingaas_personality.h"

#include <cmath>

namespace vantix::emulator {
namespace {

constexpr uint8_t kFirmwareLow = 0x10;
constexpr uint8_t kFirmwareHigh = 0x11;
constexpr uint8_t kAuxPower = 130;
constexpr uint8_t kExposureLow = 133;
constexpr uint8_t kExposureMid = 134;
constexpr uint8_t kExposureHigh = 155;
constexpr uint8_t kCooler = 151;
constexpr uint8_t kTemperatureLow = 160;
constexpr uint8_t kTemperatureHigh = 161;
constexpr double kRoomCelsius = 25.0;
constexpr double kCooledCelsius = -20.0;
constexpr double kCountsPerDegree = 256.0;
constexpr uint32_t kPowerOnLines = 510;
constexpr uint32_t kFramePeriodUs = 33333;

}  // namespace

CooledInGaAsPersonality::CooledInGaAsPersonality(const VirtualModel& model) : HeadPersonality(model) {
    fpga_[kFirmwareHigh] = 1;
    fpga_[kFirmwareLow] = 0;
    fpga_[kAuxPower] = 1;
    fpga_[kExposureLow] = static_cast<uint8_t>(kPowerOnLines);
    fpga_[kExposureMid] = static_cast<uint8_t>(kPowerOnLines >> 8);
}

void CooledInGaAsPersonality::SetTemperature(double celsius) {
    fixedTemperature_ = true;
    celsius_ = celsius;
}

int16_t CooledInGaAsPersonality::Code() const {
    const double celsius = fixedTemperature_ ? celsius_ : (fpga_[kCooler] & 1) ? kCooledCelsius : kRoomCelsius;
    return static_cast<int16_t>(std::lround(celsius * kCountsPerDegree));
}

uint8_t CooledInGaAsPersonality::ReadFpgaRegister(uint8_t reg) {
    const auto code = static_cast<uint16_t>(Code());
    if (reg == kTemperatureLow) {
        ++temperatureReads_;
        return static_cast<uint8_t>(code);
    }
    if (reg == kTemperatureHigh) return static_cast<uint8_t>(code >> 8);
    return HeadPersonality::ReadFpgaRegister(reg);
}

uint32_t CooledInGaAsPersonality::ExposureLines() const {
    return fpga_[kExposureLow] | fpga_[kExposureMid] << 8 | static_cast<uint32_t>(fpga_[kExposureHigh]) << 16;
}

double CooledInGaAsPersonality::Brightness() const { return static_cast<double>(ExposureLines()) / kPowerOnLines; }

uint32_t CooledInGaAsPersonality::FramePeriodUs() const { return kFramePeriodUs; }

}  // namespace vantix::emulator
