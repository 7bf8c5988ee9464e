#pragma once
// A text trace of the camera's wire traffic for support and for tests that
// check what was sent: VANTIX_USB_TRACE=<file> appends one line per
// endpoint-0 request and per stream transfer:
//   ep0 <in|out> req=0x31 value=0x0002 index=0x0041 returned=40 result=0
//   stream ep=0x81 requested=64 transferred=64 result=0
// result is 0 for success, else the driver's error code.
// Only a regular file is written (created when missing, never through a
// symbolic link); any other name turns the trace off with a line on the debug
// output, and a FIFO never blocks the camera requests.
//
// With VANTIX_USB_TRACE_DATA=1 (or SetUsbTraceData) the trace also shows what
// the requests carried and when the camera code paused between them:
//   ep0 out req=0x30 value=0x0004 index=0x0020 returned=102 result=0 data=301a0001
//   pause ms=100
// data is the data area sent (out, trailing zero bytes left off: the area is
// always sent whole and zero-filled) or the reply's data bytes (in).
#include <cstdint>
#include <string>

namespace vantix {

struct TransferHeader;

// `data` is the request's 64-byte data area (null: none to show).
void TraceEp0(const TransferHeader& header, uint32_t returned, uint32_t result, const uint8_t* data = nullptr);
void TraceStream(uint8_t endpoint, uint32_t requested, uint32_t transferred, uint32_t result);
// Redirects the trace (empty: off); the environment is read only once.
// True when the trace is on.
bool SetUsbTraceFile(const std::string& path);
// Adds the data bytes and the pauses to the trace.
void SetUsbTraceData(bool withData);

}  // namespace vantix
