#include "emulator/personalities/personality_factory.h"

#include "emulator/personalities/aptina_personality.h"
#include "emulator/personalities/cooled_ingaas_personality.h"
#include "emulator/personalities/mailbox_personality.h"
#include "emulator/personalities/q113_sensor_personality.h"
#include "emulator/personalities/serial_head_personality.h"
#include "emulator/personalities/video_converter_personality.h"

namespace vantix::emulator {

std::unique_ptr<SensorPersonality> MakeSensorPersonality(EmulatedSensor sensor) {
    switch (sensor) {
        case EmulatedSensor::PlainRegisters: return MakePlainRegisterFile();
        case EmulatedSensor::MT9F001: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9F001);
        case EmulatedSensor::MT9F002: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9F002);
        case EmulatedSensor::MT9J001: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9J001);
        case EmulatedSensor::MT9P001: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9P001);
        case EmulatedSensor::Q113: return MakeQ113SensorPersonality();
    }
    return MakePlainRegisterFile();
}

std::unique_ptr<HeadPersonality> MakeHeadPersonality(const VirtualModel& model) {
    switch (model.head) {
        case EmulatedHead::Standard: break;
        case EmulatedHead::SerialBridge: return std::make_unique<SerialHeadPersonality>(model);
        case EmulatedHead::Mailbox2048:
        case EmulatedHead::Mailbox4096:
            return std::make_unique<MailboxPersonality>(model, MailboxDescriptionOf(model.head));
        case EmulatedHead::VideoConverter: return std::make_unique<VideoConverterPersonality>(model);
        case EmulatedHead::CooledInGaAs: return std::make_unique<CooledInGaAsPersonality>(model);
    }
    return std::make_unique<HeadPersonality>(model);
}

}  // namespace vantix::emulator
