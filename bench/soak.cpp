// Soak run (not a test): callback preview for a long time with a recording
// restarted every minute, reporting resident memory, file descriptors and
// threads at the start and the end. Uses the public interface only.
//
//   vantix_soak [MINUTES [FOLDER]]    defaults: 10 minutes, /tmp
//
// With no camera attached, run it with VANTIX_EMULATE=3040.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "../tests/support/process_resources.h"
#include "vantix/exports.h"
#include "vantix/linux_ext.h"

namespace {

using vantix::testing::ProcessResources;
using vantix::testing::ReadProcessResources;

void Print(const char* when, const ProcessResources& r, long frames) {
    std::printf("%-6s resident %ld KiB, %d file descriptors, %d threads, %ld frames\n", when, r.residentKiB,
                r.fileDescriptors, r.threads, frames);
    std::fflush(stdout);
}

// Counts frame messages; drains everything else.
long Drain(VantixHwnd window) {
    long frames = 0;
    VantixMessage message;
    while (VantixExt_GetMessage(window, &message, 0) == 1) frames += message.message == 0x8002 && message.wParam != 0;
    return frames;
}

}  // namespace

int main(int argc, char** argv) {
    const int minutes = argc > 1 ? std::atoi(argv[1]) : 10;
    const std::string folder = argc > 2 ? argv[2] : "/tmp";
    if (minutes < 1) {
        std::fprintf(stderr, "usage: %s [MINUTES [FOLDER]]\n", argv[0]);
        return 2;
    }
    VantixHwnd window = VantixExt_CreatePollableWindow();
    const int32_t handle = Vantix_Initialize(window);
    if (handle == 0 || !Vantix_SetDeviceNumber(handle, 0) || !Vantix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0) ||
        !Vantix_SetCaptureWindowEx(handle, 3856, 0, 640, 2764, 0, 480) || !Vantix_SetColorMode(handle, 24)) {
        std::fprintf(stderr, "error: no camera to soak (VANTIX_EMULATE=3040 adds a virtual one)\n");
        return 1;
    }
    const std::string avi = folder + "/vantix-soak.avi";
    std::vector<uint8_t> buffer(640 * 480 * 3);
    long frames = 0;
    ProcessResources start{};
    for (int minute = 0; minute < minutes; ++minute) {
        // The recording replaces the callback preview; a new callback preview
        // follows when it ends, so both run every minute.
        if (!Vantix_CallBackPreview(handle, window, buffer.data(), static_cast<int32_t>(buffer.size()), 1)) {
            std::fprintf(stderr, "error: preview failed, SDK error %d\n", static_cast<int>(Vantix_GetLastError(handle)));
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::seconds(50));
        frames += Drain(window);
        if (!Vantix_Record(handle, avi.c_str(), 9000, 0)) {
            std::fprintf(stderr, "error: recording failed, SDK error %d\n", static_cast<int>(Vantix_GetLastError(handle)));
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::seconds(10));
        Vantix_StopPreview(handle);
        frames += Drain(window);
        // Every sample is taken at the same point, with nothing streaming,
        // so the first minute's is the baseline the end is compared with
        // (threads and descriptors of a running preview are no growth).
        const ProcessResources now = ReadProcessResources();
        if (minute == 0) start = now;
        Print(minute == 0 ? "start" : "minute", now, frames);
    }
    const ProcessResources end = ReadProcessResources();
    Print("end", end, frames);
    Vantix_Release(handle);
    VantixExt_DestroyWindow(window);
    std::remove(avi.c_str());
    const bool grew = end.threads != start.threads || end.fileDescriptors != start.fileDescriptors;
    std::printf("growth: %+ld KiB resident, %+d file descriptors, %+d threads\n", end.residentKiB - start.residentKiB,
                end.fileDescriptors - start.fileDescriptors, end.threads - start.threads);
    return grew ? 1 : 0;
}
