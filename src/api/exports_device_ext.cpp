// The camera-details and model calls of <vantix/linux_ext.h>.
#include <vantix/linux_ext.h>

#include "api/export_call.h"

extern "C" {

VANTIX_API int32_t VantixExt_GetDeviceDetails(int32_t handle, int32_t instance, VantixDeviceDetails* details) {
    return vantix::CallSession(handle, 0, [&](CVantix& s) { return s.GetDeviceDetails(instance, details); });
}

VANTIX_API int32_t VantixExt_SetModelId(int32_t handle, int32_t modelId) {
    return vantix::CallSession(handle, 0, [&](CVantix& s) { return s.SetModelId(modelId); });
}

VANTIX_API int32_t VantixExt_GetModelId(int32_t handle) {
    return vantix::CallSession(handle, -1, [](CVantix& s) { return s.GetModelId(); });
}

}  // extern "C"
