/* grab_frame: open a camera, take one 24-bit colour picture of 640 x 480
 * pixels into the application's own buffer and print what it contains.
 *
 *   grab_frame [CAMERA]     CAMERA: index of the attached camera, from 0
 *
 * Without a camera attached, run it with VANTIX_EMULATE=3040 (one virtual
 * camera) or VANTIX_EMULATE=3040:2 (two of them). */
#include <stdio.h>
#include <stdlib.h>

#include <vantix/exports.h>

#define WINDOW_WIDTH 640
#define WINDOW_HEIGHT 480
#define BITS_PER_PIXEL 24

/* Prints what failed with the newest code of the session's error history.
 * Vantix_GetLastError removes the code it returns. */
static void report_failure(int32_t handle, const char* what) {
    fprintf(stderr, "error: %s failed, SDK error %d\n", what, (int)Vantix_GetLastError(handle));
}

int main(int argc, char** argv) {
    int camera = 0;
    if (argc > 2 || (argc == 2 && sscanf(argv[1], "%d", &camera) != 1)) {
        fprintf(stderr, "usage: %s [CAMERA]\n", argv[0]);
        return 2;
    }

    /* No notification window: failures are read from the error history. */
    int32_t handle = Vantix_Initialize(NULL);
    if (handle == 0) {
        fprintf(stderr, "error: no SDK session could be created\n");
        return 1;
    }
    int status = 1;
    uint8_t* image = NULL;

    /* Initialize opens the camera by itself only when exactly one is
     * attached; selecting it explicitly works in every case. */
    char names[VANTIX_NAME_LIST_ENTRIES * VANTIX_NAME_LIST_ENTRY_CHARS];
    int32_t count = Vantix_EnumDevice(handle, names);
    if (camera < 0 || camera >= count) {
        fprintf(stderr, "error: camera %d is not attached (%d found; VANTIX_EMULATE=3040 adds a virtual one)\n",
                camera, (int)count);
        goto done;
    }
    if (!Vantix_SetDeviceNumber(handle, camera)) {
        report_failure(handle, "selecting the camera");
        goto done;
    }
    printf("camera %d: %s\n", camera, names + camera * VANTIX_NAME_LIST_ENTRY_CHARS);

    /* No preview window: without this call the SDK would try to open one. */
    if (!Vantix_SetPreviewWindow(handle, NULL, 0, 0, 0, 0)) {
        report_failure(handle, "switching the preview window off");
        goto done;
    }

    /* A window in the middle of the sensor. Start positions stay even so the
     * window begins on the same colour of the Bayer pattern as the sensor. */
    VantixCameraInfo info = {0};
    info.size = (int32_t)sizeof info;
    if (!Vantix_GetCameraInfo(handle, &info)) {
        report_failure(handle, "reading the camera information");
        goto done;
    }
    int32_t startX = ((info.totalWidth - WINDOW_WIDTH) / 2) & ~1;
    int32_t startY = ((info.totalHeight - WINDOW_HEIGHT) / 2) & ~1;
    if (!Vantix_SetCaptureWindowEx(handle, info.totalWidth, startX, WINDOW_WIDTH, info.totalHeight, startY,
                                   WINDOW_HEIGHT)) {
        report_failure(handle, "setting the capture window");
        goto done;
    }
    if (!Vantix_SetColorMode(handle, BITS_PER_PIXEL)) {
        report_failure(handle, "setting the colour mode");
        goto done;
    }

    /* Images are rows of blue, green, red bytes, each row padded to a
     * multiple of 4 bytes. */
    int32_t width = Vantix_Width(handle);
    int32_t height = Vantix_Height(handle);
    size_t stride = ((size_t)width * (BITS_PER_PIXEL / 8) + 3) & ~(size_t)3;
    size_t bytes = stride * (size_t)height;
    image = malloc(bytes);
    if (image == NULL) {
        fprintf(stderr, "error: no memory for a %zu-byte image\n", bytes);
        goto done;
    }

    /* SnapShot acquires and converts one frame and keeps it in the session;
     * GetImage copies it out (it could also go straight into the buffer with
     * Vantix_SnapShot(handle, image, bytes, 1)). With a last argument of 1 the
     * rows come in the order of a saved PNG file, top row first; 0 turns them
     * over (bottom row first, as in a BMP file). */
    if (!Vantix_SnapShot(handle, NULL, 0, 1)) {
        report_failure(handle, "taking a picture");
        goto done;
    }
    if (!Vantix_GetImage(handle, image, (int32_t)bytes, 1)) {
        report_failure(handle, "copying the picture");
        goto done;
    }

    /* Mean of each channel and the darkest and brightest green sample. */
    double sum[3] = {0, 0, 0};
    int darkest = 255, brightest = 0;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* pixel = image + (size_t)y * stride;
        for (int32_t x = 0; x < width; ++x, pixel += 3) {
            for (int c = 0; c < 3; ++c) sum[c] += pixel[c];
            if (pixel[1] < darkest) darkest = pixel[1];
            if (pixel[1] > brightest) brightest = pixel[1];
        }
    }
    double pixels = (double)width * (double)height;
    printf("image: %d x %d, %d bits per pixel, %zu bytes\n", (int)width, (int)height, BITS_PER_PIXEL, bytes);
    printf("mean red %.1f, green %.1f, blue %.1f; green from %d to %d\n", sum[2] / pixels, sum[1] / pixels,
           sum[0] / pixels, darkest, brightest);
    status = 0;

done:
    free(image);
    /* Release saves the camera's settings and closes it. */
    if (!Vantix_Release(handle)) {
        fprintf(stderr, "error: releasing the session failed\n");
        status = 1;
    }
    return status;
}
