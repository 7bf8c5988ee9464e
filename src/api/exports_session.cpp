// Exports: session lifetime, library version, error history and device naming.
#include <vantix/exports.h>

#include "api/export_call.h"

using vantix::CallSession;

namespace {
constexpr int32_t kDllVersion = 0x01F50520;
}

extern "C" {

VANTIX_API int32_t Vantix_Initialize(VantixHwnd window) {
    const int32_t handle = SdkChain().CreateSession();
    if (handle == 0) return 0;
    // The handle is returned even when setting the session up fails; the cause
    // is in its error history.
    CallSession(handle, false, [&](CVantix& session) { return session.Initialize(window); });
    return handle;
}

VANTIX_API int32_t Vantix_Release(int32_t handle) {
    CVantix* session = nullptr;
    if (!SdkChain().Detach(handle, &session)) return 0;
    try {
        delete session;
    } catch (...) {
        vantix::DebugOutput(vantix::DebugCategory::Api, "vantix: releasing a session failed");
    }
    return 1;
}

VANTIX_API int32_t Vantix_GetDllVersion(void) { return kDllVersion; }

VANTIX_API int32_t Vantix_GetLastError(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) { return s.PopError(); });
}

VANTIX_API int32_t Vantix_SetDeviceNumber(int32_t handle, int32_t index) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetDeviceNumber(index); });
}

VANTIX_API int32_t Vantix_EnumDevice(int32_t handle, char* names) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.EnumDevice(names); });
}

VANTIX_API int32_t Vantix_EnumDeviceW(int32_t handle, char16_t* names) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.EnumDeviceW(names); });
}

VANTIX_API int32_t Vantix_GetDeviceName(int32_t handle, int32_t index, char* name, int32_t size) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.GetDeviceName(index, name, size); });
}

VANTIX_API int32_t Vantix_GetDeviceNameW(int32_t handle, int32_t index, char16_t* name, int32_t size) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.GetDeviceNameW(index, name, size); });
}

VANTIX_API int32_t Vantix_GetCameraInfo(int32_t handle, VantixCameraInfo* info) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.GetCameraInfo(info); });
}

VANTIX_API int32_t Vantix_GetStatus(int32_t handle, int32_t /*reserved*/) {
    return CallSession(handle, 0, [](CVantix&) { return 0; });
}

}  // extern "C"
