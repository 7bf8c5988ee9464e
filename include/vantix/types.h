/* Types shared by the Vantix SDK's public headers. Plain C. */
#ifndef VANTIX_TYPES_H
#define VANTIX_TYPES_H

#include <stdint.h>

#if defined(__GNUC__)
#define VANTIX_API __attribute__((visibility("default")))
#else
#define VANTIX_API
#endif

#ifdef __cplusplus
#define VANTIX_EXTERN_C_BEGIN extern "C" {
#define VANTIX_EXTERN_C_END }
#else
#define VANTIX_EXTERN_C_BEGIN
#define VANTIX_EXTERN_C_END
#endif

/* An opaque window handle. Applications make one with the calls of
 * <vantix/linux_ext.h> (a message window, or a wrapped X11 window) and pass it
 * where the SDK asks for a window; NULL means "no window". */
typedef struct VantixWindowTag* VantixHwnd;

/* Messages the SDK posts to the application's windows. */
#define VANTIX_MSG_FRAME 0x8002u /* wParam: address of the frame information record, or 0 with lParam an error code */
#define VANTIX_MSG_ERROR 0x8003u /* wParam: 0, lParam: the error code */

/* The frame information record whose address a VANTIX_MSG_FRAME message
 * carries (32 bytes on 64-bit systems). The SDK writes four records in turn,
 * so a record stays unchanged until three more frames have been announced:
 * read what you need when the message arrives. */
typedef struct VantixFrameInfo {
    int32_t reserved0;
    int32_t width;        /* of the frame, in pixels */
    int32_t height;
    int32_t bitsPerPixel; /* of the colour mode: 8, 16, 24, 32, 48 or 64 */
    int32_t rateTenths;   /* frames per ten seconds, measured over about a second */
    int32_t reserved1;
    void* clientBuffer;   /* the buffer given to Vantix_CallBackPreview */
} VantixFrameInfo;

#endif /* VANTIX_TYPES_H */
