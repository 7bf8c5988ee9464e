/* x11_preview: a live preview of a camera in an X11 window.
 *
 * Opens a 640 x 480 window, makes the SDK's preview window its child, and
 * runs the callback preview for a few seconds (argument 1, default 3; 0 runs
 * until the window is closed). The SDK's frame and error messages arrive in
 * the same X event loop as ClientMessage events, because the application's
 * window is also the callback and notification window.
 *
 *   VANTIX_EMULATE=3040 ./x11_preview 5      (a virtual camera)
 */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <vantix/exports.h>
#include <vantix/linux_ext.h>

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? atof(argv[1]) : 3.0;
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fprintf(stderr, "x11_preview: cannot open the X display (is DISPLAY set?)\n");
        return 1;
    }
    const int screen = DefaultScreen(display);
    Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 640, 480, 0,
                                        BlackPixel(display, screen), BlackPixel(display, screen));
    XStoreName(display, window, "Vantix live preview");
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display, window, &deleteWindow, 1);
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    XSync(display, False);
    const Atom vantixMessage = XInternAtom(display, "VANTIX_MESSAGE", False);

    /* One handle for the window serves as preview parent, callback window and
     * notification window. */
    VantixHwnd parent = VantixExt_WrapX11Window(window);
    int32_t handle = Vantix_Initialize(parent);
    int status = 1;
    if (handle == 0) {
        fprintf(stderr, "x11_preview: Vantix_Initialize failed\n");
        goto close_display;
    }
    if (!Vantix_SetDeviceNumber(handle, 0)) { /* the first camera */
        fprintf(stderr, "x11_preview: no camera (error %d); try VANTIX_EMULATE=3040\n", Vantix_GetLastError(handle));
        goto release;
    }
    /* A 1280 x 960 window of the sensor, drawn scaled into the 640 x 480 child. */
    if (!Vantix_SetCaptureWindowEx(handle, 3856, 0, 1280, 2764, 0, 960) || !Vantix_SetColorMode(handle, 24) ||
        !Vantix_SetPreviewWindow(handle, parent, 0, 0, 640, 480) ||
        !Vantix_CallBackPreview(handle, parent, NULL, 0, 0)) {
        fprintf(stderr, "x11_preview: preview failed (error %d)\n", Vantix_GetLastError(handle));
        goto release;
    }

    long frames = 0;
    int32_t rateTenths = 0;
    int running = 1;
    const double start = Now();
    while (running && (seconds <= 0 || Now() - start < seconds)) {
        if (XPending(display) == 0) {
            struct pollfd fd = {ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, 100);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage && event.xclient.message_type == vantixMessage) {
            VantixMessage message;
            VantixExt_MessageFromClientData(event.xclient.data.l, &message);
            if (message.message == VANTIX_MSG_FRAME && message.wParam != 0) {
                const VantixFrameInfo* info = (const VantixFrameInfo*)message.wParam;
                rateTenths = info->rateTenths;
                ++frames;
            }
            if (message.message == VANTIX_MSG_FRAME && message.wParam == 0)
                fprintf(stderr, "x11_preview: frame failed, code %ld\n", (long)message.lParam);
            if (message.message == VANTIX_MSG_ERROR) fprintf(stderr, "x11_preview: SDK error %ld\n", (long)message.lParam);
        } else if (event.type == ClientMessage && (Atom)event.xclient.data.l[0] == deleteWindow) {
            running = 0;
        } else if (event.type == ConfigureNotify) {
            /* Keep the preview filling the window: the SDK re-sizes its
             * scaled image when its window changes size. */
            Window child = 0, root = 0, parentOfWindow = 0;
            Window* children = NULL;
            unsigned count = 0;
            if (XQueryTree(display, window, &root, &parentOfWindow, &children, &count) && count > 0) child = children[0];
            if (children != NULL) XFree(children);
            if (child != 0) XResizeWindow(display, child, (unsigned)event.xconfigure.width, (unsigned)event.xconfigure.height);
        }
    }
    const double elapsed = Now() - start;
    printf("%ld frames shown in %.1f s (%.1f frames/s), camera rate %.1f frames/s\n", frames, elapsed,
           elapsed > 0 ? (double)frames / elapsed : 0.0, rateTenths / 10.0);
    Vantix_Close(handle);
    status = frames > 0 ? 0 : 1;
release:
    Vantix_Release(handle);
close_display:
    VantixExt_DestroyWindow(parent);
    XDestroyWindow(display, window);
    XCloseDisplay(display);
    return status;
}
