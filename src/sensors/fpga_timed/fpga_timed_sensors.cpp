#include "sensors/fpga_timed/fpga_timed_sensors.h"

#include "sensors/fpga_timed/fpga_timed_members.h"
#include "sensors/fpga_timed/sensor_g1467x.h"
#include "sensors/fpga_timed/sensor_q117.h"

namespace vantix {

CSensorQ114::CSensorQ114(CControllerBase* controller, uint8_t deviceAddress)
    : CFpgaTimedHead(controller, deviceAddress, fpga_timed::kQ114) {}
CSensorQ115::CSensorQ115(CControllerBase* controller, uint8_t deviceAddress)
    : CFpgaTimedHead(controller, deviceAddress, fpga_timed::kQ115) {}
CSensorQ116::CSensorQ116(CControllerBase* controller, uint8_t deviceAddress)
    : CFpgaTimedHead(controller, deviceAddress, fpga_timed::kQ116) {}
CSensorQ118::CSensorQ118(CControllerBase* controller, uint8_t deviceAddress)
    : CFpgaTimedHead(controller, deviceAddress, fpga_timed::kQ118) {}
CSensorQ122::CSensorQ122(CControllerBase* controller, uint8_t deviceAddress)
    : CFpgaTimedHead(controller, deviceAddress, fpga_timed::kQ122) {}

std::unique_ptr<CSensorBase> MakeSensorQ114(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ114>(controller, deviceAddress);
}
std::unique_ptr<CSensorBase> MakeSensorQ115(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ115>(controller, deviceAddress);
}
std::unique_ptr<CSensorBase> MakeSensorQ116(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ116>(controller, deviceAddress);
}
std::unique_ptr<CSensorBase> MakeSensorQ117(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ117>(controller, deviceAddress);
}
std::unique_ptr<CSensorBase> MakeSensorQ118(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ118>(controller, deviceAddress);
}
std::unique_ptr<CSensorBase> MakeSensorQ122(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ122>(controller, deviceAddress);
}
std::unique_ptr<CSensorBase> MakeSensorG1467x(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorG1467x>(controller, deviceAddress);
}

}  // namespace vantix
