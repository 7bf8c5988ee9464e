#pragma once
// Bayer interpolation of raw frames into B, G, R images, and the white-balance
// measurement that feeds its gains.
#include <cstdint>

#include "imaging/cpu_dispatch.h"
#include "imaging/dib_image.h"

namespace vantix {

// Bayer gains are percentages: 100 is neutral, 400 the most the white balance
// sets and the most Demosaic applies.
inline constexpr int32_t kBayerGainNeutral = 100;
inline constexpr int32_t kBayerGainCap = 400;

// Interpolates the raw frame `raw` into `destination`: 8-bit samples into a
// 24- or 32-bit image, 16-bit samples into a 48- or 64-bit image, of the same
// width and height. `bayerMode` (0..3, see imaging/bayer_pattern.h) is the
// pattern of `raw` as it lies in memory. Destination pixel (x, y) is the
// colour at the centre of the raw samples (x - 1 .. x, y - 1 .. y); red and
// blue are weighted 9-3-3-1 from the four nearest samples of their colour and
// scaled by the red and blue gains (percent, clamped to 0..400; the green gain
// is not applied), green is the mean of the two green samples. Channels clip
// at 255 or 65535. Along the edges a neighbour outside the image is taken
// four rows or columns further inside, which has the same colour (in images
// under four samples across, the nearest sample of that colour, or failing
// one the nearest sample).
//
// Writes B, G, R (bytes, or 16-bit words); the fourth byte or word of 32- and
// 64-bit pixels is left as it was. Returns 1, or 0 without writing when the
// images are empty, differ in size or their depths do not pair up as above.
int Demosaic(CDibImage& destination, const CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain);

// The same with the kernels of a given level. kAvx2 must only be asked for
// when CpuHasAvx2() is true (it falls back to kBaseline otherwise). Both give
// identical results; this is for tests and benchmarks.
int Demosaic(CDibImage& destination, const CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain,
             KernelLevel level);
// Only the destination's memory rows [rowBegin, rowEnd) (reading raw rows
// up to two above and one below them). The raw image is only read, so row
// bands may run at once.
int DemosaicRows(CDibImage& destination, const CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain,
                 KernelLevel level, int32_t rowBegin, int32_t rowEnd);

struct WhiteBalanceGains {
    int32_t red = kBayerGainNeutral;
    int32_t green = kBayerGainNeutral;
    int32_t blue = kBayerGainNeutral;
};

// Measures the white balance of a whole raw frame (8- or 16-bit) whose
// pattern is `bayerMode`: with the means Rm, Gm, Bm of its red, green (both
// positions) and blue samples, red = trunc(100 Gm / Rm), blue =
// trunc(100 Gm / Bm), green = 100, each capped at 400, computed exactly; a
// channel with mean 0 gets the cap. Returns false, leaving *gains alone, when
// the frame lacks samples of a colour (a single row or column) or is black
// throughout.
bool MeasureWhiteBalance(const CDibImage& raw, int32_t bayerMode, WhiteBalanceGains* gains);

}  // namespace vantix
