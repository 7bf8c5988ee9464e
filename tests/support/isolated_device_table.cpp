// Gives every test process a device table of its own, so that test processes
// running in parallel never see each other's cameras, and removes it at exit.
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "transport/device_table.h"

namespace {

struct IsolatedDeviceTable {
    std::string name;
    IsolatedDeviceTable() {
        if (std::getenv("VANTIX_DEVICE_TABLE") != nullptr) return;
        name = "/U3K9-MemMap-test-" + std::to_string(getpid());
        setenv("VANTIX_DEVICE_TABLE", name.c_str(), 1);
    }
    ~IsolatedDeviceTable() {
        if (!name.empty()) vantix::DeviceTable::RemoveSharedObjects(name);
    }
};

IsolatedDeviceTable g_isolatedDeviceTable;

}  // namespace
