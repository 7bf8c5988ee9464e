#pragma once
// A preview window on the X11 desktop: a child of an application's window, or
// a top-level window of its own, on a private display connection. It paints
// nothing by itself (black background); each Present puts one picture in it.
//
// One thread at a time may use an object; the session hands it between the
// application's thread (create, destroy) and its preview worker (draw) under
// its image lock.
#include <cstdint>
#include <memory>
#include <string>

namespace vantix {

struct RgbQuad;

struct PreviewWindowPlacement {
    unsigned long parent = 0;  // X11 window to be the child of; 0: top-level
    // Child: position and size in the parent. Top-level: the client size;
    // the window is centred on the screen (never at a negative position).
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::string title;      // window name
    std::string className;  // WM_CLASS class, unique per session and start
};

// Rows of an 8-bit (gray through `palette`) or 24-bit (B, G, R) picture.
struct PreviewPicture {
    const uint8_t* bits = nullptr;  // memory row 0
    int32_t stride = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerPixel = 0;        // 1 or 3
    const RgbQuad* palette = nullptr;  // 256 entries, for 1 byte per pixel
    // False: memory row 0 goes to the top of the window. True: the last
    // memory row does (a bottom-up image shown as stored).
    bool lastRowOnTop = false;
};

class X11PreviewWindow {
public:
    // Null when there is no display, the parent does not exist, or the server
    // refuses the window; nothing is left behind then.
    static std::unique_ptr<X11PreviewWindow> Create(const PreviewWindowPlacement& placement);
    ~X11PreviewWindow();
    X11PreviewWindow(const X11PreviewWindow&) = delete;
    X11PreviewWindow& operator=(const X11PreviewWindow&) = delete;

    struct ClientArea {
        bool visible = false;  // mapped, with every ancestor mapped
        int32_t width = 0;
        int32_t height = 0;
    };
    // The window's current state (one round trip to the server). Handles the
    // window manager's close request by hiding the window.
    ClientArea QueryClientArea();
    // Shows `picture` at the window's top-left corner, converted to the
    // server's pixel format. False when the server cannot take it.
    bool Present(const PreviewPicture& picture);

    unsigned long Xid() const;
    // True when pictures go through a shared-memory segment.
    bool UsesSharedMemory() const;

private:
    struct Impl;
    explicit X11PreviewWindow(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace vantix
