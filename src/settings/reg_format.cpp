#include "settings/reg_format.h"

#include <cstdio>
#include <utility>

namespace vantix {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kOldHeader = "REGEDIT4";
constexpr std::string_view kLineEnd = "\r\n";
constexpr size_t kWrapColumn = 80;  // where the registry editor wraps long hex values
constexpr size_t kMaxKeyNameLength = 255;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

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

int CompareSettingsNames(std::string_view a, std::string_view b) {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const unsigned ca = a[i] == '\\' ? 0u : static_cast<unsigned char>(LowerAscii(a[i]));
        const unsigned cb = b[i] == '\\' ? 0u : static_cast<unsigned char>(LowerAscii(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool EqualSettingsNames(std::string_view a, std::string_view b) { return CompareSettingsNames(a, b) == 0; }

bool StartsWithSettingsName(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualSettingsNames(text.substr(0, prefix.size()), prefix);
}

bool ValidSettingsValueName(std::string_view name) {
    if (name.size() > kSettingsMaxNameLength) return false;
    for (char c : name) {
        if (IsControl(c)) return false;
    }
    return true;
}

bool ValidSettingsKeyPath(std::string_view path, bool requireHive) {
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
        if (first && requireHive && !StartsWithSettingsName(component, "HKEY_")) return false;
        first = false;
        start = end + 1;
    }
    return true;
}

std::string SettingsUserPath(std::string_view relative) {
    std::string full(kSettingsUserHive);
    full.push_back('\\');
    full.append(relative);
    return full;
}

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
    if (StartsWithSettingsName(data, "dword:")) {
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
    if (StartsWithSettingsName(data, "hex:")) {
        value->type = kSettingsTypeBinary;
        bytes = data.substr(4);
    } else if (StartsWithSettingsName(data, "hex(")) {
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
    return SplitValueLine(line, &name, &data) && StartsWithSettingsName(data, "hex");
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
            ++lineNumber_;
            physical_ = physical;
            if (result_.firstLine.number == 0 && !Trim(physical).empty()) Note(&result_.firstLine);

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

    RegParseResult Result() {
        result_.skippedLines = skipped_;
        result_.headerFound = headerFound_;
        return std::move(result_);
    }

private:
    // The line being read, shortened for messages.
    void Note(RegLine* line) const {
        constexpr size_t kShown = 200;
        line->number = lineNumber_;
        line->text.assign(physical_.substr(0, kShown));
    }

    void Skip() {
        ++skipped_;
        document_->damaged = true;
        if (result_.firstSkipped.number == 0) Note(&result_.firstSkipped);
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
        if (!ValidSettingsKeyPath(path, true)) {
            Skip();
            return;
        }
        if (remove) {
            document_->deletions = true;
            if (result_.firstDeletion.number == 0) Note(&result_.firstDeletion);
            document_->DeleteKey(path);
            return;
        }
        current_ = document_->CreateKey(path);
        if (current_ == nullptr) {
            Skip();
            return;
        }
        result_.keyLines.emplace(std::string(path), lineNumber_);
    }

    void Value(std::string_view line) {
        SettingsValueRecord value;
        std::string_view data;
        ValueAction action = ValueAction::kSet;
        if (current_ == nullptr || !SplitValueLine(line, &value.name, &data) || !ValidSettingsValueName(value.name) ||
            !ParseValueData(data, &value, &action)) {
            Skip();
            return;
        }
        if (action == ValueAction::kDelete) {
            document_->deletions = true;
            if (result_.firstDeletion.number == 0) Note(&result_.firstDeletion);
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
    size_t lineNumber_ = 0;
    std::string_view physical_;
    RegParseResult result_;
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

RegParseResult ParseRegText(std::string_view bytes, SettingsDocument* document) {
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
    return parser.Result();
}

}  // namespace vantix
