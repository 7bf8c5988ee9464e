// `vantix snap` and `vantix record`: still images and AVI recordings.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vantix/exports.h>

#include "cli.h"
#include "commands.h"
#include "recording_progress.h"

namespace cli {

int RunSnap(int argc, char** argv) {
    Options options;
    std::vector<std::string> withValue = kCaptureOptions;
    withValue.push_back("format");
    if (!ParseOptions(argc, argv, 2, withValue, {"help", "json"}, &options)) return kExitUsage;
    if (options.Has("help") || options.positionals.size() != 1) {
        std::printf("usage: vantix snap FILE [--format bmp|raw|jpg|png|tif] [--bits N] [--exposure-ms T] [--gain G]\n"
                    "                   [--width W --height H] [--camera N] [--json]\n"
                    "  Takes one picture and saves it; the format follows the file's extension.\n"
                    "  --json prints the file, its size in bytes, the picture's size and the time taken.\n");
        return options.Has("help") ? kExitOk : kExitUsage;
    }
    const std::string file = options.positionals[0];
    const int32_t type = FileTypeFor(options.Has("format") ? options.Get("format") : file);
    if (type < 0) {
        std::fprintf(stderr, "error: unknown image format for %s (use bmp, raw, jpg, png or tif)\n", file.c_str());
        return kExitUsage;
    }
    int32_t index = 0;
    if (!ParseCamera(options, &index) || !CheckWritable(file)) return kExitUsage;
    const double start = Now();
    const int32_t handle = OpenSession(index);
    if (handle == 0) return kExitFailure;
    int status = kExitOk;
    if (!ApplyCaptureOptions(handle, options)) {
        status = kExitUsage;
    } else if (!Vantix_SnapShot(handle, nullptr, 0, 1)) {
        status = Fail(handle, "taking a picture");
    } else if (!Vantix_SaveImage(handle, file.c_str(), type)) {
        status = Fail(handle, "saving " + file);
    } else if (options.Has("json")) {
        std::printf("{\"file\":\"%s\",\"bytes\":%lld,\"width\":%d,\"height\":%d,\"bitsPerPixel\":%d,\"seconds\":%.3f}\n",
                    JsonEscape(file).c_str(), FileSize(file), Vantix_Width(handle), Vantix_Height(handle),
                    Vantix_GetColorMode(handle), Now() - start);
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
    if (!ParseOptions(argc, argv, 2, withValue, {"help", "json"}, &options)) return kExitUsage;
    if (options.Has("help") || options.positionals.size() != 1) {
        std::printf("usage: vantix record FILE.avi [--seconds S] [--bits N] [--exposure-ms T] [--gain G]\n"
                    "                     [--width W --height H] [--camera N] [--json]\n"
                    "  Records an uncompressed AVI (default 3 s); Ctrl-C stops early and still leaves a valid file.\n"
                    "  A write error (disk full) ends it early with the frames written so far, and exit status 1.\n"
                    "  --json prints the file, its size in bytes, the frame size, the time recorded, the frames\n"
                    "  and the SDK error (0: none).\n");
        return options.Has("help") ? kExitOk : kExitUsage;
    }
    int64_t seconds = 3;
    int32_t index = 0;
    if (!ParseInteger(options.Get("seconds", "3"), 1, 86400, &seconds)) {
        std::fprintf(stderr, "error: --seconds takes 1 to 86400\n");
        return kExitUsage;
    }
    const std::string file = options.positionals[0];
    if (!ParseCamera(options, &index) || !CheckWritable(file)) return kExitUsage;
    const int32_t handle = OpenSession(index);
    if (handle == 0) return kExitFailure;
    if (!ApplyCaptureOptions(handle, options)) {
        Vantix_Release(handle);
        return kExitUsage;
    }
    InstallInterruptHandler();
    const bool json = options.Has("json");
    RecordingProgress progress(file, static_cast<double>(seconds), isatty(STDOUT_FILENO) != 0);
    TakeError(handle, 0);  // what is recorded from here on concerns the recording
    const double start = Now();
    if (!Vantix_Record(handle, file.c_str(), static_cast<int32_t>(seconds * 1000), 0)) {
        const int status = Fail(handle, "recording " + file);
        Vantix_Release(handle);
        return status;
    }
    // A recording that cannot be written (disk full) ends early: no need to
    // wait out the time.
    const double total = static_cast<double>(seconds) + 0.5;
    bool writeFailed = false;
    while (!Interrupted() && !writeFailed && Now() - start < total) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        writeFailed = TakeError(handle, kSdkErrorFile);
        if (!json) progress.Update(std::min(Now() - start, static_cast<double>(seconds)));
    }
    Vantix_StopPreview(handle);  // finalises the file
    writeFailed = TakeError(handle, kSdkErrorFile) || writeFailed;
    if (!json) progress.Finish();
    const double elapsed = std::min(Now() - start, static_cast<double>(seconds));
    const long long frames = static_cast<long long>(progress.FramesWritten());
    if (json) {
        std::printf("{\"file\":\"%s\",\"bytes\":%lld,\"width\":%d,\"height\":%d,\"seconds\":%.3f,\"frames\":%lld,"
                    "\"interrupted\":%s,\"error\":%d}\n",
                    JsonEscape(file).c_str(), FileSize(file), Vantix_Width(handle), Vantix_Height(handle), elapsed,
                    frames, Interrupted() ? "true" : "false", writeFailed ? kSdkErrorFile : 0);
    } else {
        std::printf("%s  %lld frames, %s\n", file.c_str(), frames,
                    writeFailed ? "ended early by a write error, file finalised"
                                : (Interrupted() ? "stopped early, file finalised" : "done"));
    }
    if (writeFailed) {
        std::fprintf(stderr, "error: recording %s: SDK error %d (%s); the file keeps the %lld frames written before\n",
                     file.c_str(), kSdkErrorFile, ErrorText(kSdkErrorFile), frames);
    }
    Vantix_Release(handle);
    return writeFailed ? kExitFailure : kExitOk;
}

}  // namespace cli
