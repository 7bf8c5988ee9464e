/* The smallest Vantix program: open a session that reports errors to a
 * pollable message window, make a call this camera does not support, and read
 * the error back both ways (the posted notification and the error history). */
#include <stdio.h>

#include <vantix/exports.h>
#include <vantix/linux_ext.h>

int main(void) {
    printf("library version 0x%08X\n", (unsigned)Vantix_GetDllVersion());

    VantixHwnd window = VantixExt_CreatePollableWindow();
    int32_t handle = Vantix_Initialize(window);
    if (handle == 0) {
        fprintf(stderr, "no session\n");
        return 1;
    }
    printf("capture window %d x %d, colour mode %d bits\n", Vantix_Width(handle), Vantix_Height(handle),
           Vantix_GetColorMode(handle));

    Vantix_Trigger(handle); /* not supported: notified, not recorded */
    VantixMessage message;
    if (VantixExt_GetMessage(window, &message, 1000) == 1 && message.message == VANTIX_MSG_ERROR)
        printf("notification: error code %ld\n", (long)message.lParam);

    Vantix_SetColorMode(handle, 12); /* not a valid depth: recorded as code 9 */
    printf("last error: %d\n", Vantix_GetLastError(handle));

    int32_t first = Vantix_Release(handle);
    int32_t second = Vantix_Release(handle); /* the handle is gone now */
    printf("release: %d, again: %d\n", first, second);
    VantixExt_DestroyWindow(window);
    return 0;
}
