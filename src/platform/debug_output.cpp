#include "platform/debug_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace vantix {

// Read on every call so support can enable output in a running test process;
// the cost is irrelevant next to writing a diagnostic line.
bool DebugOutputEnabled() {
    const char* value = std::getenv("VANTIX_DEBUG");
    return value != nullptr && value[0] != '\0';
}

void DebugOutput(const char* text) {
    if (text == nullptr || !DebugOutputEnabled()) {
        return;
    }
    std::string line(text);
    if (line.empty() || line.back() != '\n') {
        line.push_back('\n');
    }
    // One write per line so lines from different threads do not interleave.
    std::fwrite(line.data(), 1, line.size(), stderr);
}

void DebugPrintf(const char* format, ...) {
    if (format == nullptr || !DebugOutputEnabled()) {
        return;
    }
    char small[512];
    va_list args;
    va_start(args, format);
    va_list retry;
    va_copy(retry, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (length < 0) {
        va_end(retry);
        return;
    }
    if (static_cast<size_t>(length) < sizeof small) {
        va_end(retry);
        DebugOutput(small);
        return;
    }
    std::vector<char> large(static_cast<size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, retry);
    va_end(retry);
    DebugOutput(large.data());
}

}  // namespace vantix
