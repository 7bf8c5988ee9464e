#include "platform/debug_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace vantix {
namespace {

struct CategoryName {
    DebugCategory category;
    std::string_view name;
};

constexpr CategoryName kCategoryNames[] = {
    {DebugCategory::General, "general"},     {DebugCategory::Api, "api"},
    {DebugCategory::Session, "session"},     {DebugCategory::Settings, "settings"},
    {DebugCategory::Dialogs, "dialogs"},     {DebugCategory::Engine, "engine"},
    {DebugCategory::Sensor, "sensor"},       {DebugCategory::Transport, "transport"},
    {DebugCategory::Drivers, "drivers"},     {DebugCategory::Emulator, "emulator"},
    {DebugCategory::Platform, "platform"},
};

// Whether a VANTIX_DEBUG value asks for `category`: a list naming categories
// asks for those, any other non-empty value for all of them.
bool Wants(std::string_view value, DebugCategory category) {
    if (value.empty()) return false;
    bool namesAny = false;
    while (true) {
        const size_t comma = value.find(',');
        const std::string_view item = value.substr(0, comma);
        for (const CategoryName& known : kCategoryNames) {
            if (item != known.name) continue;
            if (known.category == category) return true;
            namesAny = true;
        }
        if (comma == std::string_view::npos) break;
        value.remove_prefix(comma + 1);
    }
    return !namesAny;
}

std::string_view Setting() {
    const char* value = std::getenv("VANTIX_DEBUG");
    return value != nullptr ? std::string_view(value) : std::string_view();
}

void Write(const char* text) {
    std::string line(text);
    if (line.empty() || line.back() != '\n') line.push_back('\n');
    // One write per line so lines from different threads do not interleave.
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void WriteFormatted(const char* format, va_list args) {
    char small[512];
    va_list retry;
    va_copy(retry, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    if (length < 0) {
        va_end(retry);
        return;
    }
    if (static_cast<size_t>(length) < sizeof small) {
        va_end(retry);
        Write(small);
        return;
    }
    std::vector<char> large(static_cast<size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, retry);
    va_end(retry);
    Write(large.data());
}

}  // namespace

bool DebugOutputEnabled(DebugCategory category) { return Wants(Setting(), category); }

bool DebugOutputEnabled() { return !Setting().empty(); }

void DebugOutput(DebugCategory category, const char* text) {
    if (text != nullptr && DebugOutputEnabled(category)) Write(text);
}

void DebugOutput(const char* text) { DebugOutput(DebugCategory::General, text); }

void DebugPrintf(DebugCategory category, const char* format, ...) {
    if (format == nullptr || !DebugOutputEnabled(category)) return;
    va_list args;
    va_start(args, format);
    WriteFormatted(format, args);
    va_end(args);
}

void DebugPrintf(const char* format, ...) {
    if (format == nullptr || !DebugOutputEnabled(DebugCategory::General)) return;
    va_list args;
    va_start(args, format);
    WriteFormatted(format, args);
    va_end(args);
}

}  // namespace vantix
