/* One camera session of vantixsrc over the SDK's C interface. */
#include "vantixsrc_camera.h"

#include <math.h>
#include <string.h>

/* The SDK keeps the last 20 codes of a session. */
#define ERROR_HISTORY_DEPTH 20

const char* vantix_error_text(int32_t code) {
    switch (code) {
        case 1: return "no camera engine or wrong acquisition state";
        case 2: return "the camera is not attached or cannot be opened";
        case 3: return "a worker thread or event could not be created";
        case 4: return "no preview window, or no stored capture size matches";
        case 5: return "out of memory, buffer too small or no image";
        case 6: return "the camera refused the request";
        case 7: return "the capture window does not fit the sensor";
        case 8: return "a frame could not be taken";
        case 9: return "an argument is out of range";
        case 11: return "not supported by this camera";
        case 12: return "a file or string could not be handled";
        case 13: return "the camera stopped delivering frames";
        case 14: return "mask file error";
        default: return "unknown error";
    }
}

/* Empties the session's error history, so that the codes found after a call
 * are that call's. */
static void clear_errors(int32_t handle) {
    for (int i = 0; i < ERROR_HISTORY_DEPTH && Vantix_GetLastError(handle) != 0; ++i) {
    }
}

/* Fills `failure` for a call that returned failure: the history holds its
 * codes, newest first (a few calls also record 0, which is skipped). */
static gboolean fail(int32_t handle, const char* call, VantixFailure* failure) {
    failure->call = call;
    failure->code = 0;
    failure->lastCode = 0;
    for (int i = 0; i < ERROR_HISTORY_DEPTH; ++i) {
        const int32_t code = Vantix_GetLastError(handle);
        if (code == 0) continue;
        if (failure->lastCode == 0) failure->lastCode = code;
        failure->code = code;
    }
    return FALSE;
}

static gboolean fail_with(const char* call, int32_t code, VantixFailure* failure) {
    failure->call = call;
    failure->code = code;
    failure->lastCode = code;
    return FALSE;
}

gboolean vantix_camera_open(VantixCamera* camera, int32_t index, uint32_t model, VantixWindowProc proc, void* user,
                            VantixFailure* failure) {
    memset(camera, 0, sizeof *camera);
    camera->window = VantixExt_CreateMessageWindow(proc, user);
    if (camera->window == NULL) return fail_with("VantixExt_CreateMessageWindow", 3, failure);
    camera->handle = Vantix_Initialize(camera->window);
    if (camera->handle == 0) {
        VantixExt_DestroyWindow(camera->window);
        camera->window = NULL;
        return fail_with("Vantix_Initialize", 1, failure);
    }
    clear_errors(camera->handle);

    VantixDeviceDetails details;
    VantixCameraInfo info;
    memset(&info, 0, sizeof info);
    info.size = (int32_t)sizeof info;
    gboolean ok = TRUE;
    if (!Vantix_SetDeviceNumber(camera->handle, index)) {
        ok = fail(camera->handle, "Vantix_SetDeviceNumber", failure);
    } else if (!VantixExt_GetDeviceDetails(camera->handle, index, &details)) {
        ok = fail(camera->handle, "VantixExt_GetDeviceDetails", failure);
    } else if (model != 0 && details.productId != model) {
        /* Another model at that number is as good as no camera of the model. */
        ok = fail_with("VantixExt_GetDeviceDetails", 2, failure);
    } else if (!Vantix_SetPreviewWindow(camera->handle, NULL, 0, 0, 0, 0)) {
        /* Frames are only announced and copied, never drawn. */
        ok = fail(camera->handle, "Vantix_SetPreviewWindow", failure);
    } else if (!Vantix_GetCameraInfo(camera->handle, &info)) {
        ok = fail(camera->handle, "Vantix_GetCameraInfo", failure);
    } else if (!Vantix_GetCaptureWindowEx(camera->handle, NULL, &camera->windowX, &camera->windowWidth, NULL,
                                          &camera->windowY, &camera->windowHeight)) {
        ok = fail(camera->handle, "Vantix_GetCaptureWindowEx", failure);
    }
    if (!ok) {
        vantix_camera_close(camera);
        return FALSE;
    }
    int32_t valid = 0;
    camera->model = details.productId;
    camera->sensorWidth = info.totalWidth;
    camera->sensorHeight = info.totalHeight;
    camera->colorBits = Vantix_GetColorMode(camera->handle);
    camera->grayMode = Vantix_GetGrayMode(camera->handle, &valid);
    if (!valid) camera->grayMode = 0;
    camera->bayerMode = Vantix_GetBayerMode(camera->handle, &valid);
    if (!valid) camera->bayerMode = 0;
    camera->mirrorH = Vantix_GetMirrorH(camera->handle) != 0;
    camera->mirrorV = Vantix_GetMirrorV(camera->handle) != 0;
    return TRUE;
}

void vantix_camera_close(VantixCamera* camera) {
    if (camera->handle != 0) vantix_camera_stop(camera);
    /* Queued frame messages point into the session: the window goes first. */
    if (camera->window != NULL) VantixExt_DestroyWindow(camera->window);
    camera->window = NULL;
    if (camera->handle != 0) {
        if (camera->grayModeChanged) Vantix_SetGrayMode(camera->handle, camera->grayMode);
        Vantix_Release(camera->handle);
    }
    camera->handle = 0;
}

/* The SDK's exposure in microseconds, refused by the SDK when out of range. */
static int32_t exposure_microseconds(double seconds) {
    const double us = round(seconds * 1e6);
    return us >= (double)INT32_MAX ? INT32_MAX : (int32_t)us;
}

gboolean vantix_camera_configure(VantixCamera* camera, const VantixCameraSettings* s, VantixFailure* failure) {
    const int32_t h = camera->handle;
    clear_errors(h);
    if (s->width > 0) {
        if (!Vantix_SetCaptureWindowEx(h, camera->sensorWidth, s->x, s->width, camera->sensorHeight, s->y,
                                       s->height)) {
            return fail(h, "Vantix_SetCaptureWindowEx", failure);
        }
        /* Frames of the window's full size, as the caps say. */
        if (!Vantix_SetSubSample(h, 0)) return fail(h, "Vantix_SetSubSample", failure);
    }
    if (s->colorBits > 0 && !Vantix_SetColorMode(h, s->colorBits)) return fail(h, "Vantix_SetColorMode", failure);
    if (s->grayMode >= 0) {
        int32_t valid = 0;
        const int32_t current = Vantix_GetGrayMode(h, &valid);
        if (!valid || current != s->grayMode) {
            if (!Vantix_SetGrayMode(h, s->grayMode)) return fail(h, "Vantix_SetGrayMode", failure);
            camera->grayModeChanged = TRUE;
        }
    }
    if (s->mirrorH >= 0 && !Vantix_SetMirrorH(h, s->mirrorH)) return fail(h, "Vantix_SetMirrorH", failure);
    if (s->mirrorV >= 0 && !Vantix_SetMirrorV(h, s->mirrorV)) return fail(h, "Vantix_SetMirrorV", failure);
    if (s->exposureSeconds > 0.0 && !vantix_camera_set_exposure(camera, s->exposureSeconds, failure)) return FALSE;
    if (s->gain >= 0 && !vantix_camera_set_gain(camera, s->gain, failure)) return FALSE;
    if (s->waitTimeMs >= 0 && !Vantix_SetWaitTime(h, s->waitTimeMs)) return fail(h, "Vantix_SetWaitTime", failure);
    return TRUE;
}

gboolean vantix_camera_start(VantixCamera* camera, VantixFailure* failure) {
    clear_errors(camera->handle);
    /* No buffer of ours: frames are copied with Vantix_GetImage, under the
     * SDK's image lock, when their message arrives. */
    if (!Vantix_CallBackPreview(camera->handle, camera->window, NULL, 0, 1)) {
        return fail(camera->handle, "Vantix_CallBackPreview", failure);
    }
    camera->streaming = TRUE;
    return TRUE;
}

void vantix_camera_stop(VantixCamera* camera) {
    if (!camera->streaming) return;
    Vantix_StopPreview(camera->handle);
    camera->streaming = FALSE;
}

gboolean vantix_camera_set_exposure(VantixCamera* camera, double seconds, VantixFailure* failure) {
    clear_errors(camera->handle);
    if (!Vantix_SetRealExposureTime(camera->handle, exposure_microseconds(seconds))) {
        return fail(camera->handle, "Vantix_SetRealExposureTime", failure);
    }
    return TRUE;
}

gboolean vantix_camera_set_gain(VantixCamera* camera, int32_t gain, VantixFailure* failure) {
    clear_errors(camera->handle);
    if (!Vantix_SetGlobalGain(camera->handle, gain)) return fail(camera->handle, "Vantix_SetGlobalGain", failure);
    return TRUE;
}

double vantix_camera_exposure(VantixCamera* camera) {
    int32_t valid = 0;
    const int32_t us = Vantix_GetRealExposureTime(camera->handle, &valid);
    return valid ? (double)us / 1e6 : -1.0;
}

gboolean vantix_camera_copy_frame(VantixCamera* camera, void* buffer, gsize size) {
    if (size > (gsize)INT32_MAX) return FALSE;
    return Vantix_GetImage(camera->handle, buffer, (int32_t)size, 1) != 0;
}
