// `vantix stream`: runs the preview without a window and reports, once a
// second, the frames delivered, the frame rate and the frames the camera
// produced that never reached the application.
//
// Frames arrive as VANTIX_MSG_FRAME messages on a pollable window. Dropped
// frames are counted from the camera's own frame counter (FPGA register 8,
// its low byte), read as each frame is handled: the counter's advance since
// the first frame, less the frames delivered since then.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#include "cli.h"
#include "commands.h"

namespace cli {
namespace {

constexpr int32_t kFrameCounterRegister = 8;
constexpr double kStallSeconds = 10.0;   // no frame for this long ends the stream as failed
constexpr uint32_t kPollMs = 100;        // how often Ctrl-C and the clock are looked at
constexpr int32_t kErrorCameraLost = 13;

struct Interval {
    int second;
    long long frames;
    double fps;
    long long dropped;
};

// Counts the camera's frames from the 8-bit counter: each reading adds its
// advance since the one before. Frames are read often enough (every frame)
// that the counter never goes round between two readings.
class CameraCounter {
public:
    explicit CameraCounter(int32_t handle) : handle_(handle) {}

    // False once a reading failed: the camera's count is then unknown.
    bool Read() {
        if (!available_) return false;
        int32_t ok = 1;  // the FPGA read reports failure only
        const int32_t value = Vantix_Fpga_ReadRegister(handle_, kFrameCounterRegister, &ok);
        if (!ok) {
            available_ = false;
            return false;
        }
        if (started_) total_ += (value - last_) & 0xFF;
        started_ = true;
        last_ = value;
        return true;
    }
    bool available() const { return available_; }
    long long total() const { return total_; }

private:
    int32_t handle_;
    bool available_ = true;
    bool started_ = false;
    int32_t last_ = 0;
    long long total_ = 0;  // frames the camera produced since the first reading
};

void PrintUsage() {
    std::printf(
        "usage: vantix stream [--seconds S] [--frames N] [--bits N] [--exposure-ms T] [--gain G]\n"
        "                     [--width W --height H] [--wait-ms M] [--camera N] [--json]\n"
        "  Runs the camera without a window and prints, each second, the frames delivered, the\n"
        "  frame rate and the frames dropped (produced by the camera but not delivered), then totals.\n"
        "  Stops after --seconds (default 5, fractions allowed; 0: no time limit) or --frames, whichever\n"
        "  comes first, or at Ctrl-C. --wait-ms makes the SDK pause M ms before taking each frame, which lowers\n"
        "  the rate delivered (the camera keeps its own, so frames are dropped). --json prints one\n"
        "  object with the totals and the per-second figures.\n");
}

}  // namespace

int RunStream(int argc, char** argv) {
    Options options;
    std::vector<std::string> withValue = kCaptureOptions;
    withValue.push_back("seconds");
    withValue.push_back("frames");
    withValue.push_back("wait-ms");
    std::vector<std::string> flags = {"help", "json"};
    flags.insert(flags.end(), kCaptureFlags.begin(), kCaptureFlags.end());
    if (!ParseOptions(argc, argv, 2, withValue, flags, &options)) return kExitUsage;
    if (options.Has("help")) {
        PrintUsage();
        return kExitOk;
    }
    if (!options.positionals.empty()) {
        PrintError("stream takes no file name (unexpected %s)\n", options.positionals[0].c_str());
        return kExitUsage;
    }
    const bool framesOnly = options.Has("frames") && !options.Has("seconds");
    double seconds = 0;
    int64_t frameLimit = 0;
    if (!ParseNumber(options.Get("seconds", framesOnly ? "0" : "5"), 0, 86400, &seconds)) {
        PrintError("--seconds takes a time from 0 to 86400 (fractions allowed)\n");
        return kExitUsage;
    }
    if (options.Has("frames") && !ParseInteger(options.Get("frames"), 1, 100000000, &frameLimit)) {
        PrintError("--frames takes 1 to 100000000\n");
        return kExitUsage;
    }
    int64_t waitMs = -1;
    if (options.Has("wait-ms") && !ParseInteger(options.Get("wait-ms"), 0, 60000, &waitMs)) {
        PrintError("--wait-ms takes 0 to 60000\n");
        return kExitUsage;
    }
    int32_t index = 0;
    if (!ParseCamera(options, &index)) return kExitUsage;
    const bool json = options.Has("json");

    const int32_t handle = OpenSession(index, options.Has("save"));
    if (handle == 0) return kExitFailure;
    if (!ApplyCaptureOptions(handle, options)) {
        Vantix_Release(handle);
        return kExitUsage;
    }
    if (waitMs >= 0 && !Vantix_SetWaitTime(handle, static_cast<int32_t>(waitMs))) {
        const int status = Fail(handle, "setting the wait time");
        Vantix_Release(handle);
        return status;
    }
    VantixHwnd window = VantixExt_CreatePollableWindow();
    if (window == nullptr) {
        PrintError("no message window could be created\n");
        Vantix_Release(handle);
        return kExitFailure;
    }
    InstallInterruptHandler();
    if (!Vantix_CallBackPreview(handle, window, nullptr, 0, 0)) {
        const int status = Fail(handle, "starting the stream");
        VantixExt_DestroyWindow(window);
        Vantix_Release(handle);
        return status;
    }

    CameraCounter counter(handle);
    std::vector<Interval> intervals;
    long long frames = 0, intervalFrames = 0, errors = 0, droppedReported = 0;
    VantixFrameInfo last{};
    int32_t lostCode = 0;
    const double start = Now();
    double intervalStart = start;
    double lastFrame = start;
    bool stalled = false;
    if (!json) std::printf("%6s %8s %8s %8s\n", "second", "frames", "fps", "dropped");

    // Reports the interval ending now: the frames since its start and the
    // drops the counters show beyond those already reported.
    const auto closeInterval = [&](double now) {
        long long dropped = 0;
        if (counter.available() && frames > 0) {
            dropped = std::max(0LL, counter.total() - (frames - 1) - droppedReported);
            droppedReported += dropped;
        }
        const double length = now - intervalStart;
        const Interval interval{static_cast<int>(intervals.size()) + 1, intervalFrames,
                                length > 0 ? static_cast<double>(intervalFrames) / length : 0.0, dropped};
        intervals.push_back(interval);
        if (!json) {
            if (counter.available()) {
                std::printf("%6d %8lld %8.2f %8lld\n", interval.second, interval.frames, interval.fps, interval.dropped);
            } else {
                std::printf("%6d %8lld %8.2f %8s\n", interval.second, interval.frames, interval.fps, "n/a");
            }
            std::fflush(stdout);
        }
        intervalFrames = 0;
        intervalStart = now;
    };

    while (!Interrupted()) {
        const double now = Now();
        if (seconds > 0 && now - start >= seconds) break;
        if (frameLimit > 0 && frames >= frameLimit) break;
        if (now - lastFrame >= kStallSeconds) {
            stalled = true;
            break;
        }
        if (now - intervalStart >= 1.0) closeInterval(now);
        VantixMessage message{};
        if (VantixExt_GetMessage(window, &message, kPollMs) != 1 || message.message != VANTIX_MSG_FRAME) continue;
        if (message.wParam == 0) {
            // An error instead of a frame; a lost camera ends the stream.
            ++errors;
            if (message.lParam == kErrorCameraLost) {
                lostCode = kErrorCameraLost;
                break;
            }
            continue;
        }
        ++frames;
        ++intervalFrames;
        lastFrame = Now();
        counter.Read();
        // The SDK stores each field whole while later frames reuse the
        // record, so each is loaded whole too.
        const auto* record = reinterpret_cast<const VantixFrameInfo*>(message.wParam);
        last.width = __atomic_load_n(&record->width, __ATOMIC_RELAXED);
        last.height = __atomic_load_n(&record->height, __ATOMIC_RELAXED);
        last.bitsPerPixel = __atomic_load_n(&record->bitsPerPixel, __ATOMIC_RELAXED);
    }
    // The stream is stopped before the window goes, so nothing is posted to a
    // destroyed window; frames still queued are not counted.
    Vantix_StopPreview(handle);
    const double elapsed = Now() - start;
    if (intervalFrames > 0 || intervals.empty()) closeInterval(Now());
    VantixExt_DestroyWindow(window);

    const double fps = elapsed > 0 ? static_cast<double>(frames) / elapsed : 0.0;
    const bool interrupted = Interrupted();
    if (json) {
        std::printf("{\"frames\":%lld,\"seconds\":%.3f,\"fps\":%.2f,\"dropped\":", frames, elapsed, fps);
        if (counter.available()) {
            std::printf("%lld", droppedReported);
        } else {
            std::printf("null");
        }
        std::printf(",\"errors\":%lld,\"width\":%d,\"height\":%d,\"bitsPerPixel\":%d,\"interrupted\":%s,\"intervals\":[",
                    errors, last.width, last.height, last.bitsPerPixel, interrupted ? "true" : "false");
        for (size_t i = 0; i < intervals.size(); ++i) {
            std::printf("%s{\"second\":%d,\"frames\":%lld,\"fps\":%.2f,\"dropped\":%lld}", i ? "," : "",
                        intervals[i].second, intervals[i].frames, intervals[i].fps, intervals[i].dropped);
        }
        std::printf("]}\n");
    } else {
        std::printf("total: %lld frames in %.2f s, %.2f fps, ", frames, elapsed, fps);
        if (counter.available()) {
            std::printf("%lld dropped", droppedReported);
        } else {
            std::printf("dropped frames unknown (the camera's counter cannot be read)");
        }
        if (errors > 0) std::printf(", %lld transfer errors", errors);
        if (frames > 0) std::printf("; %d x %d, %d bits per pixel", last.width, last.height, last.bitsPerPixel);
        std::printf("%s\n", interrupted ? " (stopped by Ctrl-C)" : "");
    }
    int status = kExitOk;
    if (lostCode != 0) {
        PrintError("the camera was lost: SDK error %d (%s)\n", lostCode, ErrorText(lostCode));
        status = kExitFailure;
    } else if (stalled) {
        PrintError("the camera delivered no frame for %.0f s\n", kStallSeconds);
        status = kExitFailure;
    }
    Vantix_Release(handle);
    return status;
}

}  // namespace cli
