#pragma once
// The CCD sensor classes and their factories, as the engine's sensor factory
// names them. Construction sends nothing to the camera.
#include <cstdint>
#include <memory>

#include "sensors/ccd/ccd_sensor.h"

namespace vantix {

// The 1600 x 1200 CCD head (model 0x3050): resident timing program, exposure
// in lines, mirror flags only.
class CSensorICX274 final : public CCcdSensor {
public:
    CSensorICX274(CControllerBase* controller, uint8_t deviceAddress);
};

// The interline CCD heads: 2336 x 1752 (0x3090), 4896 x 3264 (0x30B0) and
// 6576 x 4384 (0x30C0), each loading its timing-generator program.
class CSensorQ105 final : public CCcdSensor {
public:
    CSensorQ105(CControllerBase* controller, uint8_t deviceAddress);
};
class CSensorQ106 final : public CCcdSensor {
public:
    CSensorQ106(CControllerBase* controller, uint8_t deviceAddress);
};
class CSensorQ107 final : public CCcdSensor {
public:
    CSensorQ107(CControllerBase* controller, uint8_t deviceAddress);
};

std::unique_ptr<CSensorBase> MakeSensorICX274(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorQ105(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorQ106(CControllerBase* controller, uint8_t deviceAddress);
std::unique_ptr<CSensorBase> MakeSensorQ107(CControllerBase* controller, uint8_t deviceAddress);

}  // namespace vantix
