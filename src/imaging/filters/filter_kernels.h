#pragma once
// Row kernels of the picture filters, the flat-field correction and the dot
// filter's fill, in one variant per instruction set,
// and the one place that picks among them (FilterKernelsFor). Every variant
// of a kernel gives the same bytes as its portable variant; the choice only
// affects speed. Internal to the filters.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/cpu_dispatch.h"

namespace vantix::filter_detail {

// Samples of one row through a lookup table: `pixels` pixels of `step`
// samples each (1, 3 or 4); with step 4 the fourth sample of every pixel is
// left as it is. The 16-bit table has 65536 entries plus kToneTablePad
// spare ones after them.
inline constexpr int32_t kToneTablePad = 2;
using ToneRow8 = void (*)(uint8_t* row, int32_t pixels, int32_t step, const uint8_t* table);
using ToneRow16 = void (*)(uint16_t* row, int32_t pixels, int32_t step, const uint16_t* table);
// The same for 16-bit samples whose low byte is 0 (as the hue filter leaves
// them): the 256 entries such samples can reach, split into the entries'
// low and high bytes, indexed by the sample's high byte.
using ToneRowHigh16 = void (*)(uint16_t* row, int32_t pixels, int32_t step, const uint8_t* low,
                               const uint8_t* high);

// A hue turn and saturation scale in the terms of the 1530-step colour
// circle (see hue_saturation.cpp).
struct HueShift {
    int32_t offset;      // hue offset a in steps of the 1530-step circle, 0..1529
    int32_t sextants;    // a / 255
    int32_t remainder;   // a % 255
    int32_t saturation;  // s + 256, 1..511
};
// One row of hue and saturation, in place: `pixels` pixels of
// bytesPerPixel 3, 4 (8-bit channels, the fourth byte left alone), 6 or 8
// (16-bit channels worked on in their high byte; with 8 the fourth word is
// cleared).
using HueRow = void (*)(uint8_t* row, int32_t pixels, int32_t bytesPerPixel, const HueShift& shift);

// One output row of the sharpness filter: from the four source rows y - 2 ..
// y + 1 (r0..r3) and the source row y (r2), writes samples
// [2 step, (pixels - 2) step) of out. `sums` holds pixels * step entries of
// scratch (uint16_t for 8-bit samples, int32_t for 16-bit ones). With step 4
// the fourth sample of every pixel keeps the value out holds.
struct SharpenRowJob {
    const void* r0;
    const void* r1;
    const void* r2;
    const void* r3;
    void* out;
    void* sums;
    int32_t pixels;
    int32_t step;  // 1, 3 or 4
    int32_t strength;  // 0..30
    // Rows the next call reads first from memory (its r3 and out), fetched
    // into the cache strip by strip while this row is worked on; null when
    // the rows are already in the cache or there is no next call.
    const void* nextSource;
    const void* nextOut;
};
using SharpenRow = void (*)(const SharpenRowJob& job);

// x / 10 truncated toward zero, for |x| <= 30 * 65535 (the sharpness
// filter's largest correction): the single-precision product with 0.1f never
// crosses an integer in that range, which a test checks for every value.
inline int32_t TruncatedTenth(int32_t x) { return static_cast<int32_t>(static_cast<float>(x) * 0.1f); }

// The hot-pixel filter's screen of one row y of 8-bit samples: flags[x],
// for x in 2..width - 3, becomes 1 where the sample passes both tests of
// the filter on the values the rows hold now, 0 elsewhere. rows[i] is row
// y - 2 + i; rowFlag is the Bayer row flag of row y, flaggedColumnParity
// the parity of the columns whose column flag is set; the gains are the
// filter's (128 at 100 %).
struct HotPixelScreenJob {
    const uint8_t* rows[5];
    uint8_t* flags;
    int32_t width;
    bool rowFlag;
    int32_t flaggedColumnParity;
    int32_t redGain;
    int32_t blueGain;
};
using HotPixelScreen8 = void (*)(const HotPixelScreenJob& job);
// Both tests of the one sample in column x of the job's row, on the values
// the rows hold now (for the samples a screen cannot settle).
bool HotPixelTests8(const HotPixelScreenJob& job, int32_t x);

// One row of the flat-field correction, in place: `count` samples with their
// dark and bright reference samples (see flat_field_kernels.cpp).
using FlatFieldRow8 = void (*)(uint8_t* row, const uint8_t* dark, const uint8_t* bright, int32_t count);
using FlatFieldRow16 = void (*)(uint16_t* row, const uint16_t* dark, const uint16_t* bright, int32_t count);

// The dot filter's fill, one row: for a row of `count` samples and their
// marks (0 or 1, markBytes 1 or 2 bytes each) whose first and last samples
// are unmarked, left[c] and right[c] become the values of the nearest
// unmarked samples before and after each marked sample c. The entries of
// unmarked samples are unspecified.
using NearestUnmarked8 = void (*)(const uint8_t* samples, const void* marks, int32_t markBytes, int32_t count,
                                  uint8_t* left, uint8_t* right);
using NearestUnmarked16 = void (*)(const uint16_t* samples, const void* marks, int32_t markBytes, int32_t count,
                                   uint16_t* left, uint16_t* right);

// Calls run(first, end) for each run [first, end) of marked samples in a row
// of `count` marks (0 or 1, M wide) whose first and last are unmarked, left
// to right.
template <typename M, typename Run>
VANTIX_KERNEL_INLINE void ForEachMarkedRun(const M* marks, int32_t count, Run&& run) {
    int32_t x = 1;
    while (x < count - 1) {
        // Marks are 0 or 1, so in either width the first byte holding 1 is
        // the low byte of the next marked sample.
        const void* next = std::memchr(marks + x, 1, static_cast<size_t>(count - 1 - x) * sizeof(M));
        if (next == nullptr) {
            return;
        }
        x = static_cast<int32_t>((static_cast<const uint8_t*>(next) - reinterpret_cast<const uint8_t*>(marks)) /
                                 static_cast<ptrdiff_t>(sizeof(M)));
        const int32_t first = x;
        int32_t end = x + 1;
        while (marks[end] != 0) {
            ++end;
        }
        run(first, end);
        x = end;
    }
}

struct FilterKernels {
    ToneRow8 tone8;
    ToneRow16 tone16;
    ToneRowHigh16 toneHigh16;
    HueRow hue;
    SharpenRow sharpen8;
    SharpenRow sharpen16;
    FlatFieldRow8 flatField8;
    FlatFieldRow16 flatField16;
    NearestUnmarked8 nearest8;
    NearestUnmarked16 nearest16;
    HotPixelScreen8 hotPixelScreen8;
};

// The kernels of the best level at or below `level` that the processor has.
const FilterKernels& FilterKernelsFor(KernelLevel level);

// The variants, for FilterKernelsFor.
void ToneRow8Baseline(uint8_t* row, int32_t pixels, int32_t step, const uint8_t* table);
void ToneRow16Baseline(uint16_t* row, int32_t pixels, int32_t step, const uint16_t* table);
void ToneRow16PerPixel(uint16_t* row, int32_t pixels, int32_t step, const uint16_t* table);
void ToneRowHigh16Baseline(uint16_t* row, int32_t pixels, int32_t step, const uint8_t* low, const uint8_t* high);
void HueRowBaseline(uint8_t* row, int32_t pixels, int32_t bytesPerPixel, const HueShift& shift);
void HotPixelScreen8Baseline(const HotPixelScreenJob& job);
void SharpenRow8Baseline(const SharpenRowJob& job);
void SharpenRow16Baseline(const SharpenRowJob& job);
void FlatFieldRow8Baseline(uint8_t* row, const uint8_t* dark, const uint8_t* bright, int32_t count);
void FlatFieldRow16Baseline(uint16_t* row, const uint16_t* dark, const uint16_t* bright, int32_t count);
void NearestUnmarked8Baseline(const uint8_t* samples, const void* marks, int32_t markBytes, int32_t count,
                              uint8_t* left, uint8_t* right);
void NearestUnmarked16Baseline(const uint16_t* samples, const void* marks, int32_t markBytes, int32_t count,
                               uint16_t* left, uint16_t* right);
#if VANTIX_HAVE_AVX2_KERNELS
void HueRowAvx2(uint8_t* row, int32_t pixels, int32_t bytesPerPixel, const HueShift& shift);
void HotPixelScreen8Avx2(const HotPixelScreenJob& job);
void HotPixelScreen8Avx512(const HotPixelScreenJob& job);
void SharpenRow8Avx2(const SharpenRowJob& job);
void SharpenRow16Avx2(const SharpenRowJob& job);
void ToneRow8Avx512(uint8_t* row, int32_t pixels, int32_t step, const uint8_t* table);
void ToneRowHigh16Avx512(uint16_t* row, int32_t pixels, int32_t step, const uint8_t* low, const uint8_t* high);
void HueRowAvx512(uint8_t* row, int32_t pixels, int32_t bytesPerPixel, const HueShift& shift);
void SharpenRow8Avx512(const SharpenRowJob& job);
void SharpenRow16Avx512(const SharpenRowJob& job);
void FlatFieldRow8Avx2(uint8_t* row, const uint8_t* dark, const uint8_t* bright, int32_t count);
void FlatFieldRow16Avx2(uint16_t* row, const uint16_t* dark, const uint16_t* bright, int32_t count);
void FlatFieldRow8Avx512(uint8_t* row, const uint8_t* dark, const uint8_t* bright, int32_t count);
void FlatFieldRow16Avx512(uint16_t* row, const uint16_t* dark, const uint16_t* bright, int32_t count);
void NearestUnmarked8Avx512(const uint8_t* samples, const void* marks, int32_t markBytes, int32_t count,
                            uint8_t* left, uint8_t* right);
void NearestUnmarked16Avx512(const uint16_t* samples, const void* marks, int32_t markBytes, int32_t count,
                             uint16_t* left, uint16_t* right);
#endif

}  // namespace vantix::filter_detail
