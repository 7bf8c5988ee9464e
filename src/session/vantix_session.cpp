#include "session/vantix_session.h"

#include <cstring>
#include <new>

#include "catalog/library_model.h"
#include "drivers/camera_interface_class.h"
#include "platform/window_messages.h"
#include "preview/x11_preview_window.h"
#include "session/error_codes.h"

namespace {

// Full-sensor images for the defect mask and the conversion, made once per
// session: slot, bits per pixel.
constexpr int32_t kSensorWidth = vantix::kLibrarySensorWidth;
constexpr int32_t kSensorHeight = vantix::kLibrarySensorHeight;
struct FullSensorSlot {
    int slot;
    int32_t bits;
};
constexpr FullSensorSlot kFullSensorSlots[] = {
    {8, 8}, {9, 8}, {12, 8}, {13, 8}, {16, 8}, {10, 16}, {11, 16}, {14, 16}, {15, 16}, {17, 16},
};
// The white references of the mask start all ones: 8-bit slot 9 and 16-bit slot 11.
constexpr int kWhiteReference8 = 9;
constexpr int kWhiteReference16 = 11;

}  // namespace

CVantix::CVantix() = default;

CVantix::~CVantix() {
    // Settings of the current camera survive the session. A failed save is
    // posted to the notification window (code 12) while it still can be.
    const int32_t camera = engine_ ? engine_->GetSelectedInstance() : 0;
    (void)SaveSettingsOfCamera(camera);
    // The preview worker and the camera's transfer stop before the engine goes.
    if (engine_) Close();
    if (engine_) {
        engine_->GetSelectedInstance();
        engine_->Close();
        engine_.reset();
    }
    for (auto& image : images_) image.reset();
}

bool CVantix::Initialize(VantixHwnd window) {
    engine_.reset(new (std::nothrow) vantix::CVantixUSB3K9SimpleSdk());
    for (auto& image : images_) image.reset(new (std::nothrow) vantix::CDibImage());
    notifyWindow_ = window;
    // Camera arrival and removal are not announced to windows on this
    // platform; registering only requires a window that exists.
    if (window != nullptr && !vantix::IsLiveWindow(window)) return false;
    bool allocated = engine_ != nullptr;
    for (const auto& image : images_) allocated = allocated && image != nullptr;
    if (!allocated) {
        RecordError(vantix::kErrorMemory);
        return false;
    }
    // Zero-filled memory that is not resident until written: the defect-mask
    // references cost nothing until a mask is used.
    for (const FullSensorSlot& full : kFullSensorSlots) {
        if (!images_[static_cast<size_t>(full.slot)]->Create(kSensorWidth, kSensorHeight, full.bits)) return false;
    }
    vantix::LoadGeometry(deviceNumber_, &geometry_);
    engine_->SetModelId(vantix::kLibraryModelId);
    engine_->Open(0, &vantix::kCameraInterfaceClass);
    if (engine_->EnumerateDevices(vantix::kLibraryModelId) == 1) SetDeviceNumber(0);
    vantix::LoadFilterSettings(0, &imageSettings_);
    vantix::LoadGraySettings(0, &imageSettings_);
    vantix::LoadCameraSettings(engine_->GetSelectedInstance(), &camera_, EngineDefaults());
    vantix::CaptureFormat format{0, colorModeIndex_, subSample_, waitTimeMs_, clock_};
    vantix::LoadFormat(deviceNumber_, &format);
    colorModeIndex_ = format.colorModeIndex;
    subSample_ = format.subSample;
    waitTimeMs_ = format.waitTimeMs;
    clock_ = format.clock;
    return true;
}

// The white references are filled when the mask first needs them rather than
// at Initialize, so that an idle session keeps 32 MB of ones out of memory.
void CVantix::EnsureMaskReferencesFilled() {
    // The references belong to the mask lock (taken inside the image lock
    // where both are held); the lock is recursive for callers that hold it.
    vantix::ScopedLock lock(maskLock_);
    if (maskReferencesFilled_) return;
    for (int slot : {kWhiteReference8, kWhiteReference16}) {
        vantix::CDibImage* image = images_[static_cast<size_t>(slot)].get();
        if (image != nullptr && !image->IsEmpty()) std::memset(image->Bits(), 0xFF, image->ImageBytes());
    }
    maskReferencesFilled_ = true;
}

void CVantix::RecordError(int32_t code) {
    errorHistory_.Push(code, [&] {
        if (notifyWindow_ != nullptr) {
            vantix::PostWindowMessage(notifyWindow_, vantix::kMessageError, 0, code);
        }
    });
}

// Posting to "no window" would go to the calling thread's own message queue on
// a desktop system; here it has no receiver, so a null window gets nothing.
void CVantix::NotifyOnly(int32_t code) {
    if (notifyWindow_ != nullptr) {
        vantix::PostWindowMessage(notifyWindow_, vantix::kMessageError, 0, code);
    }
}

int32_t CVantix::PopError() { return errorHistory_.Pop(); }

int32_t CVantix::LoadConfigFile(const char* fileName) {
    std::vector<std::pair<int32_t, int32_t>> records;
    switch (vantix::LoadConfigFile(fileName, &records)) {
        case vantix::ConfigFileResult::kLoaded:
            break;
        case vantix::ConfigFileResult::kNotOpened:
            return 0;  // a file that does not open is reported by the result alone
        case vantix::ConfigFileResult::kRefused:
            RecordError(vantix::kErrorArgument);
            return 0;
    }
    vantix::ScopedLock lock(maskLock_);
    configList_ = std::move(records);
    return 1;
}

std::vector<std::pair<int32_t, int32_t>> CVantix::ConfigList() const {
    vantix::ScopedLock lock(const_cast<vantix::CriticalSection&>(maskLock_));
    return configList_;
}
