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

/* ---- Settings store -------------------------------------------------------
 * The SDK keeps each camera's settings in a text file in the registry
 * editor's export format: $VANTIX_REGISTRY, else
 * $XDG_CONFIG_HOME/vantix/registry.reg (XDG_CONFIG_HOME defaults to
 * ~/.config). Camera N's settings are the key "Camera_NN" (two digits) with
 * its subkeys ("Camera_00\\Gain", ...).
 *
 * The calls below name keys relative to the SDK's own key, with backslashes
 * between levels. They change the file as the SDK's own saves do: under the
 * file's lock, written to a new file and renamed into place, so keys that
 * other processes save meanwhile are kept and a failure leaves the file as it
 * was. A session saves its camera's settings when it is released, which
 * undoes changes made to that camera's key while the session was open.
 *
 * Each call returns 1 on success or one of these codes (0 where noted): */
#define VANTIX_SETTINGS_ERROR_ARGUMENT (-1) /* NULL or empty name, invalid key name, negative size */
#define VANTIX_SETTINGS_ERROR_NO_KEY (-2)   /* the key is not stored */
#define VANTIX_SETTINGS_ERROR_READ (-3)     /* the file is missing, not a regular file, or unreadable */
#define VANTIX_SETTINGS_ERROR_FORMAT (-4)   /* not a whole settings file of the SDK's keys */
#define VANTIX_SETTINGS_ERROR_WRITE (-5)    /* could not be written; nothing was changed */

/* Writes the settings file's path, NUL-terminated, into `buffer` when it fits
 * in `size` bytes (otherwise `buffer`, if not NULL and size > 0, gets an empty
 * string). Returns the bytes the path needs including the NUL, so a result
 * greater than `size` means the buffer was too small; 0 when no location can
 * be determined (no VANTIX_REGISTRY and no home folder);
 * VANTIX_SETTINGS_ERROR_ARGUMENT for a negative size or a NULL buffer with a
 * non-zero size. */
VANTIX_API int32_t VantixExt_GetSettingsPath(char* buffer, int32_t size);

/* The stored key `key` (NULL or "": the SDK's whole key) with its subkeys, as
 * the text of a settings file, into `buffer` as VantixExt_GetSettingsPath
 * does: returns the bytes needed including the NUL, and writes only when they
 * fit. VANTIX_SETTINGS_ERROR_NO_KEY when the key is not stored. */
VANTIX_API int32_t VantixExt_GetSettingsText(const char* key, char* buffer, int32_t size);

/* Writes the stored key `key` (NULL or "": the SDK's whole key) with its
 * subkeys to `file` as a settings file of its own, which also imports into a
 * Windows registry editor. `file` is replaced whole or not at all; only a
 * regular file is replaced. */
VANTIX_API int32_t VantixExt_ExportSettings(const char* key, const char* file);

/* Merges a file written by VantixExt_ExportSettings into the settings file:
 * its keys are created and its values set; other keys and values stay. A
 * file that is cut short or damaged, lacks the header, deletes keys or values,
 * or holds keys outside the SDK's key is refused with
 * VANTIX_SETTINGS_ERROR_FORMAT, and then nothing changes. */
VANTIX_API int32_t VantixExt_ImportSettings(const char* file);

/* Checks `file` as VantixExt_ImportSettings would, changing nothing: returns
 * 1 when it would be imported, else the same error code. A refused file's
 * first line at fault (a line that does not parse, a deletion, a key outside
 * the SDK's key, or the first line where the header should be) is given as
 * its number in `*line` (1 for the first; 0 when no line is at fault, as for
 * an empty file) and its text, cut to fit, in `text` of `size` bytes; `line`
 * and `text` may be NULL. */
VANTIX_API int32_t VantixExt_CheckSettingsFile(const char* file, int32_t* line, char* text, int32_t size);

/* Removes the stored key `key` with its subkeys, so that the defaults apply
 * when it is next read (for "Camera_NN": when camera N is next opened).
 * Returns 1 when removed, 0 when it was not stored (nothing is written). */
VANTIX_API int32_t VantixExt_DeleteSettingsKey(const char* key);

/* Whether the session `handle` saves its camera's settings (gains, exposure,
 * mirrors, filters, gray conversion) when it is released and when
 * Vantix_SetDeviceNumber switches to another camera. On (1) by default, so
 * that a camera comes back as it was left. Turned off (0), nothing this
 * session changes outlives it: use it for read-only queries and one-off
 * programs that change the exposure or gain for themselves only, and turn it
 * back on before release to keep the changes after all. Returns 1, or 0 for
 * an unknown handle. */
VANTIX_API int32_t VantixExt_SetSettingsAutosave(int32_t handle, int32_t on);

/* ---- Error codes ---------------------------------------------------------- */

/* One line, in English, explaining an error code of Vantix_GetLastError or
 * of a VANTIX_MSG_ERROR notification ("unknown error code" for codes outside
 * 0 to 14). The text is static: never NULL, never to be freed. A failure can
 * record two codes, its cause and then its own (see exports.h): read and
 * explain each code Vantix_GetLastError returns, not only the first. */
VANTIX_API const char* VantixExt_GetErrorText(int32_t code);

/* ---- Frame metadata ---------------------------------------------------------
 * What came with the frame the session delivered last: the frame of the
 * newest 0x8002 message of a callback preview (Vantix_CallBackPreview,
 * Vantix_Preview), or of the last Vantix_SnapShot. Read it in the message
 * handler; a later frame replaces it. */
typedef struct VantixFrameMetadata {
    uint32_t frameCounter;   /* the camera's frame counter (wraps at 2^32) */
    uint32_t droppedFrames;  /* frames the camera sent but the session did not deliver since
                                the preview or snapshot started (counter gaps) */
    uint64_t timestampNs;    /* CLOCK_MONOTONIC nanoseconds when the frame arrived */
    int32_t width, height;   /* the capture window, as Vantix_Width and Vantix_Height */
    int32_t bitsPerPixel;    /* of the delivered image: 8, 16, 24, 32, 48 or 64 */
    int32_t imageWidth;      /* the delivered image after sub-sampling */
    int32_t imageHeight;
} VantixFrameMetadata;

/* Fills `metadata` for the frame delivered last. Returns 1; 0 with the
 * session's error code 9 for NULL, 5 when no frame was delivered yet. */
VANTIX_API int32_t VantixExt_GetFrameMetadata(int32_t handle, VantixFrameMetadata* metadata);

/* ---- Capture-window rules -------------------------------------------------
 * The windows the open camera accepts, so that an application offers only
 * valid ones. Sizes and offsets are in sensor pixels before sub-sampling; each
 * sub-sampling mode (Vantix_SetSubSample) has its own grid. A window of
 * Vantix_SetCaptureWindowEx reaches the camera when width and height are at
 * least the minimums and multiples of the mode's steps, its offsets are
 * multiples of the offset steps, and it lies within the maximum size. */
typedef struct VantixWindowGrid {
    int32_t widthStep, heightStep; /* width and height: multiples of these */
    int32_t xStep, yStep;          /* horizontal and vertical start: multiples of these */
} VantixWindowGrid;

typedef struct VantixWindowRules {
    int32_t maxWidth, maxHeight;   /* the pixel array */
    int32_t minWidth, minHeight;   /* the smallest window */
    int32_t subSampleModes;        /* bit m set: sub-sampling mode m is offered */
    VantixWindowGrid grid[3];      /* by sub-sampling mode 0 (none), 1 (1 of 2), 2 (1 of 4) */
} VantixWindowRules;

/* Fills `rules` for the open camera. Returns 1; 0 with the session's error
 * code 1 when no camera is open, 9 for NULL, 11 when the camera's sensor does
 * not describe its windows. */
VANTIX_API int32_t VantixExt_GetWindowRules(int32_t handle, VantixWindowRules* rules);

/* ---- Camera details ------------------------------------------------------ */

/* Where an attached camera sits, for listings and diagnostics. */
typedef struct VantixDeviceDetails {
    int32_t instance;     /* the number Vantix_SetDeviceNumber takes */
    uint16_t vendorId;    /* USB ids */
    uint16_t productId;   /* the camera's model id, e.g. 0x3040 */
    int32_t isVirtual;    /* 1 for a virtual camera (VANTIX_EMULATE) */
    char path[260];       /* the device interface path */
} VantixDeviceDetails;

/* Fills `details` for the camera that Vantix_SetDeviceNumber(handle, instance)
 * would open. Returns 1, or 0 when no such camera is attached or `details` is
 * NULL (then with the session's error code 2 or 9). */
VANTIX_API int32_t VantixExt_GetDeviceDetails(int32_t handle, int32_t instance, VantixDeviceDetails* details);

/* ---- Camera models ---------------------------------------------------------
 * A session drives one model of the camera family at a time: model 0x3040
 * unless the application chooses another. The model decides which cameras
 * Vantix_EnumDevice, Vantix_GetDeviceName, Vantix_SetDeviceNumber and
 * VantixExt_GetDeviceDetails speak of, the array Vantix_GetCameraInfo
 * reports, the capture-window limits, the mask file's size, and where the
 * cameras' settings are kept (model 0x3040: "Camera_NN"; any other model:
 * "Model_XXXX\Camera_NN" with the id in four upper-case hexadecimal digits,
 * e.g. "Model_3100\Camera_00"). Cameras of a model without a name of its own
 * are named "Vantix-XXXX_NN" (e.g. "Vantix-3150_01"). */

/* Makes the session drive model `modelId` (a camera model id such as
 * 0x3030): stops a running preview or recording, saves the open camera's
 * settings and closes it, enumerates the cameras again and opens camera 0
 * when exactly one camera of that model is attached. Returns 1 (also when no
 * camera of the model is attached); 0 for an id that is not a model of the
 * family, with the session's error code 2 and nothing changed, or for an
 * unregistered handle. */
VANTIX_API int32_t VantixExt_SetModelId(int32_t handle, int32_t modelId);

/* The model the session drives (0x3040 unless VantixExt_SetModelId chose
 * another); -1 for an unregistered handle. */
VANTIX_API int32_t VantixExt_GetModelId(int32_t handle);

/* The attached camera at `position` (0, 1, ...) among the cameras of every
 * model, in the order they were first seen, whatever model the session
 * drives: details.productId is its model id and details.instance the number
 * Vantix_SetDeviceNumber takes once VantixExt_SetModelId chose that model.
 * Returns 1, or 0 past the last camera (nothing recorded) or for a NULL
 * `details` (code 9). */
VANTIX_API int32_t VantixExt_GetAttachedCamera(int32_t handle, int32_t position, VantixDeviceDetails* details);

/* ---- Virtual cameras ------------------------------------------------------
 * Control of the virtual cameras that VANTIX_EMULATE adds to the process, so
 * that applications and their tests can rehearse a camera that goes away.
 * Real cameras are never affected. */

/* Unplugs (plugged 0) or plugs back in (non-zero) the virtual camera whose
 * device path is `path` (VantixDeviceDetails.path). An unplugged camera acts
 * as a removed one: the transfer in progress ends, a running preview ends
 * with code 13, and the camera is neither listed nor opened. Plugged back in,
 * it is listed again with the registers and serial ROM it had. Returns 1, or
 * 0 when `path` is NULL or names no virtual camera of this process. */
VANTIX_API int32_t VantixExt_SetVirtualCameraPlugged(const char* path, int32_t plugged);

VANTIX_EXTERN_C_END

#endif /* VANTIX_LINUX_EXT_H */
