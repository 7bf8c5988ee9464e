// `vantix snap` and `vantix record`: still images and AVI recordings.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#include "avi_size_limit.h"
#include "cli.h"
#include "commands.h"
#include "recording_progress.h"

namespace cli {

int RunSnap(int argc, char** argv) {
    Options options;
    std::vector<std::string> withValue = kCaptureOptions;
    withValue.push_back("format");
    std::vector<std::string> flags = {"help", "json"};
    flags.insert(flags.end(), kCaptureFlags.begin(), kCaptureFlags.end());
    if (!ParseOptions(argc, argv, 2, withValue, flags, &options)) return kExitUsage;
    if (options.Has("help") || options.positionals.size() != 1) {
        // With --json a refusal is only the JSON error, so stdout stays one object.
        if (options.Has("help") || !JsonErrors()) {
            std::printf("usage: vantix snap FILE [--format bmp|raw|jpg|png|tif] [--bits N] [--exposure-ms T] [--gain G]\n"
                        "                   [--width W --height H] [--x X --y Y] [--subsample 0|1|2]\n"
                        "                   [--mirror none|h|v|hv] [--gray-mode 0|1|2] [--save] [--camera N] [--json]\n"
                        "  Takes one picture and saves it; the format follows the file's extension.\n"
                        "  The options apply to this picture only; --save keeps them for later programs.\n"
                        "  --json prints the file, its size in bytes, the picture's size (after sub-sampling), the\n"
                        "  window in sensor pixels, the sub-sampling mode and the time taken.\n");
        }
        if (!options.Has("help")) {
            PrintError(options.positionals.empty() ? "snap needs a file name\n" : "snap takes one file name\n");
        }
        return options.Has("help") ? kExitOk : kExitUsage;
    }
    const std::string file = options.positionals[0];
    const int32_t type = FileTypeFor(options.Has("format") ? options.Get("format") : file);
    if (type < 0) {
        if (options.Has("format")) {
            PrintError("unknown image format %s (use bmp, raw, jpg, png or tif)\n", options.Get("format").c_str());
        } else {
            PrintError("unknown image format for %s (use bmp, raw, jpg, png or tif)\n", file.c_str());
        }
        return kExitUsage;
    }
    int32_t index = 0;
    if (!ParseCamera(options, &index) || !CheckWritable(file)) return kExitUsage;
    const double start = Now();
    const int32_t handle = OpenSession(index, options.Has("save"));
    if (handle == 0) return kExitFailure;
    int status = kExitOk;
    if (!ApplyCaptureOptions(handle, options)) {
        status = kExitUsage;
    } else if (!Vantix_SnapShot(handle, nullptr, 0, 1)) {
        status = Fail(handle, "taking a picture");
    } else if (!Vantix_SaveImage(handle, file.c_str(), type)) {
        status = Fail(handle, "saving " + file);
    } else {
        // The picture's size is the image delivered, which sub-sampling makes
        // smaller than the window (Vantix_Width and Vantix_Height give the window).
        VantixFrameMetadata frame{};
        if (!VantixExt_GetFrameMetadata(handle, &frame)) {
            frame.imageWidth = Vantix_Width(handle);
            frame.imageHeight = Vantix_Height(handle);
        }
        int32_t totalWidth = 0, x = 0, width = 0, totalHeight = 0, y = 0, height = 0;
        Vantix_GetCaptureWindowEx(handle, &totalWidth, &x, &width, &totalHeight, &y, &height);
        if (options.Has("json")) {
            std::printf("{\"file\":\"%s\",\"bytes\":%lld,\"width\":%d,\"height\":%d,\"bitsPerPixel\":%d,"
                        "\"window\":{\"x\":%d,\"y\":%d,\"width\":%d,\"height\":%d},\"subSample\":%d,\"seconds\":%.3f}\n",
                        JsonEscape(file).c_str(), FileSize(file), frame.imageWidth, frame.imageHeight,
                        Vantix_GetColorMode(handle), x, y, width, height, Vantix_GetSubSample(handle), Now() - start);
        } else {
            std::printf("%s  %d x %d, %d bits per pixel\n", file.c_str(), frame.imageWidth, frame.imageHeight,
                        Vantix_GetColorMode(handle));
        }
    }
    Vantix_Release(handle);
    return status;
}

int RunRecord(int argc, char** argv) {
    Options options;
    std::vector<std::string> withValue = kCaptureOptions;
    withValue.push_back("seconds");
    std::vector<std::string> flags = {"help", "json"};
    flags.insert(flags.end(), kCaptureFlags.begin(), kCaptureFlags.end());
    if (!ParseOptions(argc, argv, 2, withValue, flags, &options)) return kExitUsage;
    if (options.Has("help") || options.positionals.size() != 1) {
        if (options.Has("help") || !JsonErrors()) {
            std::printf("usage: vantix record FILE.avi [--seconds S] [--bits N] [--exposure-ms T] [--gain G]\n"
                        "                     [--width W --height H] [--x X --y Y] [--subsample 0|1|2]\n"
                        "                     [--mirror none|h|v|hv] [--gray-mode 0|1|2] [--save] [--camera N] [--json]\n"
                        "  Records an uncompressed 24-bit AVI (default 3 s, fractions allowed); Ctrl-C stops early and\n"
                        "  still leaves a valid file. A write error (disk full) ends it early with the frames written so\n"
                        "  far, and exit status 1; so does the AVI size limit (about 1 TiB), which the output names.\n"
                        "  --json prints the file, its size in bytes, the frame size, the time recorded, the frames,\n"
                        "  the frame rate, whether Ctrl-C or the size limit ended it, and the SDK error (0: none).\n");
        }
        if (!options.Has("help")) {
            PrintError(options.positionals.empty() ? "record needs a file name\n" : "record takes one file name\n");
        }
        return options.Has("help") ? kExitOk : kExitUsage;
    }
    double seconds = 3;
    int32_t index = 0;
    if (!ParseNumber(options.Get("seconds", "3"), 0.001, 86400, &seconds)) {
        PrintError("--seconds takes a time from 0.001 to 86400\n");
        return kExitUsage;
    }
    const std::string file = options.positionals[0];
    if (!ParseCamera(options, &index) || !CheckWritable(file)) return kExitUsage;
    const int32_t handle = OpenSession(index, options.Has("save"));
    if (handle == 0) return kExitFailure;
    if (!ApplyCaptureOptions(handle, options)) {
        Vantix_Release(handle);
        return kExitUsage;
    }
    InstallInterruptHandler();
    const bool json = options.Has("json");
    RecordingProgress progress(file, seconds, !json && isatty(STDOUT_FILENO) != 0);
    TakeError(handle, 0);  // what is recorded from here on concerns the recording
    const double start = Now();
    const auto durationMs = std::max<int32_t>(1, static_cast<int32_t>(seconds * 1000.0));
    if (!Vantix_Record(handle, file.c_str(), durationMs, 0)) {
        const int status = Fail(handle, "recording " + file);
        Vantix_Release(handle);
        return status;
    }
    // A recording that cannot be written (disk full) ends early: no need to
    // wait out the time.
    const double total = seconds + 0.5;
    bool writeFailed = false;
    while (!Interrupted() && !writeFailed && Now() - start < total) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        writeFailed = TakeError(handle, kSdkErrorFile);
        if (!json) progress.Update(std::min(Now() - start, seconds));
    }
    Vantix_StopPreview(handle);  // finalises the file
    writeFailed = TakeError(handle, kSdkErrorFile) || writeFailed;
    if (!json) progress.Finish();
    const double elapsed = std::min(Now() - start, seconds);
    const long long frames = static_cast<long long>(progress.FramesWritten());
    const long long bytes = FileSize(file);
    // The recorded picture's size, which sub-sampling makes smaller than the window.
    int32_t width = Vantix_Width(handle);
    int32_t height = Vantix_Height(handle);
    AviFrameSize(file, &width, &height);
    const bool sizeLimit = !writeFailed && AviSizeLimitReached(file, width, height);
    const double rate = elapsed > 0 ? static_cast<double>(frames) / elapsed : 0.0;
    if (json) {
        std::printf("{\"file\":\"%s\",\"bytes\":%lld,\"width\":%d,\"height\":%d,\"seconds\":%.3f,\"frames\":%lld,"
                    "\"framesPerSecond\":%.2f,\"interrupted\":%s,\"sizeLimitReached\":%s,\"error\":%d}\n",
                    JsonEscape(file).c_str(), bytes, width, height, elapsed, frames, rate,
                    Interrupted() ? "true" : "false", sizeLimit ? "true" : "false", writeFailed ? kSdkErrorFile : 0);
    } else {
        std::printf("%s  %lld frames, %.1f frames/s, %s\n", file.c_str(), frames, rate,
                    writeFailed  ? "ended early by a write error, file finalised"
                    : sizeLimit  ? "ended by the AVI size limit, file finalised"
                    : Interrupted() ? "stopped early, file finalised"
                                    : "done");
    }
    if (sizeLimit && !json) {
        PrintError("recording %s reached the AVI size limit after %lld frames (%lld bytes); record a smaller window "
                   "or a shorter time\n",
                   file.c_str(), frames, bytes);
    }
    // With --json the report above carries the error.
    if (writeFailed && !json) {
        PrintError("recording %s: SDK error %d (%s); the file keeps the %lld frames written before\n",
                     file.c_str(), kSdkErrorFile, ErrorText(kSdkErrorFile), frames);
    }
    Vantix_Release(handle);
    return writeFailed || sizeLimit ? kExitFailure : kExitOk;
}

}  // namespace cli
