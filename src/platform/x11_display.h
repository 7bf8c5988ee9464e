#pragma once
// Private X11 display connections for the library's own windows. Each
// connection swallows the protocol errors of its own requests (a parent window
// the application destroyed, a shared-memory attach refused by a remote
// server) instead of handing them to the application's error handler, whose
// default ends the process. A connection whose server went away is marked
// broken instead of exiting.
#include <X11/Xlib.h>

namespace vantix::x11 {

// Opens a connection to $DISPLAY, with Xlib's thread support enabled first.
// Null when DISPLAY is unset or the server cannot be reached.
Display* OpenPrivateDisplay() noexcept;
// Closes a connection from OpenPrivateDisplay; the server frees every window
// and resource it made. Null is ignored.
void ClosePrivateDisplay(Display* display) noexcept;

// Waits until the server has handled every request sent so far; false when
// any of them failed since the last check (or the connection is broken). The
// error record is cleared.
bool SyncAndCheck(Display* display) noexcept;
// False once the connection to the server is lost.
bool IsConnected(Display* display) noexcept;

}  // namespace vantix::x11
