#include "engine/sensor_factory.h"

#include <string_view>

#include "sensors/aptina/aptina_sensors.h"
#include "transport/model_table.h"

namespace vantix {
namespace {

using SensorMaker = std::unique_ptr<CSensorBase> (*)(CControllerBase*, uint8_t);

struct SensorClassEntry {
    std::string_view className;
    SensorMaker make;
};

// Sensor classes the library contains. A class named by the model table but
// missing here makes its models fail to open.
constexpr SensorClassEntry kSensorClasses[] = {
    {"CSensorMT9F001", MakeSensorMT9F001},
    {"CSensorMT9F002", MakeSensorMT9F002},
    {"CSensorMT9J001", MakeSensorMT9J001},
    {"CSensorMT9P001", MakeSensorMT9P001},
};

SensorMaker FindMaker(const char* className) {
    if (className == nullptr) return nullptr;
    for (const SensorClassEntry& entry : kSensorClasses) {
        if (entry.className == className) return entry.make;
    }
    return nullptr;
}

// The 0x3020 board carries one of two sensors; the newer one answers a read
// of its identity register at bus address 0x20 with 0x2E, 0x01.
constexpr uint8_t kProbeBusAddress = 0x20;
constexpr uint8_t kProbeIdentity[2] = {0x2E, 0x01};

}  // namespace

bool IsSensorClassAvailable(uint16_t modelId) {
    const ModelInfo& model = LookupModel(modelId);
    return FindMaker(model.sensorClass) != nullptr &&
           (!model.needsSensorProbe || FindMaker(model.alternateSensorClass) != nullptr);
}

std::unique_ptr<CSensorBase> CreateSensorForModel(uint16_t modelId, CControllerBase* controller,
                                                  SensorCreation* outcome) {
    const ModelInfo& model = LookupModel(modelId);
    if (!IsSensorClassAvailable(modelId)) {
        *outcome = SensorCreation::ClassNotAvailable;
        return nullptr;
    }
    const char* className = model.sensorClass;
    if (model.needsSensorProbe) {
        const uint8_t address[2] = {0x00, 0x00};
        uint8_t identity[2] = {0, 0};
        if (!controller->BusWrite(kProbeBusAddress, address, sizeof address, 3000) ||
            !controller->BusRead(kProbeBusAddress, identity, sizeof identity, 3000)) {
            *outcome = SensorCreation::ProbeFailed;
            return nullptr;
        }
        const bool newer = identity[0] == kProbeIdentity[0] && identity[1] == kProbeIdentity[1];
        if (!newer) className = model.alternateSensorClass;
    }
    std::unique_ptr<CSensorBase> sensor =
        FindMaker(className)(controller, static_cast<uint8_t>(model.busAddress));
    if (model.variantCode) sensor->SetModelVariant(*model.variantCode);
    *outcome = SensorCreation::Created;
    return sensor;
}

}  // namespace vantix
