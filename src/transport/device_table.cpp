#include "transport/device_table.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/debug_output.h"
#include "catalog/model_catalog.h"

namespace vantix {
namespace {

constexpr size_t kVendorIdOffset = 12;
constexpr size_t kProductIdOffset = 21;
constexpr size_t kIdDigits = 4;
constexpr mode_t kSharedObjectMode = 0600;  // the block is shared by the user's processes only

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<uint16_t> ParseHexId(std::string_view digits) {
    unsigned value = 0;
    for (char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return static_cast<uint16_t>(value);
}

void ClearTable(DeviceTableBlock& table) {
    for (DeviceTableEntry& entry : table.entries) {
        std::memset(&entry, 0, sizeof entry);
        entry.instance = -1;
    }
    table.entryCount = 0;
}

DeviceTableEntry ClearedEntry() {
    DeviceTableEntry entry;
    std::memset(&entry, 0, sizeof entry);
    entry.instance = -1;
    return entry;
}

std::string_view EntryPath(const DeviceTableEntry& entry) {
    return std::string_view(entry.path, strnlen(entry.path, sizeof entry.path));
}

int FlockRetrying(int fd, int operation) {
    int result;
    do {
        result = flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result;
}

// Holds the cross-process lock on the lock object for a scope; a no-op when
// the table works on the process copy alone.
class SharedLock {
public:
    explicit SharedLock(int fd) : fd_(fd) {
        if (fd_ >= 0 && FlockRetrying(fd_, LOCK_EX) != 0) {
            DebugPrintf(DebugCategory::Transport, "device table: cannot lock the shared block (errno %d)", errno);
            fd_ = -1;
        }
    }
    ~SharedLock() {
        if (fd_ >= 0) FlockRetrying(fd_, LOCK_UN);
    }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

private:
    int fd_;
};

bool DeviceOpens(std::string_view path, bool overlapped) {
    uint32_t error = kErrorSuccess;
    return OpenDeviceFile(path, overlapped, &error) != nullptr;
}

std::string NameFromEnvironment() {
    const char* value = std::getenv(kDeviceTableNameVariable);
    if (value == nullptr || value[0] == '\0') return kDefaultDeviceTableName;
    std::string name(value);
    if (name.front() != '/') name.insert(name.begin(), '/');
    return name;
}

}  // namespace

std::optional<DeviceIds> ParseDeviceIds(std::string_view path) {
    if (path.size() < kProductIdOffset + kIdDigits) return std::nullopt;
    const std::optional<uint16_t> vendorId = ParseHexId(path.substr(kVendorIdOffset, kIdDigits));
    const std::optional<uint16_t> productId = ParseHexId(path.substr(kProductIdOffset, kIdDigits));
    if (!vendorId || !productId) return std::nullopt;
    return DeviceIds{*vendorId, *productId};
}

DeviceTable::DeviceTable(std::string sharedName)
    : sharedName_(std::move(sharedName)), lockName_(sharedName_ + ".lock") {
    table_.openCount = 0;
    ClearTable(table_);
}

DeviceTable::~DeviceTable() {
    while (attachCount_ > 0) Detach();
}

bool DeviceTable::IsShared() const {
    std::lock_guard guard(mutex_);
    return block_ != nullptr;
}

void DeviceTable::OpenLockObject() {
    lockFd_ = shm_open(lockName_.c_str(), O_RDWR | O_CREAT, kSharedObjectMode);
    if (lockFd_ < 0) {
        DebugPrintf(DebugCategory::Transport, "device table: cannot open %s (errno %d); using the process table alone",
                    lockName_.c_str(), errno);
    }
}

// Called under the lock of the lock object. Returns whether this process is
// the only one attached to the block.
bool DeviceTable::OpenBlock() {
    sharedFd_ = shm_open(sharedName_.c_str(), O_RDWR | O_CREAT, kSharedObjectMode);
    struct stat status {};
    bool usable = sharedFd_ >= 0 && fstat(sharedFd_, &status) == 0;
    // A block smaller than the table is new (or its creator died before
    // sizing it); under the lock nobody else is using it yet.
    if (usable && static_cast<size_t>(status.st_size) < sizeof(DeviceTableBlock)) {
        usable = ftruncate(sharedFd_, sizeof(DeviceTableBlock)) == 0;
    }
    if (usable) {
        block_ = mmap(nullptr, sizeof(DeviceTableBlock), PROT_READ | PROT_WRITE, MAP_SHARED, sharedFd_, 0);
        if (block_ == MAP_FAILED) {
            block_ = nullptr;
            usable = false;
        }
    }
    if (!usable) {
        DebugPrintf(DebugCategory::Transport,
                    "device table: cannot use shared block %s (errno %d); using the process table alone",
                    sharedName_.c_str(), errno);
        CloseBlock();
        return true;
    }
    // Taking the presence lock exclusively succeeds only when no other process
    // is attached; it is then downgraded to the shared lock every attached
    // process holds. Both steps happen under the serialising lock, so two
    // attaches cannot both believe they are alone.
    const bool alone = FlockRetrying(sharedFd_, LOCK_EX | LOCK_NB) == 0;
    if (FlockRetrying(sharedFd_, LOCK_SH) != 0) {
        DebugPrintf(DebugCategory::Transport, "device table: cannot take the presence lock (errno %d)", errno);
    }
    return alone;
}

void DeviceTable::CloseBlock() {
    if (block_ != nullptr) munmap(block_, sizeof(DeviceTableBlock));
    block_ = nullptr;
    if (sharedFd_ >= 0) close(sharedFd_);  // releases the presence lock
    sharedFd_ = -1;
}

void DeviceTable::LoadShared() const {
    if (block_ == nullptr) return;
    std::memcpy(&table_, block_, sizeof table_);
    // The block is writable by any process of the user: never trust it to be
    // well formed.
    if (table_.entryCount < 0 || table_.entryCount > kDeviceTableCapacity) {
        DebugPrintf(DebugCategory::Transport, "device table: shared entry count %d out of range", table_.entryCount);
        table_.entryCount = table_.entryCount < 0 ? 0 : kDeviceTableCapacity;
    }
    if (table_.openCount < 0) table_.openCount = 0;
    for (DeviceTableEntry& entry : table_.entries) entry.path[kDevicePathCapacity - 1] = '\0';
}

void DeviceTable::StoreShared() {
    if (block_ != nullptr) std::memcpy(block_, &table_, sizeof table_);
}

void DeviceTable::Attach() {
    std::lock_guard guard(mutex_);
    const bool first = attachCount_ == 0;
    if (first) OpenLockObject();
    // Held from opening the block to writing it back, so no other process can
    // attach in between and read a table this attach is about to clear.
    SharedLock lock(lockFd_);
    bool alone = first;
    if (first && lockFd_ >= 0) alone = OpenBlock();
    LoadShared();
    if (alone || table_.openCount <= 0) {
        table_.openCount = 0;
        ClearTable(table_);
    }
    ++table_.openCount;
    ++attachCount_;
    StoreShared();
}

void DeviceTable::Detach() {
    std::lock_guard guard(mutex_);
    if (attachCount_ == 0) {
        DebugOutput(DebugCategory::Transport, "device table: detach without attach");
        return;
    }
    {
        SharedLock lock(lockFd_);
        LoadShared();
        if (table_.openCount > 0) --table_.openCount;
        StoreShared();
        --attachCount_;
        // Closed while still serialised, so the next attach sees the presence
        // lock released together with the open count written.
        if (attachCount_ == 0) CloseBlock();
    }
    if (attachCount_ == 0 && lockFd_ >= 0) {
        close(lockFd_);
        lockFd_ = -1;
    }
}

bool DeviceTable::AddEntry(const DeviceIds& ids, const std::string& path) {
    int32_t instance = 0;
    for (int32_t i = 0; i < table_.entryCount; ++i) {
        const DeviceTableEntry& entry = table_.entries[i];
        if (entry.vendorId != ids.vendorId || entry.productId != ids.productId) continue;
        if (EntryPath(entry) == path) return false;  // already known
        ++instance;
    }
    if (table_.entryCount >= kDeviceTableCapacity) {
        DebugPrintf(DebugCategory::Transport, "device table: full, %s ignored", path.c_str());
        return false;
    }
    DeviceTableEntry& slot = table_.entries[table_.entryCount];
    if (slot.productId != 0) DebugOutput(DebugCategory::Transport, "device table slot unexpectedly in use");
    std::memset(&slot, 0, sizeof slot);
    slot.vendorId = ids.vendorId;
    slot.productId = ids.productId;
    slot.instance = instance;
    std::memcpy(slot.path, path.data(), path.size());
    ++table_.entryCount;
    return true;
}

int32_t DeviceTable::Enumerate(const Guid& interfaceClass) {
    std::vector<std::string> paths = EnumerateDeviceInterfaces(interfaceClass);
    if (paths.size() > static_cast<size_t>(kDeviceTableCapacity)) paths.resize(kDeviceTableCapacity);

    // Checked and probed before taking the locks: opening a device may take a
    // while and must not hold up other processes' table accesses.
    std::vector<std::pair<DeviceIds, std::string>> candidates;
    for (std::string& path : paths) {
        if (path.size() >= kDevicePathCapacity || path.find('\0') != std::string::npos) {
            DebugPrintf(DebugCategory::Transport, "device table: path of %zu bytes refused", path.size());
            continue;
        }
        const std::optional<DeviceIds> ids = ParseDeviceIds(path);
        if (!ids) {
            DebugPrintf(DebugCategory::Transport, "device table: no vendor and product id in %s", path.c_str());
            continue;
        }
        if (!DeviceOpens(path, true)) {
            DebugPrintf(DebugCategory::Transport, "device table: %s does not open", path.c_str());
            continue;
        }
        candidates.emplace_back(*ids, std::move(path));
    }

    std::lock_guard guard(mutex_);
    SharedLock lock(lockFd_);
    // Refreshed under the same lock as the write-back, so another process's
    // additions are merged rather than overwritten.
    LoadShared();
    bool changed = false;
    for (const auto& [ids, path] : candidates) changed |= AddEntry(ids, path);
    if (changed) StoreShared();
    return table_.entryCount;
}

int32_t DeviceTable::Count() const {
    std::lock_guard guard(mutex_);
    SharedLock lock(lockFd_);
    LoadShared();
    return table_.entryCount;
}

DeviceTableEntry DeviceTable::Entry(int32_t index) const {
    if (index < 0 || index >= kDeviceTableCapacity) return ClearedEntry();
    std::lock_guard guard(mutex_);
    SharedLock lock(lockFd_);
    LoadShared();
    return table_.entries[index];
}

std::string DeviceTable::DevicePath(int32_t index) const {
    const DeviceTableEntry entry = Entry(index);
    return std::string(EntryPath(entry));
}

bool DeviceTable::IsValidIndex(int32_t index) const {
    return index >= 0 && index < kDeviceTableCapacity && index < Count();
}

bool DeviceTable::Exists(int32_t index) const {
    // Entries are never removed, so a valid index stays valid after Count().
    return IsValidIndex(index) && DeviceOpens(DevicePath(index), false);
}

bool DeviceTable::GetDeviceName(int32_t index, char* out, size_t outSize) const {
    if (out != nullptr && outSize > 0) out[0] = '\0';
    if (!Exists(index)) return false;
    const DeviceTableEntry entry = Entry(index);
    return FormatDeviceName(entry.productId, entry.instance, out, outSize);
}

void DeviceTable::RemoveSharedObjects(const std::string& sharedName) {
    shm_unlink(sharedName.c_str());
    shm_unlink((sharedName + ".lock").c_str());
}

DeviceTable& ProcessDeviceTable() {
    // Never destroyed: transports may still detach while the process exits,
    // and the kernel drops the presence lock with the process anyway.
    static DeviceTable* const table = new DeviceTable(NameFromEnvironment());
    return *table;
}

}  // namespace vantix
