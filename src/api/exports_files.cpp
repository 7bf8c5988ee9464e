// Exports: configuration file, defect/flat-field mask files and the settings
// dialogs.
#include <vantix/exports.h>

#include "api/export_call.h"

using vantix::CallSession;
using vantix::CallWithAnsiName;

extern "C" {

VANTIX_API int32_t Vantix_LoadConfigFileA(int32_t handle, const char* fileName) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.LoadConfigFile(fileName); });
}

VANTIX_API int32_t Vantix_LoadConfigFileW(int32_t handle, const char16_t* fileName) {
    return CallWithAnsiName(handle, fileName, [](CVantix& s, const char* name) { return s.LoadConfigFile(name); });
}

VANTIX_API int32_t Vantix_LoadMaskFile(int32_t handle, const char* fileName) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.LoadMaskFile(fileName); });
}

VANTIX_API int32_t Vantix_LoadMaskFileW(int32_t handle, const char16_t* fileName) {
    return CallWithAnsiName(handle, fileName, [](CVantix& s, const char* name) { return s.LoadMaskFile(name); });
}

VANTIX_API int32_t Vantix_SaveMaskFile(int32_t handle, const char* fileName) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SaveMaskFile(fileName); });
}

VANTIX_API int32_t Vantix_SaveMaskFileW(int32_t handle, const char16_t* fileName) {
    return CallWithAnsiName(handle, fileName, [](CVantix& s, const char* name) { return s.SaveMaskFile(name); });
}

VANTIX_API int32_t Vantix_UpdateMaskData(int32_t handle, int32_t which) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.UpdateMaskData(which); });
}

VANTIX_API int32_t Vantix_SetCameraDlg(int32_t handle, VantixHwnd owner) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetCameraDlg(owner); });
}

VANTIX_API int32_t Vantix_SetImageDlg(int32_t handle, VantixHwnd owner) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetImageDlg(owner); });
}

VANTIX_API int32_t Vantix_SetAnalogDlg(int32_t handle, VantixHwnd owner) {
    return CallSession(handle, 0, [&](CVantix& s) { return s.SetAnalogDlg(owner); });
}

}  // extern "C"
