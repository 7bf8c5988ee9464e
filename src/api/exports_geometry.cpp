// Exports: preview placement, capture geometry, colour mode, sub-sampling,
// wait time and mirroring.
#include <vantix/exports.h>

#include "api/export_call.h"

using vantix::CallSession;

extern "C" {

VANTIX_API int32_t Vantix_SetPreviewWindow(int32_t handle, VantixHwnd parent, int32_t left, int32_t top,
                                           int32_t right, int32_t bottom) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetPreviewWindow(parent, left, top, right, bottom); });
}

VANTIX_API int32_t Vantix_SetCaptureWindow(int32_t handle, int32_t width, int32_t height) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetCaptureWindow(width, height); });
}

VANTIX_API int32_t Vantix_SetCaptureWindowEx(int32_t handle, int32_t totalWidth, int32_t startX, int32_t width,
                                             int32_t totalHeight, int32_t startY, int32_t height) {
    return CallSession(handle, 0, [&](CVantix& s) {
        return s.SetCaptureWindowEx(totalWidth, startX, width, totalHeight, startY, height);
    });
}

VANTIX_API int32_t Vantix_GetCaptureWindowEx(int32_t handle, int32_t* totalWidth, int32_t* startX, int32_t* width,
                                             int32_t* totalHeight, int32_t* startY, int32_t* height) {
    return CallSession(handle, 0, [&](CVantix& s) {
        return s.GetCaptureWindowEx(totalWidth, startX, width, totalHeight, startY, height);
    });
}

VANTIX_API int32_t Vantix_Width(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) { return s.Width(); });
}

VANTIX_API int32_t Vantix_Height(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) { return s.Height(); });
}

VANTIX_API int32_t Vantix_SetColorMode(int32_t handle, int32_t bitsPerPixel) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetColorMode(bitsPerPixel); });
}

VANTIX_API int32_t Vantix_GetColorMode(int32_t handle) {
    return CallSession(handle, -1, [](CVantix& s) { return s.GetColorMode(); });
}

VANTIX_API int32_t Vantix_SetSubSample(int32_t handle, int32_t mode) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetSubSample(mode); });
}

VANTIX_API int32_t Vantix_GetSubSample(int32_t handle) {
    return CallSession(handle, -1, [](CVantix& s) { return s.GetSubSample(); });
}

VANTIX_API int32_t Vantix_SetWaitTime(int32_t handle, int32_t milliseconds) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetWaitTime(milliseconds); });
}

VANTIX_API int32_t Vantix_GetWaitTime(int32_t handle) {
    return CallSession(handle, -1, [](CVantix& s) { return s.GetWaitTime(); });
}

VANTIX_API int32_t Vantix_SetMirrorH(int32_t handle, int32_t on) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetMirrorH(on); });
}

VANTIX_API int32_t Vantix_SetMirrorV(int32_t handle, int32_t on) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetMirrorV(on); });
}

VANTIX_API int32_t Vantix_GetMirrorH(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) { return s.GetMirrorH(); });
}

VANTIX_API int32_t Vantix_GetMirrorV(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) { return s.GetMirrorV(); });
}

}  // extern "C"
