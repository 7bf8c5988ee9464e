#include "platform/x11_window_target.h"

#include <X11/Xlib.h>

#include <memory>
#include <mutex>

#include "platform/window_messages.h"
#include "platform/x11_display.h"

namespace vantix {
namespace {

// One connection, opened on the first post and kept for the life of the
// process, carries every message to wrapped windows. Xlib serialises its use
// by several threads (thread support is enabled before it is opened).
class MessageSender {
public:
    static MessageSender& Instance() {
        static MessageSender* const sender = new MessageSender;  // posts may run during exit
        return *sender;
    }

    bool Send(unsigned long xid, uint32_t message, uintptr_t wParam, intptr_t lParam) {
        Display* display = Connection();
        if (display == nullptr || !x11::IsConnected(display)) return false;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = xid;
        event.xclient.message_type = atom_;
        event.xclient.format = 32;
        // Format-32 items are 32 bits on the wire: 64-bit values go in halves.
        const auto w = static_cast<uint64_t>(wParam);
        const auto l = static_cast<uint64_t>(static_cast<int64_t>(lParam));
        event.xclient.data.l[0] = static_cast<long>(message);
        event.xclient.data.l[1] = static_cast<long>(w & 0xFFFFFFFFu);
        event.xclient.data.l[2] = static_cast<long>(w >> 32);
        event.xclient.data.l[3] = static_cast<long>(l & 0xFFFFFFFFu);
        event.xclient.data.l[4] = static_cast<long>(l >> 32);
        // A window that no longer exists fails on the server; the connection
        // swallows that error, so the post is not waited for.
        if (XSendEvent(display, xid, False, NoEventMask, &event) == 0) return false;
        XFlush(display);
        return true;
    }

private:
    Display* Connection() {
        std::call_once(opened_, [this] {
            display_ = x11::OpenPrivateDisplay();
            if (display_ != nullptr) atom_ = XInternAtom(display_, kX11MessageAtom, False);
        });
        return display_;
    }

    std::once_flag opened_;
    Display* display_ = nullptr;
    Atom atom_ = None;
};

class X11WindowTarget final : public WindowTarget {
public:
    explicit X11WindowTarget(unsigned long xid) : xid_(xid) {}
    bool Post(uint32_t message, uintptr_t wParam, intptr_t lParam) noexcept override {
        try {
            return MessageSender::Instance().Send(xid_, message, wParam, lParam);
        } catch (...) {  // std::system_error from the first open
            return false;
        }
    }
    unsigned long Xid() const { return xid_; }

private:
    const unsigned long xid_;
};

}  // namespace

VantixHwnd WrapX11Window(unsigned long xid) noexcept {
    if (xid == 0) return nullptr;
    try {
        return RegisterWindow(std::make_shared<X11WindowTarget>(xid));
    } catch (...) {  // std::bad_alloc
        return nullptr;
    }
}

unsigned long X11WindowOf(VantixHwnd window) noexcept {
    const auto target = std::dynamic_pointer_cast<X11WindowTarget>(FindWindow(window));
    return target ? target->Xid() : 0;
}

}  // namespace vantix
