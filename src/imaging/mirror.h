#pragma once
// Software mirroring of raw frames, for cameras that cannot mirror their
// readout themselves.
#include <cstdint>

#include "imaging/cpu_dispatch.h"
#include "imaging/dib_image.h"

namespace vantix {

// Mirrors an 8- or 16-bit image in place: `horizontal` reverses every row
// (last sample first), `vertical` puts row r at row height - 1 - r; both make
// a half turn. Returns 1, or 0 (image untouched) when neither is asked for or
// the image is not an 8- or 16-bit image.
int MirrorRaw(CDibImage& image, bool horizontal, bool vertical);
int MirrorRaw(CDibImage& image, bool horizontal, bool vertical, KernelLevel level);

}  // namespace vantix
