#include "transport/device_table.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <thread>

namespace vantix {
namespace {

constexpr Guid kClassA{0x7ab1e5c0, 0x1d2e, 0x4f30, {0x91, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}};
constexpr Guid kClassB{0x7ab1e5c1, 0x1d2e, 0x4f30, {0x91, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}};

std::string Cam(const char* pid, int serial) {
    return std::string("\\\\?\\usb#vid_04b4&pid_") + pid + "#tbl" + std::to_string(serial) + "#{7ab1e5c0}";
}
const std::string kA0 = Cam("3040", 0), kA1 = Cam("3040", 1), kB0 = Cam("3030", 2);

class NullConnection : public DeviceConnection {
public:
    uint32_t IoControl(uint32_t, void*, uint32_t, void*, uint32_t, uint32_t*, Overlapped*) override {
        return kErrorGenFailure;
    }
};

// Serves the "#tbl" paths a test declares present, per interface class.
class TableTestDriver : public DeviceDriver {
public:
    bool Claims(std::string_view path) const override { return path.find("#tbl") != std::string_view::npos; }
    std::unique_ptr<DeviceConnection> Open(std::string_view path, bool, uint32_t* error) override {
        std::lock_guard lock(mutex_);
        const bool present = std::ranges::any_of(present_, [&](auto& cls) {
            return std::ranges::find(cls.second, path) != cls.second.end();
        });
        if (present && !unopenable_.contains(std::string(path))) return std::make_unique<NullConnection>();
        *error = kErrorFileNotFound;
        return nullptr;
    }
    void Enumerate(const Guid& cls, std::vector<std::string>& paths) override {
        std::lock_guard lock(mutex_);
        if (auto it = present_.find(cls.data1); it != present_.end()) {
            paths.insert(paths.end(), it->second.begin(), it->second.end());
        }
    }
    void Set(std::vector<std::string> paths, const Guid& cls = kClassA, std::set<std::string> unopenable = {}) {
        std::lock_guard lock(mutex_);
        present_[cls.data1] = std::move(paths);
        unopenable_ = std::move(unopenable);
    }

private:
    std::mutex mutex_;
    std::map<uint32_t, std::vector<std::string>> present_;
    std::set<std::string> unopenable_;
};

TableTestDriver& Driver() {
    static TableTestDriver* driver = [] {
        auto* created = new TableTestDriver;
        RegisterDeviceDriver(created);
        return created;
    }();
    return *driver;
}

class DeviceTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        static std::atomic<int> counter{0};
        name_ = "/vantix-table-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        Driver().Set({}, kClassB);
        Driver().Set({});
    }
    void TearDown() override { DeviceTable::RemoveSharedObjects(name_); }
    std::string name_;
};

TEST_F(DeviceTableTest, InstancesCountPerModelInPlugOrderAndRepeatsAddNothing) {
    DeviceTable table(name_);
    table.Attach();
    EXPECT_TRUE(table.IsShared());
    Driver().Set({kA0, kB0, kA1});
    EXPECT_EQ(table.Enumerate(kClassA), 3);
    EXPECT_EQ(table.VendorId(0), 0x04b4);
    EXPECT_EQ(table.ProductId(1), 0x3030);
    EXPECT_EQ(table.InstanceNumber(0), 0);
    EXPECT_EQ(table.InstanceNumber(1), 0);
    EXPECT_EQ(table.InstanceNumber(2), 1);
    Driver().Set({kA1, kB0, kA0});  // listed in another order
    EXPECT_EQ(table.Enumerate(kClassA), 3);
    EXPECT_EQ(table.DevicePath(0), kA0);
    EXPECT_EQ(table.DevicePath(2), kA1);
    for (int32_t index : {-1, 3, 32}) {
        EXPECT_EQ(table.VendorId(index) + table.ProductId(index), 0) << index;
        EXPECT_EQ(table.InstanceNumber(index), -1) << index;
        EXPECT_EQ(table.DevicePath(index), "") << index;
        EXPECT_FALSE(table.IsValidIndex(index)) << index;
        EXPECT_FALSE(table.Exists(index)) << index;
    }
    table.Detach();
}

TEST_F(DeviceTableTest, RefusesUnopenableMalformedAndOverlongPaths) {
    DeviceTable table(name_);
    table.Attach();
    std::string longest = kA1, overlong = kB0;
    longest.resize(kDevicePathCapacity - 1, 'x');  // fits with its NUL
    overlong.resize(kDevicePathCapacity, 'x');
    Driver().Set({kA0, "\\\\?\\usb#vid_04b4&pid_30g0#tbl9", "\\\\?\\usb#tbl", overlong, longest}, kClassA, {kA0});
    EXPECT_EQ(table.Enumerate(kClassA), 1);
    EXPECT_EQ(table.DevicePath(0), longest);
    EXPECT_EQ(table.InstanceNumber(0), 0);  // the unopenable camera took no instance
    table.Detach();
}

TEST_F(DeviceTableTest, HoldsAtMostThirtyTwoEntries) {
    DeviceTable table(name_);
    table.Attach();
    std::vector<std::string> paths;
    for (int i = 0; i < 33; ++i) paths.push_back(Cam("3040", i));
    Driver().Set(paths);
    EXPECT_EQ(table.Enumerate(kClassA), 32);
    EXPECT_EQ(table.InstanceNumber(31), 31);
    Driver().Set({paths[32]});  // the others unplugged: their slots stay taken
    EXPECT_EQ(table.Enumerate(kClassA), 32);
    EXPECT_EQ(table.DevicePath(31), paths[31]);
    table.Detach();
}

TEST_F(DeviceTableTest, EntriesKeepTheirIndexWhileTheirDeviceIsAway) {
    DeviceTable table(name_);
    table.Attach();
    const std::string unnamed = Cam("3150", 5);
    Driver().Set({kA0, kA1, unnamed});
    table.Enumerate(kClassA);
    char name[32];
    ASSERT_TRUE(table.GetDeviceName(1, name, sizeof name));
    EXPECT_STREQ(name, "Vantix-Q720LX-USB3-K9_01");
    EXPECT_TRUE(table.Exists(2));
    EXPECT_FALSE(table.GetDeviceName(2, name, sizeof name));  // model without a name

    Driver().Set({kA1});
    EXPECT_FALSE(table.Exists(0));
    EXPECT_FALSE(table.GetDeviceName(0, name, sizeof name));
    EXPECT_EQ(table.Enumerate(kClassA), 3);
    Driver().Set({kA1, kA0});
    EXPECT_EQ(table.Enumerate(kClassA), 3);
    EXPECT_TRUE(table.Exists(0));
    EXPECT_EQ(table.DevicePath(0), kA0);
    table.Detach();
}

TEST_F(DeviceTableTest, SharedBlockHasTheExactLayout) {
    DeviceTable table(name_);
    table.Attach();
    table.Attach();
    Driver().Set({kA0, kB0});
    table.Enumerate(kClassA);
    const int fd = shm_open(name_.c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    unsigned char raw[8585];
    EXPECT_EQ(pread(fd, raw, sizeof raw, 0), 8584);
    close(fd);
    auto at = [&](size_t offset, auto value) { std::memcpy(&value, raw + offset, sizeof value); return value; };
    EXPECT_EQ(at(0, int32_t{}), 2);  // two attaches
    EXPECT_EQ(at(8580, int32_t{}), 2);
    EXPECT_EQ(at(4 + 268, uint16_t{}), 0x04b4);
    EXPECT_EQ(at(4 + 268 + 2, uint16_t{}), 0x3030);
    EXPECT_EQ(at(4 + 268 + 4, int32_t{}), 0);
    EXPECT_EQ(reinterpret_cast<const char*>(raw + 4 + 268 + 8), kB0);
    EXPECT_EQ(at(4 + 2 * 268 + 4, int32_t{}), -1);  // cleared slot
    table.Detach();
    table.Detach();
}

TEST_F(DeviceTableTest, NextAttachAfterTheLastDetachStartsEmpty) {
    {
        DeviceTable first(name_), second(name_);  // separate lock holders, like two processes
        first.Attach();
        second.Attach();
        Driver().Set({kA0});
        first.Enumerate(kClassA);
        first.Detach();
        EXPECT_EQ(second.Count(), 1);
        second.Detach();
    }
    DeviceTable later(name_);
    later.Attach();
    EXPECT_EQ(later.Count(), 0);
    EXPECT_EQ(later.InstanceNumber(0), -1);
}

TEST_F(DeviceTableTest, ConcurrentEnumerationsInTwoAttachmentsLoseNoEntry) {
    DeviceTable first(name_), second(name_);
    first.Attach();
    second.Attach();
    auto plugOneByOne = [](DeviceTable& table, const Guid& cls, const char* pid) {
        std::vector<std::string> paths;
        for (int i = 0; i < 16; ++i) {
            paths.push_back(Cam(pid, i));
            Driver().Set(paths, cls);
            table.Enumerate(cls);
        }
    };
    std::thread other(plugOneByOne, std::ref(second), kClassB, "3030");
    plugOneByOne(first, kClassA, "3040");
    other.join();
    EXPECT_EQ(first.Count(), 32);
    std::set<std::string> seen;
    for (int32_t i = 0; i < 32; ++i) seen.insert(second.DevicePath(i));
    EXPECT_EQ(seen.size(), 32u);
}

TEST_F(DeviceTableTest, UnusableSharedNameFallsBackToTheProcessTable) {
    DeviceTable table("/no/such/dir");
    table.Attach();
    EXPECT_FALSE(table.IsShared());
    Driver().Set({kA0});
    EXPECT_EQ(table.Enumerate(kClassA), 1);
    EXPECT_EQ(table.DevicePath(0), kA0);
}

// The child attaches, reads or enumerates, reports one int through a pipe and
// then either leaves with _exit or waits to be killed.
pid_t RunChild(const std::function<int()>& work, int* reported, bool waitForKill) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    if (child == 0) {
        const int value = work();
        if (write(fds[1], &value, sizeof value) != sizeof value) _exit(1);
        while (waitForKill) pause();
        _exit(0);
    }
    close(fds[1]);
    if (read(fds[0], reported, sizeof *reported) != sizeof *reported) *reported = -1;
    close(fds[0]);
    if (!waitForKill) waitpid(child, nullptr, 0);
    return child;
}

TEST_F(DeviceTableTest, AnotherProcessSeesAndExtendsTheTable) {
    DeviceTable parent(name_);
    parent.Attach();
    Driver().Set({kA0, kB0});
    parent.Enumerate(kClassA);
    int seen = 0;
    RunChild([&] {
        DeviceTable table(name_);
        table.Attach();
        const int before = table.Count() * 0x10000 + table.ProductId(1);
        Driver().Set({kA1});
        table.Enumerate(kClassA);
        return before;
    }, &seen, false);
    EXPECT_EQ(seen, 2 * 0x10000 + 0x3030);
    // The child's camera shows up here without enumerating, and enumerating
    // with this process's older view of the devices keeps it.
    EXPECT_EQ(parent.Count(), 3);
    EXPECT_EQ(parent.InstanceNumber(2), 1);
    EXPECT_EQ(parent.Enumerate(kClassA), 3);
    EXPECT_EQ(parent.DevicePath(2), kA1);
}

TEST_F(DeviceTableTest, KilledProcessLeavesNoStaleTable) {
    Driver().Set({kA0, kB0});
    int count = 0;
    const pid_t child = RunChild([&] {
        auto* table = new DeviceTable(name_);  // still attached when killed
        table->Attach();
        return table->Enumerate(kClassA);
    }, &count, true);
    ASSERT_GT(child, 0);
    EXPECT_EQ(count, 2);
    DeviceTable witness(name_);
    witness.Attach();
    EXPECT_EQ(witness.Count(), 2);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(witness.Count(), 2);  // the table lives while someone is attached
    witness.Detach();               // the killed child's attach still counts in the block

    DeviceTable later(name_);
    later.Attach();
    EXPECT_EQ(later.Count(), 0);
    EXPECT_EQ(later.InstanceNumber(0), -1);
}

}  // namespace
}  // namespace vantix
