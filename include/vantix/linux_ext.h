/* Linux extensions of the Vantix SDK: the windows that receive the SDK's
 * messages. Plain C. These calls are not part of the camera interface in
 * <vantix/exports.h>; they replace what the window system provides elsewhere. */
#ifndef VANTIX_LINUX_EXT_H
#define VANTIX_LINUX_EXT_H

#include <stddef.h>
#include <vantix/types.h>

VANTIX_EXTERN_C_BEGIN

/* A window procedure: called for each message posted to a message window, in
 * posting order, on a dispatch thread owned by the SDK (never on the poster's
 * thread). The return value is ignored for posted messages. */
typedef intptr_t (*VantixWindowProc)(VantixHwnd window, uint32_t message,
                                     uintptr_t wParam, intptr_t lParam, void* user);

/* One posted message, as returned by VantixExt_GetMessage. */
typedef struct VantixMessage {
    VantixHwnd window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
} VantixMessage;

/* Creates a message window whose messages are delivered to `proc` with `user`.
 * Returns NULL when proc is NULL or resources are exhausted. */
VANTIX_API VantixHwnd VantixExt_CreateMessageWindow(VantixWindowProc proc, void* user);

/* Creates a pollable message window for applications with their own event loop:
 * messages are queued until fetched with VantixExt_GetMessage. Returns NULL on
 * failure. */
VANTIX_API VantixHwnd VantixExt_CreatePollableWindow(void);

/* Wraps an X11 window, given by its XID, as a window handle:
 * - as the parent given to Vantix_SetPreviewWindow, the SDK's preview window
 *   becomes its child (the SDK draws through a display connection of its own);
 * - as a notification or callback window, each posted message arrives as a
 *   ClientMessage event with message_type "VANTIX_MESSAGE" and format 32:
 *   data.l[0] = message, data.l[1] / data.l[2] = low / high 32 bits of wParam,
 *   data.l[3] / data.l[4] = low / high 32 bits of lParam
 *   (VantixExt_MessageFromClientData decodes them). Posting needs a reachable
 *   display ($DISPLAY); without one posts fail.
 * Returns NULL for 0. VantixExt_DestroyWindow forgets the handle and leaves
 * the X11 window alone. */
VANTIX_API VantixHwnd VantixExt_WrapX11Window(unsigned long window);

/* The XID behind a handle from VantixExt_WrapX11Window; 0 for any other. */
VANTIX_API unsigned long VantixExt_GetX11Window(VantixHwnd window);

/* Decodes the data of a "VANTIX_MESSAGE" ClientMessage (its data.l array).
 * The window field is left NULL: the event names the X11 window. */
static inline void VantixExt_MessageFromClientData(const long data[5], VantixMessage* message) {
    const uint64_t w = ((uint64_t)(uint32_t)data[2] << 32) | (uint32_t)data[1];
    const uint64_t l = ((uint64_t)(uint32_t)data[4] << 32) | (uint32_t)data[3];
    message->window = NULL;
    message->message = (uint32_t)data[0];
    message->wParam = (uintptr_t)w;
    message->lParam = (intptr_t)l;
}

/* A file descriptor that is readable while a pollable window has queued
 * messages (for poll/select/epoll). -1 for any other window. Owned by the
 * window: do not close or read it (VantixExt_GetMessage keeps it in step with
 * the queue). VantixExt_DestroyWindow closes it, which wakes a thread blocked
 * in poll or select on it; take it out of an epoll set before destroying the
 * window. */
VANTIX_API int32_t VantixExt_GetMessageFd(VantixHwnd window);

/* Takes the oldest queued message of a pollable window, waiting up to
 * timeoutMs milliseconds (0: do not wait, 0xFFFFFFFF: wait without limit).
 * Returns 1 with *message filled, 0 when none arrived in time, -1 for a null
 * message pointer or a window that is not a live pollable window. */
VANTIX_API int32_t VantixExt_GetMessage(VantixHwnd window, VantixMessage* message,
                                        uint32_t timeoutMs);

/* Posts a message to a window without waiting for it to be handled.
 * Returns 1 when queued, 0 when the window does not exist (any more). */
VANTIX_API int32_t VantixExt_PostMessage(VantixHwnd window, uint32_t message,
                                         uintptr_t wParam, intptr_t lParam);

/* Destroys a window. Messages still queued are discarded and the window
 * procedure is never called again after this returns (unless it is called from
 * that procedure itself, in which case the current call finishes first).
 * Returns 1, or 0 for a window that does not exist. */
VANTIX_API int32_t VantixExt_DestroyWindow(VantixHwnd window);

VANTIX_EXTERN_C_END

#endif /* VANTIX_LINUX_EXT_H */
