#include "cli.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vantix/exports.h>

namespace cli {

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
        bool known = false;
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
    const long long parsed = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || end == nullptr || *end != '\0' || parsed < min || parsed > max) return false;
    *value = parsed;
    return true;
}

const char* ErrorText(int32_t code) {
    switch (code) {
        case 0: return "no error";
        case 1: return "no camera engine, or the call is not allowed in the current acquisition state";
        case 2: return "the camera is not attached or cannot be opened";
        case 3: return "a worker thread could not be started";
        case 4: return "no preview window, or no stored capture size matches";
        case 5: return "out of memory, buffer too small, or no image yet";
        case 6: return "the camera refused the request";
        case 7: return "the capture window does not fit the sensor";
        case 8: return "a frame transfer failed";
        case 9: return "an argument is out of range";
        case 11: return "not supported by this camera";
        case 12: return "file name conversion, file writing or recording failed";
        case 13: return "the camera stopped delivering frames";
        case 14: return "the mask file is not valid";
        default: return "unknown error";
    }
}

int Fail(int32_t handle, const std::string& what) {
    const int32_t code = handle != 0 ? Vantix_GetLastError(handle) : 0;
    std::fprintf(stderr, "error: %s: SDK error %d (%s)\n", what.c_str(), code, ErrorText(code));
    return 1;
}

int32_t OpenSession(int32_t index) {
    const int32_t handle = Vantix_Initialize(nullptr);
    if (handle == 0) {
        std::fprintf(stderr, "error: no SDK session could be created\n");
        return 0;
    }
    // Initialize already selected the camera when exactly one is attached.
    char names[VANTIX_NAME_LIST_ENTRIES * VANTIX_NAME_LIST_ENTRY_CHARS];
    const int32_t count = Vantix_EnumDevice(handle, names);
    if (count == 0) {
        std::fprintf(stderr, "error: no camera is attached (set VANTIX_EMULATE=3040 for a virtual one)\n");
        Vantix_Release(handle);
        return 0;
    }
    if ((count > 1 || index != 0) && !Vantix_SetDeviceNumber(handle, index)) {
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
