#pragma once
// The settings file's text: the registry editor's export format as pure
// functions over text. The document model (keys in file order with their
// values; key paths and value names compare without regard to ASCII case and
// keep their spelling), reading a file's bytes into a document, and writing a
// document as text. Nothing here touches the file system: the store
// (settings_file.*) reads and writes the files, and the parser takes any
// bytes, so it can be fuzzed on its own.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_file.h"

namespace vantix {

inline constexpr std::string_view kSettingsUserHive = "HKEY_CURRENT_USER";

// Orders names ignoring ASCII case. The key separator sorts before every
// other character, so the subkeys of a key directly follow it.
int CompareSettingsNames(std::string_view a, std::string_view b);
bool EqualSettingsNames(std::string_view a, std::string_view b);
bool StartsWithSettingsName(std::string_view text, std::string_view prefix);
struct SettingsNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return CompareSettingsNames(a, b) < 0; }
};
// A value name without control characters, not longer than the registry allows.
bool ValidSettingsValueName(std::string_view name);
// A backslash-separated path without empty components; with requireHive, its
// first component must name a registry hive.
bool ValidSettingsKeyPath(std::string_view path, bool requireHive);
// "HKEY_CURRENT_USER\<relative>".
std::string SettingsUserPath(std::string_view relative);

struct SettingsValueRecord {
    std::string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    bool text = false;  // a string written in quotes (UTF-8), not as hex bytes
};

struct SettingsKeyRecord {
    // Values in the order they were created, numbered by creation; the index
    // maps names to those numbers. Deleting a value therefore costs two map
    // erasures, however many values the key holds.
    std::map<uint64_t, SettingsValueRecord> values;
    std::map<std::string, uint64_t, SettingsNameLess> index;
    uint64_t nextOrder = 0;

    const SettingsValueRecord* Find(std::string_view name) const {
        const auto found = index.find(name);
        return found == index.end() ? nullptr : &values.at(found->second);
    }
};

// The keys of a settings file. Only keys with a section of their own are
// stored; their parents exist implicitly, as when the file is imported.
class SettingsDocument {
public:
    using KeyMap = std::map<std::string, SettingsKeyRecord, SettingsNameLess>;

    KeyMap keys;
    size_t valueCount = 0;
    bool damaged = false;
    bool deletions = false;  // the text held "[-key]" sections or "name"=- values

    // The spelling of an existing key (explicit or implicit), with its record.
    bool Find(std::string_view fullPath, std::string* spelling, const SettingsKeyRecord** record) const {
        const auto it = keys.lower_bound(fullPath);
        if (it == keys.end()) return false;
        if (EqualSettingsNames(it->first, fullPath)) {
            *spelling = it->first;
            *record = &it->second;
            return true;
        }
        // Not a section of its own: the first key after it is its first
        // descendant, if it has any.
        if (it->first.size() > fullPath.size() && it->first[fullPath.size()] == '\\' &&
            StartsWithSettingsName(it->first, fullPath)) {
            *spelling = it->first.substr(0, fullPath.size());
            *record = nullptr;
            return true;
        }
        return false;
    }

    SettingsKeyRecord* CreateKey(std::string_view fullPath) {
        const auto it = keys.find(fullPath);
        if (it != keys.end()) return &it->second;
        if (keys.size() >= kSettingsMaxKeys) return nullptr;
        // An implicit key takes the spelling its subkeys already use.
        std::string spelling(fullPath);
        const auto next = keys.lower_bound(fullPath);
        if (next != keys.end() && next->first.size() > fullPath.size() && next->first[fullPath.size()] == '\\' &&
            StartsWithSettingsName(next->first, fullPath)) {
            spelling = next->first.substr(0, fullPath.size());
        }
        return &keys.emplace(std::move(spelling), SettingsKeyRecord{}).first->second;
    }

    void DeleteKey(std::string_view fullPath) {
        auto it = keys.lower_bound(fullPath);
        while (it != keys.end() && StartsWithSettingsName(it->first, fullPath) &&
               (it->first.size() == fullPath.size() || it->first[fullPath.size()] == '\\')) {
            valueCount -= it->second.values.size();
            it = keys.erase(it);
        }
    }

    bool SetValue(SettingsKeyRecord* key, SettingsValueRecord value) {
        const auto found = key->index.find(value.name);
        if (found != key->index.end()) {
            SettingsValueRecord& existing = key->values.at(found->second);
            existing.type = value.type;
            existing.data = std::move(value.data);
            existing.text = value.text;
            return true;
        }
        if (valueCount >= kSettingsMaxValues) return false;
        const uint64_t order = key->nextOrder++;
        key->index.emplace(value.name, order);
        key->values.emplace(order, std::move(value));
        ++valueCount;
        return true;
    }

    void DeleteValue(SettingsKeyRecord* key, std::string_view name) {
        const auto found = key->index.find(name);
        if (found == key->index.end()) return;
        key->values.erase(found->second);
        key->index.erase(found);
        --valueCount;
    }

    // The document as the text of a settings file (UTF-8, CRLF line ends).
    std::string Serialize() const;
};

// A line of a settings file: its number (1 for the first) and its text.
struct RegLine {
    size_t number = 0;  // 0: none
    std::string text;
};

// What parsing found besides the keys.
struct RegParseResult {
    size_t skippedLines = 0;
    bool headerFound = false;
    RegLine firstSkipped;    // the first line that did not parse
    RegLine firstDeletion;   // the first line that deletes a key or value
    RegLine firstLine;       // the first line that is not blank (the header's place)
    // The line of each key's first section header.
    std::map<std::string, size_t, SettingsNameLess> keyLines;
};

// Parses the bytes of a settings file (UTF-8, with or without a byte-order
// mark, or the registry editor's UTF-16LE with its mark) into `document`,
// which the lines change in order. Every line that parses is kept; the rest
// is skipped and marks the document damaged, as does a missing header.
RegParseResult ParseRegText(std::string_view bytes, SettingsDocument* document);

}  // namespace vantix
