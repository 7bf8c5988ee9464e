// Gives the test process its own settings file and device table, so that
// tests never touch the user's settings and parallel test processes never see
// each other's cameras; both are removed at exit.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct IsolatedEnvironment {
    std::string registry;
    std::string table;
    IsolatedEnvironment() {
        const std::string pid = std::to_string(getpid());
        if (std::getenv("VANTIX_REGISTRY") == nullptr) {
            registry = "/tmp/vantix-api-test-" + pid + ".reg";
            setenv("VANTIX_REGISTRY", registry.c_str(), 1);
        }
        if (std::getenv("VANTIX_DEVICE_TABLE") == nullptr) {
            table = "/U3K9-MemMap-api-test-" + pid;
            setenv("VANTIX_DEVICE_TABLE", table.c_str(), 1);
        }
    }
    ~IsolatedEnvironment() {
        if (!registry.empty()) {
            std::remove(registry.c_str());
            std::remove((registry + ".lock").c_str());
        }
        if (!table.empty()) {
            shm_unlink(table.c_str());
            shm_unlink((table + ".lock").c_str());
        }
    }
};

IsolatedEnvironment g_isolatedEnvironment;

}  // namespace
