// Selecting a camera: its settings are saved when the session leaves it and
// loaded and applied to the engine when the session takes it.
#include "session/error_codes.h"
#include "session/vantix_session.h"

vantix::CameraDefaults CVantix::EngineDefaults() const {
    vantix::CameraDefaults defaults;
    if (!engine_) return defaults;
    defaults.globalGain = engine_->GetGainDefault();
    defaults.colorGain = engine_->GetColorGainDefault();
    defaults.exposure = engine_->GetExposureTimeDefault();
    defaults.mirrorV = engine_->GetMirrorVDefault();
    defaults.mirrorH = engine_->GetMirrorHDefault();
    defaults.blackLevel = engine_->GetBlackLevelDefault();
    defaults.exposureSecondsSupported = engine_->IsExposureSecondsSupported() != 0;
    if (defaults.exposureSecondsSupported) engine_->GetExposureSeconds(&defaults.exposureSeconds);
    // The ranges only mean something with a camera open.
    vantix::CameraLimits& limits = defaults.limits;
    limits.known = engine_->Sensor() != nullptr;
    if (!limits.known) return defaults;
    limits.gain = {engine_->GetGainMin(), engine_->GetGainMax()};
    limits.colorGain = {engine_->GetColorGainMin(), engine_->GetColorGainMax()};
    limits.exposure = {engine_->GetExposureTimeMin(), engine_->GetExposureTimeMax()};
    limits.blackLevelKnown = engine_->IsBlackLevelSupported() != 0;
    if (limits.blackLevelKnown) limits.blackLevel = {engine_->GetBlackLevelMin(), engine_->GetBlackLevelMax()};
    limits.exposureSecondsKnown = defaults.exposureSecondsSupported &&
                                  engine_->GetExposureSecondsMin(&limits.exposureSecondsMin) != 0 &&
                                  engine_->GetExposureSecondsMax(&limits.exposureSecondsMax) != 0;
    return defaults;
}

void CVantix::LoadSettingsOfCamera(int32_t camera) {
    vantix::LoadCameraSettings(SettingsOf(camera), &camera_, EngineDefaults());
    vantix::LoadFilterSettings(SettingsOf(camera), &imageSettings_);
    vantix::LoadGraySettings(SettingsOf(camera), &imageSettings_);
}

int32_t CVantix::SetSettingsAutosave(int32_t on) {
    settingsAutosave_ = on != 0;
    return 1;
}

bool CVantix::SaveSettingsOfCamera(int32_t camera) {
    if (!settingsAutosave_) return true;
    vantix::ScopedLock settings(settingsLock_);
    // Gains, exposure and mirrors belong to a camera only once one was opened;
    // until then they are placeholders (zero where nothing was stored) that
    // must not replace what the next session would take from the camera.
    bool saved = !settingsLoaded_ || vantix::SaveCameraSettings(SettingsOf(camera), camera_);
    saved = vantix::SaveFilterSettings(SettingsOf(camera), imageSettings_) && saved;
    saved = vantix::SaveGraySettings(SettingsOf(camera), imageSettings_) && saved;
    // The changes would be lost without a word: the application hears of it
    // (also from Vantix_Release, through the notification window).
    if (!saved) RecordError(vantix::kErrorConversion);
    return saved;
}

int32_t CVantix::SetDeviceNumber(int32_t index) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    // The engine creates a new sensor: nothing may use the old one meanwhile.
    vantix::ScopedLock lock(imageLock_);
    vantix::ScopedLock settings(settingsLock_);
    const int32_t current = engine_->GetSelectedInstance();
    if (settingsLoaded_) SaveSettingsOfCamera(current);
    if (!engine_->IsDeviceAttached(index) || !engine_->SelectDevice(index)) {
        RecordError(vantix::kErrorNoCamera);
        return 0;
    }
    LoadSettingsOfCamera(engine_->GetSelectedInstance());
    settingsLoaded_ = 1;
    ApplyCameraSettings();
    deviceNumber_ = index;
    return 1;
}

// The camera's settings in the order the sensor wants them. The session's
// vertical mirror flag drives the sensor's horizontal mirror and the other
// way round: the session names flips by the axis they mirror about.
void CVantix::ApplyCameraSettings() {
    engine_->SetGain(camera_.globalGain);
    engine_->SetColorGainGreen1(camera_.colorGainGreen1);
    engine_->SetColorGainRed(camera_.colorGainRed);
    engine_->SetColorGainBlue(camera_.colorGainBlue);
    engine_->SetColorGainGreen2(camera_.colorGainGreen2);
    if (engine_->IsExposureSecondsSupported() == 1) {
        engine_->SetExposureSeconds(camera_.exposureSeconds);
    } else {
        engine_->SetExposureTime(camera_.exposure);
    }
    engine_->SetMirrorH(camera_.mirrorV);
    engine_->SetMirrorV(camera_.mirrorH);
    if (engine_->IsBlackLevelSupported()) engine_->SetBlackLevel(camera_.blackLevel);
    if (engine_->IsCoolingSupported()) {
        engine_->SetCooling(1);
        camera_.cooler = 1;
    }
    if (engine_->IsExposureModeSupported()) {
        engine_->SetExposureMode(0);
        camera_.shortExposureMode = 0;
    }
    if (engine_->IsOutputModeSupported()) engine_->SetOutputMode(camera_.gainMode);
}
