// The settings-store calls of <vantix/linux_ext.h>: C wrappers over the
// settings file's export, import and delete, with keys named relative to the
// SDK's root key. Nothing here throws across the interface.
#include <vantix/linux_ext.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "settings/reg_format.h"
#include "settings/settings_file.h"
#include "settings/settings_persistence.h"

namespace {

using vantix::SettingsExchangeResult;

bool ValidBuffer(const char* buffer, int32_t size) { return size >= 0 && (buffer != nullptr || size == 0); }

// Copies `text` with its NUL when it fits; returns the bytes it needs.
int32_t CopyOut(const std::string& text, char* buffer, int32_t size) {
    const size_t needed = text.size() + 1;
    if (needed > static_cast<size_t>(INT32_MAX)) return VANTIX_SETTINGS_ERROR_READ;
    if (needed <= static_cast<size_t>(size)) {
        std::memcpy(buffer, text.c_str(), needed);
    } else if (buffer != nullptr && size > 0) {
        buffer[0] = '\0';
    }
    return static_cast<int32_t>(needed);
}

// The key's path below HKEY_CURRENT_USER; NULL and "" name the root itself.
std::string KeyPath(const char* key) {
    std::string path = vantix::kSettingsRootKey;
    if (key != nullptr && *key != '\0') {
        path += '\\';
        path += key;
    }
    return path;
}

int32_t ToCode(SettingsExchangeResult result) {
    switch (result) {
        case SettingsExchangeResult::kDone: return 1;
        case SettingsExchangeResult::kBadArgument: return VANTIX_SETTINGS_ERROR_ARGUMENT;
        case SettingsExchangeResult::kNoSuchKey: return VANTIX_SETTINGS_ERROR_NO_KEY;
        case SettingsExchangeResult::kUnreadable: return VANTIX_SETTINGS_ERROR_READ;
        case SettingsExchangeResult::kNotSettings: return VANTIX_SETTINGS_ERROR_FORMAT;
        case SettingsExchangeResult::kWriteFailed: break;
    }
    return VANTIX_SETTINGS_ERROR_WRITE;
}

// Runs `body`; out of memory counts as `failure`.
template <typename Body>
int32_t Guarded(int32_t failure, Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return failure;
    }
}

}  // namespace

extern "C" {

VANTIX_API int32_t VantixExt_GetSettingsPath(char* buffer, int32_t size) {
    if (!ValidBuffer(buffer, size)) return VANTIX_SETTINGS_ERROR_ARGUMENT;
    return Guarded(VANTIX_SETTINGS_ERROR_READ, [&] {
        const std::string path = vantix::SettingsFilePath();
        if (path.empty()) {
            if (size > 0) buffer[0] = '\0';
            return 0;
        }
        return CopyOut(path, buffer, size);
    });
}

VANTIX_API int32_t VantixExt_GetSettingsText(const char* key, char* buffer, int32_t size) {
    if (!ValidBuffer(buffer, size)) return VANTIX_SETTINGS_ERROR_ARGUMENT;
    return Guarded(VANTIX_SETTINGS_ERROR_READ, [&] {
        if (size > 0) buffer[0] = '\0';
        const std::string path = KeyPath(key);
        if (!vantix::ValidSettingsKeyPath(path)) return VANTIX_SETTINGS_ERROR_ARGUMENT;
        const std::optional<std::string> text = vantix::SettingsKeyText(path);
        return text ? CopyOut(*text, buffer, size) : VANTIX_SETTINGS_ERROR_NO_KEY;
    });
}

VANTIX_API int32_t VantixExt_ExportSettings(const char* key, const char* file) {
    if (file == nullptr || *file == '\0') return VANTIX_SETTINGS_ERROR_ARGUMENT;
    return Guarded(VANTIX_SETTINGS_ERROR_WRITE, [&] { return ToCode(vantix::ExportSettingsKey(KeyPath(key), file)); });
}

VANTIX_API int32_t VantixExt_CheckSettingsFile(const char* file, int32_t* line, char* text, int32_t size) {
    if (line != nullptr) *line = 0;
    if (!ValidBuffer(text, size)) return VANTIX_SETTINGS_ERROR_ARGUMENT;
    if (text != nullptr && size > 0) text[0] = '\0';
    if (file == nullptr || *file == '\0') return VANTIX_SETTINGS_ERROR_ARGUMENT;
    return Guarded(VANTIX_SETTINGS_ERROR_READ, [&] {
        vantix::RegLine problem;
        const int32_t code = ToCode(vantix::CheckSettingsImport(file, vantix::kSettingsRootKey, &problem));
        if (code != 1 && problem.number > 0) {
            if (line != nullptr) *line = static_cast<int32_t>(std::min<size_t>(problem.number, INT32_MAX));
            if (text != nullptr && size > 0) {
                const size_t n = std::min(problem.text.size(), static_cast<size_t>(size) - 1);
                std::memcpy(text, problem.text.data(), n);
                text[n] = '\0';
            }
        }
        return code;
    });
}

VANTIX_API int32_t VantixExt_ImportSettings(const char* file) {
    if (file == nullptr || *file == '\0') return VANTIX_SETTINGS_ERROR_ARGUMENT;
    return Guarded(VANTIX_SETTINGS_ERROR_WRITE,
                   [&] { return ToCode(vantix::ImportSettingsFile(file, vantix::kSettingsRootKey)); });
}

VANTIX_API int32_t VantixExt_DeleteSettingsKey(const char* key) {
    if (key == nullptr || *key == '\0') return VANTIX_SETTINGS_ERROR_ARGUMENT;
    return Guarded(VANTIX_SETTINGS_ERROR_WRITE, [&] {
        const SettingsExchangeResult result = vantix::DeleteSettingsKey(KeyPath(key));
        return result == SettingsExchangeResult::kNoSuchKey ? 0 : ToCode(result);
    });
}

}  // extern "C"
