#include "platform/x11_display.h"

#include <atomic>
#include <mutex>
#include <new>
#include <unordered_map>

#include "platform/debug_output.h"

// The per-connection error hook (XESetError) is declared with Xlib's
// internals, which also define min and max as macros.
#include <X11/Xlibint.h>
#include <X11/Xproto.h>
#undef min
#undef max

namespace vantix::x11 {
namespace {

struct ConnectionState {
    std::atomic<int> lastError{0};  // X error code of the newest failed request, 0: none
    std::atomic<bool> broken{false};
};

// The library's open connections. The hooks below run inside Xlib with the
// display locked; they only take this table's mutex, and nothing calls into
// Xlib while holding it.
class ConnectionTable {
public:
    void Add(Display* display, ConnectionState* state) {
        std::lock_guard lock(mutex_);
        states_[display] = state;
    }
    ConnectionState* Remove(Display* display) {
        std::lock_guard lock(mutex_);
        auto it = states_.find(display);
        if (it == states_.end()) return nullptr;
        ConnectionState* state = it->second;
        states_.erase(it);
        return state;
    }
    ConnectionState* Find(Display* display) {
        std::lock_guard lock(mutex_);
        auto it = states_.find(display);
        return it == states_.end() ? nullptr : it->second;
    }

private:
    std::mutex mutex_;
    std::unordered_map<Display*, ConnectionState*> states_;
};

ConnectionTable& Table() {
    static ConnectionTable* const table = new ConnectionTable;  // outlives static destructors
    return *table;
}

// Called by Xlib for every protocol error on the connection before the
// process-wide error handler; a non-zero result means "handled".
int SwallowError(Display* display, xError* error, XExtCodes*, int* result) {
    if (ConnectionState* state = Table().Find(display)) {
        state->lastError = error->errorCode;
        DebugPrintf(DebugCategory::Platform, "x11: request %u.%u failed with error %u\n", error->majorCode,
                    error->minorCode, error->errorCode);
    }
    *result = 0;
    return 1;
}

// Called when the connection breaks; returning keeps the process alive and
// leaves the connection unusable.
void MarkBroken(Display* display, void*) {
    if (ConnectionState* state = Table().Find(display)) state->broken = true;
    DebugOutput(DebugCategory::Platform, "x11: connection to the display lost\n");
}

}  // namespace

Display* OpenPrivateDisplay() noexcept {
    static std::once_flag threadsEnabled;
    std::call_once(threadsEnabled, [] { XInitThreads(); });
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return nullptr;
    XExtCodes* codes = XAddExtension(display);
    if (codes == nullptr) {
        XCloseDisplay(display);
        return nullptr;
    }
    auto* state = new (std::nothrow) ConnectionState;
    if (state == nullptr) {
        XCloseDisplay(display);
        return nullptr;
    }
    try {
        Table().Add(display, state);
    } catch (...) {
        delete state;
        XCloseDisplay(display);
        return nullptr;
    }
    XESetError(display, codes->extension, SwallowError);
    XSetIOErrorExitHandler(display, MarkBroken, nullptr);
    return display;
}

void ClosePrivateDisplay(Display* display) noexcept {
    if (display == nullptr) return;
    // Out of the table first: once closed, the address may be reused by a
    // connection another thread opens.
    ConnectionState* state = Table().Remove(display);
    XCloseDisplay(display);
    delete state;
}

bool SyncAndCheck(Display* display) noexcept {
    ConnectionState* state = Table().Find(display);
    if (state == nullptr || state->broken) return false;
    XSync(display, False);
    return state->lastError.exchange(0) == 0 && !state->broken;
}

bool IsConnected(Display* display) noexcept {
    ConnectionState* state = Table().Find(display);
    return state != nullptr && !state->broken;
}

}  // namespace vantix::x11
