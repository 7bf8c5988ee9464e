#include "transport/stream_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <set>
#include <utility>

#include "drivers/device_file.h"
#include "platform/debug_output.h"
#include "transport/device_table.h"

namespace vantix {
namespace {

constexpr mode_t kClaimMode = 0600;  // the user's processes only, like the device table

// The claim objects of this process's virtual cameras, removed when the
// process exits: nobody else can ever use them, and each test or tool run
// would otherwise leave its own behind in /dev/shm. A real camera's object
// stays, since other processes share it. Entries carry the creating
// process's id, so a forked child that exits normally leaves its parent's
// objects alone.
class ProcessClaimObjects {
public:
    void Remember(const std::string& name) {
        std::lock_guard lock(mutex_);
        names_.emplace(getpid(), name);
    }
    void RemoveOwn() {
        std::lock_guard lock(mutex_);
        const pid_t self = getpid();
        for (const auto& [pid, name] : names_) {
            if (pid == self) shm_unlink(name.c_str());
        }
        names_.clear();
    }

private:
    std::mutex mutex_;
    std::set<std::pair<pid_t, std::string>> names_;
};

// Never destroyed: a claim made by another static object's destructor after
// the exit handler has run still finds it (and is merely left behind).
ProcessClaimObjects& VirtualClaimObjects() {
    static ProcessClaimObjects* objects = [] {
        auto* created = new ProcessClaimObjects();
        std::atexit([] { VirtualClaimObjects().RemoveOwn(); });
        return created;
    }();
    return *objects;
}

int OpenClaimObject(const std::string& name, bool perProcess) {
    const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, kClaimMode);
    if (fd >= 0 && perProcess) VirtualClaimObjects().Remember(name);
    return fd;
}

// Tries the exclusive lock without waiting; retries only an interrupted call.
bool TryLock(int fd) {
    int result;
    do {
        result = flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

}  // namespace

std::string StreamClaim::NameFor(std::string_view devicePath) {
    // Claims live beside the device table the process uses: processes that
    // share cameras share the table, and a table of its own (a test's, an
    // emulated bus's) never collides with the claims of another table.
    std::string name = "/vantix-stream-";
    const auto append = [&name](std::string_view text) {
        for (char c : text) {
            const auto u = static_cast<unsigned char>(c);
            name += std::isalnum(u) ? static_cast<char>(std::tolower(u)) : '_';
        }
    };
    append(ProcessDeviceTable().SharedName());
    name += '-';
    append(devicePath);
    if (IsVirtualDevice(devicePath)) name += "-pid" + std::to_string(getpid());
    // shm names are file names: keep them well inside NAME_MAX.
    if (name.size() > 200) name.resize(200);
    return name;
}

bool StreamClaim::Claim(std::string_view devicePath) {
    const std::string name = NameFor(devicePath);
    if (fd_ >= 0 && name == name_) return true;
    Release();
    const int fd = OpenClaimObject(name, IsVirtualDevice(devicePath));
    if (fd < 0) {
        DebugPrintf(DebugCategory::Transport, "stream claim: cannot open %s (errno %d)", name.c_str(), errno);
        return false;
    }
    if (!TryLock(fd)) {
        DebugPrintf(DebugCategory::Transport, "stream claim: the stream of %.*s is held by another session",
                    static_cast<int>(devicePath.size()), devicePath.data());
        close(fd);
        return false;
    }
    fd_ = fd;
    name_ = name;
    return true;
}

void StreamClaim::Release() {
    if (fd_ < 0) return;
    // The object is left in place: unlinking it could let a newcomer lock a
    // fresh object while a third party still holds the old one.
    flock(fd_, LOCK_UN);
    close(fd_);
    fd_ = -1;
    name_.clear();
}

bool StreamClaim::HeldElsewhere(std::string_view devicePath) const {
    const std::string name = NameFor(devicePath);
    if (fd_ >= 0 && name == name_) return false;
    const int fd = OpenClaimObject(name, IsVirtualDevice(devicePath));
    if (fd < 0) return false;
    const bool free = TryLock(fd);
    if (free) flock(fd, LOCK_UN);
    close(fd);
    return !free;
}

}  // namespace vantix
