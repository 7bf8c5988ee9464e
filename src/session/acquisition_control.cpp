// How a session acquires frames: capture preparation, starting and stopping
// the preview, prepared single-frame capture, snapshots and image reads. The
// preview worker itself is in preview_worker.cpp.
#include <cstring>

#include "platform/window_messages.h"
#include "session/error_codes.h"
#include "imaging/frame_converter.h"
#include "session/vantix_session.h"

namespace {

// Client image slot of each colour-mode index.
constexpr int kClientSlot[6] = {0, 1, 2, 3, 4, 5};
constexpr int kRaw8Slot = 0;
constexpr int kRaw16Slot = 1;
constexpr int kScratchSlot = 6;

bool UsesSixteenBitRaw(int32_t colorMode) { return colorMode == 1 || colorMode == 4 || colorMode == 5; }

// Creates or keeps an image of the given format: preparing the same capture
// twice reuses the memory instead of allocating per snapshot.
bool EnsureImage(vantix::CDibImage* image, int32_t width, int32_t height, int32_t bits) {
    if (image->Width() == width && image->Height() == height && image->BitsPerPixel() == bits) return true;
    return image->Create(width, height, bits) != 0;
}

}  // namespace

vantix::CDibImage* CVantix::RawImage() const {
    return images_[UsesSixteenBitRaw(activeColorMode_) ? kRaw16Slot : kRaw8Slot].get();
}

vantix::CDibImage* CVantix::ClientImage() const {
    if (activeColorMode_ < 0 || activeColorMode_ > 5) return nullptr;
    return images_[static_cast<size_t>(kClientSlot[activeColorMode_])].get();
}

void CVantix::PostFrameMessage(uintptr_t wParam, intptr_t lParam) {
    if (callbackWindow_ != nullptr) vantix::PostWindowMessage(callbackWindow_, vantix::kMessageFrame, wParam, lParam);
}

bool CVantix::ResizeClientImages(int32_t width, int32_t height) {
    const int32_t mode = activeColorMode_;
    bool ok = true;
    if (mode >= 0 && mode <= 3) ok = ok && EnsureImage(images_[kRaw8Slot].get(), width, height, 8);
    if (UsesSixteenBitRaw(mode)) ok = ok && EnsureImage(images_[kRaw16Slot].get(), width, height, 16);
    if (mode != 1) ok = ok && EnsureImage(images_[2].get(), width, height, 24);
    if (mode == 3) ok = ok && EnsureImage(images_[3].get(), width, height, 32);
    if (mode == 4) ok = ok && EnsureImage(images_[4].get(), width, height, 48);
    if (mode == 5) ok = ok && EnsureImage(images_[5].get(), width, height, 64);
    vantix::CDibImage* client = ClientImage();
    vantix::CDibImage* scratch = images_[kScratchSlot].get();
    if (ok && client != nullptr && !(scratch->Width() == client->Width() && scratch->Height() == client->Height() &&
                                     scratch->BitsPerPixel() == client->BitsPerPixel())) {
        ok = scratch->CopyFormat(client) != 0;
    }
    return ok;
}

// The camera's settings as the session holds them, re-applied before every
// acquisition so that the sensor matches the session whatever happened since.
void CVantix::ReapplyCameraSettings() {
    vantix::ScopedLock settings(settingsLock_);
    engine_->SetMirrorH(camera_.mirrorV);
    engine_->SetMirrorV(camera_.mirrorH);
    engine_->SetTriggerMode(0, 1);
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
    camera_.realExposureResult = camera_.exposure * 100;
    if (engine_->IsSensorModeSupported()) engine_->SetSensorMode(0);
    if (engine_->IsOutputModeSupported()) {
        engine_->SetOutputMode(0);
        engine_->SetOutputMode(camera_.gainMode);
    }
    if (engine_->IsBlackLevelSupported()) engine_->SetBlackLevel(camera_.blackLevel);
    engine_->RestartReadout();
}

bool CVantix::PrepareCapture() {
    if (!engine_->IsDeviceAttached(engine_->GetSelectedInstance())) {
        RecordError(vantix::kErrorNoCamera);
        return false;
    }
    vantix::ScopedLock lock(imageLock_);
    // The window and camera settings stay put until the camera has them.
    vantix::ScopedLock settings(settingsLock_);
    if (!IsCaptureWindowValid(geometry_, subSample_, area_)) {
        RecordError(vantix::kErrorCaptureWindow);
        return false;
    }
    const int32_t divisor = vantix::SubSampleDivisor(subSample_);
    // A colour mode read from damaged settings cannot be captured.
    const int32_t colorMode = colorModeIndex_;
    if (colorMode < 0 || colorMode > 5) {
        RecordError(vantix::kErrorArgument);
        return false;
    }
    activeColorMode_ = colorMode;
    if (!ResizeClientImages(geometry_.width / divisor, geometry_.height / divisor)) {
        RecordError(vantix::kErrorMemory);
        return false;
    }
    SizePreviewImageToWindow();
    engine_->SetBitMode(UsesSixteenBitRaw(activeColorMode_) ? 1 : 0);
    if (!engine_->SetCaptureWindow(geometry_.startX, geometry_.startY, geometry_.width, geometry_.height,
                                   subSample_)) {
        RecordError(vantix::kErrorCaptureWindow);
        return false;
    }
    ReapplyCameraSettings();
    return true;
}

// ---- Preview ----

bool CVantix::WantsPreviewWindow() const {
    return previewParent_ != nullptr || previewRect_.left != 0 || previewRect_.top != 0 || previewRect_.right != 0 ||
           previewRect_.bottom != 0;
}

int32_t CVantix::StartPreview() {
    vantix::ScopedLock control(controlLock_);
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (acquisitionState_ == kPreviewRunning) return 1;
    if (acquisitionState_ == kCapturePrepared) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    {
        // The engine and its sensor are changed by one thread at a time.
        vantix::ScopedLock lock(imageLock_);
        vantix::ScopedLock settings(settingsLock_);
        if (!PrepareCapture()) return 0;
        if (!engine_->StartCapture(vantix::kCaptureContinuous)) {
            StopPreview();
            RecordError(vantix::kErrorEngineRefused);
            return 0;
        }
        acquisitionState_ = kPreviewRunning;
    }
    if (!StartPreviewWorker()) {
        StopPreview();
        RecordError(vantix::kErrorThread);
        return 0;
    }
    return 1;
}

int32_t CVantix::StopPreview() {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    // The worker would wait for itself: a callback that stops the preview
    // from the worker's own thread is refused instead.
    if (previewThread_.IsCurrent() || recorderThread_.IsCurrent()) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    vantix::ScopedLock control(controlLock_);
    previewRun_ = 0;
    previewStop_.Set();
    if (acquisitionState_.exchange(kIdle) != kIdle) StopEngineCapture();
    // Joined without the image and settings locks: the worker takes them.
    previewThread_.Join();
    StopRecording();
    return 1;
}

void CVantix::StopEngineCapture() {
    vantix::ScopedLock lock(imageLock_);
    vantix::ScopedLock settings(settingsLock_);
    engine_->StopCapture();
}

int32_t CVantix::Preview() { return CallBackPreview(nullptr, nullptr, 0, 0); }

// The worker reads the callback target under the image lock while it hands
// out a frame; a preview that is already running picks up the new target at
// its next frame.
void CVantix::SetCallbackTarget(VantixHwnd window, void* buffer, int32_t size, int32_t orientation) {
    vantix::ScopedLock lock(imageLock_);
    callbackWindow_ = window;
    clientBuffer_ = buffer;
    clientBufferSize_ = size;
    clientOrientation_ = orientation;
}

int32_t CVantix::CallBackPreview(VantixHwnd window, void* buffer, int32_t size, int32_t bottomUp) {
    vantix::ScopedLock control(controlLock_);
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    SetCallbackTarget(window, buffer, size, bottomUp);
    if (WantsPreviewWindow() && !CreatePreviewWindow()) {
        RecordError(vantix::kErrorWindow);
        return 0;
    }
    if (!StartPreview()) {
        Close();
        RecordError(vantix::kErrorTransfer);
        return 0;
    }
    return 1;
}

int32_t CVantix::Close() {
    vantix::ScopedLock control(controlLock_);
    DestroyPreviewWindow();
    if (engine_ && !previewThread_.IsCurrent()) StopPreview();
    imageAvailable_ = 0;
    if (engine_) StopEngineCapture();
    acquisitionState_ = kIdle;
    return 1;
}

// ---- Single frames ----

int32_t CVantix::Capture() {
    vantix::ScopedLock control(controlLock_);
    if (!engine_ || acquisitionState_ == kPreviewRunning) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (acquisitionState_ == kCapturePrepared) return 1;
    if (!PrepareCapture()) return 0;
    acquisitionState_ = kCapturePrepared;
    return 1;
}

int32_t CVantix::SnapShot(void* buffer, int32_t size, int32_t bottomUp) {
    vantix::ScopedLock control(controlLock_);
    if (!engine_ || acquisitionState_ == kPreviewRunning) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    const bool prepared = acquisitionState_ == kCapturePrepared;
    // Property calls from other threads wait for the snapshot: the sensor
    // keeps the settings the frame is taken with.
    vantix::ScopedLock lock(imageLock_);
    vantix::ScopedLock settings(settingsLock_);
    if (!prepared && !PrepareCapture()) return 0;
    const auto fail = [&](int32_t code) {
        if (!prepared) engine_->StopCapture();
        RecordError(code);
        return 0;
    };
    if (!engine_->StartCapture(vantix::kCaptureSingle) || engine_->WaitFrame(snapshotTimeoutMs_) != vantix::kWaitNewFrame) {
        return fail(vantix::kErrorTransfer);
    }
    if (!FetchFrame()) {
        PostFrameMessage(0, vantix::kErrorTransfer);
        return fail(vantix::kErrorTransfer);
    }
    ConvertFrame();
    if (buffer != nullptr && size != 0 && !CopyClientImage(buffer, size, bottomUp)) return fail(vantix::kErrorMemory);
    if (!prepared) engine_->StopCapture();
    imageAvailable_ = 1;
    return 1;
}

int32_t CVantix::GetImage(void* buffer, int32_t size, int32_t bottomUp) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    vantix::ScopedLock lock(imageLock_);
    vantix::CDibImage* client = ClientImage();
    if (client == nullptr) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (client->IsEmpty() || buffer == nullptr) {
        RecordError(vantix::kErrorMemory);
        return 0;
    }
    if (!CopyClientImage(buffer, size, bottomUp)) {
        RecordError(vantix::kErrorMemory);
        return 0;
    }
    return 1;
}

// Copies the client image with its row padding. A non-zero orientation keeps
// the stored row order; zero puts the last stored row first.
bool CVantix::CopyClientImage(void* buffer, int32_t size, int32_t orientation) {
    const vantix::CDibImage* client = ClientImage();
    if (client == nullptr || client->IsEmpty()) return false;
    const size_t stride = static_cast<size_t>(client->Stride());
    const size_t rows = static_cast<size_t>(client->Height());
    if (size < 0 || static_cast<size_t>(size) < rows * stride) {
        PostFrameMessage(0, vantix::kErrorMemory);
        RecordError(vantix::kErrorMemory);
        return false;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    if (orientation != 0) {
        std::memcpy(out, client->Bits(), rows * stride);
    } else {
        for (size_t r = 0; r < rows; ++r) std::memcpy(out + r * stride, client->Row(static_cast<int32_t>(rows - 1 - r)), stride);
    }
    return true;
}
