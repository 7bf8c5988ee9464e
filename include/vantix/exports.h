/* Vantix USB3 camera SDK (model Q720LX-USB3-K9): the camera interface.
 * Plain C, usable from C and C++.
 *
 * Conventions
 * - Vantix_Initialize returns a session handle; every other call except
 *   Vantix_GetDllVersion takes it first. An unknown or released handle makes a
 *   call return its failure value (0, 0.0, or -1 where noted) without side
 *   effects.
 * - Results are 1 for success and 0 for failure unless noted. Getters return
 *   the value and report success through an optional `ok` out pointer.
 * - A failure is recorded in the session's error history (read it with
 *   Vantix_GetLastError, newest first) and posted to the notification window
 *   as VANTIX_MSG_ERROR (wParam 0, lParam the code). Error codes:
 *     0 success (recorded by a few calls), 1 no camera engine / wrong state /
 *     SROM failure, 2 camera absent or cannot be opened, 3 event or thread
 *     creation failed, 4 preview window failed / no matching capture size,
 *     5 image memory / buffer too small / no image yet, 6 camera refused a
 *     register access or setting, or another session (in this process or
 *     another) holds the camera's stream, 7 invalid capture window, 8 frame
 *     transfer failed, 9 argument out of range or null, 11 not supported,
 *     12 a file could not be written (still image, recording cut short by a
 *     full disk, settings save), a recording or mask update could not start,
 *     a value (the temperature) could not be read, or a string could not be
 *     converted, 13 camera lost during preview, 14 mask file error.
 *   VantixExt_GetErrorText (linux_ext.h) gives each code's text.
 * - One failure can record two codes: a call that fails because a step it
 *   depends on failed records the cause first and its own code after it.
 *   Vantix_Preview and Vantix_CallBackPreview record the cause (4 window,
 *   6 stream held by another session, 7 window geometry) and then 8;
 *   Vantix_Record records the cause and then 12. Vantix_GetLastError returns
 *   the newest first, so it gives 8 (or 12) and then the cause. The history
 *   keeps the last 20 codes; call Vantix_GetLastError until it returns 0 to
 *   read them all, but note that a few calls record 0 on success
 *   (Vantix_GetTemperatureEx, filter ids 105 and 106), so a 0 can sit between
 *   older codes.
 * - Narrow strings are in the locale's character set; the ...W variants take
 *   UTF-16 (file names are limited to 1023 bytes after conversion).
 */
#ifndef VANTIX_EXPORTS_H
#define VANTIX_EXPORTS_H

#include <vantix/types.h>

#ifndef __cplusplus
#include <uchar.h>
#endif

VANTIX_EXTERN_C_BEGIN

/* Library version constant returned by Vantix_GetDllVersion. */
#define VANTIX_DLL_VERSION 0x01F50520

/* Still-image formats for Vantix_SaveImage. */
#define VANTIX_FILE_BMP 0
#define VANTIX_FILE_RAW 1
#define VANTIX_FILE_JPEG_HIGH 2   /* quality 100 */
#define VANTIX_FILE_JPEG_MEDIUM 3 /* quality 70 */
#define VANTIX_FILE_JPEG_LOW 4    /* quality 20 */
#define VANTIX_FILE_PNG 5
#define VANTIX_FILE_TIFF 6

/* Name lists of Vantix_EnumDevice / Vantix_EnumDeviceW: 10 entries of 256
 * characters each. */
#define VANTIX_NAME_LIST_ENTRIES 10
#define VANTIX_NAME_LIST_ENTRY_CHARS 256

/* Camera information record of Vantix_GetCameraInfo. Set `size` to the number
 * of bytes the caller provides: at least 36 for the integer fields, 56 to also
 * receive the exposure range in seconds. */
typedef struct VantixCameraInfo {
    int32_t size;              /* set by the caller */
    int32_t totalWidth;        /* sensor array width in pixels */
    int32_t totalHeight;       /* sensor array height in pixels */
    int32_t gainMin;           /* global gain range */
    int32_t gainMax;
    int32_t colorGainMin;      /* colour gain range */
    int32_t colorGainMax;
    int32_t exposureMin;       /* exposure range in units of 0.1 ms */
    int32_t exposureMax;
    int32_t reserved;          /* not written */
    double exposureSecondsMin; /* written when size >= 56 */
    double exposureSecondsMax;
} VantixCameraInfo;

/* ---- Session and library ------------------------------------------------ */

/* Creates a session. `window` receives VANTIX_MSG_ERROR notifications (NULL:
 * none). Selects the camera when exactly one is attached. Returns the handle,
 * or 0 when no session could be made; a session whose setup failed is still
 * returned, with the cause in its error history. */
VANTIX_API int32_t Vantix_Initialize(VantixHwnd window);
/* Saves the session's settings, stops everything and frees the session.
 * Returns 1 once the handle is released, 0 for an unknown handle. A save that
 * fails posts VANTIX_MSG_ERROR with code 12 to the session's window first. */
VANTIX_API int32_t Vantix_Release(int32_t handle);
/* Library version, 0x01F50520. Needs no handle. */
VANTIX_API int32_t Vantix_GetDllVersion(void);
/* Removes and returns the newest error code of the history; 0 when empty. */
VANTIX_API int32_t Vantix_GetLastError(int32_t handle);
/* Selects and opens attached camera number `index` (from 0). */
VANTIX_API int32_t Vantix_SetDeviceNumber(int32_t handle, int32_t index);
/* Writes the names of the attached cameras into a 10 x 256-byte list; returns
 * how many were written. */
VANTIX_API int32_t Vantix_EnumDevice(int32_t handle, char* names);
/* As Vantix_EnumDevice into a 10 x 256-unit UTF-16 list. */
VANTIX_API int32_t Vantix_EnumDeviceW(int32_t handle, char16_t* names);
/* Writes the name of camera `index` into `name` (size in bytes, at least 18). */
VANTIX_API int32_t Vantix_GetDeviceName(int32_t handle, int32_t index, char* name, int32_t size);
/* As Vantix_GetDeviceName in UTF-16 (size in UTF-16 units). */
VANTIX_API int32_t Vantix_GetDeviceNameW(int32_t handle, int32_t index, char16_t* name, int32_t size);
/* Fills a caller-sized camera information record (see VantixCameraInfo). */
VANTIX_API int32_t Vantix_GetCameraInfo(int32_t handle, VantixCameraInfo* info);
/* Reserved; always returns 0. */
VANTIX_API int32_t Vantix_GetStatus(int32_t handle, int32_t reserved);

/* ---- Acquisition --------------------------------------------------------- */

/* Starts continuous capture into the preview window (if one is configured). */
VANTIX_API int32_t Vantix_Preview(int32_t handle);
/* Prepares single-frame capture for Vantix_SnapShot. */
VANTIX_API int32_t Vantix_Capture(int32_t handle);
/* Stops capture and recording and destroys the preview window. */
VANTIX_API int32_t Vantix_Close(int32_t handle);
/* Starts the preview worker without touching the preview window. */
VANTIX_API int32_t Vantix_StartPreview(int32_t handle);
/* Stops the preview worker. */
VANTIX_API int32_t Vantix_StopPreview(int32_t handle);
/* Starts continuous capture; each converted frame is copied into `buffer`
 * (`size` bytes, rows padded to 4 bytes) and announced to `window` with
 * VANTIX_MSG_FRAME. Row order of the copy (here and in Vantix_SnapShot and
 * Vantix_GetImage): with `bottomUp` non-zero, the image as the SDK stores it,
 * the camera's first row first (the top row of the preview window); with 0,
 * the camera's last row first. The name follows Windows bitmaps, whose rows
 * are stored bottom row first: 1 asks for the DIB's row order, which holds
 * the camera's first row at the start of the buffer. */
VANTIX_API int32_t Vantix_CallBackPreview(int32_t handle, VantixHwnd window, void* buffer, int32_t size,
                                          int32_t bottomUp);
/* Acquires one frame and copies the converted image into `buffer` (may be NULL
 * to keep it for Vantix_GetImage). */
VANTIX_API int32_t Vantix_SnapShot(int32_t handle, void* buffer, int32_t size, int32_t bottomUp);
/* Copies the current converted image into `buffer`. */
VANTIX_API int32_t Vantix_GetImage(int32_t handle, void* buffer, int32_t size, int32_t bottomUp);
/* Starts preview and records an AVI file for `durationMs` milliseconds. The
 * frames are always 24-bit BGR, whatever the colour mode. A recording that may
 * pass 4 GiB is written as an OpenDML (AVI 2.0) file whose first 4 GiB stay a
 * valid AVI 1.0 file; it ends at about 1 TiB (256 RIFFs): a frame that would
 * pass that ends the recording (no error code). A
 * write error while recording (a full disk) ends it early: the file is
 * finalised with the frames written before, and error 12 is recorded and
 * posted when the recording ends. */
VANTIX_API int32_t Vantix_Record(int32_t handle, const char* fileName, int32_t durationMs, int32_t showWindow);
VANTIX_API int32_t Vantix_RecordW(int32_t handle, const char16_t* fileName, int32_t durationMs, int32_t showWindow);
/* Saves the current image as a still file of format VANTIX_FILE_... BMP files
 * keep the image's depth: 16-, 48- and 64-bit BMPs are written as held, which
 * common viewers cannot show (use PNG or TIFF for 16-bit samples). */
VANTIX_API int32_t Vantix_SaveImage(int32_t handle, const char* fileName, int32_t format);
VANTIX_API int32_t Vantix_SaveImageW(int32_t handle, const char16_t* fileName, int32_t format);

/* ---- Geometry and image format -------------------------------------------- */

/* Sets the preview window's parent and its rectangle in the parent. A NULL
 * parent with a non-zero rectangle opens a top-level window; NULL with four
 * zeros streams without any window (headless programs need this call, or the
 * preview asks for a window and fails with error 4 where there is no display). */
VANTIX_API int32_t Vantix_SetPreviewWindow(int32_t handle, VantixHwnd parent, int32_t left, int32_t top,
                                           int32_t right, int32_t bottom);
/* Selects a stored capture-size preset by width and height. */
VANTIX_API int32_t Vantix_SetCaptureWindow(int32_t handle, int32_t width, int32_t height);
/* Sets the capture geometry directly: totals, starts and sizes in pixels. */
VANTIX_API int32_t Vantix_SetCaptureWindowEx(int32_t handle, int32_t totalWidth, int32_t startX, int32_t width,
                                             int32_t totalHeight, int32_t startY, int32_t height);
/* Reads the capture geometry into the non-null pointers (same order). */
VANTIX_API int32_t Vantix_GetCaptureWindowEx(int32_t handle, int32_t* totalWidth, int32_t* startX,
                                             int32_t* width, int32_t* totalHeight, int32_t* startY,
                                             int32_t* height);
/* Capture width and height in pixels: the window as set, before sub-sampling
 * (a sub-sampled image is smaller; VantixExt_GetFrameMetadata gives its size). */
VANTIX_API int32_t Vantix_Width(int32_t handle);
VANTIX_API int32_t Vantix_Height(int32_t handle);
/* Output image depth: 8, 16 (gray), 24, 32, 48 or 64 (colour) bits per pixel.
 * The 8- and 16-bit modes deliver one sample per pixel (the raw Bayer mosaic
 * unless Vantix_SetGrayMode says otherwise). 16-bit samples fill the whole
 * 16 bits (0 to 65535), not a 10- or 12-bit range in the low bits. */
VANTIX_API int32_t Vantix_SetColorMode(int32_t handle, int32_t bitsPerPixel);
/* Current depth in bits per pixel; -1 for an unknown handle. */
VANTIX_API int32_t Vantix_GetColorMode(int32_t handle);
/* Sub-sampling: 0 none, 1 half, 2 quarter. */
VANTIX_API int32_t Vantix_SetSubSample(int32_t handle, int32_t mode);
/* Current sub-sample mode; -1 for an unknown handle. */
VANTIX_API int32_t Vantix_GetSubSample(int32_t handle);
/* Pause of the preview worker before each frame, in milliseconds (>= 0). */
VANTIX_API int32_t Vantix_SetWaitTime(int32_t handle, int32_t milliseconds);
/* Current wait time; -1 for an unknown handle. */
VANTIX_API int32_t Vantix_GetWaitTime(int32_t handle);
/* Mirroring in the camera (non-zero: on). */
VANTIX_API int32_t Vantix_SetMirrorH(int32_t handle, int32_t on);
VANTIX_API int32_t Vantix_SetMirrorV(int32_t handle, int32_t on);
VANTIX_API int32_t Vantix_GetMirrorH(int32_t handle);
VANTIX_API int32_t Vantix_GetMirrorV(int32_t handle);

/* ---- Exposure, gains and filters ------------------------------------------ */

/* Sets or reads a setting by filter id (see the fixed-id calls below). */
VANTIX_API int32_t Vantix_SetFilterValue(int32_t handle, int32_t id, int32_t value);
VANTIX_API int32_t Vantix_GetFilterValue(int32_t handle, int32_t id, int32_t* ok);
/* Exposure in seconds, for cameras that support it. Get returns -1.0 on
 * failure, 0.0 for an unknown handle. */
VANTIX_API int32_t Vantix_SetExposureTimeEx(int32_t handle, double seconds);
VANTIX_API double Vantix_GetExposureTimeEx(int32_t handle, int32_t* ok);
/* Exposure in microseconds (applied in units of 0.1 ms). */
VANTIX_API int32_t Vantix_SetRealExposureTime(int32_t handle, int32_t microseconds);
VANTIX_API int32_t Vantix_GetRealExposureTime(int32_t handle, int32_t* ok);
/* Sensor temperature in degrees Celsius; 0.0 for an unknown handle. Records
 * 0 when the temperature was read, 11 on a camera without a temperature
 * sensor (this one), 12 when the read failed, 1 without a camera engine;
 * *ok is 1 only when it was read. */
VANTIX_API double Vantix_GetTemperatureEx(int32_t handle, int32_t* ok);
/* Per-channel gain and offset, channel 1 to 4 (filter ids 29-36), in the
 * sensor's own gain and offset codes, not decibels or factors. */
VANTIX_API int32_t Vantix_SetChannelGain(int32_t handle, int32_t channel, int32_t value);
VANTIX_API int32_t Vantix_GetChannelGain(int32_t handle, int32_t channel, int32_t* ok);
VANTIX_API int32_t Vantix_SetChannelOffset(int32_t handle, int32_t channel, int32_t value);
VANTIX_API int32_t Vantix_GetChannelOffset(int32_t handle, int32_t channel, int32_t* ok);
/* Automatic exposure ("auto-iris") mode: 0 off, 1 by exposure time, 2 by gain;
 * stored and persisted, and run on each converted frame. */
VANTIX_API int32_t Vantix_SetAutoIris(int32_t handle, int32_t mode);
VANTIX_API int32_t Vantix_GetAutoIris(int32_t handle, int32_t* ok);
/* Passes a sampling-rate request to the sensor; returns the sensor's result. */
VANTIX_API int32_t Vantix_SetSamplingRate(int32_t handle, int32_t rate);
/* Reserved: set *value to 0 and return 0. */
VANTIX_API int32_t Vantix_GetSamplingRate(int32_t handle, int32_t* value);
VANTIX_API int32_t Vantix_GetVideoFormat(int32_t handle, int32_t* value);
/* Not supported: record error 11 and return -1. */
VANTIX_API int32_t Vantix_SetConfigFilter(int32_t handle, int32_t reserved);
VANTIX_API int32_t Vantix_GetConfigFilter(int32_t handle);

/* Fixed-id filter calls: Vantix_SetX(handle, value) is
 * Vantix_SetFilterValue(handle, id, value) and Vantix_GetX(handle, ok) is
 * Vantix_GetFilterValue(handle, id, ok).
 * Gain units: the global gain and the colour gains (ids 13-17) are the
 * sensor's gain codes in the ranges Vantix_GetCameraInfo reports (this
 * camera: 0 to 127; the global gain is 64 by default), not decibels or
 * factors. The Bayer gains (ids 7-9) are percent (100 = x1): red and blue
 * scale those channels when the mosaic is demosaiced, green is kept for the
 * automatic white balance, which reports all three. The gray gains (ids
 * 20-23) multiply samples by value / 128 (128 = x1).
 * Gray mode (id 19) decides what the 8- and 16-bit modes deliver:
 *   0 (default) the sensor's Bayer mosaic as it is, one colour per pixel, so
 *     an 8-bit picture in gray mode 0 is not a gray image;
 *   1 the mosaic with the gray gains applied per Bayer cell position, to
 *     level the colours into gray (set the gains to suit the light);
 *   2 (8-bit only) the mosaic demosaiced and converted to gray
 *     (0.30 R + 0.59 G + 0.11 B); in 16-bit mode it delivers the mosaic.
 * For a gray picture use 8 bits with gray mode 2, or gray mode 1 with gains
 * set; for a colour picture use 24 or 32 bits (gray mode does not apply). */
VANTIX_API int32_t Vantix_SetBrightness(int32_t handle, int32_t value);      /* id 1, -255..255 */
VANTIX_API int32_t Vantix_GetBrightness(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetContrast(int32_t handle, int32_t value);        /* id 2, -127..127 */
VANTIX_API int32_t Vantix_GetContrast(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetHue(int32_t handle, int32_t value);             /* id 3, -360..360 */
VANTIX_API int32_t Vantix_GetHue(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetSaturation(int32_t handle, int32_t value);      /* id 4, -255..255 */
VANTIX_API int32_t Vantix_GetSaturation(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetSharpness(int32_t handle, int32_t value);       /* id 5, 0..30 */
VANTIX_API int32_t Vantix_GetSharpness(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetBayerGainRGB(int32_t handle, int32_t value);    /* id 6, 0x00BBGGRR */
VANTIX_API int32_t Vantix_GetBayerGainRGB(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetBayerGainRed(int32_t handle, int32_t value);    /* id 7, 0..400 */
VANTIX_API int32_t Vantix_GetBayerGainRed(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetBayerGainGreen(int32_t handle, int32_t value);  /* id 8, 0..400 */
VANTIX_API int32_t Vantix_GetBayerGainGreen(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetBayerGainBlue(int32_t handle, int32_t value);   /* id 9, 0..400 */
VANTIX_API int32_t Vantix_GetBayerGainBlue(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetBayerGainAuto(int32_t handle, int32_t value);   /* id 10, on/off */
VANTIX_API int32_t Vantix_GetBayerGainAuto(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetGamma(int32_t handle, int32_t value);           /* id 11, 0..200 */
VANTIX_API int32_t Vantix_GetGamma(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetBayerMode(int32_t handle, int32_t value);       /* id 12, 0..3 */
VANTIX_API int32_t Vantix_GetBayerMode(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetGlobalGain(int32_t handle, int32_t value);      /* id 13, camera range */
VANTIX_API int32_t Vantix_GetGlobalGain(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetColorGainRed(int32_t handle, int32_t value);    /* id 14, camera range */
VANTIX_API int32_t Vantix_GetColorGainRed(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetColorGainGreen1(int32_t handle, int32_t value); /* id 15 */
VANTIX_API int32_t Vantix_GetColorGainGreen1(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetColorGainGreen2(int32_t handle, int32_t value); /* id 16 */
VANTIX_API int32_t Vantix_GetColorGainGreen2(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetColorGainBlue(int32_t handle, int32_t value);   /* id 17 */
VANTIX_API int32_t Vantix_GetColorGainBlue(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetExposureTime(int32_t handle, int32_t value);    /* id 18, units of 0.1 ms */
VANTIX_API int32_t Vantix_GetExposureTime(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetGrayMode(int32_t handle, int32_t value);        /* id 19, 0..2 */
VANTIX_API int32_t Vantix_GetGrayMode(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetGrayGainR(int32_t handle, int32_t value);       /* id 20, 0..255 */
VANTIX_API int32_t Vantix_GetGrayGainR(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetGrayGainG1(int32_t handle, int32_t value);      /* id 21 */
VANTIX_API int32_t Vantix_GetGrayGainG1(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetGrayGainG2(int32_t handle, int32_t value);      /* id 22 */
VANTIX_API int32_t Vantix_GetGrayGainG2(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetGrayGainB(int32_t handle, int32_t value);       /* id 23 */
VANTIX_API int32_t Vantix_GetGrayGainB(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetGrayOffsetR(int32_t handle, int32_t value);     /* id 24, -255..255 */
VANTIX_API int32_t Vantix_GetGrayOffsetR(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetGrayOffsetG1(int32_t handle, int32_t value);    /* id 25 */
VANTIX_API int32_t Vantix_GetGrayOffsetG1(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetGrayOffsetG2(int32_t handle, int32_t value);    /* id 26 */
VANTIX_API int32_t Vantix_GetGrayOffsetG2(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetGrayOffsetB(int32_t handle, int32_t value);     /* id 27 */
VANTIX_API int32_t Vantix_GetGrayOffsetB(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetPeltier(int32_t handle, int32_t value);         /* id 100, cooler on/off */
VANTIX_API int32_t Vantix_GetPeltier(int32_t handle, int32_t* ok);
/* id 101: not readable by id; records 11 and returns -1 (use
 * Vantix_GetTemperatureEx). */
VANTIX_API int32_t Vantix_GetTemperature(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetDotFilter(int32_t handle, int32_t value);       /* id 102, 0 or 1 */
VANTIX_API int32_t Vantix_GetDotFilter(int32_t handle, int32_t* ok);
VANTIX_API int32_t Vantix_SetMaskFilter(int32_t handle, int32_t value);      /* id 103, 0 or 1 */
VANTIX_API int32_t Vantix_GetMaskFilter(int32_t handle, int32_t* ok);

/* ---- Registers and device I/O --------------------------------------------- */

/* Sensor registers: the plain calls use the register's low 8 bits (and the
 * value's low 16 bits); the Ex calls pass the whole 32-bit address and value
 * on, and the sensor refuses (code 6) what it cannot address or hold. This
 * camera's sensor has 16-bit addresses (15-bit where the board reaches it
 * through camera registers) and 16-bit values. */
VANTIX_API int32_t Vantix_ReadRegister(int32_t handle, int32_t reg, int32_t* ok);
VANTIX_API int32_t Vantix_ReadRegisterEx(int32_t handle, int32_t reg, int32_t* ok);
VANTIX_API int32_t Vantix_WriteRegister(int32_t handle, int32_t reg, int32_t value);
VANTIX_API int32_t Vantix_WriteRegisterEx(int32_t handle, int32_t reg, int32_t value);
/* FPGA registers: the register number's low 8 bits are used. The write passes
 * the value's low 16 bits on, but an FPGA register holds 8 bits, so only the
 * low byte is written; the read returns the register's byte. */
VANTIX_API int32_t Vantix_Fpga_ReadRegister(int32_t handle, int32_t reg, int32_t* ok);
VANTIX_API int32_t Vantix_Fpga_WriteRegister(int32_t handle, int32_t reg, int32_t value);
/* The camera's serial ROM, one byte at a 12-bit address; writes are verified. */
VANTIX_API int32_t Vantix_ReadSromID(int32_t handle, int32_t address, int32_t* ok);
VANTIX_API int32_t Vantix_WriteSromID(int32_t handle, int32_t address, int32_t value);
/* The camera's general-purpose I/O port. */
VANTIX_API int32_t Vantix_GetIOPort(int32_t handle, uint8_t* value);
VANTIX_API int32_t Vantix_SetIOPort(int32_t handle, uint8_t value);
/* Not supported: record error 11 and return 0. */
VANTIX_API int32_t Vantix_SendText(int32_t handle, char* text, int32_t length);
VANTIX_API int32_t Vantix_ReceiveText(int32_t handle, char* text, int32_t length);

/* ---- Files, masks and dialogs ---------------------------------------------- */

/* Applies a configuration file of 8-byte records (a regular file of at most
 * 64 MB; anything else is refused with code 9 without waiting on it). A file
 * that does not open returns 0 and records nothing. */
VANTIX_API int32_t Vantix_LoadConfigFileA(int32_t handle, const char* fileName);
VANTIX_API int32_t Vantix_LoadConfigFileW(int32_t handle, const char16_t* fileName);
/* Loads or saves the flat-field / defect mask references. A save refuses
 * (error 14) a name that exists but is not a regular file. */
VANTIX_API int32_t Vantix_LoadMaskFile(int32_t handle, const char* fileName);
VANTIX_API int32_t Vantix_LoadMaskFileW(int32_t handle, const char16_t* fileName);
VANTIX_API int32_t Vantix_SaveMaskFile(int32_t handle, const char* fileName);
VANTIX_API int32_t Vantix_SaveMaskFileW(int32_t handle, const char16_t* fileName);
/* Takes the current raw frame as mask reference: 0 dark, 1 bright. */
VANTIX_API int32_t Vantix_UpdateMaskData(int32_t handle, int32_t which);
/* Modal settings dialogs. */
VANTIX_API int32_t Vantix_SetCameraDlg(int32_t handle, VantixHwnd owner);
VANTIX_API int32_t Vantix_SetImageDlg(int32_t handle, VantixHwnd owner);
VANTIX_API int32_t Vantix_SetAnalogDlg(int32_t handle, VantixHwnd owner);

/* ---- Not supported by this camera ------------------------------------------- */

/* Each posts VANTIX_MSG_ERROR with code 11 (without adding it to the error
 * history) and returns 0. */
VANTIX_API int32_t Vantix_Trigger(int32_t handle);
VANTIX_API int32_t Vantix_Fps(int32_t handle);
VANTIX_API int32_t Vantix_GetHalfClock(int32_t handle);
VANTIX_API int32_t Vantix_SetHalfClock(int32_t handle, int32_t value);
VANTIX_API int32_t Vantix_GetInternalCorrection(int32_t handle);
VANTIX_API int32_t Vantix_SetInternalCorrection(int32_t handle, int32_t value);
VANTIX_API int32_t Vantix_SetCrossbar(int32_t handle, int32_t value);

VANTIX_EXTERN_C_END

#endif /* VANTIX_EXPORTS_H */
