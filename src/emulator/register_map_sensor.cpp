#include "emulator/register_map_sensor.h"

#include <algorithm>

namespace vantix::emulator {

RegisterMapSensor::RegisterMapSensor(const RegisterMapDescription& description)
    : map_(description),
      bytes_(size_t{description.addressBytes == 1 ? 0x100u : 0x10000u} * description.bytesPerAddress) {
    for (const RegisterWord& entry : map_.powerOn) SetWord(entry.address, entry.value);
    nominalExposureMs_ = ExposureMs(std::max<uint32_t>(1, Field(map_.exposureLines)));
    nominalGain_ = std::max<double>(1, Field(map_.gainCode));
}

size_t RegisterMapSensor::Offset(uint32_t address) const {
    const uint32_t mask = map_.addressBytes == 1 ? 0xFFu : 0xFFFFu;
    return size_t{address & mask} * map_.bytesPerAddress;
}

bool RegisterMapSensor::IsReadOnly(size_t offset) const {
    for (uint16_t address : map_.readOnly) {
        const size_t start = Offset(address);
        if (offset >= start && offset < start + map_.valueBytes) return true;
    }
    return false;
}

bool RegisterMapSensor::Write(const uint8_t* data, size_t count) {
    const size_t addressBytes = map_.addressBytes;
    if (data == nullptr || count < addressBytes) return false;
    const uint32_t address = addressBytes == 1 ? data[0] : static_cast<uint32_t>(data[0] << 8 | data[1]);
    pointer_ = Offset(address);
    for (size_t i = addressBytes; i < count; ++i) {
        if (!IsReadOnly(pointer_)) bytes_[pointer_] = data[i];
        pointer_ = (pointer_ + 1) % bytes_.size();
    }
    return true;
}

bool RegisterMapSensor::Read(uint8_t* data, size_t count) {
    if (data == nullptr && count != 0) return false;
    for (size_t i = 0; i < count; ++i) {
        data[i] = bytes_[pointer_];
        pointer_ = (pointer_ + 1) % bytes_.size();
    }
    return true;
}

uint16_t RegisterMapSensor::Word(uint16_t address) const {
    const size_t offset = Offset(address);
    if (map_.valueBytes == 1) return bytes_[offset];
    return static_cast<uint16_t>(bytes_[offset] << 8 | bytes_[(offset + 1) % bytes_.size()]);
}

void RegisterMapSensor::SetWord(uint16_t address, uint16_t value) {
    const size_t offset = Offset(address);
    if (map_.valueBytes == 1) {
        bytes_[offset] = static_cast<uint8_t>(value);
        return;
    }
    bytes_[offset] = static_cast<uint8_t>(value >> 8);
    bytes_[(offset + 1) % bytes_.size()] = static_cast<uint8_t>(value);
}

uint32_t RegisterMapSensor::Field(const RegisterField& field) const {
    if (field.address == 0) return 0;
    uint32_t value = 0;
    if (map_.valueBytes == 1) {
        for (uint8_t i = 0; i < field.registers; ++i) {
            value |= uint32_t{Word(static_cast<uint16_t>(field.address + i))} << (8 * i);
        }
    } else {
        value = Word(field.address);
    }
    return value & field.mask;
}

uint32_t RegisterMapSensor::Length(const RegisterField& direct, const SkippedLength& derived) const {
    if (direct.address != 0) return Field(direct);
    const uint32_t factor = Field(derived.skipMode) + 1u;
    const uint32_t size = Field(derived.size) + 1u;
    return (size + factor - 1) / factor + Field(derived.blank);
}

uint32_t RegisterMapSensor::PixelClockKHz() const {
    if (map_.clockDivider.address != 0) {
        const uint32_t divider = Field(map_.clockDivider);
        for (const ClockChoice& choice : map_.clockChoices) {
            if (choice.dividerValue == divider) return choice.pixelClockKHz;
        }
    }
    return map_.pixelClockKHz;
}

uint32_t RegisterMapSensor::LineLengthPixels() const { return Length(map_.lineLength, map_.derivedLineLength); }

uint32_t RegisterMapSensor::FrameLengthLines() const { return Length(map_.frameLength, map_.derivedFrameLength); }

uint32_t RegisterMapSensor::FramePeriodUs() const {
    const uint64_t lines = std::max<uint64_t>(FrameLengthLines(), uint64_t{Field(map_.exposureLines)} + 1);
    const uint64_t clocks = uint64_t{LineLengthPixels()} * lines;
    const uint64_t us = clocks * 1000 / std::max<uint32_t>(PixelClockKHz(), 1);
    return static_cast<uint32_t>(std::clamp<uint64_t>(us, 1, UINT32_MAX));
}

// Integration time in milliseconds: exposure lines x line length / pixel
// clock, so a short line integrates for less time than a long one. An
// unprogrammed exposure counts as one line, as at power-on.
double RegisterMapSensor::ExposureMs(uint32_t lines) const {
    return static_cast<double>(lines) * std::max<uint32_t>(LineLengthPixels(), 1) / std::max<uint32_t>(PixelClockKHz(), 1);
}

double RegisterMapSensor::Brightness() const {
    return (ExposureMs(Field(map_.exposureLines)) / nominalExposureMs_) * (Field(map_.gainCode) / nominalGain_);
}

}  // namespace vantix::emulator
