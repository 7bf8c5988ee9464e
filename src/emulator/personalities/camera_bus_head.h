#pragma once
// A head whose camera owns the sensor bus: the host reaches the sensor's
// registers as camera registers of bank 0 (the register address as the
// camera register, 16-bit values), and the camera sizes each frame from the
// sensor's output size instead of an FPGA window.
#include <cstdint>

#include "emulator/head_personality.h"

namespace vantix::emulator {

class CameraBusHead : public HeadPersonality {
public:
    explicit CameraBusHead(const VirtualModel& model);

    void WriteCameraRegister(uint16_t key, uint32_t value) override;
    uint32_t ReadCameraRegister(uint16_t key) override;
    FrameGeometry Geometry(uint8_t modeByte) const override;

private:
    // The sensor's output size as last written; the array until then.
    uint32_t outputWidth_;
    uint32_t outputHeight_;
};

}  // namespace vantix::emulator
