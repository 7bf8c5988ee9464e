#pragma once
// JPEG files through libjpeg: progressive, baseline-compatible quantisation
// tables, 8-bit gray (one component) or 24-bit colour (R, G, B).
#include <cstdint>

namespace vantix {

// Fills out with scanline line (0: the top of the picture), width x
// components bytes: gray, or R, G, B.
using JpegLineSource = void (*)(const void* context, int32_t line, uint8_t* out);

// Writes a width x height JPEG at quality (1..100, clamped) with 1 component
// (gray) or 3 (R, G, B), taking each scanline from source. Returns 1 when the
// whole file was written; a libjpeg error, an unwritable file or a write
// error return 0 and leave no new file behind.
int WriteJpegLines(const char* fileName, int32_t width, int32_t height, int components, int quality,
                   JpegLineSource source, const void* context);

}  // namespace vantix
