// `vantix settings`: the settings the SDK keeps for each camera (the key
// "Camera_NN" of the settings file): show them, copy them to a file and back,
// or remove them so that the defaults apply when the camera is next opened.
//
// No session is opened here: a session saves its camera's settings when it
// is released, which would undo an import or a reset.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include <vantix/linux_ext.h>

#include "cli.h"
#include "commands.h"

namespace cli {
namespace {

void PrintUsage() {
    std::printf(
        "usage: vantix settings path [--json]\n"
        "       vantix settings dump [--camera N | --all] [--json]\n"
        "       vantix settings export FILE.reg [--camera N | --all] [--json]\n"
        "       vantix settings import FILE.reg [--json]\n"
        "       vantix settings reset [--camera N] [--json]\n"
        "  path    the settings file in use (VANTIX_REGISTRY overrides it)\n"
        "  dump    the stored settings of a camera (default 0), or of all cameras with --all\n"
        "  export  writes them to FILE.reg (FILE - writes to standard output)\n"
        "  import  merges an exported file back; a damaged file is refused and changes nothing\n"
        "  reset   removes the camera's settings, so the defaults apply when it is next opened\n"
        "  Close programs that use the camera first: they save their settings when they stop.\n");
}

const char* SettingsErrorText(int32_t code) {
    switch (code) {
        case VANTIX_SETTINGS_ERROR_ARGUMENT: return "invalid argument";
        case VANTIX_SETTINGS_ERROR_NO_KEY: return "no settings are stored for it";
        case VANTIX_SETTINGS_ERROR_READ: return "the file is missing, not a regular file, or cannot be read";
        case VANTIX_SETTINGS_ERROR_FORMAT:
            return "not a whole settings file of this SDK (cut short, damaged, without header, deleting keys, "
                   "or holding other programs' keys)";
        case VANTIX_SETTINGS_ERROR_WRITE: return "the file could not be written; nothing was changed";
        default: return "unknown error";
    }
}

std::string SettingsPath() {
    std::vector<char> buffer(4096);
    int32_t needed = VantixExt_GetSettingsPath(buffer.data(), static_cast<int32_t>(buffer.size()));
    if (needed > static_cast<int32_t>(buffer.size())) {
        buffer.resize(static_cast<size_t>(needed));
        needed = VantixExt_GetSettingsPath(buffer.data(), needed);
    }
    return needed > 0 ? std::string(buffer.data()) : std::string();
}

// The stored text of `key` (empty key: all), or the error code.
int32_t SettingsText(const std::string& key, std::string* text) {
    const int32_t needed = VantixExt_GetSettingsText(key.c_str(), nullptr, 0);
    if (needed <= 0) return needed;
    std::vector<char> buffer(static_cast<size_t>(needed));
    // The file may have grown in between; try again with the new size.
    const int32_t got = VantixExt_GetSettingsText(key.c_str(), buffer.data(), needed);
    if (got > needed) return SettingsText(key, text);
    if (got <= 0) return got;
    *text = buffer.data();
    return 1;
}

// One value of the settings text, with its type as written in the file.
struct Value {
    std::string name;   // "" for the key's default value
    std::string type;   // "dword", "string" or "hex" / "hex(N)"
    std::string data;   // the number in decimal, the string, or the hex bytes without commas
};

struct Key {
    std::string path;  // relative to the SDK's own key
    std::vector<Value> values;
};

// Parses "...", undoing \" and \\; returns the position after the closing quote.
size_t ParseQuoted(const std::string& line, size_t at, std::string* out) {
    out->clear();
    for (size_t i = at + 1; i < line.size(); ++i) {
        if (line[i] == '"') return i + 1;
        if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) ++i;
        out->push_back(line[i]);
    }
    return std::string::npos;
}

// Splits the settings text the SDK wrote into keys and values. Section paths
// are shown below the SDK's own key, whose name the file layout fixes.
std::vector<Key> ParseSettingsText(const std::string& text) {
    std::vector<Key> keys;
    std::vector<std::string> lines;
    std::string pending;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Long hex values continue on the next line after a backslash.
        if (!pending.empty()) {
            const size_t first = line.find_first_not_of(' ');
            line = pending + (first == std::string::npos ? "" : line.substr(first));
            pending.clear();
        }
        if (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            line.pop_back();
            pending = line;
            continue;
        }
        lines.push_back(line);
    }
    const std::string root = "Software\\Morvek\\VantixQ720LXK9Sdk";
    for (const std::string& line : lines) {
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            std::string path = line.substr(1, line.size() - 2);
            const size_t found = path.find(root);
            path = found == std::string::npos ? path : path.substr(found + root.size());
            if (!path.empty() && path[0] == '\\') path.erase(0, 1);
            keys.push_back({path.empty() ? "(root)" : path, {}});
            continue;
        }
        if (keys.empty() || line.empty() || (line[0] != '"' && line[0] != '@')) continue;
        Value value;
        size_t at = 1;
        if (line[0] == '"') at = ParseQuoted(line, 0, &value.name);
        if (at == std::string::npos || at >= line.size() || line[at] != '=') continue;
        const std::string data = line.substr(at + 1);
        if (data.rfind("dword:", 0) == 0) {
            value.type = "dword";
            value.data = std::to_string(std::strtoul(data.c_str() + 6, nullptr, 16));
        } else if (!data.empty() && data[0] == '"') {
            value.type = "string";
            ParseQuoted(data, 0, &value.data);
        } else {
            const size_t colon = data.find(':');
            value.type = data.substr(0, colon);
            for (char c : colon == std::string::npos ? std::string() : data.substr(colon + 1)) {
                if (c != ',') value.data.push_back(c);
            }
        }
        keys.back().values.push_back(value);
    }
    return keys;
}

std::string CameraKey(int32_t index) {
    char key[32];
    std::snprintf(key, sizeof key, "Camera_%02d", static_cast<int>(index));
    return key;
}

int Dump(const std::string& key, bool json) {
    std::string text;
    const int32_t result = SettingsText(key, &text);
    const std::string path = SettingsPath();
    if (result == VANTIX_SETTINGS_ERROR_NO_KEY) {
        // Nothing stored is a state, not a failure: the defaults apply.
        if (json) {
            std::printf("{\"file\":\"%s\",\"key\":\"%s\",\"stored\":false,\"keys\":{}}\n", JsonEscape(path).c_str(),
                        JsonEscape(key).c_str());
        } else {
            std::printf("no settings stored for %s in %s (the defaults apply)\n", key.empty() ? "any camera" : key.c_str(),
                        path.c_str());
        }
        return kExitOk;
    }
    if (result != 1) {
        PrintError("reading the settings in %s: %s\n", path.c_str(), SettingsErrorText(result));
        return kExitFailure;
    }
    const std::vector<Key> keys = ParseSettingsText(text);
    if (json) {
        std::printf("{\"file\":\"%s\",\"key\":\"%s\",\"stored\":true,\"keys\":{", JsonEscape(path).c_str(),
                    JsonEscape(key).c_str());
        for (size_t k = 0; k < keys.size(); ++k) {
            std::printf("%s\"%s\":{", k ? "," : "", JsonEscape(keys[k].path).c_str());
            for (size_t v = 0; v < keys[k].values.size(); ++v) {
                const Value& value = keys[k].values[v];
                std::printf("%s\"%s\":", v ? "," : "", JsonEscape(value.name).c_str());
                if (value.type == "dword") {
                    std::printf("%s", value.data.c_str());
                } else if (value.type == "string") {
                    std::printf("\"%s\"", JsonEscape(value.data).c_str());
                } else {
                    std::printf("{\"type\":\"%s\",\"hex\":\"%s\"}", JsonEscape(value.type).c_str(),
                                JsonEscape(value.data).c_str());
                }
            }
            std::printf("}");
        }
        std::printf("}}\n");
        return kExitOk;
    }
    std::printf("settings file %s\n", path.c_str());
    for (const Key& k : keys) {
        std::printf("\n[%s]\n", k.path.c_str());
        for (const Value& value : k.values) {
            const std::string name = value.name.empty() ? "(default)" : value.name;
            if (value.type == "dword") {
                const unsigned long number = std::strtoul(value.data.c_str(), nullptr, 10);
                std::printf("  %-12s %lu (0x%lX)\n", name.c_str(), number, number);
            } else if (value.type == "string") {
                std::printf("  %-12s \"%s\"\n", name.c_str(), value.data.c_str());
            } else {
                std::printf("  %-12s %s %s\n", name.c_str(), value.type.c_str(), value.data.c_str());
            }
        }
    }
    return kExitOk;
}

int Export(const std::string& key, const std::string& file, bool json) {
    if (file == "-") {
        std::string text;
        const int32_t result = SettingsText(key, &text);
        if (result != 1) {
            PrintError("exporting %s: %s\n", key.empty() ? "the settings" : key.c_str(),
                         SettingsErrorText(result));
            return kExitFailure;
        }
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
    }
    if (!CheckWritable(file)) return kExitUsage;
    const int32_t result = VantixExt_ExportSettings(key.c_str(), file.c_str());
    if (result != 1) {
        PrintError("exporting %s to %s: %s\n", key.empty() ? "the settings" : key.c_str(), file.c_str(),
                     SettingsErrorText(result));
        return kExitFailure;
    }
    if (json) {
        std::printf("{\"key\":\"%s\",\"file\":\"%s\",\"bytes\":%lld}\n", JsonEscape(key).c_str(),
                    JsonEscape(file).c_str(), FileSize(file));
    } else {
        std::printf("%s  %s exported (%lld bytes)\n", file.c_str(), key.empty() ? "all settings" : key.c_str(),
                    FileSize(file));
    }
    return kExitOk;
}

int Import(const std::string& file, bool json) {
    const int32_t result = VantixExt_ImportSettings(file.c_str());
    if (result != 1) {
        // Which line is at fault, so it can be mended.
        int32_t line = 0;
        char text[256] = "";
        VantixExt_CheckSettingsFile(file.c_str(), &line, text, static_cast<int32_t>(sizeof text));
        if (line > 0) {
            PrintError("%s:%d: \"%s\": %s\n", file.c_str(), line, text, SettingsErrorText(result));
        } else {
            PrintError("importing %s: %s\n", file.c_str(), SettingsErrorText(result));
        }
        return kExitFailure;
    }
    const std::string path = SettingsPath();
    if (json) {
        std::printf("{\"file\":\"%s\",\"settingsFile\":\"%s\",\"imported\":true}\n", JsonEscape(file).c_str(),
                    JsonEscape(path).c_str());
    } else {
        std::printf("%s imported into %s\n", file.c_str(), path.c_str());
    }
    return kExitOk;
}

int Reset(const std::string& key, bool json) {
    const int32_t result = VantixExt_DeleteSettingsKey(key.c_str());
    if (result < 0) {
        PrintError("removing the settings of %s: %s\n", key.c_str(), SettingsErrorText(result));
        return kExitFailure;
    }
    if (json) {
        std::printf("{\"key\":\"%s\",\"removed\":%s}\n", JsonEscape(key).c_str(), result == 1 ? "true" : "false");
    } else if (result == 1) {
        std::printf("%s removed; the defaults apply when the camera is next opened\n", key.c_str());
    } else {
        std::printf("no settings stored for %s; nothing to remove\n", key.c_str());
    }
    return kExitOk;
}

}  // namespace

int RunSettings(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, 2, {"camera"}, {"help", "json", "all"}, &options)) return kExitUsage;
    if (options.Has("help")) {
        PrintUsage();
        return kExitOk;
    }
    const std::vector<std::string>& args = options.positionals;
    const std::string action = args.empty() ? "" : args[0];
    const bool takesFile = action == "export" || action == "import";
    const bool known = action == "path" || action == "dump" || action == "reset" || takesFile;
    if (!known || args.size() != (takesFile ? 2u : 1u)) {
        if (!known && !action.empty()) {
            PrintError("unknown settings subcommand %s\n", action.c_str());
        } else if (action.empty()) {
            PrintError("settings needs a subcommand\n");
        } else {
            PrintError("wrong number of arguments for settings %s\n", action.c_str());
        }
        PrintUsage();
        return kExitUsage;
    }
    const bool json = options.Has("json");
    const bool cameraOption = action == "dump" || action == "export" || action == "reset";
    if ((options.Has("camera") || options.Has("all")) && !cameraOption) {
        PrintError("settings %s takes neither --camera nor --all\n", action.c_str());
        return kExitUsage;
    }
    if (options.Has("all") && (options.Has("camera") || action == "reset")) {
        PrintError("--all goes with dump or export, without --camera\n");
        return kExitUsage;
    }
    int32_t index = 0;
    if (!ParseCamera(options, &index)) return kExitUsage;
    const std::string key = options.Has("all") ? std::string() : CameraKey(index);

    if (action == "path") {
        const std::string path = SettingsPath();
        if (path.empty()) {
            PrintError("no settings location (set VANTIX_REGISTRY or HOME)\n");
            return kExitFailure;
        }
        if (json) {
            std::printf("{\"file\":\"%s\"}\n", JsonEscape(path).c_str());
        } else {
            std::printf("%s\n", path.c_str());
        }
        return kExitOk;
    }
    if (action == "dump") return Dump(key, json);
    if (action == "export") return Export(key, args[1], json);
    if (action == "import") return Import(args[1], json);
    return Reset(key, json);
}

}  // namespace cli
