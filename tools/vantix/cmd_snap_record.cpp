// `vantix snap` and `vantix record`: still images and AVI recordings.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vantix/exports.h>

#include "cli.h"
#include "commands.h"

namespace cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }

// Applies the capture options shared by snap and record. False with a
// message for a bad value.
bool ApplyCaptureOptions(int32_t handle, const Options& options) {
    int64_t value = 0;
    if (options.Has("bits")) {
        if (!ParseInteger(options.Get("bits"), 8, 64, &value) || !Vantix_SetColorMode(handle, static_cast<int32_t>(value))) {
            std::fprintf(stderr, "error: --bits takes 8, 16, 24, 32, 48 or 64\n");
            return false;
        }
    }
    if (options.Has("exposure-ms")) {
        const double ms = std::atof(options.Get("exposure-ms").c_str());
        if (!(ms > 0) || !Vantix_SetRealExposureTime(handle, static_cast<int32_t>(ms * 1000.0))) {
            std::fprintf(stderr, "error: --exposure-ms must be a positive time within the camera's range\n");
            return false;
        }
    }
    if (options.Has("gain")) {
        if (!ParseInteger(options.Get("gain"), 0, 1 << 20, &value) ||
            !Vantix_SetGlobalGain(handle, static_cast<int32_t>(value))) {
            std::fprintf(stderr, "error: --gain is outside the camera's range (see vantix info)\n");
            return false;
        }
    }
    if (options.Has("width") || options.Has("height")) {
        int64_t width = 3840, height = 2752;
        if (!ParseInteger(options.Get("width", "3840"), 1, 3856, &width) ||
            !ParseInteger(options.Get("height", "2752"), 1, 2764, &height) ||
            !Vantix_SetCaptureWindowEx(handle, 3856, 0, static_cast<int32_t>(width), 2764, 0,
                                       static_cast<int32_t>(height))) {
            std::fprintf(stderr, "error: the window must fit the 3856 x 2764 sensor\n");
            return false;
        }
    }
    Vantix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);  // no preview window on a terminal
    return true;
}

const std::vector<std::string> kCaptureOptions = {"camera", "bits", "exposure-ms", "gain", "width", "height"};

}  // namespace

int RunSnap(int argc, char** argv) {
    Options options;
    std::vector<std::string> withValue = kCaptureOptions;
    withValue.push_back("format");
    if (!ParseOptions(argc, argv, 2, withValue, {"help"}, &options)) return 2;
    if (options.Has("help") || options.positionals.size() != 1) {
        std::printf("usage: vantix snap FILE [--format bmp|raw|jpg|png|tif] [--bits N] [--exposure-ms T] [--gain G]\n"
                    "                   [--width W --height H] [--camera N]\n"
                    "  Takes one picture and saves it; the format follows the file's extension.\n");
        return options.Has("help") ? 0 : 2;
    }
    const std::string file = options.positionals[0];
    const int32_t type = FileTypeFor(options.Has("format") ? options.Get("format") : file);
    if (type < 0) {
        std::fprintf(stderr, "error: unknown image format for %s (use bmp, raw, jpg, png or tif)\n", file.c_str());
        return 2;
    }
    int64_t index = 0;
    if (!ParseInteger(options.Get("camera", "0"), 0, 31, &index)) return 2;
    const int32_t handle = OpenSession(static_cast<int32_t>(index));
    if (handle == 0) return 1;
    int status = 0;
    if (!ApplyCaptureOptions(handle, options)) {
        status = 2;
    } else if (!Vantix_SnapShot(handle, nullptr, 0, 1)) {
        status = Fail(handle, "taking a picture");
    } else if (!Vantix_SaveImage(handle, file.c_str(), type)) {
        status = Fail(handle, "saving " + file);
    } else {
        std::printf("%s  %d x %d, %d bits per pixel\n", file.c_str(), Vantix_Width(handle), Vantix_Height(handle),
                    Vantix_GetColorMode(handle));
    }
    Vantix_Release(handle);
    return status;
}

int RunRecord(int argc, char** argv) {
    Options options;
    std::vector<std::string> withValue = kCaptureOptions;
    withValue.push_back("seconds");
    if (!ParseOptions(argc, argv, 2, withValue, {"help"}, &options)) return 2;
    if (options.Has("help") || options.positionals.size() != 1) {
        std::printf("usage: vantix record FILE.avi [--seconds S] [--bits N] [--exposure-ms T] [--gain G]\n"
                    "                     [--width W --height H] [--camera N]\n"
                    "  Records an uncompressed AVI; Ctrl-C stops early and still leaves a valid file.\n");
        return options.Has("help") ? 0 : 2;
    }
    int64_t seconds = 3;
    int64_t index = 0;
    if (!ParseInteger(options.Get("seconds", "3"), 1, 86400, &seconds) ||
        !ParseInteger(options.Get("camera", "0"), 0, 31, &index)) {
        std::fprintf(stderr, "error: --seconds takes 1 to 86400, --camera 0 to 31\n");
        return 2;
    }
    const int32_t handle = OpenSession(static_cast<int32_t>(index));
    if (handle == 0) return 1;
    if (!ApplyCaptureOptions(handle, options)) {
        Vantix_Release(handle);
        return 2;
    }
    const std::string file = options.positionals[0];
    if (!Vantix_Record(handle, file.c_str(), static_cast<int32_t>(seconds * 1000), 0)) {
        const int status = Fail(handle, "recording " + file);
        Vantix_Release(handle);
        return status;
    }
    std::signal(SIGINT, OnInterrupt);
    const bool terminal = isatty(STDOUT_FILENO) != 0;
    const auto start = std::chrono::steady_clock::now();
    const auto total = std::chrono::seconds(seconds) + std::chrono::milliseconds(500);
    while (!g_interrupted && std::chrono::steady_clock::now() - start < total) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const int filled = static_cast<int>(30.0 * std::min(1.0, elapsed / static_cast<double>(seconds)));
        if (terminal) {
            std::printf("\r[%-30s] %4.1f s", std::string(static_cast<size_t>(filled), '#').c_str(), elapsed);
            std::fflush(stdout);
        }
    }
    Vantix_StopPreview(handle);  // finalises the file
    if (terminal) std::printf("\n");
    std::printf("%s  %s\n", file.c_str(), g_interrupted ? "stopped early, file finalised" : "done");
    Vantix_Release(handle);
    return 0;
}

}  // namespace cli
