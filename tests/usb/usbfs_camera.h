#pragma once
// A camera behind a mocked usbfs device node: the usbdevfs ioctls that libusb's
// Linux backend sends (claim, control and bulk URBs, reap, discard, clear
// halt, reset) are answered in-process by a virtual camera's firmware, the
// way the kernel would pass them to a real camera. Completed URBs are reaped
// in completion order, as from the kernel.
//
// The device node is a FIFO that this object keeps full while nothing waits
// to be reaped, so libusb's poll for POLLOUT sleeps until a URB completes
// instead of spinning on an always-ready file.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/virtual_camera.h"

typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace vantix::usbtest {

// Counts of what the host asked for, for tests that check recovery paths.
struct UsbfsCounters {
    uint32_t controlUrbs = 0;
    uint32_t bulkUrbs = 0;
    uint32_t discards = 0;
    uint32_t clearHalts = 0;
    uint32_t resets = 0;
};

// Where the camera is plugged in, as the connection-info ioctls report it.
struct UsbConnection {
    uint8_t bus = 0;
    uint8_t device = 0;
    uint8_t port = 0;
    uint32_t speedMbps = 0;
};

class UsbfsCamera {
public:
    explicit UsbfsCamera(std::shared_ptr<emulator::VirtualCamera> camera);
    ~UsbfsCamera();
    UsbfsCamera(const UsbfsCamera&) = delete;
    UsbfsCamera& operator=(const UsbfsCamera&) = delete;

    UMockdevIoctlBase* Handler() const { return handler_; }
    emulator::VirtualCamera& Camera() const { return *camera_; }
    void SetConnection(const UsbConnection& connection);
    // Turns the node at `fifoPath` (already a FIFO) into the readiness signal.
    bool AttachReadiness(const std::string& fifoPath);

    // ---- Faults at the USB level ----
    // The next `count` bulk URBs on `endpoint` complete at once with -errnoValue.
    void FailUrbs(uint8_t endpoint, uint32_t count, int errnoValue);
    // The next `count` control URBs never complete (until the host discards them).
    void SwallowControlUrbs(uint32_t count);
    // The endpoint stalls: every URB on it completes with -EPIPE until the
    // host clears the halt.
    void Halt(uint8_t endpoint);
    // Gone: flying URBs complete with -ESHUTDOWN, later calls fail with ENODEV.
    // Present again: a fresh connection works as before.
    void SetConnected(bool connected);

    UsbfsCounters Counters() const;

private:
    struct Urb {
        UMockdevIoctlData* data = nullptr;  // the URB as umockdev resolved it; owned
        uint8_t endpoint = 0;
        int status = 0;
        int actualLength = 0;
    };

    static int HandleIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    void Ioctl(UMockdevIoctlClient* client);
    // Each returns the errno to complete with (0 for success).
    int SubmitUrb(UMockdevIoctlData* arg);
    int ReapUrb(UMockdevIoctlData* arg);
    int DiscardUrb(UMockdevIoctlData* arg);
    int ClearHalt(UMockdevIoctlData* arg);
    int ConnectionInfo(UMockdevIoctlData* arg, size_t size);
    int SpeedCode() const;
    int SubmitControl(UMockdevIoctlData* urbData);
    int SubmitBulk(UMockdevIoctlData* urbData);
    // Under mutex_: a URB becomes reapable.
    void FinishLocked(uintptr_t key, int status, int actualLength);
    void SetReadableLocked(bool reapable);

    const std::shared_ptr<emulator::VirtualCamera> camera_;
    UMockdevIoctlBase* handler_ = nullptr;

    mutable std::mutex mutex_;
    std::map<uintptr_t, Urb> flying_;   // by the client's URB address
    std::deque<Urb> reapable_;
    std::map<uint8_t, uint32_t> failCount_;
    std::map<uint8_t, int> failErrno_;
    std::map<uint8_t, bool> halted_;
    uint32_t swallowControl_ = 0;
    bool connected_ = true;
    uint64_t generation_ = 0;  // one more for every replug
    UsbfsCounters counters_;
    UsbConnection connection_;
    int fifo_ = -1;         // our end of the device node
    bool fifoFull_ = false;  // full: libusb's poll sees nothing to reap
};

}  // namespace vantix::usbtest
