#pragma once
// The FPGA-timed sensor classes and their factories, as the engine's sensor
// factory names them. Construction sends nothing to the camera.
#include <cstdint>
#include <memory>

#include "sensors/fpga_timed/fpga_timed_head.h"

namespace vantix {

// InGaAs area heads: 640 x 512 (0x3150) and 320 x 256 (0x3170).
class CSensorQ114 final : public CFpgaTimedHead {
public:
    CSensorQ114(CControllerBase* controller, uint8_t deviceAddress);
};
class CSensorQ115 final : public CFpgaTimedHead {
public:
    CSensorQ115(CControllerBase* controller, uint8_t deviceAddress);
};

// Line-scan heads of 256 (0x31A0), 1024 (0x31D0) and 2048 (0x3210) pixels.
class CSensorQ116 final : public CFpgaTimedHead {
public:
    CSensorQ116(CControllerBase* controller, uint8_t deviceAddress);
};
class CSensorQ118 final : public CFpgaTimedHead {
public:
    CSensorQ118(CControllerBase* controller, uint8_t deviceAddress);
};
class CSensorQ122 final : public CFpgaTimedHead {
public:
    CSensorQ122(CControllerBase* controller, uint8_t deviceAddress);
};

std::unique_ptr<CSensorBase> MakeSensorQ114(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorQ115(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorQ116(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorQ117(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorQ118(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorQ122(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorG1467x(CControllerBase* controller, uint8_t deviceAddress);

}  // namespace vantix
