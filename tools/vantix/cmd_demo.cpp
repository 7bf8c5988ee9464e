// `vantix demo`: a tour of the SDK on one camera (a virtual one unless a real
// camera is attached): list, info, pictures in three depths saved in four
// formats, a short recording, and a summary of what was written.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#include "cli.h"
#include "commands.h"
#include "recording_progress.h"

namespace cli {
namespace {

struct Written {
    std::string file;
    long long bytes;
    int32_t width;
    int32_t height;
    double seconds;
};

}  // namespace

int RunDemo(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, 2, {"out"}, {"help", "json"}, &options)) return 2;
    if (options.Has("help")) {
        std::printf("usage: vantix demo [--out DIR] [--json]\n  Lists cameras, takes pictures in 8-, 24- and 48-bit modes as BMP, PNG, JPEG\n"
                    "  and TIFF, records 3 s of AVI and prints what it wrote (default DIR: ./vantix-demo).\n"
                    "  --json prints the camera and the files written (file, bytes, width, height, seconds).\n");
        return 0;
    }
    if (!options.positionals.empty()) {
        PrintError("demo takes no arguments (%s); see vantix demo --help\n", options.positionals[0].c_str());
        return 2;
    }
    const bool json = options.Has("json");
    // Without an attached camera the tour runs on a virtual one: the SDK reads
    // VANTIX_EMULATE when it starts, so the tool starts itself again with it.
    if (std::getenv("VANTIX_EMULATE") == nullptr) {
        const int32_t probe = Vantix_Initialize(nullptr);
        char names[VANTIX_NAME_LIST_ENTRIES * VANTIX_NAME_LIST_ENTRY_CHARS];
        const int32_t attached = probe != 0 ? Vantix_EnumDevice(probe, names) : 0;
        Vantix_Release(probe);
        if (attached == 0) {
            if (!json) std::printf("no camera attached: using a virtual Q720LX-USB3-K9 camera\n");
            std::fflush(stdout);
            setenv("VANTIX_EMULATE", "3040", 1);
            execv("/proc/self/exe", argv);
            PrintError("could not restart with a virtual camera\n");
            return 1;
        }
    }
    const std::string dir = options.Get("out", "vantix-demo");
    struct stat folder {};
    if (mkdir(dir.c_str(), 0755) != 0 && (stat(dir.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode))) {
        PrintError("cannot create the folder %s\n", dir.c_str());
        return 1;
    }
    const int32_t handle = OpenSession(0);
    if (handle == 0) return 1;
    char name[64] = {};
    Vantix_GetDeviceName(handle, 0, name, sizeof name);
    VantixCameraInfo info{};
    info.size = sizeof info;
    Vantix_GetCameraInfo(handle, &info);
    VantixDeviceDetails details{};
    if (!json) std::printf("cameras:\n");
    for (int32_t instance = 0; instance < 32; ++instance) {
        if (!VantixExt_GetDeviceDetails(handle, instance, &details)) continue;
        char listed[64] = {};
        Vantix_GetDeviceName(handle, instance, listed, sizeof listed);
        if (!json) std::printf("  %d  %s  model 0x%04x  %s  %s\n", instance, listed, details.productId,
                    details.isVirtual ? "virtual" : "usb", details.path);
    }
    while (Vantix_GetLastError(handle) != 0) {
    }  // the probes above recorded "not attached" for the gaps
    if (!json) std::printf("using %s: sensor %d x %d, gain %d..%d, exposure %.1f..%.1f ms\n\n", name, info.totalWidth,
                info.totalHeight, info.gainMin, info.gainMax, info.exposureMin / 10.0, info.exposureMax / 10.0);
    Vantix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);

    std::vector<Written> written;
    const char* extensions[] = {"bmp", "png", "jpg", "tif"};
    for (int32_t bits : {8, 24, 48}) {
        Vantix_SetColorMode(handle, bits);
        const auto start = std::chrono::steady_clock::now();
        if (!Vantix_SnapShot(handle, nullptr, 0, 1)) return Fail(handle, "taking a " + std::to_string(bits) + "-bit picture");
        const double snapSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        for (const char* ext : extensions) {
            const std::string file = dir + "/picture-" + std::to_string(bits) + "bit." + ext;
            const auto saveStart = std::chrono::steady_clock::now();
            if (!Vantix_SaveImage(handle, file.c_str(), FileTypeFor(ext))) return Fail(handle, "saving " + file);
            const double seconds =
                snapSeconds + std::chrono::duration<double>(std::chrono::steady_clock::now() - saveStart).count();
            written.push_back({file, FileSize(file), Vantix_Width(handle), Vantix_Height(handle), seconds});
        }
    }

    Vantix_SetColorMode(handle, 24);
    const std::string avi = dir + "/recording.avi";
    const auto recordStart = std::chrono::steady_clock::now();
    const double recordStartSeconds = Now();
    RecordingProgress progress(avi, 3.0, !json && isatty(STDOUT_FILENO) != 0);
    TakeError(handle, 0);  // what is recorded from here on concerns the recording
    if (!Vantix_Record(handle, avi.c_str(), 3000, 0)) return Fail(handle, "recording " + avi);
    bool writeFailed = false;
    while (!writeFailed && Now() - recordStartSeconds < 3.3) {
        usleep(100000);
        writeFailed = TakeError(handle, kSdkErrorFile);
        if (!json) progress.Update(std::min(3.0, Now() - recordStartSeconds));
    }
    Vantix_StopPreview(handle);
    writeFailed = TakeError(handle, kSdkErrorFile) || writeFailed;
    if (!json) progress.Finish();
    if (writeFailed) {
        PrintError("recording %s: SDK error %d (%s); the file keeps the %lld frames written before\n",
                     avi.c_str(), kSdkErrorFile, ErrorText(kSdkErrorFile),
                     static_cast<long long>(progress.FramesWritten()));
    }
    if (!json) std::printf("\n");
    written.push_back({avi, FileSize(avi), Vantix_Width(handle), Vantix_Height(handle),
                       std::chrono::duration<double>(std::chrono::steady_clock::now() - recordStart).count()});
    Vantix_Release(handle);

    if (json) {
        std::printf("{\"camera\":\"%s\",\"files\":[", JsonEscape(name).c_str());
        for (size_t i = 0; i < written.size(); ++i) {
            const Written& w = written[i];
            std::printf("%s{\"file\":\"%s\",\"bytes\":%lld,\"width\":%d,\"height\":%d,\"seconds\":%.3f}", i ? "," : "",
                        JsonEscape(w.file).c_str(), w.bytes, w.width, w.height, w.seconds);
        }
        std::printf("],\"error\":%d}\n", writeFailed ? kSdkErrorFile : 0);
        return writeFailed ? 1 : 0;
    }
    std::printf("%-36s %12s %12s %8s\n", "file", "bytes", "size", "time");
    for (const Written& w : written) {
        const std::string size = std::to_string(w.width) + " x " + std::to_string(w.height);
        std::printf("%-36s %12lld %12s %7.2fs\n", w.file.c_str(), w.bytes, size.c_str(), w.seconds);
    }
    // An absolute --out is shown as given; a relative one below the current folder.
    char cwd[4096] = {};
    const std::string where =
        dir.front() == '/' ? dir : std::string(getcwd(cwd, sizeof cwd) ? cwd : ".") + "/" + dir;
    std::printf("\nfiles are in %s\n", where.c_str());
    return writeFailed ? 1 : 0;
}

}  // namespace cli
