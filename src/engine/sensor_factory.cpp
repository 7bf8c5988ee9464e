#include "engine/sensor_factory.h"

#include "sensors/aptina/aptina_sensors.h"
#include "sensors/aptina/sensor_mt9f002.h"
#include "sensors/imx/imx_sensors.h"
#include "sensors/ccd/ccd_sensors.h"
#include "sensors/fpga_timed/fpga_timed_sensors.h"
#include "sensors/mailbox/mailbox_sensors.h"
#include "sensors/serial_head/serial_head_sensors.h"
#include "sensors/standalone/standalone_sensors.h"

namespace vantix {
namespace {

using SensorMaker = std::unique_ptr<CSensorBase> (*)(CControllerBase*, uint8_t);

// The maker of a class's sensor object; null for a class the library does
// not contain yet. No default: a class added to SensorClass must be
// answered here.
SensorMaker MakerOf(SensorClass sensorClass) {
    switch (sensorClass) {
        case SensorClass::MT9F001: return MakeSensorMT9F001;
        case SensorClass::MT9F002: return MakeSensorMT9F002;
        case SensorClass::MT9P001: return MakeSensorMT9P001;
        case SensorClass::MT9J001: return MakeSensorMT9J001;
        case SensorClass::IMX273: return MakeSensorIMX273;
        case SensorClass::IMX174: return MakeSensorIMX174;
        case SensorClass::IMX178: return MakeSensorIMX178;
        case SensorClass::IMX183: return MakeSensorIMX183;
        case SensorClass::IMX159: return MakeSensorIMX159;
        case SensorClass::IMX226: return MakeSensorIMX226;
        case SensorClass::LI7050: return MakeSensorLI7050;
        case SensorClass::GLUX9701: return MakeSensorGLUX9701;
        case SensorClass::IMX250: return MakeSensorIMX250;
        case SensorClass::IMX252: return MakeSensorIMX252;
        case SensorClass::IMX264: return MakeSensorIMX264;
        case SensorClass::IMX487: return MakeSensorIMX487;
        case SensorClass::IMX536: return MakeSensorIMX536;
        case SensorClass::IMX990: return MakeSensorIMX990;
        case SensorClass::IMX991: return MakeSensorIMX991;
        case SensorClass::ICX274: return MakeSensorICX274;
        case SensorClass::Q105: return MakeSensorQ105;
        case SensorClass::Q106: return MakeSensorQ106;
        case SensorClass::Q107: return MakeSensorQ107;
        case SensorClass::Q121: return MakeSensorQ121;
        case SensorClass::Q119: return MakeSensorQ119;
        case SensorClass::Q123: return MakeSensorQ123;
        case SensorClass::Q113: return MakeSensorQ113;
        case SensorClass::Q112: return MakeSensorQ112;
        case SensorClass::Q120: return MakeSensorQ120;
        case SensorClass::Q114: return MakeSensorQ114;
        case SensorClass::Q115: return MakeSensorQ115;
        case SensorClass::Q116: return MakeSensorQ116;
        case SensorClass::Q117: return MakeSensorQ117;
        case SensorClass::Q118: return MakeSensorQ118;
        case SensorClass::Q122: return MakeSensorQ122;
        case SensorClass::G1467x: return MakeSensorG1467x;
    }
    return nullptr;
}

// Whether the board carries the sensor of `sensorClass`, for rows with a
// probed alternative. Only a class named first on such a row has a probe.
SensorProbe ProbeSensorClass(SensorClass sensorClass, CControllerBase* controller) {
    if (sensorClass == SensorClass::MT9F002) return CSensorMT9F002::Probe(controller);
    return SensorProbe::Fitted;
}

}  // namespace

bool IsSensorClassBuilt(SensorClass sensorClass) { return MakerOf(sensorClass) != nullptr; }

bool IsSensorClassAvailable(const ModelRow& model) {
    return IsSensorClassBuilt(model.sensorClass) &&
           (!model.probedAlternative || IsSensorClassBuilt(*model.probedAlternative));
}

std::unique_ptr<CSensorBase> CreateSensorForModel(const ModelRow& model, CControllerBase* controller,
                                                  SensorCreation* outcome) {
    if (!IsSensorClassAvailable(model)) {
        *outcome = SensorCreation::ClassNotAvailable;
        return nullptr;
    }
    SensorClass sensorClass = model.sensorClass;
    if (model.probedAlternative) {
        switch (ProbeSensorClass(sensorClass, controller)) {
            case SensorProbe::Fitted: break;
            case SensorProbe::NotFitted: sensorClass = *model.probedAlternative; break;
            case SensorProbe::NoAnswer: *outcome = SensorCreation::ProbeFailed; return nullptr;
        }
    }
    std::unique_ptr<CSensorBase> sensor = MakerOf(sensorClass)(controller, static_cast<uint8_t>(model.busAddress));
    if (model.variantCode) sensor->SetModelVariant(*model.variantCode);
    *outcome = SensorCreation::Created;
    return sensor;
}

bool ModelSensorRecord(const ModelRow& model, SensorInfo* info) {
    const SensorMaker maker = MakerOf(model.sensorClass);
    if (maker == nullptr || info == nullptr) return false;
    const std::unique_ptr<CSensorBase> sensor = maker(nullptr, static_cast<uint8_t>(model.busAddress));
    if (model.variantCode) sensor->SetModelVariant(*model.variantCode);
    return sensor->GetSensorInfo(info) != 0;
}

}  // namespace vantix
