#pragma once
// An application's X11 window wrapped as a window handle: the parent of a
// preview window, and a receiver of the SDK's messages as ClientMessage
// events (see <vantix/linux_ext.h> for their layout).
#include <cstdint>

#include <vantix/linux_ext.h>

namespace vantix {

// Name of the ClientMessage type the SDK's messages carry.
inline constexpr const char* kX11MessageAtom = "VANTIX_MESSAGE";

// A new handle for X11 window `xid`; null for 0 or when the table is full.
// The X window is not touched: wrapping needs no display connection.
VantixHwnd WrapX11Window(unsigned long xid) noexcept;
// The X11 window behind a handle made by WrapX11Window; 0 for any other.
unsigned long X11WindowOf(VantixHwnd window) noexcept;

}  // namespace vantix
