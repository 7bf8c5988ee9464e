/* callback_preview: stream frames into the application's buffer and count
 * them as the SDK announces each one to a message window.
 *
 *   callback_preview [FRAMES [SECONDS [full]]]   defaults: 20 frames, at most 5 s,
 *                                                a 640 x 480 window ("full": the
 *                                                whole sensor)
 *
 * The SDK copies every converted frame into the buffer given to
 * Vantix_CallBackPreview and then posts VANTIX_MSG_FRAME (0x8002) to the
 * window: wParam is the address of a 32-byte frame information record, or 0
 * with an error code in lParam when a frame was lost. The window procedure
 * runs on the window's own dispatch thread, so everything it shares with
 * main() is guarded by a mutex. */
#include <errno.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#define WINDOW_WIDTH 640
#define WINDOW_HEIGHT 480
#define BITS_PER_PIXEL 24
#define EXPOSURE_US 10000

/* What the window procedure and main() share. */
typedef struct Counter {
    pthread_mutex_t mutex;
    pthread_cond_t changed;
    int wanted;       /* frames to count; later ones arrive while stopping */
    int frames;       /* VANTIX_MSG_FRAME messages with a record, up to wanted */
    int lateFrames;   /* frames announced after the wanted count was reached */
    int lostFrames;   /* VANTIX_MSG_FRAME messages with an error code */
    int errors;       /* VANTIX_MSG_ERROR messages */
    int32_t lastError;
    int32_t width, height, bitsPerPixel, rateTenths;
    void* buffer;
    struct timespec first, last; /* arrival of the first and the latest frame */
} Counter;

static int32_t load_field(const int32_t* field) { return __atomic_load_n(field, __ATOMIC_RELAXED); }

/* Runs on the SDK's dispatch thread, one message at a time. It must return
 * quickly: frames that arrive meanwhile wait in the window's queue. */
static intptr_t window_proc(VantixHwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam, void* user) {
    (void)window;
    Counter* counter = user;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    pthread_mutex_lock(&counter->mutex);
    if (message == VANTIX_MSG_FRAME && wParam != 0 && counter->frames >= counter->wanted) {
        /* Frames keep coming until Vantix_StopPreview returns; they are
         * counted apart, so the count does not depend on how quickly main()
         * got round to stopping. */
        counter->lateFrames++;
    } else if (message == VANTIX_MSG_FRAME && wParam != 0) {
        /* wParam points to a VantixFrameInfo record (<vantix/types.h>). The SDK
         * reuses four such records in turn and stores each field whole, so read
         * the fields one at a time while handling the message. */
        const VantixFrameInfo* info = (const VantixFrameInfo*)wParam;
        counter->width = load_field(&info->width);
        counter->height = load_field(&info->height);
        counter->bitsPerPixel = load_field(&info->bitsPerPixel);
        counter->rateTenths = load_field(&info->rateTenths);
        counter->buffer = __atomic_load_n(&info->clientBuffer, __ATOMIC_RELAXED);
        if (counter->frames++ == 0) counter->first = now;
        counter->last = now;
    } else if (message == VANTIX_MSG_FRAME) {
        counter->lostFrames++;
        counter->lastError = (int32_t)lParam;
    } else if (message == VANTIX_MSG_ERROR) {
        counter->errors++;
        counter->lastError = (int32_t)lParam;
    }
    pthread_cond_signal(&counter->changed);
    pthread_mutex_unlock(&counter->mutex);
    return 0;
}

static double seconds_between(struct timespec a, struct timespec b) {
    return (double)(b.tv_sec - a.tv_sec) + (double)(b.tv_nsec - a.tv_nsec) / 1e9;
}

static void report_failure(int32_t handle, const char* what) {
    fprintf(stderr, "error: %s failed, SDK error %d\n", what, (int)Vantix_GetLastError(handle));
}

int main(int argc, char** argv) {
    int wantedFrames = 20, seconds = 5;
    if (argc > 4 || (argc > 1 && (sscanf(argv[1], "%d", &wantedFrames) != 1 || wantedFrames < 1)) ||
        (argc > 2 && (sscanf(argv[2], "%d", &seconds) != 1 || seconds < 1)) ||
        (argc > 3 && strcmp(argv[3], "full") != 0)) {
        fprintf(stderr, "usage: %s [FRAMES [SECONDS [full]]]\n", argv[0]);
        return 2;
    }
    const int fullSensor = argc > 3;

    Counter counter;
    memset(&counter, 0, sizeof counter);
    counter.wanted = wantedFrames;
    pthread_mutex_init(&counter.mutex, NULL);
    /* The deadline below is measured on the monotonic clock. */
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(&counter.changed, &attributes);
    pthread_condattr_destroy(&attributes);

    /* One window receives both the frame messages and the error
     * notifications of the session. */
    VantixHwnd window = VantixExt_CreateMessageWindow(window_proc, &counter);
    if (window == NULL) {
        fprintf(stderr, "error: no message window could be created\n");
        return 1;
    }
    int32_t handle = Vantix_Initialize(window);
    if (handle == 0) {
        fprintf(stderr, "error: no SDK session could be created\n");
        VantixExt_DestroyWindow(window);
        return 1;
    }
    int status = 1;
    uint8_t* buffer = NULL;
    int streaming = 0;

    VantixCameraInfo info = {0};
    info.size = (int32_t)sizeof info;
    if (!Vantix_SetDeviceNumber(handle, 0)) {
        report_failure(handle, "selecting camera 0");
        goto done;
    }
    if (!Vantix_SetPreviewWindow(handle, NULL, 0, 0, 0, 0)) {
        report_failure(handle, "switching the preview window off");
        goto done;
    }
    if (!Vantix_GetCameraInfo(handle, &info)) {
        report_failure(handle, "reading the camera information");
        goto done;
    }
    const int32_t width = fullSensor ? info.totalWidth : WINDOW_WIDTH;
    const int32_t height = fullSensor ? info.totalHeight : WINDOW_HEIGHT;
    if (!Vantix_SetCaptureWindowEx(handle, info.totalWidth, 0, width, info.totalHeight, 0, height)) {
        report_failure(handle, "setting the capture window");
        goto done;
    }
    if (!Vantix_SetColorMode(handle, BITS_PER_PIXEL)) {
        report_failure(handle, "setting the colour mode");
        goto done;
    }
    /* The exposure bounds the frame rate: 10 ms allows up to 100 frames/s. */
    if (!Vantix_SetRealExposureTime(handle, EXPOSURE_US)) {
        report_failure(handle, "setting the exposure time");
        goto done;
    }

    /* The buffer must hold a whole frame: rows padded to 4 bytes. The SDK
     * copies each new frame into it without waiting for the application, so
     * this program reads it only once the preview has stopped. (To look at
     * frames while streaming, pass NULL here and copy the current frame with
     * Vantix_GetImage from the window procedure.) */
    size_t stride = ((size_t)Vantix_Width(handle) * (BITS_PER_PIXEL / 8) + 3) & ~(size_t)3;
    size_t bytes = stride * (size_t)Vantix_Height(handle);
    buffer = malloc(bytes);
    if (buffer == NULL) {
        fprintf(stderr, "error: no memory for a %zu-byte frame buffer\n", bytes);
        goto done;
    }
    if (!Vantix_CallBackPreview(handle, window, buffer, (int32_t)bytes, 1)) {
        report_failure(handle, "starting the preview");
        goto done;
    }
    streaming = 1;

    /* Wait until enough frames were counted or the time is up. */
    struct timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += seconds;
    pthread_mutex_lock(&counter.mutex);
    while (counter.frames < wantedFrames && counter.lostFrames == 0) {
        if (pthread_cond_timedwait(&counter.changed, &counter.mutex, &deadline) == ETIMEDOUT) break;
    }
    pthread_mutex_unlock(&counter.mutex);

    /* Stopping joins the SDK's worker: no frame is copied into the buffer
     * after this returns, so the buffer can be read (and freed) safely. */
    if (!Vantix_StopPreview(handle)) {
        report_failure(handle, "stopping the preview");
        goto done;
    }
    streaming = 0;

    pthread_mutex_lock(&counter.mutex);
    int frames = counter.frames, late = counter.lateFrames, lost = counter.lostFrames, errors = counter.errors;
    int32_t lastError = counter.lastError;
    double elapsed = seconds_between(counter.first, counter.last);
    printf("frames: %d in %.2f s, %.1f fps\n", frames, elapsed, frames > 1 && elapsed > 0 ? (frames - 1) / elapsed : 0.0);
    if (late > 0) printf("frames announced while stopping: %d\n", late);
    /* The SDK measures its rate over one-second intervals. */
    if (counter.rateTenths > 0) printf("rate measured by the SDK: %.1f fps\n", counter.rateTenths / 10.0);
    printf("last frame: %d x %d, %d bits per pixel, %s\n", (int)counter.width, (int)counter.height,
           (int)counter.bitsPerPixel, counter.buffer == buffer ? "in our buffer" : "NOT in our buffer");
    int recordOk = frames == 0 || (counter.width == Vantix_Width(handle) && counter.height == Vantix_Height(handle) &&
                                   counter.bitsPerPixel == BITS_PER_PIXEL && counter.buffer == buffer);
    pthread_mutex_unlock(&counter.mutex);

    /* The last frame is still in the buffer: a cheap look at its content. */
    unsigned long long sum = 0;
    for (size_t i = 0; i < bytes; ++i) sum += buffer[i];
    printf("mean sample of the last frame: %.1f\n", (double)sum / (double)bytes);

    if (lost != 0 || errors != 0) {
        fprintf(stderr, "error: %d frames lost, %d error notifications, last code %d\n", lost, errors, (int)lastError);
    } else if (frames < wantedFrames) {
        fprintf(stderr, "error: only %d of %d frames arrived within %d s\n", frames, wantedFrames, seconds);
    } else if (!recordOk) {
        fprintf(stderr, "error: the frame information does not match the capture settings\n");
    } else {
        status = 0;
    }

done:
    if (streaming) Vantix_StopPreview(handle);
    /* Frame messages still queued point into records that belong to the
     * session: destroy the window first (it drops queued messages and waits
     * for a running window procedure), then release the session. */
    VantixExt_DestroyWindow(window);
    if (!Vantix_Release(handle)) {
        fprintf(stderr, "error: releasing the session failed\n");
        status = 1;
    }
    free(buffer);
    pthread_cond_destroy(&counter.changed);
    pthread_mutex_destroy(&counter.mutex);
    return status;
}
