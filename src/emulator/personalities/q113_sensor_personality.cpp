#include "emulator/personalities/q113_sensor_personality.h"

#include "emulator/register_map_sensor.h"

namespace vantix::emulator {
namespace {

// Power-on values: the full window (rows from 68, columns from 132), the
// default exposure of 1240 lines and gain code 2, mirrors off, standby on.
constexpr RegisterWord kPowerOn[] = {
    {0x0002, 0x0000}, {0x0004, 68},   {0x0005, 1024},   {0x0006, 132},    {0x0007, 1280},
    {0x000F, 1240},   {0x0023, 0x0202}, {0x0024, 0x0202}, {0x003E, 0x0001}, {0x0300, 1444},
    {0x0301, 1049},
};
constexpr uint16_t kReadOnly[] = {0x0300, 0x0301};

constexpr RegisterMapDescription kMap{
    .addressBytes = 2, .valueBytes = 2, .bytesPerAddress = 2,
    .powerOn = kPowerOn, .readOnly = kReadOnly,
    .lineLength = {0x0300}, .frameLength = {0x0301},
    .exposureLines = {0x000F}, .gainCode = {0x0023, 1, 0x00FF}, .pixelClockKHz = 37125,
};

}  // namespace

std::unique_ptr<SensorPersonality> MakeQ113SensorPersonality() { return std::make_unique<RegisterMapSensor>(kMap); }

}  // namespace vantix::emulator
