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

#include "drivers/transfer_record.h"
#include "platform/clock.h"
#include "platform/debug_output.h"

namespace vantix {
namespace {

void TracePauseLine(uint32_t milliseconds);

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
    std::atomic<bool> withData{false};

    TraceFile() {
        if (const char* data = std::getenv("VANTIX_USB_TRACE_DATA"); data != nullptr && *data != '\0' && *data != '0') {
            withData = true;
            SetSleepObserver(TracePauseLine);
        }
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

void TracePauseLine(uint32_t milliseconds) {
    TraceFile& trace = Trace();
    if (trace.enabled && trace.withData) trace.Write("pause ms=%u\n", milliseconds);
}

// Lower-case hex of `count` bytes, two digits each.
std::string Hex(const uint8_t* bytes, size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * count);
    for (size_t i = 0; i < count; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

// The bytes of a request worth showing: what an out request sent, without
// the zero fill after it, or what an in request received.
std::string DataOf(const TransferHeader& header, const uint8_t* data, uint32_t returned, uint32_t result) {
    if (data == nullptr) return {};
    size_t count = 0;
    if ((header.requestType & 0x80) == 0) {
        count = kEp0DataSize;
        while (count > 0 && data[count - 1] == 0) --count;
    } else if (result == 0) {
        count = returned >= kTransferHeaderSize ? returned - kTransferHeaderSize : 0;
        if (count > kEp0DataSize) count = kEp0DataSize;
    }
    return Hex(data, count);
}

}  // namespace

void TraceEp0(const TransferHeader& header, uint32_t returned, uint32_t result, const uint8_t* data) {
    TraceFile& trace = Trace();
    if (!trace.enabled) return;
    if (trace.withData) {
        trace.Write("ep0 %s req=0x%02x value=0x%04x index=0x%04x returned=%u result=%u data=%s\n",
                    (header.requestType & 0x80) ? "in" : "out", header.request, header.value, header.index,
                    returned, result, DataOf(header, data, returned, result).c_str());
        return;
    }
    trace.Write("ep0 %s req=0x%02x value=0x%04x index=0x%04x returned=%u result=%u\n",
                (header.requestType & 0x80) ? "in" : "out", header.request, header.value, header.index, returned,
                result);
}

void TraceStream(uint8_t endpoint, uint32_t requested, uint32_t transferred, uint32_t result) {
    TraceFile& trace = Trace();
    if (!trace.enabled) return;
    trace.Write("stream ep=0x%02x requested=%u transferred=%u result=%u\n", endpoint, requested, transferred, result);
}

bool SetUsbTraceFile(const std::string& path) {
    TraceFile& trace = Trace();
    const bool on = trace.Open(path);
    SetSleepObserver(trace.withData ? TracePauseLine : nullptr);
    return on;
}

void SetUsbTraceData(bool withData) {
    TraceFile& trace = Trace();
    trace.withData = withData;
    SetSleepObserver(withData ? TracePauseLine : nullptr);
}

}  // namespace vantix
