#include "settings/settings_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <utility>

#include "platform/debug_output.h"

namespace vantix {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::string_view kUserHive = "HKEY_CURRENT_USER";
constexpr std::string_view kLineEnd = "\r\n";
constexpr size_t kWrapColumn = 80;  // where the registry editor wraps long hex values
constexpr size_t kMaxKeyNameLength = 255;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Orders names ignoring ASCII case. The key separator sorts before every
// other character, so the subkeys of a key directly follow it.
int CompareNames(std::string_view a, std::string_view b) {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const unsigned ca = a[i] == '\\' ? 0u : static_cast<unsigned char>(LowerAscii(a[i]));
        const unsigned cb = b[i] == '\\' ? 0u : static_cast<unsigned char>(LowerAscii(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EqualNames(std::string_view a, std::string_view b) { return CompareNames(a, b) == 0; }

bool StartsWithName(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualNames(text.substr(0, prefix.size()), prefix);
}

struct NameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return CompareNames(a, b) < 0; }
};

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

bool ValidValueName(std::string_view name) {
    if (name.size() > kSettingsMaxNameLength) return false;
    for (char c : name) {
        if (IsControl(c)) return false;
    }
    return true;
}

// A backslash-separated path without empty components; with requireHive, its
// first component must name a registry hive.
bool ValidKeyPath(std::string_view path, bool requireHive) {
    if (path.empty()) return false;
    size_t start = 0;
    bool first = true;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view component = path.substr(start, end - start);
        if (component.empty() || component.size() > kMaxKeyNameLength) return false;
        for (char c : component) {
            if (IsControl(c)) return false;
        }
        if (first && requireHive && !StartsWithName(component, "HKEY_")) return false;
        first = false;
        start = end + 1;
    }
    return true;
}

std::string UserPath(std::string_view relative) {
    std::string full(kUserHive);
    full.push_back('\\');
    full.append(relative);
    return full;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

std::string_view Trim(std::string_view text) {
    text = TrimLeft(text);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

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
    std::map<std::string, uint64_t, NameLess> index;
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
    using KeyMap = std::map<std::string, SettingsKeyRecord, NameLess>;

    KeyMap keys;
    size_t valueCount = 0;
    bool damaged = false;
    bool deletions = false;  // the text held "[-key]" sections or "name"=- values

    // The spelling of an existing key (explicit or implicit), with its record.
    bool Find(std::string_view fullPath, std::string* spelling, const SettingsKeyRecord** record) const {
        const auto it = keys.lower_bound(fullPath);
        if (it == keys.end()) return false;
        if (EqualNames(it->first, fullPath)) {
            *spelling = it->first;
            *record = &it->second;
            return true;
        }
        // Not a section of its own: the first key after it is its first
        // descendant, if it has any.
        if (it->first.size() > fullPath.size() && it->first[fullPath.size()] == '\\' &&
            StartsWithName(it->first, fullPath)) {
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
            StartsWithName(next->first, fullPath)) {
            spelling = next->first.substr(0, fullPath.size());
        }
        return &keys.emplace(std::move(spelling), SettingsKeyRecord{}).first->second;
    }

    void DeleteKey(std::string_view fullPath) {
        auto it = keys.lower_bound(fullPath);
        while (it != keys.end() && StartsWithName(it->first, fullPath) &&
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

    std::string Serialize() const;
};

namespace {

// ---- Reading ---------------------------------------------------------------

// Parses a quoted name or string starting at text[0] == '"'. A backslash
// escapes a quote or a backslash; any other backslash is kept as it is.
bool ParseQuoted(std::string_view text, std::string* out, size_t* consumed) {
    out->clear();
    for (size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            *consumed = i + 1;
            return true;
        }
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
            out->push_back(text[++i]);
        } else {
            out->push_back(c);
        }
    }
    return false;  // no closing quote: a truncated line
}

// Splits a value line into its name and the text after the '='.
bool SplitValueLine(std::string_view line, std::string* name, std::string_view* data) {
    size_t consumed = 0;
    if (line.empty()) return false;
    if (line[0] == '@') {
        name->clear();
        consumed = 1;
    } else if (line[0] != '"' || !ParseQuoted(line, name, &consumed)) {
        return false;
    }
    std::string_view rest = TrimLeft(line.substr(consumed));
    if (rest.empty() || rest[0] != '=') return false;
    *data = Trim(rest.substr(1));
    return true;
}

bool ParseHexBytes(std::string_view text, std::vector<uint8_t>* bytes) {
    bytes->clear();
    text = Trim(text);
    if (text.empty()) return true;
    size_t start = 0;
    while (true) {
        size_t end = text.find(',', start);
        const bool last = end == std::string_view::npos;
        if (last) end = text.size();
        const std::string_view token = Trim(text.substr(start, end - start));
        if (token.empty() || token.size() > 2) return false;
        int value = 0;
        for (char c : token) {
            const int digit = HexDigit(c);
            if (digit < 0) return false;
            value = value * 16 + digit;
        }
        if (bytes->size() >= kSettingsMaxValueBytes) return false;
        bytes->push_back(static_cast<uint8_t>(value));
        if (last) return true;
        start = end + 1;
    }
}

enum class ValueAction { kSet, kDelete };

bool ParseValueData(std::string_view data, SettingsValueRecord* value, ValueAction* action) {
    *action = ValueAction::kSet;
    if (data == "-") {
        *action = ValueAction::kDelete;
        return true;
    }
    if (!data.empty() && data[0] == '"') {
        std::string text;
        size_t consumed = 0;
        if (!ParseQuoted(data, &text, &consumed) || !Trim(data.substr(consumed)).empty()) return false;
        if (text.size() > kSettingsMaxValueBytes) return false;
        value->type = kSettingsTypeString;
        value->data.assign(text.begin(), text.end());
        value->text = true;
        return true;
    }
    if (StartsWithName(data, "dword:")) {
        // Always eight digits: fewer means the line was cut short.
        const std::string_view digits = data.substr(6);
        if (digits.size() != 8) return false;
        uint32_t number = 0;
        for (char c : digits) {
            const int digit = HexDigit(c);
            if (digit < 0) return false;
            number = number * 16 + static_cast<uint32_t>(digit);
        }
        value->type = kSettingsTypeDword;
        value->data = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                       static_cast<uint8_t>(number >> 16), static_cast<uint8_t>(number >> 24)};
        return true;
    }
    std::string_view bytes;
    if (StartsWithName(data, "hex:")) {
        value->type = kSettingsTypeBinary;
        bytes = data.substr(4);
    } else if (StartsWithName(data, "hex(")) {
        const size_t close = data.find("):");
        if (close == std::string_view::npos || close == 4 || close > 12) return false;
        uint32_t type = 0;
        for (char c : data.substr(4, close - 4)) {
            const int digit = HexDigit(c);
            if (digit < 0) return false;
            type = type * 16 + static_cast<uint32_t>(digit);
        }
        value->type = type;
        bytes = data.substr(close + 2);
    } else {
        return false;
    }
    return ParseHexBytes(bytes, &value->data);
}

bool IsHexValueLine(std::string_view line) {
    std::string name;
    std::string_view data;
    return SplitValueLine(line, &name, &data) && StartsWithName(data, "hex");
}

class Parser {
public:
    explicit Parser(SettingsDocument* document) : document_(document) {}

    void Parse(std::string_view text) {
        std::string logical;
        bool continuing = false;
        size_t position = 0;
        while (position < text.size()) {
            size_t newline = text.find('\n', position);
            const bool terminated = newline != std::string_view::npos;
            if (!terminated) newline = text.size();
            std::string_view physical = text.substr(position, newline - position);
            position = terminated ? newline + 1 : text.size();
            if (!physical.empty() && physical.back() == '\r') physical.remove_suffix(1);

            // Every line we write ends with a line break: a last line without
            // one was cut short, and a shortened value must not pass as whole.
            if (!terminated) {
                if (continuing || !Trim(physical).empty()) Skip();
                continuing = false;
                break;
            }
            if (physical.size() > kSettingsMaxLineBytes || physical.find('\0') != std::string_view::npos) {
                if (continuing) Skip();
                continuing = false;
                Skip();
                continue;
            }
            if (continuing) {
                // Continuation lines of a wrapped hex value hold hex digits;
                // anything else means the value was cut short. Each line is
                // appended once and the value is parsed once, at its last
                // line, so a long value costs time in proportion to its size.
                const std::string_view more = Trim(physical);
                if (!more.empty() && HexDigit(more[0]) >= 0 && logical.size() + more.size() <= kSettingsMaxLineBytes) {
                    if (more.back() == '\\') {
                        logical.append(more.substr(0, more.size() - 1));
                        continue;
                    }
                    logical.append(more);
                    continuing = false;
                    Line(Trim(logical));
                    continue;
                }
                Skip();
                continuing = false;
            }
            const std::string_view trimmed = Trim(physical);
            if (!trimmed.empty() && trimmed.back() == '\\' && IsHexValueLine(trimmed)) {
                logical.assign(trimmed.substr(0, trimmed.size() - 1));
                continuing = true;
                continue;
            }
            Line(trimmed);
        }
        if (continuing) Skip();
        if (!headerFound_) document_->damaged = true;
    }

    size_t skipped() const { return skipped_; }
    bool headerFound() const { return headerFound_; }

private:
    void Skip() {
        ++skipped_;
        document_->damaged = true;
    }

    void Line(std::string_view line) {
        if (line.empty()) return;
        if (line == kHeader || line == kOldHeader) {
            headerFound_ = headerFound_ || firstLine_;
            firstLine_ = false;
            return;
        }
        firstLine_ = false;
        if (line[0] == ';') return;  // a comment
        if (line[0] == '[') {
            Section(line);
        } else if (line[0] == '"' || line[0] == '@') {
            Value(line);
        } else {
            Skip();
        }
    }

    void Section(std::string_view line) {
        current_ = nullptr;
        if (line.back() != ']') {
            Skip();
            return;
        }
        std::string_view path = line.substr(1, line.size() - 2);
        const bool remove = !path.empty() && path[0] == '-';
        if (remove) path.remove_prefix(1);
        if (!ValidKeyPath(path, true)) {
            Skip();
            return;
        }
        if (remove) {
            document_->deletions = true;
            document_->DeleteKey(path);
            return;
        }
        current_ = document_->CreateKey(path);
        if (current_ == nullptr) Skip();
    }

    void Value(std::string_view line) {
        SettingsValueRecord value;
        std::string_view data;
        ValueAction action = ValueAction::kSet;
        if (current_ == nullptr || !SplitValueLine(line, &value.name, &data) || !ValidValueName(value.name) ||
            !ParseValueData(data, &value, &action)) {
            Skip();
            return;
        }
        if (action == ValueAction::kDelete) {
            document_->deletions = true;
            document_->DeleteValue(current_, value.name);
        } else if (!document_->SetValue(current_, std::move(value))) {
            Skip();
        }
    }

    SettingsDocument* document_;
    SettingsKeyRecord* current_ = nullptr;  // the section the lines belong to
    size_t skipped_ = 0;
    bool headerFound_ = false;
    bool firstLine_ = true;
};

void AppendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xc0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3f)));
    } else if (code < 0x10000) {
        out->push_back(static_cast<char>(0xe0 | (code >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3f)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3f)));
    } else {
        out->push_back(static_cast<char>(0xf0 | (code >> 18)));
        out->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3f)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3f)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3f)));
    }
}

// The registry editor's own exports are UTF-16LE; they are read as UTF-8.
std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() / 2);
    const auto unit = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) |
               static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        uint32_t code = unit(i);
        if (code >= 0xd800 && code < 0xdc00 && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xdc00 && low < 0xe000) {
                code = 0x10000 + ((code - 0xd800) << 10) + (low - 0xdc00);
                i += 2;
            } else {
                code = 0xfffd;
            }
        } else if (code >= 0xd800 && code < 0xe000) {
            code = 0xfffd;
        }
        AppendUtf8(code, &text);
    }
    return text;
}

enum class ReadResult { kRead, kMissing, kError };

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    int64_t modified = 0;
    bool operator==(const FileIdentity&) const = default;
};

// Reads at most kSettingsMaxFileBytes + 1 bytes of a regular file.
ReadResult ReadCapped(const std::string& path, std::string* bytes, FileIdentity* identity) {
    bytes->clear();
    // Non-blocking, so that a FIFO named as a settings file cannot hang the
    // open; only a regular file is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::kMissing : ReadResult::kError;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return ReadResult::kError;
    }
    identity->device = status.st_dev;
    identity->inode = status.st_ino;
    identity->size = status.st_size;
    identity->modified = static_cast<int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    const size_t want = kSettingsMaxFileBytes + 1;
    bytes->resize(static_cast<size_t>(status.st_size) < want ? static_cast<size_t>(status.st_size) + 1 : want);
    size_t filled = 0;
    while (filled < bytes->size()) {
        const ssize_t got = ::read(fd, bytes->data() + filled, bytes->size() - filled);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            ::close(fd);
            bytes->clear();
            return ReadResult::kError;
        }
        if (got == 0) break;
        filled += static_cast<size_t>(got);
        if (filled == bytes->size() && bytes->size() < want) bytes->resize(std::min(want, bytes->size() * 2));
    }
    ::close(fd);
    bytes->resize(filled);
    return ReadResult::kRead;
}

void ReportDamage(const std::string& path, const FileIdentity& identity, size_t skipped, bool header,
                  bool truncated) {
    // Loads happen often; one line per damaged state of a file is enough.
    static std::mutex mutex;
    static std::string lastPath;
    static FileIdentity lastIdentity;
    std::lock_guard lock(mutex);
    if (path == lastPath && identity == lastIdentity) return;
    lastPath = path;
    lastIdentity = identity;
    DebugPrintf("settings file %s is damaged: %zu line(s) skipped%s%s; the readable keys are used", path.c_str(),
                skipped, header ? "" : ", header missing", truncated ? ", file larger than the read limit" : "");
}

// Reads and parses a settings file; a missing file gives an empty document.
ReadResult ReadDocument(const std::string& path, SettingsDocument* document, bool* nonEmpty) {
    std::string bytes;
    FileIdentity identity;
    const ReadResult result = ReadCapped(path, &bytes, &identity);
    *nonEmpty = !bytes.empty();
    if (result != ReadResult::kRead) return result;
    const bool truncated = bytes.size() > kSettingsMaxFileBytes;
    if (truncated) bytes.resize(kSettingsMaxFileBytes);
    std::string_view text = bytes;
    std::string decoded;
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xff && static_cast<unsigned char>(text[1]) == 0xfe) {
        decoded = Utf16LeToUtf8(text.substr(2));
        text = decoded;
    } else if (text.size() >= 3 && text.substr(0, 3) == "\xef\xbb\xbf") {
        text.remove_prefix(3);
    }
    Parser parser(document);
    parser.Parse(text);
    if (truncated) document->damaged = true;
    if (document->damaged) ReportDamage(path, identity, parser.skipped(), parser.headerFound(), truncated);
    return result;
}

// ---- Writing ---------------------------------------------------------------

void AppendQuoted(std::string_view text, std::string* out) {
    out->push_back('"');
    for (char c : text) {
        if (c == '"' || c == '\\') out->push_back('\\');
        out->push_back(c);
    }
    out->push_back('"');
}

bool WritableAsText(const SettingsValueRecord& value) {
    if (!value.text || value.type != kSettingsTypeString) return false;
    for (uint8_t c : value.data) {
        if (c == '\r' || c == '\n' || c == '\0') return false;
    }
    return true;
}

void AppendValue(const SettingsValueRecord& value, std::string* out) {
    std::string line;
    if (value.name.empty()) {
        line = "@";
    } else {
        AppendQuoted(value.name, &line);
    }
    line.push_back('=');
    char text[32];
    if (value.type == kSettingsTypeDword && value.data.size() == 4) {
        const uint32_t number = static_cast<uint32_t>(value.data[0]) | static_cast<uint32_t>(value.data[1]) << 8 |
                                static_cast<uint32_t>(value.data[2]) << 16 | static_cast<uint32_t>(value.data[3]) << 24;
        std::snprintf(text, sizeof text, "dword:%08x", number);
        line.append(text);
    } else if (WritableAsText(value)) {
        AppendQuoted(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()), &line);
    } else {
        if (value.type == kSettingsTypeBinary) {
            line.append("hex:");
        } else {
            std::snprintf(text, sizeof text, "hex(%x):", value.type);
            line.append(text);
        }
        // Wrapped as the registry editor does: lines of at most 80
        // characters, continued with a backslash and two spaces.
        bool byteOnLine = false;
        for (size_t i = 0; i < value.data.size(); ++i) {
            std::snprintf(text, sizeof text, i + 1 < value.data.size() ? "%02x," : "%02x", value.data[i]);
            const size_t needed = std::string_view(text).size() + 1;
            if (byteOnLine && line.size() + needed > kWrapColumn) {
                line.append("\\");
                line.append(kLineEnd);
                out->append(line);
                line = "  ";
            }
            line.append(text);
            byteOnLine = true;
        }
    }
    out->append(line);
    out->append(kLineEnd);
}

}  // namespace

std::string SettingsDocument::Serialize() const {
    std::string out(kHeader);
    out.append(kLineEnd);
    out.append(kLineEnd);
    for (const auto& [path, record] : keys) {
        out.push_back('[');
        out.append(path);
        out.push_back(']');
        out.append(kLineEnd);
        for (const auto& [order, value] : record.values) AppendValue(value, &out);
        out.append(kLineEnd);
    }
    return out;
}

// ---- Location --------------------------------------------------------------

std::string SettingsFilePath() {
    if (const char* explicitPath = std::getenv(kSettingsFileVariable); explicitPath != nullptr && *explicitPath) {
        return explicitPath;
    }
    std::string base;
    // XDG_CONFIG_HOME only counts when absolute.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/') {
        base = config;
    } else {
        const char* home = std::getenv("HOME");
        std::string homeDir = home != nullptr ? home : "";
        if (homeDir.empty()) {
            struct passwd entry {};
            struct passwd* result = nullptr;
            char buffer[4096];
            if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &result) == 0 && result != nullptr &&
                result->pw_dir != nullptr) {
                homeDir = result->pw_dir;
            }
        }
        if (homeDir.empty()) return {};
        base = homeDir + "/.config";
    }
    return base + "/vantix/registry.reg";
}

// ---- Snapshots and keys ----------------------------------------------------

SettingsKey::SettingsKey(std::shared_ptr<const SettingsDocument> document, std::string fullPath,
                         const SettingsKeyRecord* record)
    : document_(std::move(document)), fullPath_(std::move(fullPath)), record_(record) {}

std::string SettingsKey::Path() const {
    return fullPath_.size() > kUserHive.size() ? fullPath_.substr(kUserHive.size() + 1) : std::string();
}

bool SettingsKey::QueryDword(std::string_view name, uint32_t* value) const {
    const SettingsValueRecord* found = record_ != nullptr ? record_->Find(name) : nullptr;
    if (found == nullptr || found->type != kSettingsTypeDword || found->data.size() != 4) return false;
    *value = static_cast<uint32_t>(found->data[0]) | static_cast<uint32_t>(found->data[1]) << 8 |
             static_cast<uint32_t>(found->data[2]) << 16 | static_cast<uint32_t>(found->data[3]) << 24;
    return true;
}

bool SettingsKey::QueryBinary(std::string_view name, std::vector<uint8_t>* data) const {
    const SettingsValueRecord* found = record_ != nullptr ? record_->Find(name) : nullptr;
    if (found == nullptr || found->type != kSettingsTypeBinary) return false;
    *data = found->data;
    return true;
}

bool SettingsKey::QueryBinary(std::string_view name, std::span<uint8_t> buffer) const {
    const SettingsValueRecord* found = record_ != nullptr ? record_->Find(name) : nullptr;
    if (found == nullptr || found->type != kSettingsTypeBinary || found->data.size() != buffer.size()) return false;
    std::copy(found->data.begin(), found->data.end(), buffer.begin());
    return true;
}

bool SettingsKey::HasValue(std::string_view name) const {
    return record_ != nullptr && record_->Find(name) != nullptr;
}

std::vector<std::string> SettingsKey::ValueNames() const {
    std::vector<std::string> names;
    if (record_ == nullptr) return names;
    for (const auto& [order, value] : record_->values) names.push_back(value.name);
    return names;
}

std::optional<SettingsKey> SettingsKey::OpenSubkey(std::string_view relativePath) const {
    if (!ValidKeyPath(relativePath, false)) return std::nullopt;
    std::string spelling;
    const SettingsKeyRecord* record = nullptr;
    if (!document_->Find(fullPath_ + "\\" + std::string(relativePath), &spelling, &record)) return std::nullopt;
    return SettingsKey(document_, std::move(spelling), record);
}

bool SettingsKey::HasSubkey(std::string_view name) const { return OpenSubkey(name).has_value(); }

std::vector<std::string> SettingsKey::SubkeyNames() const {
    std::vector<std::string> names;
    const std::string prefix = fullPath_ + "\\";
    for (auto it = document_->keys.lower_bound(prefix); it != document_->keys.end() && StartsWithName(it->first, prefix);
         ++it) {
        const std::string_view rest = std::string_view(it->first).substr(prefix.size());
        const std::string_view child = rest.substr(0, rest.find('\\'));
        // Descendants are sorted, so all keys below one child are adjacent.
        if (names.empty() || !EqualNames(names.back(), child)) names.emplace_back(child);
    }
    return names;
}

SettingsSnapshot::SettingsSnapshot(std::shared_ptr<const SettingsDocument> document) : document_(std::move(document)) {}

SettingsSnapshot SettingsSnapshot::Load() { return LoadFile(SettingsFilePath()); }

SettingsSnapshot SettingsSnapshot::LoadFile(const std::string& path) {
    auto document = std::make_shared<SettingsDocument>();
    bool nonEmpty = false;
    if (!path.empty()) (void)ReadDocument(path, document.get(), &nonEmpty);
    return SettingsSnapshot(std::move(document));
}

std::optional<SettingsKey> SettingsSnapshot::OpenKey(std::string_view path) const {
    if (!ValidKeyPath(path, false)) return std::nullopt;
    std::string spelling;
    const SettingsKeyRecord* record = nullptr;
    if (!document_->Find(UserPath(path), &spelling, &record)) return std::nullopt;
    return SettingsKey(document_, std::move(spelling), record);
}

bool SettingsSnapshot::Damaged() const { return document_->damaged; }

std::optional<SettingsKey> OpenKeyForReading(std::string_view path) { return SettingsSnapshot::Load().OpenKey(path); }

// ---- Transactions ----------------------------------------------------------

struct SettingsTransaction::Change {
    enum class Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue, kRequireMissingKey } kind;
    std::string fullPath;
    SettingsValueRecord value;
};

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// mkdir -p; directories created here are private to the user.
bool MakeDirectories(const std::string& directory) {
    struct stat status {};
    if (::stat(directory.c_str(), &status) == 0) return S_ISDIR(status.st_mode);
    const std::string parent = DirectoryOf(directory);
    if (parent != directory && !MakeDirectories(parent)) return false;
    return ::mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST;
}

bool SyncDirectory(const std::string& directory) {
    FileDescriptor fd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

bool CopyFile(const std::string& from, const std::string& to) {
    FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return false;
    FileDescriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0) return false;
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(in.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) break;
        if (!WriteAll(out.get(), std::string_view(buffer, static_cast<size_t>(got)))) return false;
    }
    return ::fsync(out.get()) == 0 && out.Close();
}

// Keeps the damaged file as "<file>.damaged-<timestamp>" (a hard link, or a
// copy where links are not available).
bool SetDamagedFileAside(const std::string& path) {
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        if (attempt > 0) {
            std::snprintf(suffix, sizeof suffix, ".damaged-%s-%d", stamp, attempt);
        } else {
            std::snprintf(suffix, sizeof suffix, ".damaged-%s", stamp);
        }
        const std::string aside = path + suffix;
        if (::link(path.c_str(), aside.c_str()) == 0 || (errno != EEXIST && CopyFile(path, aside))) {
            DebugPrintf("damaged settings file kept as %s", aside.c_str());
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

// The file a path names: a symbolic link (or a chain of them) is followed to
// the file it points at, which need not exist yet, so that a linked settings
// file is replaced where it lives and a dangling link gets its target created
// instead of being replaced itself. False for a loop or an unreadable link.
bool ResolveLinks(const std::string& path, std::string* target) {
    constexpr int kMaxLinks = 40;  // as the kernel allows in one lookup
    std::string current = path;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            *target = std::move(current);
            return true;
        }
        std::string link(PATH_MAX, '\0');
        const ssize_t length = ::readlink(current.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<size_t>(length) >= link.size()) return false;
        link.resize(static_cast<size_t>(length));
        current = link[0] == '/' ? link : DirectoryOf(current) + "/" + link;
    }
    return false;
}

bool AllDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The process id in a temporary's name "<base>.<pid>-<n>.tmp", or 0.
pid_t TemporaryOwner(std::string_view name, std::string_view base) {
    constexpr std::string_view kSuffix = ".tmp";
    if (name.size() <= base.size() + 1 + kSuffix.size() || !name.starts_with(base) || name[base.size()] != '.' ||
        !name.ends_with(kSuffix)) {
        return 0;
    }
    const std::string_view middle = name.substr(base.size() + 1, name.size() - base.size() - 1 - kSuffix.size());
    const size_t dash = middle.find('-');
    if (dash == std::string_view::npos || dash > 9) return 0;
    const std::string_view pid = middle.substr(0, dash);
    if (!AllDigits(pid) || !AllDigits(middle.substr(dash + 1))) return 0;
    return static_cast<pid_t>(std::stol(std::string(pid)));
}

// Removes the temporaries of `target` that savers killed mid-save left
// behind. Called under the settings lock, so no saver of this file is
// writing one; a temporary whose process still exists is left alone all the
// same.
void RemoveStaleTemporaries(const std::string& target) {
    const size_t slash = target.rfind('/');
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    DIR* directory = ::opendir(DirectoryOf(target).c_str());
    if (directory == nullptr) return;
    while (const dirent* entry = ::readdir(directory)) {
        const pid_t owner = TemporaryOwner(entry->d_name, base);
        if (owner <= 0 || owner == ::getpid()) continue;
        if (::kill(owner, 0) != 0 && errno == ESRCH) (void)::unlinkat(::dirfd(directory), entry->d_name, 0);
    }
    ::closedir(directory);
}

// Whether `target` may be replaced: it is missing, or a regular file that its
// permissions let this process write. The mode bits are checked as well as
// access(), since a process with override rights would otherwise replace a
// file its owner made read-only. *original gets its status when it exists.
bool MayReplace(const std::string& target, struct stat* original, bool* exists) {
    *exists = ::stat(target.c_str(), original) == 0;
    if (!*exists) return errno == ENOENT;
    return S_ISREG(original->st_mode) && (original->st_mode & 0222) != 0 &&
           ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

// Replaces `target` (no symbolic link) with `text`: written to a new file of
// a unique name beside it, synced and renamed over it, so the target is
// replaced whole or not at all. The temporary is made with O_EXCL|O_NOFOLLOW:
// a file or link planted under a guessed name is never written through.
// Refuses what MayReplace refuses; the new file keeps the old one's permissions.
bool ReplaceFile(const std::string& target, std::string_view text) {
    static std::atomic<unsigned> sequence{0};
    struct stat original {};
    bool exists = false;
    if (!MayReplace(target, &original, &exists)) return false;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%ld-%u.tmp", static_cast<long>(::getpid()), sequence++);
        temporary = target + suffix;
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    FileDescriptor out(fd);
    if (out.get() < 0) return false;
    if (exists) (void)::fchmod(out.get(), original.st_mode & 07777);
    if (!WriteAll(out.get(), text) || ::fsync(out.get()) != 0 || !out.Close() ||
        ::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename is durable only once the directory is synced; the file
    // itself is in place either way, so a failure here is not reported.
    (void)SyncDirectory(DirectoryOf(target));
    return true;
}

}  // namespace

SettingsTransaction::SettingsTransaction() : SettingsTransaction(SettingsFilePath()) {}
SettingsTransaction::SettingsTransaction(std::string filePath) : filePath_(std::move(filePath)) {}
SettingsTransaction::~SettingsTransaction() = default;
SettingsTransaction::SettingsTransaction(SettingsTransaction&&) noexcept = default;
SettingsTransaction& SettingsTransaction::operator=(SettingsTransaction&&) noexcept = default;

bool SettingsTransaction::CreateKey(std::string_view path) {
    if (!ValidKeyPath(path, false)) return false;
    changes_.push_back(Change{Change::Kind::kCreateKey, UserPath(path), {}});
    return true;
}

bool SettingsTransaction::DeleteKey(std::string_view path) {
    if (!ValidKeyPath(path, false)) return false;
    changes_.push_back(Change{Change::Kind::kDeleteKey, UserPath(path), {}});
    return true;
}

bool SettingsTransaction::SetDword(std::string_view keyPath, std::string_view name, uint32_t value) {
    if (!ValidKeyPath(keyPath, false) || !ValidValueName(name)) return false;
    SettingsValueRecord record{std::string(name), kSettingsTypeDword,
                               {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)},
                               false};
    changes_.push_back(Change{Change::Kind::kSetValue, UserPath(keyPath), std::move(record)});
    return true;
}

bool SettingsTransaction::SetBinary(std::string_view keyPath, std::string_view name, std::span<const uint8_t> data) {
    if (!ValidKeyPath(keyPath, false) || !ValidValueName(name) || data.size() > kSettingsMaxValueBytes) return false;
    SettingsValueRecord record{std::string(name), kSettingsTypeBinary, {data.begin(), data.end()}, false};
    changes_.push_back(Change{Change::Kind::kSetValue, UserPath(keyPath), std::move(record)});
    return true;
}

bool SettingsTransaction::DeleteValue(std::string_view keyPath, std::string_view name) {
    if (!ValidKeyPath(keyPath, false) || !ValidValueName(name)) return false;
    changes_.push_back(Change{Change::Kind::kDeleteValue, UserPath(keyPath), {std::string(name), 0, {}, false}});
    return true;
}

bool SettingsTransaction::RequireMissingKey(std::string_view path) {
    if (!ValidKeyPath(path, false)) return false;
    changes_.push_back(Change{Change::Kind::kRequireMissingKey, UserPath(path), {}});
    return true;
}

bool SettingsTransaction::Commit() {
    if (committed_ || filePath_.empty()) return false;
    committed_ = true;
    std::string path;
    if (!ResolveLinks(filePath_, &path)) return false;
    if (!MakeDirectories(DirectoryOf(path))) return false;

    // The lock file is never removed: removing it would let two savers lock
    // different files of the same name. A link in its place is not followed,
    // so the lock never creates or touches a file elsewhere.
    FileDescriptor lock(::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (lock.get() < 0) return false;
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) return false;
    }

    RemoveStaleTemporaries(path);

    SettingsDocument document;
    bool nonEmpty = false;
    const ReadResult read = ReadDocument(path, &document, &nonEmpty);
    // A file that exists but cannot be read is not replaced: its keys would be lost.
    if (read == ReadResult::kError) return false;
    for (Change& change : changes_) {
        switch (change.kind) {
            case Change::Kind::kCreateKey:
                if (document.CreateKey(change.fullPath) == nullptr) return false;
                break;
            case Change::Kind::kDeleteKey:
                document.DeleteKey(change.fullPath);
                break;
            case Change::Kind::kSetValue: {
                SettingsKeyRecord* key = document.CreateKey(change.fullPath);
                if (key == nullptr || !document.SetValue(key, std::move(change.value))) return false;
                break;
            }
            case Change::Kind::kRequireMissingKey: {
                std::string spelling;
                const SettingsKeyRecord* record = nullptr;
                if (document.Find(change.fullPath, &spelling, &record)) return false;
                break;
            }
            case Change::Kind::kDeleteValue:
                if (const auto key = document.keys.find(change.fullPath); key != document.keys.end()) {
                    document.DeleteValue(&key->second, change.value.name);
                }
                break;
        }
    }
    const std::string text = document.Serialize();
    if (text.size() > kSettingsMaxFileBytes) return false;
    // A file that may not be replaced is left as it is, and nothing is set aside.
    struct stat original {};
    bool exists = false;
    if (!MayReplace(path, &original, &exists)) return false;
    if (document.damaged && nonEmpty && !SetDamagedFileAside(path)) return false;
    return ReplaceFile(path, text);
}

// ---- Keys in files of their own ---------------------------------------------

namespace {

bool AtOrBelow(std::string_view fullPath, std::string_view ancestor) {
    return StartsWithName(fullPath, ancestor) &&
           (fullPath.size() == ancestor.size() || fullPath[ancestor.size()] == '\\');
}

// Writes `text` over `file`, or over the file a link at `file` names.
bool WriteReplacing(const std::string& file, std::string_view text) {
    std::string target;
    return ResolveLinks(file, &target) && ReplaceFile(target, text);
}

}  // namespace

bool ValidSettingsKeyPath(std::string_view path) { return ValidKeyPath(path, false); }

std::optional<std::string> SettingsKeyText(std::string_view path) {
    if (!ValidKeyPath(path, false)) return std::nullopt;
    const std::string file = SettingsFilePath();
    if (file.empty()) return std::nullopt;
    SettingsDocument store;
    bool nonEmpty = false;
    (void)ReadDocument(file, &store, &nonEmpty);
    std::string spelling;
    const SettingsKeyRecord* record = nullptr;
    if (!store.Find(UserPath(path), &spelling, &record)) return std::nullopt;
    // The separator sorts first, so the key's descendants directly follow it.
    SettingsDocument part;
    for (auto it = store.keys.lower_bound(spelling); it != store.keys.end() && AtOrBelow(it->first, spelling); ++it) {
        part.keys.emplace(it->first, it->second);
    }
    return part.Serialize();
}

SettingsExchangeResult ExportSettingsKey(std::string_view path, const std::string& file) {
    if (file.empty() || !ValidKeyPath(path, false)) return SettingsExchangeResult::kBadArgument;
    const std::optional<std::string> text = SettingsKeyText(path);
    if (!text) return SettingsExchangeResult::kNoSuchKey;
    return WriteReplacing(file, *text) ? SettingsExchangeResult::kDone : SettingsExchangeResult::kWriteFailed;
}

SettingsExchangeResult ImportSettingsFile(const std::string& file, std::string_view root) {
    if (file.empty() || !ValidKeyPath(root, false)) return SettingsExchangeResult::kBadArgument;
    SettingsDocument imported;
    bool nonEmpty = false;
    if (ReadDocument(file, &imported, &nonEmpty) != ReadResult::kRead) return SettingsExchangeResult::kUnreadable;
    if (imported.damaged || imported.deletions) return SettingsExchangeResult::kNotSettings;
    const std::string rootPath = UserPath(root);
    for (const auto& entry : imported.keys) {
        if (!AtOrBelow(entry.first, rootPath)) return SettingsExchangeResult::kNotSettings;
    }
    SettingsTransaction transaction;
    for (auto& [path, record] : imported.keys) {
        transaction.changes_.push_back(SettingsTransaction::Change{SettingsTransaction::Change::Kind::kCreateKey, path, {}});
        for (auto& [order, value] : record.values) {
            transaction.changes_.push_back(
                SettingsTransaction::Change{SettingsTransaction::Change::Kind::kSetValue, path, std::move(value)});
        }
    }
    return transaction.Commit() ? SettingsExchangeResult::kDone : SettingsExchangeResult::kWriteFailed;
}

SettingsExchangeResult DeleteSettingsKey(std::string_view path) {
    if (!ValidKeyPath(path, false)) return SettingsExchangeResult::kBadArgument;
    if (!SettingsSnapshot::Load().OpenKey(path)) return SettingsExchangeResult::kNoSuchKey;
    SettingsTransaction transaction;
    transaction.DeleteKey(path);
    return transaction.Commit() ? SettingsExchangeResult::kDone : SettingsExchangeResult::kWriteFailed;
}

}  // namespace vantix
