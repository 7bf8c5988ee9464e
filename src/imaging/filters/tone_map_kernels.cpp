// Row kernels of the lookup-table filters (gamma, contrast, brightness and
// their fused form): every touched sample is replaced by its table entry.
//
// 8-bit samples, AVX-512: two byte permutes across a pair of registers look
// up 64 samples in the lower and the upper half of the 256-entry table, and
// the sample's top bit picks between them. 16-bit samples: 65536 entries
// are too many for permutes; AVX-512 and AVX2 gather 16 or 8 entries at a
// time (each gather reads a 32-bit word, the entry in its low half).
#include "imaging/filters/filter_kernels.h"

#if VANTIX_HAVE_AVX2_KERNELS
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

#if VANTIX_HAVE_AVX2_KERNELS

VANTIX_KERNEL_AVX2 void ToneRow16Avx2(uint16_t* row, int32_t pixels, int32_t step, const uint16_t* table) {
    const int32_t count = pixels * step;
    const auto* base = reinterpret_cast<const int*>(table);
    const __m256i low = _mm256_set1_epi32(0xFFFF);
    // Samples with (i & 3) == 3 keep their value when step is 4.
    const __m256i keep = step == 4 ? _mm256_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0)
                                   : _mm256_setzero_si256();
    int32_t i = 0;
    for (; i + 16 <= count; i += 16) {
        auto* at = reinterpret_cast<__m256i*>(row + i);
        const __m256i samples = _mm256_loadu_si256(at);
        const __m256i first = _mm256_cvtepu16_epi32(_mm256_castsi256_si128(samples));
        const __m256i second = _mm256_cvtepu16_epi32(_mm256_extracti128_si256(samples, 1));
        const __m256i a = _mm256_and_si256(_mm256_i32gather_epi32(base, first, 2), low);
        const __m256i b = _mm256_and_si256(_mm256_i32gather_epi32(base, second, 2), low);
        // packus works per 128-bit lane; the permute puts the halves back in order.
        const __m256i mapped = _mm256_permute4x64_epi64(_mm256_packus_epi32(a, b), 0xD8);
        _mm256_storeu_si256(at, _mm256_blendv_epi8(mapped, samples, keep));
    }
    for (; i < count; ++i) {
        row[i] = step == 4 && (i & 3) == 3 ? row[i] : table[row[i]];
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

VANTIX_KERNEL_AVX512 void ToneRow16Avx512(uint16_t* row, int32_t pixels, int32_t step, const uint16_t* table) {
    const int32_t count = pixels * step;
    const auto* base = reinterpret_cast<const int*>(table);
    const __mmask32 touched = step == 4 ? 0x77777777u : ~0u;
    for (int32_t i = 0; i < count; i += 32) {
        const int32_t left = count - i;
        const __mmask32 inside = left >= 32 ? ~0u : (1u << left) - 1;
        const __m512i samples = _mm512_maskz_loadu_epi16(inside, row + i);
        const __m512i first = _mm512_cvtepu16_epi32(_mm512_castsi512_si256(samples));
        const __m512i second = _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(samples, 1));
        const __m256i a = _mm512_cvtepi32_epi16(_mm512_i32gather_epi32(first, base, 2));
        const __m256i b = _mm512_cvtepi32_epi16(_mm512_i32gather_epi32(second, base, 2));
        const __m512i mapped = _mm512_inserti64x4(_mm512_castsi256_si512(a), b, 1);
        _mm512_mask_storeu_epi16(row + i, inside & touched, mapped);
    }
}

#endif

}  // namespace vantix::filter_detail
