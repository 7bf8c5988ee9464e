#include "session/vantix_session.h"

#include <cstring>
#include <new>

#include "drivers/camera_interface_class.h"
#include "platform/window_messages.h"
#include "preview/x11_preview_window.h"
#include "session/error_codes.h"

namespace {

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
    if (!CreateFullSensorImages()) return false;
    vantix::LoadGeometry(SettingsOf(deviceNumber_), &geometry_, area_);
    engine_->SetModelId(modelId_);
    engine_->Open(0, &vantix::kCameraInterfaceClass);
    if (engine_->EnumerateDevices(modelId_) == 1) SetDeviceNumber(0);
    LoadSettingsOfModel();
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
