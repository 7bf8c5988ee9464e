// Row kernels of the hot-pixel filter's screen for 8-bit samples (see
// hot_pixel_filter.cpp): both tests of every sample of a row, the mean test
// and the strength of the colour the demosaic would make of the 2 x 2 block
// ending at the sample.
//
// The block's R (and likewise B) sample is in the block's own column x or
// in column x - 1, by the column's Bayer flag. It weighs 9, the samples of
// its colour two columns and two rows towards the block's centre 3 each,
// the diagonal one 1: for column x the partners are at x - 2, for column
// x - 1 at x + 1. R sits on the rows with the row flag, B on the others;
// their partners are two rows towards the block's centre.
//
// The portable kernel tests the colour of the samples that pass the mean
// test only. AVX-512 works on 32 samples in 16-bit lanes: the mean test
// first, and the colour test for the blocks of 32 in which any sample
// passed it, with both column weightings computed and the lane's parity
// picking one.
#include <cstdlib>

#include "imaging/filters/filter_kernels.h"

#if VANTIX_HAVE_AVX2_KERNELS
// GCC 12 reports the undefined pass-through operands inside its own
// AVX-512 intrinsics as maybe uninitialized (a false positive of the
// compiler's headers, gone in GCC 13).
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#endif

namespace vantix::filter_detail {

namespace {

constexpr int32_t kBorder = 2;
constexpr int32_t kMeanThreshold = 30;
constexpr int32_t kColourThreshold = 30;

// The rows a screen reads: the mean's (y - 2, y, y + 2), and the rows of
// the block's R and B samples and of their partners.
struct ScreenRows {
    const uint8_t* up2;
    const uint8_t* row;
    const uint8_t* down2;
    const uint8_t* red;
    const uint8_t* redFar;
    const uint8_t* blue;
    const uint8_t* blueFar;
};

ScreenRows RowsOf(const HotPixelScreenJob& job) {
    const uint8_t* const* r = job.rows;
    return job.rowFlag ? ScreenRows{r[0], r[2], r[4], r[2], r[0], r[1], r[3]}
                       : ScreenRows{r[0], r[2], r[4], r[1], r[3], r[2], r[0]};
}

VANTIX_KERNEL_INLINE bool PassesMeanTest(const ScreenRows& rows, int32_t x) {
    const int32_t mean = (rows.row[x - 2] + rows.row[x + 2] + rows.up2[x] + rows.down2[x]) >> 2;
    return rows.row[x] - mean >= kMeanThreshold;
}

// 3 (far row's own column + own row's partner column) + 9 own + diagonal,
// for a sample in column `at` whose partners are in column `partner`.
VANTIX_KERNEL_INLINE int32_t Weighted(const uint8_t* own, const uint8_t* far, int32_t at, int32_t partner) {
    return 3 * (own[partner] + far[at]) + 9 * own[at] + far[partner];
}

VANTIX_KERNEL_INLINE bool ColourIsStrong(const ScreenRows& rows, const HotPixelScreenJob& job, int32_t x) {
    const bool flagged = (x & 1) == job.flaggedColumnParity;
    // In a flagged column R is in column x - 1 and B in column x.
    const int32_t redX = flagged ? x - 1 : x;
    const int32_t blueX = flagged ? x : x - 1;
    const int32_t red = ((Weighted(rows.red, rows.redFar, redX, flagged ? x + 1 : x - 2) * job.redGain) >> 11) & 0xFF;
    const int32_t blue =
        ((Weighted(rows.blue, rows.blueFar, blueX, flagged ? x - 2 : x + 1) * job.blueGain) >> 11) & 0xFF;
    const int32_t green = (rows.blue[redX] + rows.red[blueX]) >> 1;
    const int32_t strong = (std::abs(red - green) > kColourThreshold) + (std::abs(red - blue) > kColourThreshold) +
                           (std::abs(green - blue) > kColourThreshold);
    return strong >= 2;
}

VANTIX_KERNEL_INLINE void ScreenSamples(const ScreenRows& rows, const HotPixelScreenJob& job, int32_t from,
                                        int32_t to) {
    for (int32_t x = from; x < to; ++x) {
        job.flags[x] = static_cast<uint8_t>(PassesMeanTest(rows, x) && ColourIsStrong(rows, job, x));
    }
}

}  // namespace

bool HotPixelTests8(const HotPixelScreenJob& job, int32_t x) {
    const ScreenRows rows = RowsOf(job);
    return PassesMeanTest(rows, x) && ColourIsStrong(rows, job, x);
}

void HotPixelScreen8Baseline(const HotPixelScreenJob& job) {
    ScreenSamples(RowsOf(job), job, kBorder, job.width - kBorder);
}

#if VANTIX_HAVE_AVX2_KERNELS

namespace {

#define AVX512_INLINE VANTIX_KERNEL_AVX512 inline __attribute__((always_inline))

// 32 samples from p + offset, widened to 16-bit lanes.
AVX512_INLINE __m512i Load(const uint8_t* p, int32_t offset) {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + offset)));
}

// 3 (a + b) + 9 c + d.
AVX512_INLINE __m512i Weigh(__m512i a, __m512i b, __m512i c, __m512i d) {
    const __m512i pair = _mm512_add_epi16(a, b);
    return _mm512_add_epi16(_mm512_add_epi16(_mm512_add_epi16(pair, _mm512_slli_epi16(pair, 1)), d),
                            _mm512_add_epi16(c, _mm512_slli_epi16(c, 3)));
}

// ((weighted * gain) >> 11) & 0xFF: the product (below 2^21) taken apart
// into its high and low words.
AVX512_INLINE __m512i Gained(__m512i weighted, __m512i gain) {
    const __m512i low = _mm512_srli_epi16(_mm512_mullo_epi16(weighted, gain), 11);
    const __m512i high = _mm512_slli_epi16(_mm512_mulhi_epu16(weighted, gain), 5);
    return _mm512_and_si512(_mm512_or_si512(low, high), _mm512_set1_epi16(0xFF));
}

AVX512_INLINE __mmask32 FarApart(__m512i a, __m512i b) {
    return _mm512_cmpgt_epi16_mask(_mm512_abs_epi16(_mm512_sub_epi16(a, b)), _mm512_set1_epi16(kColourThreshold));
}

// The colour test of samples x .. x + 31; `flagged` holds the lanes of
// flagged columns.
AVX512_INLINE __mmask32 StrongColours(const ScreenRows& rows, int32_t x, __mmask32 flagged, __m512i redGain,
                                      __m512i blueGain) {
    const __m512i red[4] = {Load(rows.red, x - 2), Load(rows.red, x - 1), Load(rows.red, x), Load(rows.red, x + 1)};
    const __m512i redFar[4] = {Load(rows.redFar, x - 2), Load(rows.redFar, x - 1), Load(rows.redFar, x),
                               Load(rows.redFar, x + 1)};
    const __m512i blue[4] = {Load(rows.blue, x - 2), Load(rows.blue, x - 1), Load(rows.blue, x),
                             Load(rows.blue, x + 1)};
    const __m512i blueFar[4] = {Load(rows.blueFar, x - 2), Load(rows.blueFar, x - 1), Load(rows.blueFar, x),
                                Load(rows.blueFar, x + 1)};
    // Index 0..3 is column x - 2 .. x + 1. Own column x: partners at x - 2;
    // column x - 1: partners at x + 1.
    const __m512i redOwn = Weigh(red[0], redFar[2], red[2], redFar[0]);
    const __m512i redLeft = Weigh(red[3], redFar[1], red[1], redFar[3]);
    const __m512i blueOwn = Weigh(blue[0], blueFar[2], blue[2], blueFar[0]);
    const __m512i blueLeft = Weigh(blue[3], blueFar[1], blue[1], blueFar[3]);
    const __m512i r = Gained(_mm512_mask_blend_epi16(flagged, redOwn, redLeft), redGain);
    const __m512i b = Gained(_mm512_mask_blend_epi16(flagged, blueLeft, blueOwn), blueGain);
    const __m512i g = _mm512_srli_epi16(_mm512_mask_blend_epi16(flagged, _mm512_add_epi16(blue[2], red[1]),
                                                                _mm512_add_epi16(blue[1], red[2])),
                                        1);
    const __mmask32 redGreen = FarApart(r, g);
    const __mmask32 redBlue = FarApart(r, b);
    const __mmask32 greenBlue = FarApart(g, b);
    return (redGreen & redBlue) | (redGreen & greenBlue) | (redBlue & greenBlue);
}

}  // namespace

// The AVX2 level keeps the portable kernel: without 16-bit lanes across 512
// bits and mask registers the block test does not pay.
VANTIX_KERNEL_AVX2 void HotPixelScreen8Avx2(const HotPixelScreenJob& job) {
    ScreenSamples(RowsOf(job), job, kBorder, job.width - kBorder);
}

VANTIX_KERNEL_AVX512 void HotPixelScreen8Avx512(const HotPixelScreenJob& job) {
    const ScreenRows rows = RowsOf(job);
    const int32_t end = job.width - kBorder;
    // Blocks start at even columns (2, 34, ...), so lane i is flagged when
    // i has the flagged columns' parity.
    const __mmask32 flagged = job.flaggedColumnParity == 0 ? 0x55555555u : 0xAAAAAAAAu;
    const __m512i redGain = _mm512_set1_epi16(static_cast<int16_t>(job.redGain));
    const __m512i blueGain = _mm512_set1_epi16(static_cast<int16_t>(job.blueGain));
    const __m512i one = _mm512_set1_epi8(1);
    int32_t x = kBorder;
    // A block reads two samples past its last one, which stay inside the
    // row while the block ends at `end`.
    for (; x + 32 <= end; x += 32) {
        const __m512i sum = _mm512_add_epi16(_mm512_add_epi16(Load(rows.row, x - 2), Load(rows.row, x + 2)),
                                             _mm512_add_epi16(Load(rows.up2, x), Load(rows.down2, x)));
        const __m512i above = _mm512_sub_epi16(Load(rows.row, x), _mm512_srli_epi16(sum, 2));
        __mmask32 pass = _mm512_cmpge_epi16_mask(above, _mm512_set1_epi16(kMeanThreshold));
        if (pass != 0) {
            pass &= StrongColours(rows, x, flagged, redGain, blueGain);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(job.flags + x),
                            _mm512_castsi512_si256(_mm512_maskz_mov_epi8(pass, one)));
    }
    ScreenSamples(rows, job, x, end);
}

#endif

}  // namespace vantix::filter_detail
