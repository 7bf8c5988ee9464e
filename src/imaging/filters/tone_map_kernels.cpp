// Row kernels of the lookup-table filters (gamma, contrast, brightness and
// their fused form): every touched sample is replaced by its table entry.
//
// 8-bit samples, AVX-512: two byte permutes across a pair of registers look
// up 64 samples in the lower and the upper half of the 256-entry table, and
// the sample's top bit picks between them. 16-bit samples: 65536 entries
// are too many for permutes, and vector gathers measured slower than plain
// loads; the portable loop walks all four samples of a 64-bit pixel to keep
// one loop, the faster one looks up only the three it changes. 16-bit
// samples with a low byte of 0 reach only 256 entries, which permutes do
// look up: the entries' low bytes and high bytes as two 256-byte tables.
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

template <typename T>
VANTIX_KERNEL_INLINE void ToneRowScalar(T* row, int32_t pixels, int32_t step, const T* table) {
    const int32_t count = pixels * step;
    if (step == 4) {
        // One pass over all samples, keeping every fourth as it was: no
        // per-pixel regrouping, so the loop vectorises as a plain one.
        for (int32_t i = 0; i < count; ++i) {
            const T previous = row[i];
            row[i] = (i & 3) == 3 ? previous : table[previous];
        }
    } else {
        for (int32_t i = 0; i < count; ++i) {
            row[i] = table[row[i]];
        }
    }
}

}  // namespace

void ToneRow8Baseline(uint8_t* row, int32_t pixels, int32_t step, const uint8_t* table) {
    ToneRowScalar(row, pixels, step, table);
}

void ToneRow16Baseline(uint16_t* row, int32_t pixels, int32_t step, const uint16_t* table) {
    ToneRowScalar(row, pixels, step, table);
}

void ToneRow16PerPixel(uint16_t* row, int32_t pixels, int32_t step, const uint16_t* table) {
    if (step != 4) {
        const int32_t count = pixels * step;
        for (int32_t i = 0; i < count; ++i) {
            row[i] = table[row[i]];
        }
        return;
    }
    for (int32_t x = 0; x < pixels; ++x, row += 4) {
        const uint16_t b = table[row[0]];
        const uint16_t g = table[row[1]];
        const uint16_t r = table[row[2]];
        row[0] = b;
        row[1] = g;
        row[2] = r;
    }
}

void ToneRowHigh16Baseline(uint16_t* row, int32_t pixels, int32_t step, const uint8_t* low, const uint8_t* high) {
    const int32_t count = pixels * step;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t index = row[i] >> 8;
        const auto mapped = static_cast<uint16_t>(low[index] | high[index] << 8);
        row[i] = step == 4 && (i & 3) == 3 ? row[i] : mapped;
    }
}

#if VANTIX_HAVE_AVX2_KERNELS

namespace {

// Bytes of `index` looked up in a 256-byte table held in four registers.
VANTIX_KERNEL_AVX512 inline __attribute__((always_inline)) __m512i LookUp256(const __m512i (&table)[4], __m512i index) {
    const __m512i lower = _mm512_permutex2var_epi8(table[0], index, table[1]);
    const __m512i upper = _mm512_permutex2var_epi8(table[2], index, table[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), lower, upper);
}

}  // namespace

VANTIX_KERNEL_AVX512 void ToneRowHigh16Avx512(uint16_t* row, int32_t pixels, int32_t step, const uint8_t* low,
                                              const uint8_t* high) {
    const int32_t count = pixels * step;
    const __m512i lowTable[4] = {_mm512_loadu_si512(low), _mm512_loadu_si512(low + 64), _mm512_loadu_si512(low + 128),
                                 _mm512_loadu_si512(low + 192)};
    const __m512i highTable[4] = {_mm512_loadu_si512(high), _mm512_loadu_si512(high + 64),
                                  _mm512_loadu_si512(high + 128), _mm512_loadu_si512(high + 192)};
    // Chunks start at multiples of 32 samples, so with step 4 the kept
    // samples are every fourth word of every chunk.
    const __mmask32 touched = step == 4 ? 0x77777777u : ~0u;
    constexpr __mmask64 kHighBytes = 0xAAAAAAAAAAAAAAAAull;
    for (int32_t i = 0; i < count; i += 32) {
        const int32_t left = count - i;
        const __mmask32 inside = left >= 32 ? ~0u : (1u << left) - 1;
        const __m512i samples = _mm512_maskz_loadu_epi16(inside, row + i);
        // The high byte in both bytes of each sample.
        const __m512i index = _mm512_or_si512(samples, _mm512_srli_epi16(samples, 8));
        const __m512i mapped = _mm512_mask_blend_epi8(kHighBytes, LookUp256(lowTable, index), LookUp256(highTable, index));
        _mm512_mask_storeu_epi16(row + i, inside & touched, mapped);
    }
}

VANTIX_KERNEL_AVX512 void ToneRow8Avx512(uint8_t* row, int32_t pixels, int32_t step, const uint8_t* table) {
    const int32_t count = pixels * step;
    const __m512i t0 = _mm512_loadu_si512(table);
    const __m512i t1 = _mm512_loadu_si512(table + 64);
    const __m512i t2 = _mm512_loadu_si512(table + 128);
    const __m512i t3 = _mm512_loadu_si512(table + 192);
    // Chunks start at multiples of 64 samples, so with step 4 the kept
    // samples are every fourth byte of every chunk.
    const __mmask64 touched = step == 4 ? 0x7777777777777777ull : ~0ull;
    for (int32_t i = 0; i < count; i += 64) {
        const int32_t left = count - i;
        const __mmask64 inside = left >= 64 ? ~0ull : (1ull << left) - 1;
        const __m512i samples = _mm512_maskz_loadu_epi8(inside, row + i);
        const __m512i lower = _mm512_permutex2var_epi8(t0, samples, t1);
        const __m512i upper = _mm512_permutex2var_epi8(t2, samples, t3);
        const __m512i mapped = _mm512_mask_blend_epi8(_mm512_movepi8_mask(samples), lower, upper);
        _mm512_mask_storeu_epi8(row + i, inside & touched, mapped);
    }
}

#endif

}  // namespace vantix::filter_detail
