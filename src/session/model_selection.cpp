// Which model of the family a session drives: its sensor's array sizes the
// full-sensor images, the capture window and the presets, and the model's
// cameras keep their settings under a key of their own.
#include "catalog/model_catalog.h"
#include "drivers/camera_interface_class.h"
#include "engine/sensor_factory.h"
#include "session/error_codes.h"
#include "session/vantix_session.h"

namespace {

// Full-sensor images for the defect mask and the conversion: slot, bits per
// pixel.
struct FullSensorSlot {
    int slot;
    int32_t bits;
};
constexpr FullSensorSlot kFullSensorSlots[] = {
    {8, 8}, {9, 8}, {12, 8}, {13, 8}, {16, 8}, {10, 16}, {11, 16}, {14, 16}, {15, 16}, {17, 16},
};

// The array and default window of a model's sensor. A model whose sensor
// class is not part of the library keeps the library's layout: none of its
// cameras can be opened, so nothing is captured at that size.
vantix::SensorArea AreaOfModel(const vantix::ModelRow& model) {
    vantix::SensorInfo info{};
    if (model.modelId == vantix::kLibraryModelId || !vantix::ModelSensorRecord(model, &info)) {
        return vantix::kLibrarySensorArea;
    }
    return {info.maxWidth, info.maxHeight, info.defaultWidth, info.defaultHeight};
}

}  // namespace

vantix::SensorArea CVantix::Area() const {
    vantix::ScopedLock settings(settingsLock_);
    return area_;
}

// Zero-filled memory that is not resident until written: the defect-mask
// references and maps cost nothing until a mask is used.
bool CVantix::CreateFullSensorImages() {
    for (const FullSensorSlot& full : kFullSensorSlots) {
        if (!images_[static_cast<size_t>(full.slot)]->Create(area_.width, area_.height, full.bits)) return false;
    }
    return true;
}

void CVantix::LoadSettingsOfModel() {
    vantix::LoadFilterSettings(SettingsOf(0), &imageSettings_);
    vantix::LoadGraySettings(SettingsOf(0), &imageSettings_);
    vantix::LoadCameraSettings(SettingsOf(engine_->GetSelectedInstance()), &camera_, EngineDefaults());
    vantix::CaptureFormat format{0, colorModeIndex_, subSample_, waitTimeMs_, clock_};
    vantix::LoadFormat(SettingsOf(deviceNumber_), &format);
    colorModeIndex_ = format.colorModeIndex;
    subSample_ = format.subSample;
    waitTimeMs_ = format.waitTimeMs;
    clock_ = format.clock;
}

int32_t CVantix::SetModelId(int32_t modelId) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    const vantix::ModelRow* model =
        modelId >= 0 && modelId <= 0xFFFF ? vantix::FindModel(static_cast<uint16_t>(modelId)) : nullptr;
    if (model == nullptr) {
        RecordError(vantix::kErrorNoCamera);
        return 0;
    }
    // A running preview or recording ends first, as a camera switch ends it.
    Close();
    vantix::ScopedLock control(controlLock_);
    vantix::ScopedLock lock(imageLock_);
    vantix::ScopedLock settings(settingsLock_);
    // The open camera's settings are saved under its own model's key.
    (void)SaveSettingsOfCamera(engine_->GetSelectedInstance());
    engine_->Close();
    settingsLoaded_ = 0;
    deviceNumber_ = 0;
    modelId_ = model->modelId;
    const vantix::SensorArea area = AreaOfModel(*model);
    if (area != area_) {
        vantix::ScopedLock mask(maskLock_);
        area_ = area;
        // Fresh references: the white ones are filled again on first use.
        maskReferencesFilled_ = false;
        if (!CreateFullSensorImages()) RecordError(vantix::kErrorMemory);
    }
    geometry_ = model->modelId == vantix::kLibraryModelId ? CaptureGeometry{} : vantix::DefaultPreset(area_);
    vantix::LoadGeometry(SettingsOf(deviceNumber_), &geometry_, area_);
    engine_->SetModelId(model->modelId);
    engine_->Open(0, &vantix::kCameraInterfaceClass);
    if (engine_->EnumerateDevices(model->modelId) == 1) SetDeviceNumber(0);
    LoadSettingsOfModel();
    return 1;
}

int32_t CVantix::GetModelId() const { return modelId_; }
