#include "drivers/device_file.h"

#include <cstdio>

namespace vantix {

std::string GuidToString(const Guid& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}", g.data1, g.data2,
                  g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6],
                  g.data4[7]);
    return text;
}

void Overlapped::Complete(uint32_t error, uint32_t bytes) {
    // The event is set under the lock, so a caller that sees the request
    // complete (and may then release the event and this object) only does so
    // after the driver has stopped touching both.
    std::lock_guard lock(mutex_);
    complete_ = true;
    error_ = error;
    bytes_ = bytes;
    if (event_ != nullptr) event_->Set();
}

bool Overlapped::Result(uint32_t* bytes, uint32_t* error) const {
    std::lock_guard lock(mutex_);
    if (!complete_) {
        if (error != nullptr) *error = kErrorIoIncomplete;
        return false;
    }
    if (bytes != nullptr) *bytes = bytes_;
    if (error != nullptr) *error = error_;
    return error_ == kErrorSuccess;
}

bool Overlapped::IsComplete() const {
    std::lock_guard lock(mutex_);
    return complete_;
}

namespace {
struct DriverList {
    std::mutex mutex;
    std::vector<DeviceDriver*> drivers;
};
DriverList& Drivers() {
    static DriverList list;
    return list;
}

// The first registered driver that claims the path; null for none.
DeviceDriver* DriverClaiming(std::string_view path) {
    DriverList& list = Drivers();
    std::lock_guard lock(list.mutex);
    for (DeviceDriver* driver : list.drivers) {
        if (driver->Claims(path)) return driver;
    }
    return nullptr;
}

}  // namespace

void RegisterDeviceDriver(DeviceDriver* driver) {
    DriverList& list = Drivers();
    std::lock_guard lock(list.mutex);
    for (DeviceDriver* known : list.drivers) {
        if (known == driver) return;
    }
    list.drivers.push_back(driver);
}

std::unique_ptr<DeviceConnection> OpenDeviceFile(std::string_view path, bool overlapped, uint32_t* error) {
    DeviceDriver* owner = DriverClaiming(path);
    if (owner == nullptr) {
        if (error != nullptr) *error = kErrorFileNotFound;
        return nullptr;
    }
    uint32_t openError = kErrorSuccess;
    std::unique_ptr<DeviceConnection> connection = owner->Open(path, overlapped, &openError);
    if (error != nullptr) *error = connection ? kErrorSuccess : openError;
    return connection;
}

bool IsVirtualDevice(std::string_view path) {
    const DeviceDriver* owner = DriverClaiming(path);
    return owner != nullptr && owner->IsVirtual(path);
}

std::vector<std::string> EnumerateDeviceInterfaces(const Guid& interfaceClass) {
    std::vector<DeviceDriver*> drivers;
    {
        DriverList& list = Drivers();
        std::lock_guard lock(list.mutex);
        drivers = list.drivers;
    }
    std::vector<std::string> paths;
    for (DeviceDriver* driver : drivers) driver->Enumerate(interfaceClass, paths);
    return paths;
}

}  // namespace vantix
