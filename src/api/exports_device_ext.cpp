// The camera-details, model, error-text, window-rules and settings-autosave
// calls of <vantix/linux_ext.h>.
#include <vantix/linux_ext.h>

#include "api/export_call.h"
#include "session/error_texts.h"

extern "C" {

VANTIX_API int32_t VantixExt_GetDeviceDetails(int32_t handle, int32_t instance, VantixDeviceDetails* details) {
    return vantix::CallSession(handle, 0, [&](CVantix& s) { return s.GetDeviceDetails(instance, details); });
}

VANTIX_API int32_t VantixExt_GetAttachedCamera(int32_t handle, int32_t position, VantixDeviceDetails* details) {
    return vantix::CallSession(handle, 0, [&](CVantix& s) { return s.GetAttachedCamera(position, details); });
}

VANTIX_API int32_t VantixExt_SetModelId(int32_t handle, int32_t modelId) {
    return vantix::CallSession(handle, 0, [&](CVantix& s) { return s.SetModelId(modelId); });
}

VANTIX_API int32_t VantixExt_GetModelId(int32_t handle) {
    return vantix::CallSession(handle, -1, [](CVantix& s) { return s.GetModelId(); });
}

VANTIX_API const char* VantixExt_GetErrorText(int32_t code) { return vantix::ErrorText(code); }

VANTIX_API int32_t VantixExt_GetFrameMetadata(int32_t handle, VantixFrameMetadata* metadata) {
    return vantix::CallSession(handle, 0, [&](CVantix& s) { return s.GetFrameMetadata(metadata); });
}

VANTIX_API int32_t VantixExt_GetWindowRules(int32_t handle, VantixWindowRules* rules) {
    return vantix::CallSession(handle, 0, [&](CVantix& s) { return s.GetWindowRules(rules); });
}

VANTIX_API int32_t VantixExt_SetSettingsAutosave(int32_t handle, int32_t on) {
    return vantix::CallSession(handle, 0, [&](CVantix& s) { return s.SetSettingsAutosave(on); });
}

}  // extern "C"
