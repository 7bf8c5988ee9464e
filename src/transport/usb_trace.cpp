#include "transport/usb_trace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/debug_output.h"
#include "transport/transfer_record.h"

namespace vantix {
namespace {

// The trace goes only to a regular file, created when missing. The open
// must not block (a FIFO without a reader would hang the first camera
// request), nor follow a symbolic link planted under the name.
std::FILE* OpenForAppending(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0666);
    int error = errno;
    struct stat status {};
    const bool known = fd >= 0 ? ::fstat(fd, &status) == 0 : ::lstat(path.c_str(), &status) == 0;
    if (!known) error = errno;
    if (fd >= 0 && known && S_ISREG(status.st_mode)) {
        (void)::fcntl(fd, F_SETFL, O_APPEND);  // from here on writes wait, as for any file
        if (std::FILE* stream = ::fdopen(fd, "a")) return stream;
        error = errno;
    }
    if (fd >= 0) ::close(fd);
    if (known && S_ISLNK(status.st_mode)) {
        DebugPrintf("VANTIX_USB_TRACE: %s is a symbolic link; no trace is written", path.c_str());
    } else if (known && !S_ISREG(status.st_mode)) {
        DebugPrintf("VANTIX_USB_TRACE: %s is not a regular file; no trace is written", path.c_str());
    } else {
        DebugPrintf("VANTIX_USB_TRACE: cannot open %s (%s); no trace is written", path.c_str(), std::strerror(error));
    }
    return nullptr;
}

struct TraceFile {
    std::mutex mutex;
    std::FILE* file = nullptr;
    std::atomic<bool> enabled{false};

    TraceFile() {
        if (const char* path = std::getenv("VANTIX_USB_TRACE"); path != nullptr && *path != '\0') Open(path);
    }
    bool Open(const std::string& path) {
        std::lock_guard lock(mutex);
        if (file != nullptr) std::fclose(file);
        file = path.empty() ? nullptr : OpenForAppending(path);
        enabled = file != nullptr;
        return enabled;
    }
    template <typename... Args>
    void Write(const char* format, Args... args) {
        std::lock_guard lock(mutex);
        if (file == nullptr) return;
        std::fprintf(file, format, args...);
        std::fflush(file);  // a crash must not lose the lines that explain it
    }
};

TraceFile& Trace() {
    static TraceFile* trace = new TraceFile();  // lives until exit, like the cameras
    return *trace;
}

}  // namespace

void TraceEp0(const TransferHeader& header, uint32_t returned, uint32_t result) {
    TraceFile& trace = Trace();
    if (!trace.enabled) return;
    trace.Write("ep0 %s req=0x%02x value=0x%04x index=0x%04x returned=%u result=%u\n",
                (header.requestType & 0x80) ? "in" : "out", header.request, header.value, header.index, returned,
                result);
}

void TraceStream(uint8_t endpoint, uint32_t requested, uint32_t transferred, uint32_t result) {
    TraceFile& trace = Trace();
    if (!trace.enabled) return;
    trace.Write("stream ep=0x%02x requested=%u transferred=%u result=%u\n", endpoint, requested, transferred, result);
}

bool SetUsbTraceFile(const std::string& path) { return Trace().Open(path); }

}  // namespace vantix
