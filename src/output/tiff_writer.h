#pragma once
// TIFF files through libtiff: uncompressed, contiguous samples, one strip,
// rows top-down (memory row 0 first, the default top-left orientation).
#include "imaging/dib_image.h"

namespace vantix {

// Writes image as a TIFF:
//
//   bits  BitsPerSample  Photometric    SamplesPerPixel  samples
//    8     8             1 min-is-black  1               gray
//   16    16             1               1               gray
//   24     8             2 RGB           3               R, G, B
//   32     8             2               4               R, G, B, 255
//   48    16             2               3               R, G, B
//   64    16             2               4               R, G, B, 65535
//
// The fourth sample of the 32- and 64-bit forms is declared an unspecified
// extra sample and holds full scale, so a reader that shows it as alpha
// anyway shows an opaque picture. Returns 1 when the
// whole file was written; an empty image, an unwritable file, a write error or
// a libtiff error return 0 and leave no new file behind.
int WriteTiff(const char* fileName, const CDibImage& image);

}  // namespace vantix
