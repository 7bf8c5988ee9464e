// The session operations behind the exports that read or change a setting:
// capture geometry, mirrors, exposure, temperature and the settings addressed
// by filter id. Settings that only the conversion uses live in the session;
// gains and exposure go to the camera at once.
#include <algorithm>
#include <cmath>

#include "session/error_codes.h"
#include "session/vantix_session.h"

namespace {

using Range = vantix::SettingRange;

bool InRange(int32_t value, Range range) { return range.Contains(value); }

using vantix::StoredFilter;

const StoredFilter* FindStoredFilter(int32_t id) {
    for (const StoredFilter& filter : vantix::kStoredFilters) {
        if (filter.id == id) return &filter;
    }
    return nullptr;
}

// Filter ids with meaning, stored or not.
bool IsKnownFilterId(int32_t id) { return (id >= 1 && id <= 36) || (id >= 100 && id <= 106); }

}  // namespace

// A capture window the camera can deliver: inside the sensor, and a
// sub-sampling the FPGA supports.
bool CVantix::IsCaptureWindowValid(const CaptureGeometry& g, int32_t subSample, const vantix::SensorArea& area) {
    if (!vantix::FitsSensorArea(g, area)) return false;
    return subSample != 3 && subSample != 17 && subSample != 18 && subSample != 19;
}

// ---- Geometry ----

int32_t CVantix::SetPreviewWindow(VantixHwnd parent, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    vantix::ScopedLock settings(settingsLock_);
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    previewParent_ = parent;
    previewRect_ = {left, top, right, bottom};
    return 1;
}

int32_t CVantix::SetCaptureWindow(int32_t width, int32_t height) {
    // Serialised with starting, stopping and snapshots, which program the
    // camera's window themselves.
    vantix::ScopedLock control(controlLock_);
    vantix::ScopedLock settings(settingsLock_);
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (!vantix::RootKeyExists()) {
        RecordError(vantix::kErrorWindow);
        return 0;
    }
    // Presets directly under the root key come first (where applications
    // have kept them); then the presets this library stores for the camera.
    std::vector<CaptureGeometry> presets = vantix::ReadRootSizePresets(modelId_);
    std::vector<CaptureGeometry> cameraPresets;
    vantix::CaptureFormat format;
    if (vantix::LoadSizePresets(SettingsOf(deviceNumber_), &cameraPresets, &format)) {
        presets.insert(presets.end(), cameraPresets.begin(), cameraPresets.end());
    }
    const CaptureGeometry* match = nullptr;
    for (const CaptureGeometry& preset : presets) {
        if (preset.width == width && preset.height == height) {
            match = &preset;
            break;
        }
    }
    if (match == nullptr) {
        RecordError(vantix::kErrorWindow);
        return 0;
    }
    geometry_ = *match;
    if (!IsCaptureWindowValid(geometry_, subSample_, area_)) {
        RecordError(vantix::kErrorCaptureWindow);
        geometry_ = {area_.width, area_.height, area_.width, area_.height, 0, 0, geometry_.bufferCount};
    }
    ProgramCaptureWindow();
    return 1;
}

int32_t CVantix::SetCaptureWindowEx(int32_t totalWidth, int32_t startX, int32_t width, int32_t totalHeight,
                                    int32_t startY, int32_t height) {
    // Serialised with starting, stopping and snapshots, which program the
    // camera's window themselves.
    vantix::ScopedLock control(controlLock_);
    vantix::ScopedLock settings(settingsLock_);
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    // Sensors without a free width or height take only the standard size.
    if ((engine_->GetSensorCapability1() == 0 && width != area_.defaultWidth) ||
        (engine_->GetSensorCapability2() == 0 && height != area_.defaultHeight)) {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    geometry_.totalWidth = totalWidth;
    geometry_.startX = startX;
    geometry_.width = width;
    geometry_.totalHeight = totalHeight;
    geometry_.startY = startY;
    geometry_.height = height;
    if (!IsCaptureWindowValid(geometry_, subSample_, area_)) {
        RecordError(vantix::kErrorCaptureWindow);
        return 0;
    }
    ProgramCaptureWindow();
    return 1;
}

// A running preview keeps the window it started with: frames of another size
// would fail the stream's frame check. The next capture preparation programs
// the stored window.
void CVantix::ProgramCaptureWindow() {
    if (acquisitionState_ == kPreviewRunning) return;
    engine_->SetCaptureWindow(geometry_.startX, geometry_.startY, geometry_.width, geometry_.height, subSample_);
}

// ---- Mirrors ----
// The session names a flip by the axis it mirrors about, the sensor by the
// direction pixels move: the session's horizontal flag drives the sensor's
// vertical mirror and the other way round.

int32_t CVantix::SetMirrorH(int32_t on) {
    vantix::ScopedLock settings(settingsLock_);
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    engine_->SetMirrorV(on != 0);
    camera_.mirrorH = on != 0;
    return 1;
}

int32_t CVantix::SetMirrorV(int32_t on) {
    vantix::ScopedLock settings(settingsLock_);
    if (!engine_) {
        NotifyOnly(vantix::kErrorNoEngine);
        return 0;
    }
    engine_->SetMirrorH(on != 0);
    camera_.mirrorV = on != 0;
    return 1;
}

int32_t CVantix::GetMirrorH() {
    vantix::ScopedLock settings(settingsLock_);
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    return camera_.mirrorH;
}

int32_t CVantix::GetMirrorV() {
    vantix::ScopedLock settings(settingsLock_);
    if (!engine_) {
        NotifyOnly(vantix::kErrorNoEngine);
        return 0;
    }
    return camera_.mirrorV;
}

// ---- Exposure and temperature ----

int32_t CVantix::SetExposureTimeEx(double seconds) {
    vantix::ScopedLock settings(settingsLock_);
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (!engine_->IsExposureSecondsSupported()) {
        RecordError(vantix::kErrorNotSupported);
        return 0;
    }
    if (!std::isfinite(seconds) || !engine_->SetExposureSeconds(seconds)) return 0;
    camera_.exposureSeconds = seconds;
    // The integer exposure counts units of 0.1 ms, so sub-second exposures
    // keep their value.
    camera_.exposure = static_cast<int32_t>(std::clamp(seconds * 10000.0, 0.0, 2147483647.0));
    return 1;
}

double CVantix::GetExposureTimeEx(int32_t* ok) {
    vantix::ScopedLock settings(settingsLock_);
    if (ok != nullptr) *ok = 0;
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return -1.0;
    }
    if (!engine_->IsExposureSecondsSupported()) {
        RecordError(vantix::kErrorNotSupported);
        return -1.0;
    }
    double seconds = 0.0;
    if (!engine_->GetExposureSeconds(&seconds)) return -1.0;
    camera_.exposureSeconds = seconds;
    if (ok != nullptr) *ok = 1;
    return seconds;
}

// Reads the camera's exposure in seconds back into the session after an
// exposure change in other units.
void CVantix::RefreshExposureSeconds() {
    if (engine_->IsExposureSecondsSupported()) engine_->GetExposureSeconds(&camera_.exposureSeconds);
}

// Takes the exposure the sensor actually runs at into the session. A sensor
// clamps what it cannot program (on a short line the line counter's width
// limits long exposures), and a window change re-programs the time in lines
// of the new length; the session's value must follow, or the microsecond
// getter and the stored settings would report a time the camera never had.
// A head that is reprogrammed between frames keeps the request until then.
void CVantix::TakeProgrammedExposure() {
    if (engine_->Sensor() == nullptr || engine_->ExposurePending()) return;
    camera_.exposure = engine_->GetExposureTime();
    RefreshExposureSeconds();
}

int32_t CVantix::SetRealExposureTime(int32_t microseconds) {
    vantix::ScopedLock settings(settingsLock_);
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    const auto units = static_cast<int32_t>(static_cast<double>(microseconds) / 100.0);
    camera_.realExposureRequest = units;
    if (units < engine_->GetExposureTimeMin() || units > engine_->GetExposureTimeMax()) {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    camera_.exposure = units;
    engine_->SetExposureTime(units);
    TakeProgrammedExposure();
    return 1;
}

int32_t CVantix::GetRealExposureTime(int32_t* ok) {
    vantix::ScopedLock settings(settingsLock_);
    if (!engine_) {
        if (ok != nullptr) *ok = 0;
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (ok != nullptr) *ok = 1;
    TakeProgrammedExposure();
    camera_.realExposureResult = camera_.exposure * 100;
    return camera_.realExposureResult;
}

double CVantix::GetTemperatureEx(int32_t* ok) {
    vantix::ScopedLock settings(settingsLock_);
    if (ok != nullptr) *ok = 0;
    double celsius = 0.0;
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return celsius;
    }
    if (!engine_->IsTemperatureSupported()) {
        RecordError(vantix::kErrorNotSupported);
        return celsius;
    }
    const bool read = engine_->GetTemperature(&celsius) != 0;
    RecordError(read ? vantix::kErrorNone : vantix::kErrorConversion);
    if (ok != nullptr) *ok = read;
    return celsius;
}

// ---- Settings by filter id ----

int32_t CVantix::SetFilterValue(int32_t id, int32_t value) {
    vantix::ScopedLock settings(settingsLock_);
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    const auto reject = [this] {
        RecordError(vantix::kErrorArgument);
        return 0;
    };
    if (const StoredFilter* filter = FindStoredFilter(id)) {
        if (!InRange(value, filter->range)) return reject();
        imageSettings_[static_cast<size_t>(filter->index)] = value;
        return 1;
    }
    switch (id) {
        case 6:  // red, green, blue Bayer gains packed in bytes 0, 1, 2
            imageSettings_[vantix::kBayerGainRed] = value & 0xFF;
            imageSettings_[vantix::kBayerGainGreen] = (value >> 8) & 0xFF;
            imageSettings_[vantix::kBayerGainBlue] = (value >> 16) & 0xFF;
            return 1;
        case 10:
            imageSettings_[vantix::kBayerGainAuto] = value != 0;
            return 1;
        case 13:
            if (!InRange(value, {engine_->GetGainMin(), engine_->GetGainMax()})) return reject();
            camera_.globalGain = value;
            camera_.colorGainGreen1 = camera_.colorGainRed = camera_.colorGainBlue = camera_.colorGainGreen2 = value;
            engine_->SetGain(value);
            return 1;
        case 14:
        case 15:
        case 16:
        case 17: {
            if (!InRange(value, {engine_->GetColorGainMin(), engine_->GetColorGainMax()})) return reject();
            if (id == 14) {
                camera_.colorGainRed = value;
                engine_->SetColorGainRed(value);
            } else if (id == 15) {
                camera_.colorGainGreen1 = value;
                engine_->SetColorGainGreen1(value);
            } else if (id == 16) {
                camera_.colorGainGreen2 = value;
                engine_->SetColorGainGreen2(value);
            } else {
                camera_.colorGainBlue = value;
                engine_->SetColorGainBlue(value);
            }
            return 1;
        }
        case 18:
            if (!InRange(value, {engine_->GetExposureTimeMin(), engine_->GetExposureTimeMax()})) return reject();
            camera_.exposure = value;
            engine_->SetExposureTime(value);
            TakeProgrammedExposure();
            return 1;
        case 28:
            if (!InRange(value, {0, 1})) return reject();
            imageSettings_[vantix::kFilter28] = value;
            return 1;
        case 100:
            if (!engine_->IsCoolingSupported()) {
                RecordError(vantix::kErrorNotSupported);
                return 0;
            }
            return engine_->SetCooling(value);
        case 102:
        case 103:
            if (!InRange(value, {0, 1})) return reject();
            (id == 102 ? dotFilter_ : maskFilter_) = value;
            return 1;
        case 104:
            // Without a gain mode the engine answers 0 for "refused"; say why.
            if (!engine_->IsOutputModeSupported()) {
                RecordError(vantix::kErrorNotSupported);
                return 0;
            }
            return engine_->SetOutputMode(value);
        case 105:
            if (!engine_->IsExposureModeSupported()) {
                RecordError(vantix::kErrorNotSupported);
                return 0;
            }
            if (!engine_->SetExposureMode(value > 0)) {
                RecordError(vantix::kErrorEngineRefused);
                return 0;
            }
            return 1;
        case 106:
            if (!engine_->IsBlackLevelSupported()) {
                RecordError(vantix::kErrorNotSupported);
                return 0;
            }
            if (!engine_->SetBlackLevel(value)) {
                RecordError(vantix::kErrorEngineRefused);
                return 0;
            }
            camera_.blackLevel = value;
            RecordError(vantix::kErrorNone);
            return 1;
        default:  // 29-36 and 101 are not settable; anything else is unknown
            return reject();
    }
}

int32_t CVantix::GetFilterValue(int32_t id, int32_t* ok) {
    vantix::ScopedLock settings(settingsLock_);
    const auto fail = [&](int32_t code, int32_t result) {
        if (ok != nullptr) *ok = 0;
        RecordError(code);
        return result;
    };
    if (!engine_) return fail(vantix::kErrorNoEngine, 0);
    if (!IsKnownFilterId(id)) return fail(vantix::kErrorArgument, 0);
    if (ok != nullptr) *ok = 1;
    if (const StoredFilter* filter = FindStoredFilter(id)) return imageSettings_[static_cast<size_t>(filter->index)];
    switch (id) {
        case 6:
            return (imageSettings_[vantix::kBayerGainRed] & 0xFF) | (imageSettings_[vantix::kBayerGainGreen] & 0xFF) << 8 |
                   (imageSettings_[vantix::kBayerGainBlue] & 0xFF) << 16;
        case 10:
            return imageSettings_[vantix::kBayerGainAuto];
        case 13:
            return engine_->GetGain();
        case 14:
            return engine_->GetColorGainRed();
        case 15:
            return engine_->GetColorGainGreen1();
        case 16:
            return engine_->GetColorGainGreen2();
        case 17:
            return engine_->GetColorGainBlue();
        case 18:
            return engine_->GetExposureTime();
        case 100: {
            if (!engine_->IsCoolingSupported()) return fail(vantix::kErrorNotSupported, -1);
            int32_t on = 0;
            engine_->GetCooling(&on);
            return on;
        }
        case 101:
            return fail(vantix::kErrorNotSupported, -1);
        case 102:
            return dotFilter_;
        case 103:
            return maskFilter_;
        case 104:
            // The engine's -1 for "no gain mode" is not a mode.
            if (!engine_->IsOutputModeSupported()) return fail(vantix::kErrorNotSupported, -1);
            return engine_->GetOutputMode();
        case 105: {
            if (!engine_->IsExposureModeSupported()) return fail(vantix::kErrorNotSupported, 0);
            int32_t mode = 0;
            if (!engine_->GetExposureMode(&mode)) return fail(vantix::kErrorEngineRefused, 0);
            RecordError(vantix::kErrorNone);
            return mode != 0;
        }
        case 106: {
            if (!engine_->IsBlackLevelSupported()) return fail(vantix::kErrorNotSupported, 0);
            camera_.blackLevel = engine_->GetBlackLevel();
            RecordError(vantix::kErrorNone);
            return camera_.blackLevel;
        }
        default:  // 28 and 29-36 cannot be read
            return fail(vantix::kErrorArgument, 0);
    }
}
