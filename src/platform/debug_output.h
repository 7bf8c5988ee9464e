#pragma once
// Diagnostic lines for support (the OutputDebugStringA of the camera code),
// written to stderr only when the environment variable VANTIX_DEBUG asks for
// them. VANTIX_DEBUG names categories, separated by commas
// (VANTIX_DEBUG=sensor,emulator); a value that names none of them (1, all,
// yes) asks for every line. Read at every line, so support can enable output
// in a running process.
namespace vantix {

enum class DebugCategory {
    General,    // lines of no particular part
    Api,        // the exported calls
    Session,
    Settings,
    Dialogs,
    Engine,     // the camera engine: selection, buffers, acquisition
    Sensor,     // the sensor classes
    Transport,  // the controller, the request layer, the device table
    Drivers,    // libusb and the virtual-camera driver
    Emulator,   // the virtual cameras themselves
    Platform,   // the operating system: windows, displays
};

// Whether lines of `category` (of any category, without one) are written.
bool DebugOutputEnabled(DebugCategory category);
bool DebugOutputEnabled();

void DebugOutput(const char* text);
void DebugOutput(DebugCategory category, const char* text);
// printf-style; the line is formatted only when its category is enabled.
void DebugPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void DebugPrintf(DebugCategory category, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace vantix
