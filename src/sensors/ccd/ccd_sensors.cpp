#include "sensors/ccd/ccd_sensors.h"

#include "sensors/ccd/ccd_members.h"

namespace vantix {

CSensorICX274::CSensorICX274(CControllerBase* controller, uint8_t deviceAddress)
    : CCcdSensor(controller, deviceAddress, ccd::kICX274) {}
CSensorQ105::CSensorQ105(CControllerBase* controller, uint8_t deviceAddress)
    : CCcdSensor(controller, deviceAddress, ccd::kQ105) {}
CSensorQ106::CSensorQ106(CControllerBase* controller, uint8_t deviceAddress)
    : CCcdSensor(controller, deviceAddress, ccd::kQ106) {}
CSensorQ107::CSensorQ107(CControllerBase* controller, uint8_t deviceAddress)
    : CCcdSensor(controller, deviceAddress, ccd::kQ107) {}

std::unique_ptr<CSensorBase> MakeSensorICX274(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorICX274>(controller, deviceAddress);
}
std::unique_ptr<CSensorBase> MakeSensorQ105(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ105>(controller, deviceAddress);
}
std::unique_ptr<CSensorBase> MakeSensorQ106(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ106>(controller, deviceAddress);
}
std::unique_ptr<CSensorBase> MakeSensorQ107(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorQ107>(controller, deviceAddress);
}

}  // namespace vantix
