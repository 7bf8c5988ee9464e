// Exports: preview, snapshots, image reads, recording and still images.
#include <vantix/exports.h>

#include "api/export_call.h"

using vantix::CallSession;
using vantix::CallWithAnsiName;

extern "C" {

VANTIX_API int32_t Vantix_Preview(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) { return s.Preview(); });
}

VANTIX_API int32_t Vantix_Capture(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) { return s.Capture(); });
}

VANTIX_API int32_t Vantix_Close(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) { return s.Close(); });
}

VANTIX_API int32_t Vantix_StartPreview(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) { return s.StartPreview(); });
}

VANTIX_API int32_t Vantix_StopPreview(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) { return s.StopPreview(); });
}

VANTIX_API int32_t Vantix_CallBackPreview(int32_t handle, VantixHwnd window, void* buffer, int32_t size,
                                          int32_t bottomUp) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.CallBackPreview(window, buffer, size, bottomUp); });
}

VANTIX_API int32_t Vantix_SnapShot(int32_t handle, void* buffer, int32_t size, int32_t bottomUp) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SnapShot(buffer, size, bottomUp); });
}

VANTIX_API int32_t Vantix_GetImage(int32_t handle, void* buffer, int32_t size, int32_t bottomUp) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.GetImage(buffer, size, bottomUp); });
}

VANTIX_API int32_t Vantix_Record(int32_t handle, const char* fileName, int32_t durationMs, int32_t showWindow) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.Record(fileName, durationMs, showWindow); });
}

VANTIX_API int32_t Vantix_RecordW(int32_t handle, const char16_t* fileName, int32_t durationMs,
                                  int32_t showWindow) {
    return CallWithAnsiName(handle, fileName,
                            [&](CVantix& s, const char* name) { return s.Record(name, durationMs, showWindow); });
}

VANTIX_API int32_t Vantix_SaveImage(int32_t handle, const char* fileName, int32_t format) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SaveImage(fileName, format); });
}

VANTIX_API int32_t Vantix_SaveImageW(int32_t handle, const char16_t* fileName, int32_t format) {
    return CallWithAnsiName(handle, fileName,
                            [&](CVantix& s, const char* name) { return s.SaveImage(name, format); });
}

}  // extern "C"
