#include "emulator/personalities/camera_bus_head.h"

namespace vantix::emulator {
namespace {

constexpr uint16_t kBankBit = 0x8000;
// The sensor's output width and height registers.
constexpr uint16_t kOutputWidth = 0x034C;
constexpr uint16_t kOutputHeight = 0x034E;

}  // namespace

CameraBusHead::CameraBusHead(const VirtualModel& model)
    : HeadPersonality(model), outputWidth_(model.width), outputHeight_(model.height) {}

void CameraBusHead::WriteCameraRegister(uint16_t key, uint32_t value) {
    if ((key & kBankBit) != 0) {
        HeadPersonality::WriteCameraRegister(key, value);
        return;
    }
    const uint8_t bytes[4] = {static_cast<uint8_t>(key >> 8), static_cast<uint8_t>(key),
                              static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    if (!Sensor().Write(bytes, sizeof bytes)) return;
    if (key == kOutputWidth) outputWidth_ = value & 0xFFFF;
    if (key == kOutputHeight) outputHeight_ = value & 0xFFFF;
}

uint32_t CameraBusHead::ReadCameraRegister(uint16_t key) {
    if ((key & kBankBit) != 0) return HeadPersonality::ReadCameraRegister(key);
    const uint8_t address[2] = {static_cast<uint8_t>(key >> 8), static_cast<uint8_t>(key)};
    uint8_t value[2] = {};
    if (!Sensor().Write(address, sizeof address) || !Sensor().Read(value, sizeof value)) return 0;
    return static_cast<uint32_t>(value[0] << 8 | value[1]);
}

FrameGeometry CameraBusHead::Geometry(uint8_t modeByte) const {
    FrameGeometry geometry = HeadPersonality::Geometry(modeByte);
    geometry.width = outputWidth_;
    geometry.height = outputHeight_;
    return geometry;
}

}  // namespace vantix::emulator
