// Exports that this camera does not support. Seven names share one body: it
// posts code 11 to the notification window without touching the error
// history, and fails.
#include <vantix/exports.h>

#include "api/export_call.h"

using vantix::CallSession;

static int32_t NotSupportedByCamera(int32_t handle) {
    return CallSession(handle, 0, [](CVantix& s) {
        s.NotifyOnly(vantix::kErrorNotSupported);
        return 0;
    });
}

extern "C" {

VANTIX_API int32_t Vantix_Trigger(int32_t handle) { return NotSupportedByCamera(handle); }
VANTIX_API int32_t Vantix_Fps(int32_t handle) { return NotSupportedByCamera(handle); }
VANTIX_API int32_t Vantix_GetHalfClock(int32_t handle) { return NotSupportedByCamera(handle); }
VANTIX_API int32_t Vantix_SetHalfClock(int32_t handle, int32_t /*value*/) { return NotSupportedByCamera(handle); }
VANTIX_API int32_t Vantix_GetInternalCorrection(int32_t handle) { return NotSupportedByCamera(handle); }
VANTIX_API int32_t Vantix_SetInternalCorrection(int32_t handle, int32_t /*value*/) {
    return NotSupportedByCamera(handle);
}
VANTIX_API int32_t Vantix_SetCrossbar(int32_t handle, int32_t /*value*/) { return NotSupportedByCamera(handle); }

}  // extern "C"
