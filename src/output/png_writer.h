#pragma once
// PNG files through libpng: gray, RGB or RGBA at 8 or 16 bits per sample,
// no interlace, the standard compression and filter methods with libpng's
// adaptive filtering, and a fast zlib level (see png_writer.cpp).
#include <cstdint>

namespace vantix {

// Writes the pixel block of an image of the given depth (8, 16, 24, 32, 48
// or 64 bits per pixel; rows padded to 4 bytes, little-endian samples, B, G, R
// order) as a PNG whose first row is memory row 0:
//
//   bits  PNG colour type  bit depth  samples
//    8    0 gray            8         gray
//   16    0 gray           16         gray, stored big-endian
//   24    2 RGB             8         R, G, B
//   32    6 RGBA            8         R, G, B, 255 - fourth byte (opaque: the
//                                     pipeline leaves the fourth byte 0)
//   48    2 RGB            16         R, G, B, big-endian
//   64    6 RGBA           16         R, G, B, 65535, big-endian
//
// The pixels are converted a row at a time; the block is not modified.
// Returns 1 when the whole file was written. Any other depth, a bad size, an
// unwritable file, a write error or a libpng error return 0 (libpng's message
// goes to the standard error stream as "libpng error: ...") and leave no new
// file behind.
int WritePng(const char* fileName, const uint8_t* pixels, int32_t width, int32_t height, int32_t bitsPerPixel);

}  // namespace vantix
