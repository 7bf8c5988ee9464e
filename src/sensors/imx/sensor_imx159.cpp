// CSensorIMX159: the head's EEPROM on the sensor bus; the rest is the
// family's.
#include "sensors/imx/sensor_imx159.h"

#include "platform/clock.h"
#include "platform/debug_output.h"
#include "sensors/imx/imx_members.h"
#include "sensors/imx/imx_sensors.h"

namespace vantix {
namespace {

constexpr uint8_t kEepromWrite = 0xA0;
constexpr uint8_t kEepromRead = 0xA1;
constexpr uint32_t kEepromTimeoutMs = 3000;
// The EEPROM programs a byte for up to 5 ms and ignores the bus meanwhile.
constexpr uint32_t kEepromWriteCycleMs = 8;
constexpr int32_t kOpWrite = 0;
constexpr int32_t kOpRead = 1;

}  // namespace

CSensorIMX159::CSensorIMX159(CControllerBase* controller, uint8_t deviceAddress)
    : CImxSensor(controller, deviceAddress, imx::kIMX159) {}

int32_t CSensorIMX159::AccessDevice(int32_t op, void* buffer) {
    if (!controller_ || buffer == nullptr || (op != kOpWrite && op != kOpRead)) {
        DebugPrintf(DebugCategory::Sensor, "sensor: EEPROM access %d refused", op);
        return 0;
    }
    auto* bytes = static_cast<uint8_t*>(buffer);
    if (op == kOpWrite) {
        const uint8_t message[2] = {bytes[0], bytes[1]};
        const int32_t written = controller_->BusWrite(kEepromWrite, message, sizeof message, kEepromTimeoutMs);
        Sleep(kEepromWriteCycleMs);
        return written ? 1 : 0;
    }
    const uint8_t address = bytes[0];
    if (!controller_->BusWrite(kEepromWrite, &address, 1, kEepromTimeoutMs)) return 0;
    uint8_t value = 0;
    if (!controller_->BusRead(kEepromRead, &value, 1, kEepromTimeoutMs)) return 0;
    bytes[1] = value;
    return 1;
}

std::unique_ptr<CSensorBase> MakeSensorIMX159(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorIMX159>(controller, deviceAddress);
}

}  // namespace vantix
