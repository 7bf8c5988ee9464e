#include "emulator/personalities/personality_factory.h"

#include "emulator/personalities/aptina_personality.h"
#include "emulator/personalities/camera_bus_head.h"
#include "emulator/personalities/imx_bus_head.h"
#include "emulator/personalities/imx_personality.h"
#include "emulator/personalities/ccd_timing_personality.h"
#include "emulator/personalities/fpga_timed_personality.h"
#include "emulator/personalities/cooled_ingaas_personality.h"
#include "emulator/personalities/mailbox_personality.h"
#include "emulator/personalities/q113_sensor_personality.h"
#include "emulator/personalities/serial_head_personality.h"
#include "emulator/personalities/sensor_bus_eeprom_head.h"
#include "emulator/personalities/sensor_status_head.h"
#include "emulator/personalities/video_converter_personality.h"

namespace vantix::emulator {

std::unique_ptr<SensorPersonality> MakeSensorPersonality(EmulatedSensor sensor) {
    switch (sensor) {
        case EmulatedSensor::PlainRegisters: return MakePlainRegisterFile();
        case EmulatedSensor::MT9F001: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9F001);
        case EmulatedSensor::MT9F002: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9F002);
        case EmulatedSensor::MT9J001: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9J001);
        case EmulatedSensor::MT9P001: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9P001);
        case EmulatedSensor::IMX273: return MakeImxPersonality(ImxSensorKind::IMX273);
        case EmulatedSensor::Q113: return MakeQ113SensorPersonality();
        case EmulatedSensor::IMX174: return MakeImxPersonality(ImxSensorKind::IMX174);
        case EmulatedSensor::IMX178: return MakeImxPersonality(ImxSensorKind::IMX178);
        case EmulatedSensor::IMX183: return MakeImxPersonality(ImxSensorKind::IMX183);
        case EmulatedSensor::IMX159: return MakeImxPersonality(ImxSensorKind::IMX159);
        case EmulatedSensor::IMX226: return MakeImxPersonality(ImxSensorKind::IMX226);
        case EmulatedSensor::LI7050: return MakeImxPersonality(ImxSensorKind::LI7050);
        case EmulatedSensor::GLUX9701: return MakeImxPersonality(ImxSensorKind::GLUX9701);
        case EmulatedSensor::IMX250: return MakeImxPersonality(ImxSensorKind::IMX250);
        case EmulatedSensor::IMX252: return MakeImxPersonality(ImxSensorKind::IMX252);
        case EmulatedSensor::IMX264: return MakeImxPersonality(ImxSensorKind::IMX264);
        case EmulatedSensor::IMX487: return MakeImxPersonality(ImxSensorKind::IMX487);
        case EmulatedSensor::IMX536: return MakeImxPersonality(ImxSensorKind::IMX536);
        case EmulatedSensor::IMX990: return MakeImxPersonality(ImxSensorKind::IMX990);
        case EmulatedSensor::IMX991: return MakeImxPersonality(ImxSensorKind::IMX991);
    }
    return MakePlainRegisterFile();
}

std::unique_ptr<HeadPersonality> MakeHeadPersonality(const VirtualModel& model) {
    if (model.window == WindowRegisters::CameraSized) return std::make_unique<CameraBusHead>(model);
    switch (model.head) {
        case EmulatedHead::Standard: return nullptr;
        case EmulatedHead::CcdResidentProgram:
        case EmulatedHead::CcdLoadedProgram:
        case EmulatedHead::CcdLoadedFpgaGain: return std::make_unique<CcdTimingHead>(model);
        case EmulatedHead::FpgaTimedArea:
        case EmulatedHead::FpgaTimedCooledArea:
        case EmulatedHead::FpgaTimedLines: return std::make_unique<FpgaTimedHead>(model);
        case EmulatedHead::SerialBridge: return std::make_unique<SerialHeadPersonality>(model);
        case EmulatedHead::Mailbox2048:
        case EmulatedHead::Mailbox4096:
            return std::make_unique<MailboxPersonality>(model, MailboxDescriptionOf(model.head));
        case EmulatedHead::VideoConverter: return std::make_unique<VideoConverterPersonality>(model);
        case EmulatedHead::CooledInGaAs: return std::make_unique<CooledInGaAsPersonality>(model);
        case EmulatedHead::SensorBusEeprom: return std::make_unique<SensorBusEepromHead>(model);
        case EmulatedHead::SensorStatusWord: return std::make_unique<SensorStatusHead>(model);
        case EmulatedHead::ImxBus: return std::make_unique<ImxBusHead>(model);
    }
    return nullptr;
}

}  // namespace vantix::emulator
