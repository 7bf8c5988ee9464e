#pragma once
// The standard head with a byte EEPROM of 256 cells on the sensor bus at
// write address 0xA0 (reads at 0xA1): [cell, value] programs a cell, [cell]
// moves the pointer, a read returns cells from the pointer on. Cells start
// erased (0xFF).
#include <array>

#include "emulator/head_personality.h"

namespace vantix::emulator {

class SensorBusEepromHead : public HeadPersonality {
public:
    explicit SensorBusEepromHead(const VirtualModel& model);

    bool BusWrite(uint8_t address, const uint8_t* data, size_t count) override;
    bool BusRead(uint8_t address, uint8_t* data, size_t count) override;

    uint8_t Cell(uint8_t cell) const { return cells_[cell]; }

private:
    std::array<uint8_t, 256> cells_{};
    uint8_t pointer_ = 0;
};

}  // namespace vantix::emulator
