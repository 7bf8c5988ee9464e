#pragma once
// Real cameras through libusb: the device-file driver that serves the
// \\?\usb#vid_....&pid_....#<bus>-<ports>#{...} paths (see usb_device_path.h).
//
// Both handles the transport opens on one camera (the request handle and the
// overlapped stream handle) share one libusb device handle with interface 0
// claimed, since the interface can be claimed only once. Stream reads of all
// handles of a device queue per endpoint in issue order; a libusb event thread
// runs while any camera is open and completes their Overlappeds.
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "drivers/device_file.h"

namespace vantix {

// The process-lifetime libusb driver. The transport registers it.
DeviceDriver& LibusbDriver();

// ---------------------------------------------------------------------------
// Endpoint queue scheduling, kept free of libusb so it can be tested alone.
//
// A stream read may be far larger than the kernel lets one transfer pin in
// memory (usbfs allows 16 MiB in flight by default, a frame read may be 64
// MiB), so a read is carried out as segments of at most kUsbSegmentLimit
// bytes. A short segment ends the read early, exactly as a short packet ends
// a bulk transfer; so nothing may be queued on the endpoint behind a segment
// that is not its read's last one, or the data after that short packet would
// land in the wrong place. Reads that fit in one segment are queued back to
// back without waiting.

inline constexpr uint32_t kUsbSegmentLimit = 4u << 20;

// One caller read on an endpoint. The owner fills in length and owner; the
// queue keeps the rest.
struct UsbPipeRequest {
    uint32_t length = 0;
    const void* owner = nullptr;  // the connection that issued it
    uint32_t submitted = 0;       // bytes handed out in segments
    uint32_t transferred = 0;     // bytes the device delivered
    uint32_t inFlight = 0;        // segments handed out and not yet done
    uint32_t error = kErrorSuccess;  // the first failure
    int32_t detail = 0;              // the driver's own code for that failure
    bool ended = false;    // no further segment will be handed out
    bool aborted = false;  // aborted while queued or in flight
};

struct UsbSegment {
    UsbPipeRequest* request = nullptr;
    uint32_t offset = 0;  // into the request's buffer
    uint32_t length = 0;
    bool last = false;  // the request's final segment
};

class UsbPipeQueue {
public:
    explicit UsbPipeQueue(uint32_t segmentLimit = kUsbSegmentLimit) : segmentLimit_(segmentLimit) {}

    void Add(UsbPipeRequest* request);
    // The next segment that may go to the device now, counted as in flight;
    // nothing while the queue is empty or blocked behind a non-final segment.
    std::optional<UsbSegment> Next();
    // Records how a segment ended (`actual` bytes arrived). True when its
    // request has now finished: the owner reports it and may free it.
    bool Done(const UsbSegment& segment, uint32_t error, int32_t detail, uint32_t actual);
    // Aborts every unfinished request of `owner` (of everyone for null). The
    // ones with nothing in flight finish now, with kErrorOperationAborted, and
    // are returned; the rest finish through Done once their in-flight segment
    // ends, which the owner hastens by cancelling it.
    std::vector<UsbPipeRequest*> Abort(const void* owner);
    bool Idle() const { return active_.empty(); }

private:
    void Forget(UsbPipeRequest* request);

    const uint32_t segmentLimit_;
    std::deque<UsbPipeRequest*> waiting_;  // requests with segments still to hand out, in issue order
    std::vector<UsbPipeRequest*> active_;  // every unfinished request
    bool blocked_ = false;                 // a non-final segment is in flight
};

}  // namespace vantix
