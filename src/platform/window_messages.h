#pragma once
// The windows that receive the SDK's messages on Linux. A window handle is an
// opaque id looked up in a process-wide table, never the address of an object:
// a stale or garbage handle fails cleanly instead of touching freed memory.
//
// Every function here is safe to call from any thread and never throws; out of
// memory or threads shows up as a null handle or a false/-1 result.
#include <vantix/linux_ext.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vantix {

// Longest queue a message window or pollable window keeps. A queue this long
// means the application has stopped taking messages (a window procedure that
// never returns, or nobody calling GetMessage); further posts are refused
// (PostWindowMessage returns false) instead of growing memory without bound.
inline constexpr size_t kMaxQueuedMessages = 65536;

// GetWindowMessage timeout meaning "wait without limit".
inline constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

// One kind of window. The table holds targets by shared_ptr and calls them
// outside its lock, so Post may run on any thread, concurrently with Close and
// even after Close has returned; implementations must cope with both.
class WindowTarget {
public:
    WindowTarget() = default;
    WindowTarget(const WindowTarget&) = delete;
    WindowTarget& operator=(const WindowTarget&) = delete;
    virtual ~WindowTarget();

    // Queues or forwards a message without waiting for it to be handled.
    // False when it was not accepted (window closed, queue full, ...).
    virtual bool Post(uint32_t message, uintptr_t wParam, intptr_t lParam) noexcept = 0;
    // Tells the target its handle, once, before the handle becomes visible to
    // anyone else.
    virtual void OnRegistered(VantixHwnd self) noexcept;
    // Called once when the window is destroyed, after it has left the table.
    virtual void Close() noexcept;
};

// Puts a target into the table under a new handle that is never reused.
// Null when the table cannot grow.
VantixHwnd RegisterWindow(std::shared_ptr<WindowTarget> target) noexcept;
// The live target behind a handle; null for null, garbage or destroyed handles.
std::shared_ptr<WindowTarget> FindWindow(VantixHwnd window) noexcept;
bool IsLiveWindow(VantixHwnd window) noexcept;

// Posts to any kind of window. False for null or dead windows and for a full
// queue; never waits for the message to be handled.
bool PostWindowMessage(VantixHwnd window, uint32_t message, uintptr_t wParam,
                       intptr_t lParam) noexcept;

// Removes a window from the table (later posts fail at once) and closes it.
// For a message window, queued messages are discarded and, once this returns,
// the procedure is never called again: a call running on the dispatch thread
// is waited for. Called from that window's own procedure, it returns without
// waiting and the dispatch thread ends when the procedure returns.
// Two message windows whose procedures destroy each other at the same moment
// wait for each other forever, as two threads joining each other would.
// False when the handle names no live window.
bool DestroyWindow(VantixHwnd window) noexcept;

// A window whose messages are handed to proc(window, message, wParam, lParam,
// user) in posting order on a dispatch thread of its own. Null when proc is
// null or no thread can be started.
VantixHwnd CreateMessageWindow(VantixWindowProc proc, void* user) noexcept;

// A window whose messages wait in a queue until fetched with GetWindowMessage.
// Its eventfd (GetMessageFd) is readable exactly while messages are queued.
VantixHwnd CreatePollableWindow() noexcept;
// -1 for anything but a live pollable window.
int32_t GetMessageFd(VantixHwnd window) noexcept;
// Takes the oldest queued message, waiting up to timeoutMs (0: not at all,
// kWaitForever: without limit). 1 when *message was filled, 0 on timeout, -1
// for a null message pointer or a window that is not a live pollable window,
// including one destroyed while this call waited.
int32_t GetWindowMessage(VantixHwnd window, VantixMessage* message, uint32_t timeoutMs) noexcept;

}  // namespace vantix
