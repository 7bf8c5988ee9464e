#pragma once
// Conversions between UTF-16 and the "ANSI code page", which on this platform is
// the character set of the current locale (UTF-8 as a rule), through iconv.
#include <cstddef>
#include <string>

namespace vantix {

// Size of the buffer that UTF-16 file names are converted into before the
// narrow operation runs; longer names fail the conversion.
inline constexpr size_t kAnsiPathBufferSize = 1024;

// Converts a zero-terminated UTF-16 string into `out`, a zero-filled buffer of
// outSize bytes, leaving room for the terminator. Returns false (and leaves
// `out` zero-filled) for a null input, an invalid sequence, a character the
// locale cannot represent, or a result that does not fit.
bool Utf16ToAnsi(const char16_t* text, char* out, size_t outSize);

// Converts a zero-terminated narrow string into at most outUnits UTF-16 units
// including the terminator. Returns the number of units written without the
// terminator, or -1 when the input is invalid or does not fit.
int AnsiToUtf16(const char* text, char16_t* out, size_t outUnits);

// Number of UTF-16 units of a zero-terminated UTF-16 string.
size_t Utf16Length(const char16_t* text);

}  // namespace vantix
