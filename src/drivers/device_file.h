#pragma once
// Device files: the camera driver's side of the transport. A device is opened
// by its device-interface path, either as a request handle (each control call
// completes before it returns) or as an overlapped stream handle (a call may
// return kErrorIoPending and complete later through its Overlapped). Drivers
// (the virtual camera, libusb for real cameras) register themselves and claim
// the paths they serve, so the transport above is written once.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/event.h"
#include "platform/win_errors.h"

namespace vantix {

// A device-interface class identifier, 16 bytes as the operating system lays
// them out.
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    std::array<uint8_t, 8> data4;
    friend bool operator==(const Guid&, const Guid&) = default;
};

// "{328184c5-93e6-49b7-94b8-2ada13aabb39}" form, lower case.
std::string GuidToString(const Guid& guid);

// Completion state of one overlapped device-control call. The caller supplies
// the event; the driver calls Complete exactly once, from any thread, when the
// request ends (successfully, with an error, or aborted).
class Overlapped {
public:
    explicit Overlapped(Event* event) : event_(event) {}
    // Waits for a Complete that is still running on the driver's thread: a
    // caller woken by the event may release this object at once.
    ~Overlapped() { std::lock_guard lock(mutex_); }
    Overlapped(const Overlapped&) = delete;
    Overlapped& operator=(const Overlapped&) = delete;

    void Complete(uint32_t error, uint32_t bytes);
    // The result without waiting: false with *error = kErrorIoIncomplete while
    // the request runs; otherwise true when the request succeeded.
    bool Result(uint32_t* bytes, uint32_t* error) const;
    bool IsComplete() const;
    Event* CompletionEvent() const { return event_; }

private:
    Event* event_;
    mutable std::mutex mutex_;
    bool complete_ = false;
    uint32_t error_ = kErrorIoIncomplete;
    uint32_t bytes_ = 0;
};

// One open device file.
class DeviceConnection {
public:
    DeviceConnection() = default;
    DeviceConnection(const DeviceConnection&) = delete;
    DeviceConnection& operator=(const DeviceConnection&) = delete;
    // Closing a handle aborts what is still pending on it and waits for those
    // completions, so no driver ever writes into released storage.
    virtual ~DeviceConnection() = default;

    // Issues a device-control request. Returns kErrorSuccess with
    // *bytesReturned set when it completed; kErrorIoPending when `overlapped`
    // was given and the request continues (its Overlapped completes later);
    // any other value is a failure. Without `overlapped` a call never pends.
    // `in` and `out` must stay valid until the request completes: a direct
    // transfer reads its data into `out` and writes the completion status
    // words into the header at `in`.
    virtual uint32_t IoControl(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize,
                               uint32_t* bytesReturned, Overlapped* overlapped) = 0;
};

class DeviceDriver {
public:
    DeviceDriver() = default;
    DeviceDriver(const DeviceDriver&) = delete;
    DeviceDriver& operator=(const DeviceDriver&) = delete;
    virtual ~DeviceDriver() = default;

    // True when this driver serves the device path.
    virtual bool Claims(std::string_view path) const = 0;
    // Opens a device file; null with *error set when the device is absent.
    virtual std::unique_ptr<DeviceConnection> Open(std::string_view path, bool overlapped, uint32_t* error) = 0;
    // Appends the paths of the present devices of an interface class.
    virtual void Enumerate(const Guid& interfaceClass, std::vector<std::string>& paths) = 0;
    // True when the path is a device this driver emulates rather than
    // reaches over a bus.
    virtual bool IsVirtual(std::string_view) const { return false; }
};

// Drivers are registered for the life of the process (they are static
// objects or live until exit); the order of registration is the order of
// enumeration.
void RegisterDeviceDriver(DeviceDriver* driver);

// Opens a device path through the driver that claims it. Null with *error set
// (kErrorFileNotFound for a path no driver claims or a device that is gone).
std::unique_ptr<DeviceConnection> OpenDeviceFile(std::string_view path, bool overlapped, uint32_t* error);

// Whether the driver that claims the path emulates that device.
bool IsVirtualDevice(std::string_view path);

// The paths of every present device of an interface class, from all drivers.
std::vector<std::string> EnumerateDeviceInterfaces(const Guid& interfaceClass);

}  // namespace vantix
