#pragma once
// Diagnostic lines for support (the OutputDebugStringA of the camera code).
// Written to stderr only when the environment variable VANTIX_DEBUG is set.
namespace vantix {

void DebugOutput(const char* text);
// printf-style convenience; the line is formatted only when output is enabled.
void DebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
bool DebugOutputEnabled();

}  // namespace vantix
