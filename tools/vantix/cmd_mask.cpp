// `vantix mask`: the defect-mask references (a dark and a bright frame of the
// whole sensor, in 8-bit and 16-bit depth) kept in a mask file.
//
// The references live in a session and end with it, so every command here
// works on a file: `dark` and `bright` load the file when it exists (keeping
// its other references), take one full-sensor frame per depth as the new
// reference (the SDK takes the current frame as it is; it does not average)
// and save the file again. The SDK writes mask files to a new file and
// renames it into place, so the file is whole at any moment, and Ctrl-C is
// only acted on between steps.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>
#include <vantix/exports.h>

#include "cli.h"
#include "commands.h"

namespace cli {
namespace {

void PrintUsage() {
    std::printf(
        "usage: vantix mask dark FILE [--depth 8|16|both] [--exposure-ms T] [--gain G] [--camera N] [--json]\n"
        "       vantix mask bright FILE [--depth 8|16|both] [--exposure-ms T] [--gain G] [--camera N] [--json]\n"
        "       vantix mask save FILE [--camera N] [--json]\n"
        "       vantix mask load FILE [--camera N] [--json]\n"
        "  dark    takes the dark reference (cover the lens) from one full-sensor frame per depth\n"
        "          (default both) and stores it in FILE, keeping FILE's other references\n"
        "  bright  the same for the bright reference (an evenly lit, unsaturated scene)\n"
        "  save    writes a neutral mask file (no defects) to start from\n"
        "  load    checks that FILE is a mask file the camera takes\n"
        "  Mask files are about 64 MB. Ctrl-C stops between steps and leaves FILE as it was.\n");
}

// Progress on one line on a terminal, one line per step otherwise; nothing
// on standard output with --json.
class Progress {
public:
    Progress(int steps, bool json) : steps_(steps), json_(json), terminal_(!json && isatty(STDOUT_FILENO) != 0) {}
    void Step(const std::string& what) {
        ++done_;
        if (json_) return;
        if (terminal_) {
            const int filled = 30 * (done_ - 1) / steps_;
            std::printf("\r[%-30s] %d/%d %-40s", std::string(static_cast<size_t>(filled), '#').c_str(), done_, steps_,
                        what.c_str());
        } else {
            std::printf("%d/%d %s\n", done_, steps_, what.c_str());
        }
        std::fflush(stdout);
    }
    // Ends the progress line before a message.
    void Break() {
        if (terminal_ && done_ > 0) std::printf("\n");
    }
    void Finish() {
        if (terminal_) std::printf("\r[%-30s] %d/%d %-40s\n", std::string(30, '#').c_str(), steps_, steps_, "done");
    }

private:
    int steps_;
    int done_ = 0;
    bool json_;
    bool terminal_;
};

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

int Interruption(Progress* progress, const std::string& file) {
    progress->Break();
    std::fprintf(stderr, "interrupted: %s was not changed\n", file.c_str());
    return kExitInterrupted;
}

// The session's capture state, put back before release so that the mask
// frames' window, depth and sub-sampling are not saved as the camera's own.
struct CaptureState {
    int32_t totalWidth = 0, startX = 0, width = 0, totalHeight = 0, startY = 0, height = 0;
    int32_t colorMode = 24;
    int32_t subSample = 0;
    void Save(int32_t handle) {
        Vantix_GetCaptureWindowEx(handle, &totalWidth, &startX, &width, &totalHeight, &startY, &height);
        colorMode = Vantix_GetColorMode(handle);
        subSample = Vantix_GetSubSample(handle);
    }
    void Restore(int32_t handle) const {
        Vantix_SetCaptureWindowEx(handle, totalWidth, startX, width, totalHeight, startY, height);
        Vantix_SetColorMode(handle, colorMode);
        Vantix_SetSubSample(handle, subSample);
    }
};

int Capture(int32_t handle, const Options& options, const std::string& file, bool dark, bool json) {
    const std::string depth = options.Get("depth", "both");
    std::vector<int32_t> depths;
    if (depth == "8" || depth == "both") depths.push_back(8);
    if (depth == "16" || depth == "both") depths.push_back(16);
    const bool existing = Exists(file);
    Progress progress(static_cast<int>(depths.size()) + (existing ? 2 : 1), json);
    const double start = Now();
    const char* which = dark ? "dark" : "bright";

    if (existing) {
        progress.Step("reading " + file);
        // A file that is not a mask file is not replaced: it may be something
        // else entirely, named by mistake.
        if (!Vantix_LoadMaskFile(handle, file.c_str())) {
            progress.Break();
            return Fail(handle, file + " exists but is not a mask file this camera takes; not replacing it");
        }
    }
    VantixCameraInfo info{};
    info.size = sizeof info;
    if (!Vantix_GetCameraInfo(handle, &info)) {
        progress.Break();
        return Fail(handle, "reading the sensor size");
    }
    CaptureState saved;
    saved.Save(handle);
    // The references cover the whole sensor, sample for sample.
    if (!Vantix_SetCaptureWindowEx(handle, info.totalWidth, 0, info.totalWidth, info.totalHeight, 0, info.totalHeight) ||
        !Vantix_SetSubSample(handle, 0)) {
        saved.Restore(handle);
        progress.Break();
        return Fail(handle, "selecting the whole sensor");
    }
    int status = kExitOk;
    for (int32_t bits : depths) {
        if (Interrupted()) break;
        progress.Step("taking the " + std::to_string(bits) + "-bit " + which + " frame");
        // Gray modes take the raw frame of their depth without colour work.
        if (!Vantix_SetColorMode(handle, bits) || !Vantix_SnapShot(handle, nullptr, 0, 1)) {
            progress.Break();
            status = Fail(handle, "taking a " + std::to_string(bits) + "-bit frame");
            break;
        }
        if (!Vantix_UpdateMaskData(handle, dark ? 0 : 1)) {
            progress.Break();
            status = Fail(handle, "taking the frame as the " + std::to_string(bits) + "-bit " + which + " reference");
            break;
        }
    }
    saved.Restore(handle);
    if (status != kExitOk) return status;
    if (Interrupted()) return Interruption(&progress, file);
    progress.Step("writing " + file);
    if (!Vantix_SaveMaskFile(handle, file.c_str())) {
        progress.Break();
        return Fail(handle, "writing " + file);
    }
    progress.Finish();
    if (json) {
        std::printf("{\"file\":\"%s\",\"reference\":\"%s\",\"depths\":[", JsonEscape(file).c_str(), which);
        for (size_t i = 0; i < depths.size(); ++i) std::printf("%s%d", i ? "," : "", depths[i]);
        std::printf("],\"kept\":%s,\"bytes\":%lld,\"seconds\":%.3f}\n", existing ? "true" : "false", FileSize(file),
                    Now() - start);
    } else {
        std::printf("%s  %s reference (%s bit) stored, %lld bytes\n", file.c_str(), which,
                    depths.size() == 2 ? "8 and 16" : std::to_string(depths[0]).c_str(), FileSize(file));
    }
    return kExitOk;
}

}  // namespace

int RunMask(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, 2, {"camera", "depth", "exposure-ms", "gain"}, {"help", "json"}, &options)) {
        return kExitUsage;
    }
    if (options.Has("help")) {
        PrintUsage();
        return kExitOk;
    }
    const std::vector<std::string>& args = options.positionals;
    const std::string action = args.empty() ? "" : args[0];
    const bool capture = action == "dark" || action == "bright";
    if (!capture && action != "save" && action != "load") {
        if (action.empty()) {
            PrintError("mask needs a subcommand\n");
        } else {
            PrintError("unknown mask subcommand %s\n", action.c_str());
        }
        PrintUsage();
        return kExitUsage;
    }
    if (args.size() != 2) {
        PrintError("mask %s takes one file name\n", action.c_str());
        return kExitUsage;
    }
    if (!capture && (options.Has("depth") || options.Has("exposure-ms") || options.Has("gain"))) {
        PrintError("--depth, --exposure-ms and --gain go with mask dark and mask bright\n");
        return kExitUsage;
    }
    const std::string depth = options.Get("depth", "both");
    if (depth != "8" && depth != "16" && depth != "both") {
        PrintError("--depth takes 8, 16 or both\n");
        return kExitUsage;
    }
    const std::string file = args[1];
    int32_t index = 0;
    if (!ParseCamera(options, &index)) return kExitUsage;
    if (action != "load" && !CheckWritable(file)) return kExitUsage;
    const bool json = options.Has("json");

    InstallInterruptHandler();
    const int32_t handle = OpenSession(index);
    if (handle == 0) return kExitFailure;
    int status = kExitOk;
    if (capture) {
        // Only exposure and gain apply; the window and depth are the mask's.
        Options exposure;
        for (const char* name : {"exposure-ms", "gain"}) {
            if (options.Has(name)) exposure.values[name] = options.Get(name);
        }
        status = ApplyCaptureOptions(handle, exposure) ? Capture(handle, options, file, action == "dark", json)
                                                       : kExitUsage;
    } else if (action == "save") {
        if (!Vantix_SaveMaskFile(handle, file.c_str())) {
            status = Fail(handle, "writing " + file);
        } else if (json) {
            std::printf("{\"file\":\"%s\",\"bytes\":%lld}\n", JsonEscape(file).c_str(), FileSize(file));
        } else {
            std::printf("%s  neutral mask written, %lld bytes\n", file.c_str(), FileSize(file));
        }
    } else {
        if (!Vantix_LoadMaskFile(handle, file.c_str())) {
            status = Fail(handle, "loading " + file);
        } else if (json) {
            std::printf("{\"file\":\"%s\",\"valid\":true,\"bytes\":%lld}\n", JsonEscape(file).c_str(), FileSize(file));
        } else {
            std::printf("%s  a valid mask file for this camera\n", file.c_str());
        }
    }
    Vantix_Release(handle);
    return status;
}

}  // namespace cli
