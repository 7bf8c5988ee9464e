// Settings that live in the session alone and take effect at the next capture
// preparation or conversion: colour mode, sub-sampling, wait time, the
// capture geometry read-back and the auto-iris mode.
#include <array>

#include "session/error_codes.h"
#include "session/vantix_session.h"

using vantix::kBitsPerColorMode;

int32_t CVantix::SetColorMode(int32_t bitsPerPixel) {
    for (size_t index = 0; index < kBitsPerColorMode.size(); ++index) {
        if (kBitsPerColorMode[index] == bitsPerPixel) {
            colorModeIndex_ = static_cast<int32_t>(index);
            return 1;
        }
    }
    RecordError(vantix::kErrorArgument);
    return 0;
}

int32_t CVantix::GetColorMode() const {
    if (colorModeIndex_ < 0 || colorModeIndex_ >= static_cast<int32_t>(kBitsPerColorMode.size())) return -1;
    return kBitsPerColorMode[static_cast<size_t>(colorModeIndex_)];
}

int32_t CVantix::SetSubSample(int32_t mode) {
    if (mode < 0 || mode > 2) return 0;
    subSample_ = mode;
    return 1;
}

int32_t CVantix::SetWaitTime(int32_t milliseconds) {
    if (milliseconds < 0) return 0;
    waitTimeMs_ = milliseconds;
    return 1;
}

int32_t CVantix::Width() const {
    vantix::ScopedLock settings(settingsLock_);
    return geometry_.width;
}

int32_t CVantix::Height() const {
    vantix::ScopedLock settings(settingsLock_);
    return geometry_.height;
}

int32_t CVantix::GetCaptureWindowEx(int32_t* totalWidth, int32_t* startX, int32_t* width, int32_t* totalHeight,
                                    int32_t* startY, int32_t* height) {
    vantix::ScopedLock settings(settingsLock_);
    if (totalWidth != nullptr) *totalWidth = geometry_.totalWidth;
    if (startX != nullptr) *startX = geometry_.startX;
    if (width != nullptr) *width = geometry_.width;
    if (totalHeight != nullptr) *totalHeight = geometry_.totalHeight;
    if (startY != nullptr) *startY = geometry_.startY;
    if (height != nullptr) *height = geometry_.height;
    return 1;
}

int32_t CVantix::SetAutoIris(int32_t mode) {
    vantix::ScopedLock settings(settingsLock_);
    if (static_cast<uint32_t>(mode) >= 3) {
        NotifyOnly(vantix::kErrorArgument);
        return 0;
    }
    camera_.autoIris = mode;
    return 1;
}

int32_t CVantix::GetAutoIris(int32_t* ok) {
    vantix::ScopedLock settings(settingsLock_);
    if (ok != nullptr) *ok = 1;
    return camera_.autoIris;
}
