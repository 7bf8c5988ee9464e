#include "transport/usb_trace.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "transport/transfer_record.h"

namespace vantix {
namespace {

struct TraceFile {
    std::mutex mutex;
    std::FILE* file = nullptr;
    std::atomic<bool> enabled{false};

    TraceFile() {
        if (const char* path = std::getenv("VANTIX_USB_TRACE"); path != nullptr && *path != '\0') Open(path);
    }
    void Open(const std::string& path) {
        std::lock_guard lock(mutex);
        if (file != nullptr) std::fclose(file);
        file = path.empty() ? nullptr : std::fopen(path.c_str(), "a");
        enabled = file != nullptr;
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

void SetUsbTraceFile(const std::string& path) { Trace().Open(path); }

}  // namespace vantix
