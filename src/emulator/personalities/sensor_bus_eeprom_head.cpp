#include "emulator/personalities/sensor_bus_eeprom_head.h"

namespace vantix::emulator {
namespace {

constexpr uint8_t kEepromAddress = 0xA0;

}  // namespace

SensorBusEepromHead::SensorBusEepromHead(const VirtualModel& model) : HeadPersonality(model) { cells_.fill(0xFF); }

bool SensorBusEepromHead::BusWrite(uint8_t address, const uint8_t* data, size_t count) {
    if (address != kEepromAddress) return HeadPersonality::BusWrite(address, data, count);
    if (count == 0) return false;
    pointer_ = data[0];
    for (size_t i = 1; i < count; ++i) cells_[pointer_++] = data[i];
    return true;
}

bool SensorBusEepromHead::BusRead(uint8_t address, uint8_t* data, size_t count) {
    if (address != kEepromAddress) return HeadPersonality::BusRead(address, data, count);
    for (size_t i = 0; i < count; ++i) data[i] = cells_[pointer_++];
    return true;
}

}  // namespace vantix::emulator
