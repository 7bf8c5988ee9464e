#pragma once
// The device table: every camera seen since the first transport of any
// process attached, in plug order, with its instance number among cameras of
// the same model. Indices into it are what applications pass to open a camera,
// so entries are only ever appended: an index keeps naming the same camera
// while the table exists, even after that camera is unplugged.
//
// The table lives twice: a process copy, and a POSIX shared-memory block
// through which every process of the user sees the same entries in the same
// order. Each process attached to the block holds a shared flock on it; an
// attach that finds nobody else holding it starts from an empty table, so a
// killed process never leaves a stale table behind. Copies in and out of the
// block move the whole table and happen under a second flock, on a companion
// object "<name>.lock", so concurrent enumerations in several processes merge
// rather than overwrite each other's entries.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "drivers/device_file.h"

namespace vantix {

inline constexpr int32_t kDeviceTableCapacity = 32;
inline constexpr size_t kDevicePathCapacity = 260;  // including the terminating NUL
inline constexpr char kDefaultDeviceTableName[] = "/U3K9-MemMap";
// Overrides the shared-memory name of the process table (read once), so that
// parallel test processes do not share a table.
inline constexpr char kDeviceTableNameVariable[] = "VANTIX_DEVICE_TABLE";

// Shared-block layout: little-endian, packed.
#pragma pack(push, 1)
struct DeviceTableEntry {
    uint16_t vendorId;
    uint16_t productId;
    int32_t instance;  // earlier entries with the same vendor and product id; -1 when cleared
    char path[kDevicePathCapacity];
};

struct DeviceTableBlock {
    int32_t openCount;  // attached users in all processes
    DeviceTableEntry entries[kDeviceTableCapacity];
    int32_t entryCount;
};
#pragma pack(pop)

static_assert(sizeof(DeviceTableEntry) == 268);
static_assert(offsetof(DeviceTableEntry, productId) == 2);
static_assert(offsetof(DeviceTableEntry, instance) == 4);
static_assert(offsetof(DeviceTableEntry, path) == 8);
static_assert(sizeof(DeviceTableBlock) == 8584);
static_assert(offsetof(DeviceTableBlock, entries) == 4);
static_assert(offsetof(DeviceTableBlock, entryCount) == 8580);

struct DeviceIds {
    uint16_t vendorId;
    uint16_t productId;
};

// The vendor id (hex digits at characters 12-15) and product id (21-24) of a
// device-interface path such as "\\?\usb#vid_04b4&pid_3040#...". Empty when
// the path is too short or those characters are not hex digits.
std::optional<DeviceIds> ParseDeviceIds(std::string_view path);

class DeviceTable {
public:
    explicit DeviceTable(std::string sharedName = kDefaultDeviceTableName);
    // Detaches whatever is still attached.
    ~DeviceTable();
    DeviceTable(const DeviceTable&) = delete;
    DeviceTable& operator=(const DeviceTable&) = delete;

    // One call per transport object, paired with Detach. The first attach of
    // the process opens (or creates) the shared block; when the block cannot
    // be used the table works on the process copy alone.
    void Attach();
    void Detach();

    // Adds the present, openable interfaces of a class that the table does not
    // hold yet (at most 32 interfaces are looked at); returns the entry count.
    int32_t Enumerate(const Guid& interfaceClass);

    // Every query first refreshes the process copy from the shared block (one
    // lock and an 8.5 KB copy), so it sees other processes' additions.
    int32_t Count() const;
    // A copy of a slot; a cleared entry (0, 0, -1, "") outside 0..31.
    DeviceTableEntry Entry(int32_t index) const;
    uint16_t VendorId(int32_t index) const { return Entry(index).vendorId; }
    uint16_t ProductId(int32_t index) const { return Entry(index).productId; }
    int32_t InstanceNumber(int32_t index) const { return Entry(index).instance; }
    std::string DevicePath(int32_t index) const;
    // 0 <= index < 32 and index < Count().
    bool IsValidIndex(int32_t index) const;
    // A valid index whose device opens now.
    bool Exists(int32_t index) const;
    // The device name of an existing entry whose model has one.
    bool GetDeviceName(int32_t index, char* out, size_t outSize) const;

    // True while attached through the shared block (false when working on the
    // process copy alone).
    bool IsShared() const;
    const std::string& SharedName() const { return sharedName_; }

    // Removes the shared block and its lock object from the system (tests).
    static void RemoveSharedObjects(const std::string& sharedName);

private:
    void OpenLockObject();
    bool OpenBlock();
    void CloseBlock();
    void LoadShared() const;
    void StoreShared();
    bool AddEntry(const DeviceIds& ids, const std::string& path);

    const std::string sharedName_;
    const std::string lockName_;
    mutable std::mutex mutex_;
    mutable DeviceTableBlock table_;  // the process copy
    int attachCount_ = 0;             // attaches of this process
    int lockFd_ = -1;                 // serialises copies in and out of the block
    int sharedFd_ = -1;               // the block; carries this process's presence lock
    void* block_ = nullptr;
};

// The table of this process, named by VANTIX_DEVICE_TABLE or the default.
DeviceTable& ProcessDeviceTable();

}  // namespace vantix
