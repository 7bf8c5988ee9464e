#include "preview/x11_preview_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "imaging/dib_image.h"
#include "imaging/display_pixels.h"
#include "platform/x11_display.h"

namespace vantix {
namespace {

// How one colour channel sits in a server pixel.
struct Channel {
    int shift = 0;
    int bits = 0;
    static Channel FromMask(unsigned long mask) {
        if (mask == 0) return {};
        return {std::countr_zero(mask), std::popcount(mask)};
    }
    unsigned long Place(uint8_t value) const {
        const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                               : static_cast<unsigned long>(value) >> (8 - bits);
        return scaled << shift;
    }
};

struct PixelFormat {
    Channel red, green, blue;
    unsigned long fill = 0;  // bits outside the colour masks (alpha of 32-bit visuals) set to opaque
    unsigned long Pixel(uint8_t r, uint8_t g, uint8_t b) const {
        return fill | red.Place(r) | green.Place(g) | blue.Place(b);
    }
};

// The picture's row shown at window row y.
const uint8_t* SourceRow(const PreviewPicture& picture, int32_t y) {
    const int32_t row = picture.lastRowOnTop ? picture.height - 1 - y : y;
    return picture.bits + static_cast<ptrdiff_t>(row) * picture.stride;
}

}  // namespace

struct X11PreviewWindow::Impl {
    Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    PixelFormat format;
    Atom deleteWindow = None;
    // The server image, re-made when the picture size changes.
    XImage* image = nullptr;
    XShmSegmentInfo segment{};
    bool sharedMemoryPossible = false;
    bool usingSharedMemory = false;
    std::array<uint32_t, 256> grayPixels{};

    ~Impl() {
        FreeImage();
        if (display != nullptr) {
            if (gc != nullptr) XFreeGC(display, gc);
            if (window != 0) XDestroyWindow(display, window);
            x11::ClosePrivateDisplay(display);  // frees whatever else the server holds for us
        }
    }

    void FreeImage() {
        if (image == nullptr) return;
        if (usingSharedMemory) {
            XShmDetach(display, &segment);
            XSync(display, False);
            shmdt(segment.shmaddr);
        } else {
            std::free(image->data);
        }
        image->data = nullptr;
        XDestroyImage(image);
        image = nullptr;
        usingSharedMemory = false;
    }

    XImage* SharedImage(int32_t width, int32_t height) {
        XImage* made = XShmCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &segment,
                                       static_cast<unsigned>(width), static_cast<unsigned>(height));
        if (made == nullptr) return nullptr;
        const size_t bytes = static_cast<size_t>(made->bytes_per_line) * static_cast<size_t>(height);
        segment.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (segment.shmid < 0) {
            XDestroyImage(made);
            return nullptr;
        }
        segment.shmaddr = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
        segment.readOnly = False;
        // Errors of earlier requests (a window gone meanwhile) must not be
        // taken for a refused attach.
        x11::SyncAndCheck(display);
        bool attached = segment.shmaddr != reinterpret_cast<char*>(-1) && XShmAttach(display, &segment) &&
                        x11::SyncAndCheck(display);
        // Marked for removal at once: the segment goes away with its last
        // user, even if this process dies.
        shmctl(segment.shmid, IPC_RMID, nullptr);
        if (!attached) {
            if (segment.shmaddr != reinterpret_cast<char*>(-1)) shmdt(segment.shmaddr);
            made->data = nullptr;
            XDestroyImage(made);
            return nullptr;
        }
        made->data = segment.shmaddr;
        return made;
    }

    XImage* PlainImage(int32_t width, int32_t height) {
        XImage* made = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                                    static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
        if (made == nullptr) return nullptr;
        made->data = static_cast<char*>(
            std::malloc(static_cast<size_t>(made->bytes_per_line) * static_cast<size_t>(height)));
        if (made->data == nullptr) {
            XDestroyImage(made);
            return nullptr;
        }
        return made;
    }

    bool EnsureImage(int32_t width, int32_t height) {
        if (image != nullptr && image->width == width && image->height == height) return true;
        FreeImage();
        if (sharedMemoryPossible) {
            image = SharedImage(width, height);
            usingSharedMemory = image != nullptr;
            // A server that cannot map our memory (another machine) never will.
            sharedMemoryPossible = usingSharedMemory;
        }
        if (image == nullptr) image = PlainImage(width, height);
        return image != nullptr;
    }

    // True when pixels are 32-bit words in this machine's byte order with
    // 8-bit channels, so that a pixel is one shifted store.
    bool WordPixels() const {
        const int hostOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
        return image->bits_per_pixel == 32 && image->byte_order == hostOrder && format.red.bits == 8 &&
               format.green.bits == 8 && format.blue.bits == 8;
    }

    // True for the usual X server layout: B, G, R in bytes 0, 1, 2 of a word.
    bool BgrxWords() const {
        return std::endian::native == std::endian::little && WordPixels() && format.red.shift == 16 && format.green.shift == 8 && format.blue.shift == 0;
    }

    static bool GrayRamp(const RgbQuad* palette) {
        for (int i = 0; i < 256; ++i) {
            const RgbQuad& c = palette[i];
            if (c.red != i || c.green != i || c.blue != i) return false;
        }
        return true;
    }

    void Convert(const PreviewPicture& picture) {
        const int32_t width = picture.width;
        if (picture.bytesPerPixel == 1) {
            for (int i = 0; i < 256; ++i) {
                const RgbQuad& c = picture.palette[i];
                grayPixels[static_cast<size_t>(i)] = static_cast<uint32_t>(format.Pixel(c.red, c.green, c.blue));
            }
        }
        const auto outRow = [&](int32_t y) {
            return reinterpret_cast<uint32_t*>(image->data + static_cast<ptrdiff_t>(y) * image->bytes_per_line);
        };
        if (BgrxWords()) {
            const uint32_t fill = static_cast<uint32_t>(format.fill);
            const bool ramp = picture.bytesPerPixel == 1 && GrayRamp(picture.palette);
            for (int32_t y = 0; y < picture.height; ++y) {
                const uint8_t* in = SourceRow(picture, y);
                uint32_t* out = outRow(y);
                if (picture.bytesPerPixel == 3) {
                    BgrToBgrxRow(in, out, width, fill);
                } else if (ramp) {
                    GrayToBgrxRow(in, out, width, fill);
                } else {
                    for (int32_t x = 0; x < width; ++x) out[x] = grayPixels[in[x]];
                }
            }
            return;
        }
        if (WordPixels()) {
            const uint32_t fill = static_cast<uint32_t>(format.fill);
            const int rs = format.red.shift, gs = format.green.shift, bs = format.blue.shift;
            for (int32_t y = 0; y < picture.height; ++y) {
                const uint8_t* in = SourceRow(picture, y);
                uint32_t* out = outRow(y);
                if (picture.bytesPerPixel == 3) {
                    for (int32_t x = 0; x < width; ++x) {
                        out[x] = fill | (uint32_t{in[3 * x + 2]} << rs) | (uint32_t{in[3 * x + 1]} << gs) |
                                 (uint32_t{in[3 * x]} << bs);
                    }
                } else {
                    for (int32_t x = 0; x < width; ++x) out[x] = grayPixels[in[x]];
                }
            }
            return;
        }
        // Any other TrueColor layout (16-bit, 24-bit packed, other byte order).
        for (int32_t y = 0; y < picture.height; ++y) {
            const uint8_t* in = SourceRow(picture, y);
            for (int32_t x = 0; x < width; ++x) {
                const unsigned long pixel = picture.bytesPerPixel == 3
                                                ? format.Pixel(in[3 * x + 2], in[3 * x + 1], in[3 * x])
                                                : grayPixels[in[x]];
                XPutPixel(image, x, y, pixel);
            }
        }
    }
};

X11PreviewWindow::X11PreviewWindow(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
X11PreviewWindow::~X11PreviewWindow() = default;

std::unique_ptr<X11PreviewWindow> X11PreviewWindow::Create(const PreviewWindowPlacement& placement) {
    auto impl = std::make_unique<Impl>();
    impl->display = x11::OpenPrivateDisplay();
    if (impl->display == nullptr) return nullptr;
    Display* display = impl->display;
    const int screen = DefaultScreen(display);
    const bool child = placement.parent != 0;
    Window parent = child ? placement.parent : RootWindow(display, screen);

    XWindowAttributes parentAttributes{};
    if (XGetWindowAttributes(display, parent, &parentAttributes) == 0) return nullptr;  // no such parent

    // X11 windows cannot be empty; an empty child stays unmapped and so is
    // never drawn into, as an empty client area would not be.
    const bool empty = placement.width <= 0 || placement.height <= 0;
    const auto width = static_cast<unsigned>(std::max(1, placement.width));
    const auto height = static_cast<unsigned>(std::max(1, placement.height));
    int x = placement.x;
    int y = placement.y;
    if (!child) {
        x = std::max(0, (DisplayWidth(display, screen) - static_cast<int>(width)) / 2);
        y = std::max(0, (DisplayHeight(display, screen) - static_cast<int>(height)) / 2);
    }
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    impl->window = XCreateWindow(display, parent, x, y, width, height, 0, CopyFromParent, InputOutput,
                                 CopyFromParent, CWBackPixel, &attributes);
    if (impl->window == 0) return nullptr;

    XStoreName(display, impl->window, placement.title.c_str());
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, impl->window, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(placement.title.data()),
                    static_cast<int>(placement.title.size()));
    std::string className = placement.className;
    std::string instanceName = "vantix-preview";
    XClassHint classHint{instanceName.data(), className.data()};
    XSetClassHint(display, impl->window, &classHint);
    if (!child) {
        // Ask the window manager for the computed position, and for a close
        // request instead of cutting the connection when the user closes it.
        XSizeHints hints{};
        hints.flags = USPosition | PPosition | PSize;
        hints.x = x;
        hints.y = y;
        hints.width = static_cast<int>(width);
        hints.height = static_cast<int>(height);
        XSetWMNormalHints(display, impl->window, &hints);
        impl->deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, impl->window, &impl->deleteWindow, 1);
    }
    impl->gc = XCreateGC(display, impl->window, 0, nullptr);
    if (!empty) XMapWindow(display, impl->window);
    if (impl->gc == nullptr || !x11::SyncAndCheck(display)) return nullptr;

    XWindowAttributes own{};
    if (XGetWindowAttributes(display, impl->window, &own) == 0 || own.visual == nullptr) return nullptr;
    if (own.visual->c_class != TrueColor && own.visual->c_class != DirectColor) return nullptr;
    impl->visual = own.visual;
    impl->depth = own.depth;
    impl->format.red = Channel::FromMask(own.visual->red_mask);
    impl->format.green = Channel::FromMask(own.visual->green_mask);
    impl->format.blue = Channel::FromMask(own.visual->blue_mask);
    const unsigned long depthMask = own.depth >= 32 ? ~0ul : (1ul << own.depth) - 1;
    impl->format.fill = depthMask & ~(own.visual->red_mask | own.visual->green_mask | own.visual->blue_mask);
    impl->sharedMemoryPossible = XShmQueryExtension(display) == True;
    return std::unique_ptr<X11PreviewWindow>(new X11PreviewWindow(std::move(impl)));
}

X11PreviewWindow::ClientArea X11PreviewWindow::QueryClientArea() {
    Display* display = impl_->display;
    if (!x11::IsConnected(display)) return {};
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == ClientMessage && impl_->deleteWindow != None &&
            static_cast<Atom>(event.xclient.data.l[0]) == impl_->deleteWindow) {
            XUnmapWindow(display, impl_->window);
        }
    }
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, impl_->window, &attributes) == 0) return {};
    return {attributes.map_state == IsViewable, attributes.width, attributes.height};
}

bool X11PreviewWindow::Present(const PreviewPicture& picture) {
    if (picture.bits == nullptr || picture.width <= 0 || picture.height <= 0 ||
        (picture.bytesPerPixel != 1 && picture.bytesPerPixel != 3) ||
        (picture.bytesPerPixel == 1 && picture.palette == nullptr)) {
        return false;
    }
    Impl& impl = *impl_;
    if (!x11::IsConnected(impl.display) || !impl.EnsureImage(picture.width, picture.height)) return false;
    impl.Convert(picture);
    const auto width = static_cast<unsigned>(picture.width);
    const auto height = static_cast<unsigned>(picture.height);
    if (impl.usingSharedMemory) {
        XShmPutImage(impl.display, impl.window, impl.gc, impl.image, 0, 0, 0, 0, width, height, False);
        // The segment is written again by the next frame: wait until the
        // server has copied it.
        return x11::SyncAndCheck(impl.display);
    }
    XPutImage(impl.display, impl.window, impl.gc, impl.image, 0, 0, 0, 0, width, height);
    XFlush(impl.display);
    return true;
}

unsigned long X11PreviewWindow::Xid() const { return impl_->window; }
bool X11PreviewWindow::UsesSharedMemory() const { return impl_->usingSharedMemory; }

}  // namespace vantix
