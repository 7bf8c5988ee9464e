// The Linux extension calls of <vantix/linux_ext.h>: thin C wrappers over the
// window table, which never throws and never trusts a handle.
#include <vantix/linux_ext.h>

#include "platform/window_messages.h"
#include "platform/x11_window_target.h"

extern "C" {

VANTIX_API VantixHwnd VantixExt_CreateMessageWindow(VantixWindowProc proc, void* user) {
    return vantix::CreateMessageWindow(proc, user);
}

VANTIX_API VantixHwnd VantixExt_CreatePollableWindow(void) {
    return vantix::CreatePollableWindow();
}

VANTIX_API VantixHwnd VantixExt_WrapX11Window(unsigned long window) {
    return vantix::WrapX11Window(window);
}

VANTIX_API unsigned long VantixExt_GetX11Window(VantixHwnd window) {
    return vantix::X11WindowOf(window);
}

VANTIX_API int32_t VantixExt_GetMessageFd(VantixHwnd window) {
    return vantix::GetMessageFd(window);
}

VANTIX_API int32_t VantixExt_GetMessage(VantixHwnd window, VantixMessage* message,
                                        uint32_t timeoutMs) {
    return vantix::GetWindowMessage(window, message, timeoutMs);
}

VANTIX_API int32_t VantixExt_PostMessage(VantixHwnd window, uint32_t message, uintptr_t wParam,
                                         intptr_t lParam) {
    return vantix::PostWindowMessage(window, message, wParam, lParam) ? 1 : 0;
}

VANTIX_API int32_t VantixExt_DestroyWindow(VantixHwnd window) {
    return vantix::DestroyWindow(window) ? 1 : 0;
}

}  // extern "C"
