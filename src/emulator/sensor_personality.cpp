#include "emulator/sensor_personality.h"

namespace vantix::emulator {

bool PlainRegisterFile::Write(const uint8_t* data, size_t count) {
    if (count < 2) return false;
    pointer_ = static_cast<uint16_t>(data[0] << 8 | data[1]);
    for (size_t i = 2; i < count; ++i) bytes_[pointer_++] = data[i];
    if (count > 2) pointer_ = static_cast<uint16_t>(data[0] << 8 | data[1]);
    return true;
}

bool PlainRegisterFile::Read(uint8_t* data, size_t count) {
    for (size_t i = 0; i < count; ++i) data[i] = bytes_[pointer_++];
    return true;
}

uint16_t PlainRegisterFile::Word(uint16_t address) const {
    return static_cast<uint16_t>(bytes_[address] << 8 | bytes_[static_cast<uint16_t>(address + 1)]);
}

std::unique_ptr<SensorPersonality> MakePlainRegisterFile() { return std::make_unique<PlainRegisterFile>(); }

}  // namespace vantix::emulator
