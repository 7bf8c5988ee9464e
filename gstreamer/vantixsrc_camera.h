/* One camera session of vantixsrc over the SDK's C interface: opening and
 * selecting the camera, applying the element's settings, streaming frames to
 * a message window, copying the current frame, and the SDK's error codes. */
#ifndef VANTIXSRC_CAMERA_H
#define VANTIXSRC_CAMERA_H

#include <glib.h>
#include <stdint.h>
#include <vantix/exports.h>
#include <vantix/linux_ext.h>

G_BEGIN_DECLS

/* Why a call failed: the call, the code that caused it (the oldest code the
 * call recorded) and, when the call recorded several, the newest one too. */
typedef struct {
    const char* call;
    int32_t code;
    int32_t lastCode;
} VantixFailure;

/* The SDK's short text for an error code. */
const char* vantix_error_text(int32_t code);

typedef struct {
    int32_t handle;
    VantixHwnd window;
    uint16_t model;
    /* As the camera was found when it was opened. */
    int32_t sensorWidth, sensorHeight;
    int32_t windowX, windowY, windowWidth, windowHeight;
    int32_t colorBits;
    int32_t grayMode;
    int32_t bayerMode;
    gboolean mirrorH, mirrorV;
    /* The gray mode the camera had before the element changed it: restored
     * when the camera is closed, so the format a pipeline picked does not
     * stay in the camera's saved settings. */
    gboolean grayModeChanged;
    gboolean streaming;
} VantixCamera;

/* What to set before streaming; -1 (0 for colour mode and window size, 0.0
 * for the exposure) keeps the camera's current value. */
typedef struct {
    int32_t colorBits;
    int32_t grayMode;
    int32_t x, y, width, height;
    int32_t mirrorH, mirrorV;
    double exposureSeconds;
    int32_t gain;
    int32_t waitTimeMs;
} VantixCameraSettings;

/* Opens a session that reports to a new message window (whose procedure is
 * `proc` with `user`), selects camera `index` and reads its state. `model` 0
 * accepts any model, another value only a camera of that model. On failure
 * everything is released again. */
gboolean vantix_camera_open(VantixCamera* camera, int32_t index, uint32_t model, VantixWindowProc proc, void* user,
                            VantixFailure* failure);
/* Stops streaming, destroys the window (no call of its procedure is running
 * or will come after this) and releases the session. */
void vantix_camera_close(VantixCamera* camera);

/* Applies the settings; the camera must not be streaming. */
gboolean vantix_camera_configure(VantixCamera* camera, const VantixCameraSettings* settings, VantixFailure* failure);
/* Starts streaming: each converted frame is announced to the window as
 * VANTIX_MSG_FRAME and stays the current image until the next one. */
gboolean vantix_camera_start(VantixCamera* camera, VantixFailure* failure);
void vantix_camera_stop(VantixCamera* camera);

/* Settings that may change while streaming. */
gboolean vantix_camera_set_exposure(VantixCamera* camera, double seconds, VantixFailure* failure);
gboolean vantix_camera_set_gain(VantixCamera* camera, int32_t gain, VantixFailure* failure);
/* The exposure in seconds, or a negative value when it cannot be read. */
double vantix_camera_exposure(VantixCamera* camera);

/* Copies the current frame, first row first, into `buffer`; FALSE when there
 * is none or it does not fit in `size` bytes. Safe from the window procedure. */
gboolean vantix_camera_copy_frame(VantixCamera* camera, void* buffer, gsize size);

G_END_DECLS

#endif /* VANTIXSRC_CAMERA_H */
