#pragma once
// The Aptina CMOS sensors behind the virtual camera's serial bus: files of
// 16-bit registers, big-endian on the bus, with 16-bit register addresses
// (MT9F001, MT9F002, MT9J001) or 8-bit ones (MT9P001), each described as a
// register map (register_map_sensor.h). Frame timing follows the programmed
// line and frame length, picture brightness the programmed exposure and
// gain. Register 0 (chip version) is read only.
#include <cstdint>
#include <memory>

#include "emulator/register_map_sensor.h"

namespace vantix::emulator {

enum class AptinaSensorKind : uint8_t { MT9F001, MT9F002, MT9J001, MT9P001 };

class AptinaPersonality : public RegisterMapSensor {
public:
    explicit AptinaPersonality(AptinaSensorKind kind);
    AptinaSensorKind Kind() const { return kind_; }

private:
    AptinaSensorKind kind_;
};

// The sensor of a camera model as the emulator's model table names it: 0x3020
// carries MT9F002 (or MT9F001 when `olderSensor` is set), 0x3030 MT9P001,
// 0x3040 and 0x3042 MT9J001. Other models: nullptr.
std::unique_ptr<SensorPersonality> MakeAptinaPersonality(uint16_t modelId, bool olderSensor = false);
std::unique_ptr<SensorPersonality> MakeMt9f001Personality();

}  // namespace vantix::emulator
