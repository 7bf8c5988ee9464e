#pragma once
// The gray-mode stage of monochrome colour modes (8- and 16-bit raw output):
// per-channel gains on the Bayer cell, the one-shot measurement that levels
// them, and the conversion of a colour picture to gray.
#include <cstdint>

#include "imaging/cpu_dispatch.h"
#include "imaging/dib_image.h"

namespace vantix {

inline constexpr int32_t kGrayMultiplierNeutral = 128;

// Eight multipliers (128 = x1) acting on a cell of 2 columns x 4 rows. The
// row state cycles 0, 1, 2, 3 per memory row and starts at 1 for Bayer modes
// 1 and 3, else 0; the column flag starts set for Bayer modes 2 and 3 and
// toggles per sample. By (row state, column flag):
//   (0, clear) gainG1    (0, set) gainR
//   (1, clear) gainB     (1, set) gainG2
//   (2, clear) offsetG1  (2, set) offsetR
//   (3, clear) offsetB   (3, set) offsetG2
// The "offsets" are multipliers like the gains.
struct GrayMultipliers {
    int32_t gainR = kGrayMultiplierNeutral;
    int32_t gainG1 = kGrayMultiplierNeutral;
    int32_t gainG2 = kGrayMultiplierNeutral;
    int32_t gainB = kGrayMultiplierNeutral;
    int32_t offsetR = kGrayMultiplierNeutral;
    int32_t offsetG1 = kGrayMultiplierNeutral;
    int32_t offsetG2 = kGrayMultiplierNeutral;
    int32_t offsetB = kGrayMultiplierNeutral;

    // The multiplier of a cell position.
    int32_t At(int32_t rowState, bool columnFlag) const;
    int32_t& At(int32_t rowState, bool columnFlag);
    bool IsNeutral() const;
    bool operator==(const GrayMultipliers&) const = default;
};

// Row state of memory row y for a Bayer mode.
constexpr int32_t GrayRowState(int32_t bayerMode, int32_t y) {
    const int32_t start = (bayerMode & 1) != 0 ? 1 : 0;
    return (start + (y & 3)) & 3;
}

// Multiplies every sample of an 8- or 16-bit raw image in place by its cell
// multiplier / 128, truncated, and clips at the top value of `bitDepth`
// (8: 255; 16-bit samples: 10, 12, 14 or 16 bits, top 1023 .. 65535; other
// depths use the sample width). A negative multiplier gives 0. Does nothing
// and returns 0 when the multipliers are all neutral or the image is not 8-
// or 16-bit; returns 1 otherwise.
int ApplyGrayGains(CDibImage& raw, int32_t bayerMode, const GrayMultipliers& multipliers, int32_t bitDepth);
int ApplyGrayGains(CDibImage& raw, int32_t bayerMode, const GrayMultipliers& multipliers, int32_t bitDepth,
                   KernelLevel level);

// The one-shot level measurement: the mean of each of the eight cell
// positions over the whole raw image, leaving out samples equal to 0 or to
// the full-scale value (255, or 65535 for 16-bit samples). With M the largest
// of the eight means, each multiplier becomes trunc(M / mean x 128). Returns
// false, leaving *multipliers alone, when a position has no samples left.
bool MeasureGrayGains(const CDibImage& raw, int32_t bayerMode, GrayMultipliers* multipliers);
bool MeasureGrayGains(const CDibImage& raw, int32_t bayerMode, GrayMultipliers* multipliers, KernelLevel level);

// Gray mode 2: each sample of the 8-bit image `gray` becomes
// (30 R + 59 G + 11 B) / 100 of the pixel at the same place of `color` (24-
// or 32-bit, same size). Returns 1, or 0 without writing when the formats or
// sizes do not fit.
int ColorToGray(CDibImage& gray, const CDibImage& color);
int ColorToGray(CDibImage& gray, const CDibImage& color, KernelLevel level);

}  // namespace vantix
