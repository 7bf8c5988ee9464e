#include "cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <vantix/exports.h>
#include <vantix/linux_ext.h>

namespace cli {

namespace {
// The --model value of the command line, for OpenSession; empty without one.
std::string g_modelOption;
}  // namespace

std::string Options::Get(const std::string& name, const std::string& fallback) const {
    const auto it = values.find(name);
    return it == values.end() ? fallback : it->second;
}

bool ParseOptions(int argc, char** argv, int first, const std::vector<std::string>& withValue,
                  const std::vector<std::string>& flags, Options* options) {
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--", 0) != 0) {
            options->positionals.push_back(arg);
            continue;
        }
        const std::string name = arg.substr(2);
        // Every command takes the model of the camera it works on.
        bool known = name == "model" && std::find(withValue.begin(), withValue.end(), name) == withValue.end();
        if (known) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "error: %s needs a value\n", arg.c_str());
                return false;
            }
            options->values[name] = argv[++i];
            g_modelOption = argv[i];
            continue;
        }
        for (const std::string& flag : flags) known |= flag == name;
        if (known) {
            options->values[name] = "1";
            continue;
        }
        for (const std::string& option : withValue) known |= option == name;
        if (!known) {
            std::fprintf(stderr, "error: unknown option %s (see --help)\n", arg.c_str());
            return false;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "error: %s needs a value\n", arg.c_str());
            return false;
        }
        options->values[name] = argv[++i];
    }
    return true;
}

bool ParseInteger(const std::string& text, int64_t min, int64_t max, int64_t* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    // Hexadecimal only with 0x: a leading zero does not make a number octal.
    const size_t sign = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    const bool hex = text.size() > sign + 2 && text[sign] == '0' && (text[sign + 1] == 'x' || text[sign + 1] == 'X');
    const long long parsed = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == nullptr || *end != '\0' || parsed < min || parsed > max) return false;
    *value = parsed;
    return true;
}

bool ParseNumber(const std::string& text, double min, double max, double* value) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || end == nullptr || *end != '\0' || !std::isfinite(parsed) || parsed < min || parsed > max) {
        return false;
    }
    *value = parsed;
    return true;
}

bool ParseCamera(const Options& options, int32_t* index) {
    int64_t value = 0;
    if (!ParseInteger(options.Get("camera", "0"), 0, 31, &value)) {
        std::fprintf(stderr, "error: --camera takes a number from 0 to 31\n");
        return false;
    }
    *index = static_cast<int32_t>(value);
    return true;
}

const std::vector<std::string> kCaptureOptions = {"camera", "bits", "exposure-ms", "gain", "width", "height"};

bool ApplyCaptureOptions(int32_t handle, const Options& options) {
    int64_t value = 0;
    if (options.Has("bits")) {
        if (!ParseInteger(options.Get("bits"), 8, 64, &value) || !Vantix_SetColorMode(handle, static_cast<int32_t>(value))) {
            std::fprintf(stderr, "error: --bits takes 8, 16, 24, 32, 48 or 64\n");
            return false;
        }
    }
    if (options.Has("exposure-ms")) {
        double ms = 0;
        if (!ParseNumber(options.Get("exposure-ms"), 0.0, 1e6, &ms) || !(ms > 0) ||
            !Vantix_SetRealExposureTime(handle, static_cast<int32_t>(ms * 1000.0))) {
            std::fprintf(stderr, "error: --exposure-ms must be a positive time within the camera's range (see vantix info)\n");
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
        // The window lies in the sensor of the camera's model.
        VantixCameraInfo info{};
        info.size = sizeof info;
        if (!Vantix_GetCameraInfo(handle, &info)) info = VantixCameraInfo{0, 3856, 2764, 0, 0, 0, 0, 0, 0, 0, 0.0, 0.0};
        // A size not given stays as the camera has it.
        int32_t th = 0, x = 0, currentWidth = 0, tv = 0, y = 0, currentHeight = 0;
        Vantix_GetCaptureWindowEx(handle, &th, &x, &currentWidth, &tv, &y, &currentHeight);
        int64_t width = 0, height = 0;
        if (!ParseInteger(options.Get("width", std::to_string(currentWidth)), 1, info.totalWidth, &width) ||
            !ParseInteger(options.Get("height", std::to_string(currentHeight)), 1, info.totalHeight, &height) ||
            !Vantix_SetCaptureWindowEx(handle, info.totalWidth, 0, static_cast<int32_t>(width), info.totalHeight, 0,
                                       static_cast<int32_t>(height))) {
            std::fprintf(stderr, "error: the window must fit the %d x %d sensor\n", info.totalWidth, info.totalHeight);
            return false;
        }
    }
    Vantix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);  // no preview window on a terminal
    return true;
}

bool CheckWritable(const std::string& file) {
    if (file.empty()) {
        std::fprintf(stderr, "error: the output file name is empty\n");
        return false;
    }
    struct stat info {};
    if (stat(file.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fprintf(stderr, "error: %s is a folder, not a file\n", file.c_str());
        return false;
    }
    const size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : file.substr(0, slash));
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        std::fprintf(stderr, "error: cannot write %s: the folder %s does not exist\n", file.c_str(), folder.c_str());
        return false;
    }
    if (access(folder.c_str(), W_OK) != 0) {
        std::fprintf(stderr, "error: cannot write %s: the folder %s is not writable\n", file.c_str(), folder.c_str());
        return false;
    }
    return true;
}

namespace {
volatile std::sig_atomic_t g_interrupted = 0;
void OnInterrupt(int) { g_interrupted = 1; }
}  // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // A second Ctrl-C ends the program at once, for an operation that hangs.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return g_interrupted != 0; }

long long FileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

const char* ErrorText(int32_t code) {
    switch (code) {
        case 0: return "no error";
        case 1: return "not allowed in the current acquisition state, no picture taken yet, or a serial ROM access failed";
        case 2: return "the camera is not attached or cannot be opened";
        case 3: return "a worker thread could not be started";
        case 4: return "the preview window could not be made (no X display?), or no stored capture size matches";
        case 5: return "out of memory, buffer too small, or no image yet";
        case 6: return "the camera refused the request";
        case 7: return "the capture window does not fit the sensor";
        case 8: return "a frame transfer failed";
        case 9: return "an argument is out of range";
        case 11: return "not supported by this camera";
        case 12: return "a file could not be written, a recording or mask update could not start, or a value could not be read";
        case 13: return "the camera stopped delivering frames";
        case 14: return "the mask file could not be read or written, or is not a mask file";
        default: return "unknown error";
    }
}

bool TakeError(int32_t handle, int32_t code) {
    // The history holds 20 codes; successful calls may have put 0s among them.
    constexpr int kHistoryEntries = 20;
    bool found = false;
    for (int i = 0; i < kHistoryEntries; ++i) found = Vantix_GetLastError(handle) == code || found;
    return found;
}

int Fail(int32_t handle, const std::string& what) {
    const int32_t code = handle != 0 ? Vantix_GetLastError(handle) : 0;
    if (code == 0) {
        std::fprintf(stderr, "error: %s failed\n", what.c_str());
    } else {
        std::fprintf(stderr, "error: %s: SDK error %d (%s)\n", what.c_str(), code, ErrorText(code));
    }
    return kExitFailure;
}

int32_t OpenSession(int32_t index) {
    const int32_t handle = Vantix_Initialize(nullptr);
    if (handle == 0) {
        std::fprintf(stderr, "error: no SDK session could be created\n");
        return 0;
    }
    // The model: --model, else that of the camera at this place in
    // `vantix list`, whose number among its model's cameras is then the one
    // to select.
    int32_t instance = index;
    int32_t model = 0;
    if (!g_modelOption.empty()) {
        int64_t value = 0;
        if (!ParseInteger(g_modelOption, 0, 0xFFFF, &value)) {
            std::fprintf(stderr, "error: --model takes a model id such as 0x3040\n");
            Vantix_Release(handle);
            return 0;
        }
        model = static_cast<int32_t>(value);
    } else if (VantixDeviceDetails details{}; VantixExt_GetAttachedCamera(handle, index, &details) == 1) {
        model = details.productId;
        instance = details.instance;
    }
    if (model != 0 && model != VantixExt_GetModelId(handle) && !VantixExt_SetModelId(handle, model)) {
        std::fprintf(stderr, "error: 0x%04x is not a camera model of the family\n", static_cast<unsigned>(model));
        Vantix_Release(handle);
        return 0;
    }
    // Initialize (or the model choice) already selected the camera when
    // exactly one of the model is attached.
    char names[VANTIX_NAME_LIST_ENTRIES * VANTIX_NAME_LIST_ENTRY_CHARS];
    const int32_t count = Vantix_EnumDevice(handle, names);
    if (count == 0) {
        std::fprintf(stderr, "error: no camera is attached (set VANTIX_EMULATE=3040 for a virtual one)\n");
        Vantix_Release(handle);
        return 0;
    }
    if ((count > 1 || instance != 0) && !Vantix_SetDeviceNumber(handle, instance)) {
        Fail(handle, "selecting camera " + std::to_string(index));
        Vantix_Release(handle);
        return 0;
    }
    return handle;
}

int32_t FileTypeFor(const std::string& nameOrFormat) {
    const size_t dot = nameOrFormat.rfind('.');
    std::string ext = dot == std::string::npos ? nameOrFormat : nameOrFormat.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "bmp") return VANTIX_FILE_BMP;
    if (ext == "raw") return VANTIX_FILE_RAW;
    if (ext == "jpg" || ext == "jpeg") return VANTIX_FILE_JPEG_HIGH;
    if (ext == "png") return VANTIX_FILE_PNG;
    if (ext == "tif" || ext == "tiff") return VANTIX_FILE_TIFF;
    return -1;
}

std::string JsonEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
            out += buffer;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace cli
