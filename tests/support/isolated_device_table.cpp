// Gives every test process a device table and a settings file of its own, so
// that test processes running in parallel never see each other's cameras and
// tests never touch the user's settings; both are removed at exit.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "transport/device_table.h"

namespace {

struct IsolatedDeviceTable {
    std::string name;
    std::string registry;
    IsolatedDeviceTable() {
        if (std::getenv("VANTIX_REGISTRY") == nullptr) {
            registry = "/tmp/vantix-unit-test-" + std::to_string(getpid()) + ".reg";
            setenv("VANTIX_REGISTRY", registry.c_str(), 1);
        }
        if (std::getenv("VANTIX_DEVICE_TABLE") != nullptr) return;
        name = "/U3K9-MemMap-test-" + std::to_string(getpid());
        setenv("VANTIX_DEVICE_TABLE", name.c_str(), 1);
    }
    ~IsolatedDeviceTable() {
        if (!registry.empty()) {
            std::remove(registry.c_str());
            std::remove((registry + ".lock").c_str());
        }
        if (!name.empty()) vantix::DeviceTable::RemoveSharedObjects(name);
    }
};

IsolatedDeviceTable g_isolatedDeviceTable;

}  // namespace
