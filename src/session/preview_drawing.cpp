// The session's preview window: made for Preview, CallBackPreview and Record
// when the application asked for one, drawn into by the preview worker after
// each converted frame, and destroyed by Close.
#include <atomic>
#include <cstdio>
#include <optional>

#include "imaging/preview_scaler.h"
#include "platform/clock.h"
#include "platform/x11_window_target.h"
#include "preview/x11_preview_window.h"
#include "imaging/frame_converter.h"
#include "session/vantix_session.h"

namespace {

using vantix::kSlotColor24;
using vantix::kSlotPreview;
using vantix::kSlotRaw16;
using vantix::kSlotRaw8;

bool ShowsGray(int32_t colorMode) { return colorMode == 0 || colorMode == 1; }

// A window class name of its own for every session and every start.
std::string NewClassName(const void* session) {
    static std::atomic<uint32_t> starts{0};
    char name[48];
    std::snprintf(name, sizeof name, "VideoRenderer_%08x_%08x",
                  static_cast<uint32_t>(reinterpret_cast<uintptr_t>(session)),
                  vantix::TimeGetTime() + 0x9E3779B9u * ++starts);
    return name;
}

}  // namespace

// Where the preview window goes, read under the settings lock; nothing when
// no window can be made.
std::optional<vantix::PreviewWindowPlacement> CVantix::PreviewPlacement() const {
    vantix::ScopedLock settings(settingsLock_);
    vantix::PreviewWindowPlacement placement;
    if (previewParent_ != nullptr) {
        // Only an X11 window can be a parent.
        placement.parent = vantix::X11WindowOf(previewParent_);
        if (placement.parent == 0) return std::nullopt;
        placement.x = previewRect_.left;
        placement.y = previewRect_.top;
        placement.width = previewRect_.right;
        placement.height = previewRect_.bottom;
        placement.title = "ActiveMovie Window";
    } else {
        if (!WantsPreviewWindow()) return std::nullopt;
        // A window of its own, the size of the image.
        const int32_t divisor = vantix::SubSampleDivisor(subSample_);
        placement.width = geometry_.width / divisor;
        placement.height = geometry_.height / divisor;
        placement.title = "Active Window";
    }
    return placement;
}

bool CVantix::CreatePreviewWindow() {
    std::optional<vantix::PreviewWindowPlacement> found = PreviewPlacement();
    if (!found) return false;
    vantix::PreviewWindowPlacement& placement = *found;
    placement.className = NewClassName(this);
    std::unique_ptr<vantix::X11PreviewWindow> window = vantix::X11PreviewWindow::Create(placement);
    if (!window) return false;
    std::unique_ptr<vantix::X11PreviewWindow> previous;
    {
        vantix::ScopedLock lock(imageLock_);
        previous = std::move(previewWindow_);
        previewWindow_ = std::move(window);
        previewClassName_ = placement.className;
    }
    return true;  // a replaced window goes here, outside the lock
}

void CVantix::DestroyPreviewWindow() {
    std::unique_ptr<vantix::X11PreviewWindow> window;
    {
        vantix::ScopedLock lock(imageLock_);
        window = std::move(previewWindow_);
        previewClassName_.clear();
    }
}

unsigned long CVantix::PreviewWindowXid() {
    vantix::ScopedLock lock(imageLock_);
    return previewWindow_ ? previewWindow_->Xid() : 0;
}

std::string CVantix::PreviewClassName() {
    vantix::ScopedLock lock(imageLock_);
    return previewClassName_;
}

// previewImage at the window's client size: 8-bit gray for colour modes 0
// and 1, 24-bit otherwise. Kept while the size stays.
bool CVantix::EnsurePreviewImage(int32_t width, int32_t height) {
    vantix::CDibImage* preview = images_[kSlotPreview].get();
    const int32_t bits = ShowsGray(activeColorMode_) ? 8 : 24;
    if (preview->Width() == width && preview->Height() == height && preview->BitsPerPixel() == bits) return true;
    preview->Release();
    return preview->Create(width, height, bits) != 0;
}

// Called while preparing a capture, under the image lock.
void CVantix::SizePreviewImageToWindow() {
    if (!previewWindow_) return;
    const vantix::X11PreviewWindow::ClientArea area = previewWindow_->QueryClientArea();
    if (area.visible && area.width > 0 && area.height > 0) EnsurePreviewImage(area.width, area.height);
}

// Draws the converted frame into the preview window; under the image lock.
// Returns 1 when a picture was sent, 0 when there is no visible window or it
// could not be drawn.
int32_t CVantix::DrawFrame() {
    if (!previewWindow_) return 0;
    const vantix::X11PreviewWindow::ClientArea area = previewWindow_->QueryClientArea();
    if (!area.visible || area.width <= 0 || area.height <= 0) return 0;

    // The display source: 8-bit gray or 24-bit colour.
    const int32_t mode = activeColorMode_;
    vantix::CDibImage* source = images_[ShowsGray(mode) ? kSlotRaw8 : kSlotColor24].get();
    if (mode == 1 && !vantix::HighBytesToGray8(*images_[kSlotRaw16], source)) return 0;
    if (mode >= 3 && !vantix::ColorToBgr24(*ClientImage(), source)) return 0;
    if (source->IsEmpty()) return 0;

    vantix::PreviewPicture picture;
    picture.palette = source->Header().colors;
    if (area.width == source->Width() && area.height == source->Height() && mode != 1) {
        // Same size: the source as it is, memory row 0 at the top.
        picture.bits = source->Bits();
        picture.stride = source->Stride();
        picture.width = source->Width();
        picture.height = source->Height();
        picture.bytesPerPixel = source->BytesPerPixel();
        picture.lastRowOnTop = false;
    } else {
        if (!EnsurePreviewImage(area.width, area.height)) return 0;
        vantix::CDibImage* preview = images_[kSlotPreview].get();
        const vantix::StretchRoutine scaler = ShowsGray(mode) ? vantix::ScaleGray8 : vantix::ScaleBgr24;
        if (!preview->ApplyStretched(scaler, source, nullptr, nullptr, &previewColumns_, nullptr)) return 0;
        // The scaler reversed the rows; shown last row first, the picture
        // stands as the source does.
        picture.bits = preview->Bits();
        picture.stride = preview->Stride();
        picture.width = preview->Width();
        picture.height = preview->Height();
        picture.bytesPerPixel = preview->BytesPerPixel();
        picture.palette = preview->Header().colors;
        picture.lastRowOnTop = true;
    }
    return previewWindow_->Present(picture) ? 1 : 0;
}
