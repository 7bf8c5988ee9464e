#include "emulator/personalities/sensor_status_head.h"

namespace vantix::emulator {
namespace {

constexpr uint8_t kFpgaSensorStatus = 33;
constexpr uint8_t kSensorPowered = 3;

}  // namespace

SensorStatusHead::SensorStatusHead(const VirtualModel& model) : HeadPersonality(model) {
    fpga_[kFpgaSensorStatus] = kSensorPowered;
}

}  // namespace vantix::emulator
