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
                PrintError("%s needs a value\n", arg.c_str());
                return false;
            }
            options->values[name] = argv[++i];
            g_modelOption = argv[i];
            continue;
        }
        for (const std::string& flag : flags) known |= flag == name;
        if (known) {
            options->values[name] = std::string("1");
            continue;
        }
        for (const std::string& option : withValue) known |= option == name;
        if (!known) {
            PrintError("unknown option %s (see --help)\n", arg.c_str());
            return false;
        }
        if (i + 1 >= argc) {
            PrintError("%s needs a value\n", arg.c_str());
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
        PrintError("--camera takes a number from 0 to 31\n");
        return false;
    }
    *index = static_cast<int32_t>(value);
    return true;
}

const std::vector<std::string> kCaptureOptions = {"camera", "bits",      "exposure-ms", "gain",     "width",
                                                 "height", "x",         "y",           "subsample", "mirror",
                                                 "gray-mode"};
const std::vector<std::string> kCaptureFlags = {"save"};

namespace {

// --width, --height, --x and --y: the window within the sensor, whose size
// the SDK reports as the total width and height. Sizes not given keep the
// current window's, but a width needs a height and the other way round.
bool ApplyWindowOptions(int32_t handle, const Options& options) {
    if (!options.Has("width") && !options.Has("height") && !options.Has("x") && !options.Has("y")) return true;
    if (options.Has("width") != options.Has("height")) {
        PrintError("--width and --height go together\n");
        return false;
    }
    int32_t th = 0, x = 0, w = 0, tv = 0, y = 0, h = 0;
    Vantix_GetCaptureWindowEx(handle, &th, &x, &w, &tv, &y, &h);
    int64_t width = w, height = h, left = x, top = y;
    if (!ParseInteger(options.Get("width", std::to_string(w)), 1, th, &width) ||
        !ParseInteger(options.Get("height", std::to_string(h)), 1, tv, &height) ||
        !ParseInteger(options.Get("x", std::to_string(x)), 0, th - 1, &left) ||
        !ParseInteger(options.Get("y", std::to_string(y)), 0, tv - 1, &top) ||
        !Vantix_SetCaptureWindowEx(handle, th, static_cast<int32_t>(left), static_cast<int32_t>(width), tv,
                                   static_cast<int32_t>(top), static_cast<int32_t>(height))) {
        PrintError("the window must fit the %d x %d sensor on its grid (see the window rules of vantix info)\n", th,
                   tv);
        return false;
    }
    return true;
}

}  // namespace

bool ApplyCaptureOptions(int32_t handle, const Options& options) {
    int64_t value = 0;
    if (options.Has("bits")) {
        if (!ParseInteger(options.Get("bits"), 8, 64, &value) || !Vantix_SetColorMode(handle, static_cast<int32_t>(value))) {
            PrintError("--bits takes 8, 16, 24, 32, 48 or 64\n");
            return false;
        }
    }
    if (options.Has("exposure-ms")) {
        double ms = 0;
        if (!ParseNumber(options.Get("exposure-ms"), 0.0, 1e6, &ms) || !(ms > 0) ||
            !Vantix_SetRealExposureTime(handle, static_cast<int32_t>(ms * 1000.0))) {
            PrintError("--exposure-ms must be a positive time within the camera's range (see vantix info)\n");
            return false;
        }
    }
    if (options.Has("gain")) {
        if (!ParseInteger(options.Get("gain"), 0, 1 << 20, &value) ||
            !Vantix_SetGlobalGain(handle, static_cast<int32_t>(value))) {
            PrintError("--gain is outside the camera's range (see vantix info)\n");
            return false;
        }
    }
    if (options.Has("subsample")) {
        if (!ParseInteger(options.Get("subsample"), 0, 2, &value) ||
            !Vantix_SetSubSample(handle, static_cast<int32_t>(value))) {
            PrintError("--subsample takes 0 (none), 1 (every second pixel) or 2 (every fourth)\n");
            return false;
        }
    }
    if (options.Has("mirror")) {
        const std::string mirror = options.Get("mirror");
        if (mirror != "none" && mirror != "h" && mirror != "v" && mirror != "hv") {
            PrintError("--mirror takes none, h, v or hv\n");
            return false;
        }
        Vantix_SetMirrorH(handle, mirror.find('h') != std::string::npos ? 1 : 0);
        Vantix_SetMirrorV(handle, mirror.find('v') != std::string::npos ? 1 : 0);
    }
    if (options.Has("gray-mode")) {
        if (!ParseInteger(options.Get("gray-mode"), 0, 2, &value) ||
            !Vantix_SetGrayMode(handle, static_cast<int32_t>(value))) {
            PrintError("--gray-mode takes 0, 1 or 2\n");
            return false;
        }
    }
    if (!ApplyWindowOptions(handle, options)) return false;
    Vantix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0);  // no preview window on a terminal
    return true;
}

bool CheckWritable(const std::string& file) {
    if (file.empty()) {
        PrintError("the output file name is empty\n");
        return false;
    }
    struct stat info {};
    if (stat(file.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        PrintError("%s is a folder, not a file\n", file.c_str());
        return false;
    }
    const size_t slash = file.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : file.substr(0, slash));
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        PrintError("cannot write %s: the folder %s does not exist\n", file.c_str(), folder.c_str());
        return false;
    }
    if (access(folder.c_str(), W_OK) != 0) {
        PrintError("cannot write %s: the folder %s is not writable\n", file.c_str(), folder.c_str());
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

const char* ErrorText(int32_t code) { return VantixExt_GetErrorText(code); }

namespace {
bool g_jsonErrors = false;

void PrintJsonError(int32_t code, const std::string& what, const std::string& text) {
    std::printf("{\"error\":{\"code\":%d,\"what\":\"%s\",\"text\":\"%s\"}}\n", code, JsonEscape(what).c_str(),
                JsonEscape(text).c_str());
    std::fflush(stdout);
}
}  // namespace

void SetJsonErrors(bool on) { g_jsonErrors = on; }
bool JsonErrors() { return g_jsonErrors; }

void PrintError(const char* format, ...) {
    char message[2048];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    std::string text = message;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    if (g_jsonErrors) {
        PrintJsonError(0, "", text);
    } else {
        std::fprintf(stderr, "error: %s\n", text.c_str());
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
    if (g_jsonErrors) {
        PrintJsonError(code, what, code == 0 ? what + " failed" : ErrorText(code));
    } else if (code == 0) {
        PrintError("%s failed\n", what.c_str());
    } else {
        PrintError("%s: SDK error %d (%s)\n", what.c_str(), code, ErrorText(code));
    }
    return kExitFailure;
}

int32_t OpenSession(int32_t index, bool save) {
    const int32_t handle = Vantix_Initialize(nullptr);
    if (handle == 0) {
        PrintError("no SDK session could be created\n");
        return 0;
    }
    VantixExt_SetSettingsAutosave(handle, save ? 1 : 0);  // before a model switch, which saves
    // The model: --model, else that of the camera at this place in
    // `vantix list`, whose number among its model's cameras is then the one
    // to select.
    int32_t instance = index;
    int32_t model = 0;
    if (!g_modelOption.empty()) {
        int64_t value = 0;
        if (!ParseInteger(g_modelOption, 0, 0xFFFF, &value)) {
            PrintError("--model takes a model id such as 0x3040\n");
            Vantix_Release(handle);
            return 0;
        }
        model = static_cast<int32_t>(value);
    } else if (VantixDeviceDetails details{}; VantixExt_GetAttachedCamera(handle, index, &details) == 1) {
        model = details.productId;
        instance = details.instance;
    }
    if (model != 0 && model != VantixExt_GetModelId(handle) && !VantixExt_SetModelId(handle, model)) {
        PrintError("0x%04x is not a camera model of the family\n", static_cast<unsigned>(model));
        Vantix_Release(handle);
        return 0;
    }
    // Initialize (or the model choice) already selected the camera when
    // exactly one of the model is attached.
    char names[VANTIX_NAME_LIST_ENTRIES * VANTIX_NAME_LIST_ENTRY_CHARS];
    const int32_t count = Vantix_EnumDevice(handle, names);
    if (count == 0) {
        PrintError("no camera is attached (set VANTIX_EMULATE=3040 for a virtual one)\n");
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
