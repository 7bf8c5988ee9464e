#include "emulator/personalities/personality_factory.h"

#include "emulator/personalities/aptina_personality.h"
#include "emulator/personalities/camera_bus_head.h"
#include "emulator/personalities/imx_personality.h"

namespace vantix::emulator {

std::unique_ptr<SensorPersonality> MakeSensorPersonality(EmulatedSensor sensor) {
    switch (sensor) {
        case EmulatedSensor::PlainRegisters: return MakePlainRegisterFile();
        case EmulatedSensor::MT9F001: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9F001);
        case EmulatedSensor::MT9F002: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9F002);
        case EmulatedSensor::MT9J001: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9J001);
        case EmulatedSensor::MT9P001: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9P001);
        case EmulatedSensor::IMX273: return MakeImxPersonality(ImxSensorKind::IMX273);
    }
    return MakePlainRegisterFile();
}

std::unique_ptr<HeadPersonality> MakeHeadPersonality(const VirtualModel& model) {
    switch (model.window) {
        case WindowRegisters::Standard:
        case WindowRegisters::Wide: return nullptr;
        case WindowRegisters::CameraSized: return std::make_unique<CameraBusHead>(model);
    }
    return nullptr;
}

}  // namespace vantix::emulator
