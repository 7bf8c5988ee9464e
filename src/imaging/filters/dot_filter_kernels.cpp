// Row kernels of the dot filter's fill: for each marked sample of a row, the
// values of the nearest unmarked samples to its left and to its right.
//
// Portable: a marked run shares its two ends, so the row is walked run by
// run (memchr to the next mark) and each run's ends are written over it.
// On colour mosaics most samples are marked, in short runs, and the walk
// then costs a few branches per run.
//
// AVX-512: 64 samples (32 of 16 bits) at a time, without branches. Each
// lane holds the index of its own sample when unmarked; a prefix maximum
// (suffix minimum for the right side) in log2(lanes) permute steps carries
// the nearest unmarked index to every lane, and one more permute fetches its
// sample. Lanes whose nearest unmarked sample lies in an earlier (later)
// block take the value carried from that block, so the left side runs from
// the first block on and the right side from the last one back.
#include "imaging/filters/filter_kernels.h"

#if VANTIX_HAVE_AVX2_KERNELS
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#endif

namespace vantix::filter_detail {

namespace {

template <typename S, typename M>
void NearestByRuns(const S* samples, const M* marks, int32_t count, S* left, S* right) {
    ForEachMarkedRun(marks, count, [&](int32_t first, int32_t end) {
        const S before = samples[first - 1];
        const S after = samples[end];
        for (int32_t c = first; c < end; ++c) {
            left[c] = before;
            right[c] = after;
        }
    });
}

template <typename S>
void NearestUnmarkedRunsOf(const S* samples, const void* marks, int32_t markBytes, int32_t count, S* left,
                           S* right) {
    if (markBytes == 1) {
        NearestByRuns(samples, static_cast<const uint8_t*>(marks), count, left, right);
    } else {
        NearestByRuns(samples, static_cast<const uint16_t*>(marks), count, left, right);
    }
}

#if VANTIX_HAVE_AVX2_KERNELS

// The lanes of a block that hold one of the `inside` samples left in the row.
inline uint64_t InsideLanes64(int32_t inside) { return inside >= 64 ? ~0ULL : inside <= 0 ? 0ULL : (1ULL << inside) - 1; }
inline uint32_t InsideLanes32(int32_t inside) { return inside >= 32 ? ~0U : inside <= 0 ? 0U : (1U << inside) - 1; }

// Which lanes of the block at `base` hold a mark (lanes past `count` do not).
template <typename M, int Lanes>
VANTIX_KERNEL_AVX512 inline uint64_t MarkedLanes(const M* marks, int32_t base, int32_t count) {
    const int32_t inside = count - base;
    if constexpr (sizeof(M) == 1 && Lanes == 64) {
        const __m512i m = _mm512_maskz_loadu_epi8(InsideLanes64(inside), marks + base);
        return _mm512_test_epi8_mask(m, m);
    } else if constexpr (sizeof(M) == 1) {
        const __m256i m = _mm256_maskz_loadu_epi8(InsideLanes32(inside), marks + base);
        return _mm256_test_epi8_mask(m, m);
    } else {
        // 16-bit marks, 32 per register.
        uint64_t marked = 0;
        for (int32_t half = 0; half < Lanes / 32; ++half) {
            const __m512i m = _mm512_maskz_loadu_epi16(InsideLanes32(inside - 32 * half), marks + base + 32 * half);
            marked |= static_cast<uint64_t>(_mm512_test_epi16_mask(m, m)) << (32 * half);
        }
        return marked;
    }
}

// 8-bit samples, 64 lanes of bytes.
template <typename M>
VANTIX_KERNEL_AVX512 void NearestInBlocks8(const uint8_t* samples, const M* marks, int32_t count, uint8_t* left,
                                           uint8_t* right) {
    alignas(64) static constexpr uint8_t kIota[64] = {
        0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
        22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
        44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
    const __m512i iota = _mm512_load_si512(kIota);
    const __m512i one = _mm512_set1_epi8(1);
    const __m512i none = _mm512_set1_epi8(64);
    const int32_t blocks = (count + 63) / 64;
    // Left side: one more than the index of the nearest unmarked lane at or
    // before each lane (0: none in this block), by a prefix maximum.
    __m512i carry = _mm512_setzero_si512();
    for (int32_t b = 0; b < blocks; ++b) {
        const int32_t base = 64 * b;
        const uint64_t unmarked = ~MarkedLanes<M, 64>(marks, base, count);
        const __mmask64 store = InsideLanes64(count - base);
        const __m512i block = _mm512_maskz_loadu_epi8(store, samples + base);
        __m512i index = _mm512_maskz_add_epi8(unmarked, iota, one);
        for (int32_t k = 1; k < 64; k <<= 1) {
            const __m512i shifted =
                _mm512_maskz_permutexvar_epi8(~0ULL << k, _mm512_sub_epi8(iota, _mm512_set1_epi8(static_cast<char>(k))), index);
            index = _mm512_max_epu8(index, shifted);
        }
        const __mmask64 found = _mm512_test_epi8_mask(index, index);
        const __m512i values =
            _mm512_mask_permutexvar_epi8(carry, found, _mm512_sub_epi8(index, one), block);
        _mm512_mask_storeu_epi8(left + base, store, values);
        carry = _mm512_permutexvar_epi8(_mm512_set1_epi8(63), values);
    }
    // Right side: the index of the nearest unmarked lane at or after each
    // lane (64: none in this block), by a suffix minimum.
    carry = _mm512_setzero_si512();
    for (int32_t b = blocks - 1; b >= 0; --b) {
        const int32_t base = 64 * b;
        const uint64_t unmarked = ~MarkedLanes<M, 64>(marks, base, count);
        const __mmask64 store = InsideLanes64(count - base);
        const __m512i block = _mm512_maskz_loadu_epi8(store, samples + base);
        __m512i index = _mm512_mask_mov_epi8(none, unmarked, iota);
        for (int32_t k = 1; k < 64; k <<= 1) {
            const __m512i shifted = _mm512_mask_permutexvar_epi8(
                none, ~0ULL >> k, _mm512_add_epi8(iota, _mm512_set1_epi8(static_cast<char>(k))), index);
            index = _mm512_min_epu8(index, shifted);
        }
        const __mmask64 found = _mm512_cmplt_epu8_mask(index, none);
        const __m512i values = _mm512_mask_permutexvar_epi8(carry, found, index, block);
        _mm512_mask_storeu_epi8(right + base, store, values);
        carry = _mm512_permutexvar_epi8(_mm512_setzero_si512(), values);
    }
}

// 16-bit samples, 32 lanes of words.
template <typename M>
VANTIX_KERNEL_AVX512 void NearestInBlocks16(const uint16_t* samples, const M* marks, int32_t count, uint16_t* left,
                                            uint16_t* right) {
    alignas(64) static constexpr uint16_t kIota[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                                       11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                                       22, 23, 24, 25, 26, 27, 28, 29, 30, 31};
    const __m512i iota = _mm512_load_si512(kIota);
    const __m512i one = _mm512_set1_epi16(1);
    const __m512i none = _mm512_set1_epi16(32);
    const int32_t blocks = (count + 31) / 32;
    __m512i carry = _mm512_setzero_si512();
    for (int32_t b = 0; b < blocks; ++b) {
        const int32_t base = 32 * b;
        const __mmask32 unmarked = static_cast<__mmask32>(~MarkedLanes<M, 32>(marks, base, count));
        const __mmask32 store = InsideLanes32(count - base);
        const __m512i block = _mm512_maskz_loadu_epi16(store, samples + base);
        __m512i index = _mm512_maskz_add_epi16(unmarked, iota, one);
        for (int32_t k = 1; k < 32; k <<= 1) {
            const __m512i shifted = _mm512_maskz_permutexvar_epi16(
                ~0U << k, _mm512_sub_epi16(iota, _mm512_set1_epi16(static_cast<int16_t>(k))), index);
            index = _mm512_max_epu16(index, shifted);
        }
        const __mmask32 found = _mm512_test_epi16_mask(index, index);
        const __m512i values = _mm512_mask_permutexvar_epi16(carry, found, _mm512_sub_epi16(index, one), block);
        _mm512_mask_storeu_epi16(left + base, store, values);
        carry = _mm512_permutexvar_epi16(_mm512_set1_epi16(31), values);
    }
    carry = _mm512_setzero_si512();
    for (int32_t b = blocks - 1; b >= 0; --b) {
        const int32_t base = 32 * b;
        const __mmask32 unmarked = static_cast<__mmask32>(~MarkedLanes<M, 32>(marks, base, count));
        const __mmask32 store = InsideLanes32(count - base);
        const __m512i block = _mm512_maskz_loadu_epi16(store, samples + base);
        __m512i index = _mm512_mask_mov_epi16(none, unmarked, iota);
        for (int32_t k = 1; k < 32; k <<= 1) {
            const __m512i shifted = _mm512_mask_permutexvar_epi16(
                none, ~0U >> k, _mm512_add_epi16(iota, _mm512_set1_epi16(static_cast<int16_t>(k))), index);
            index = _mm512_min_epu16(index, shifted);
        }
        const __mmask32 found = _mm512_cmplt_epu16_mask(index, none);
        const __m512i values = _mm512_mask_permutexvar_epi16(carry, found, index, block);
        _mm512_mask_storeu_epi16(right + base, store, values);
        carry = _mm512_permutexvar_epi16(_mm512_setzero_si512(), values);
    }
}

#endif

}  // namespace

void NearestUnmarked8Baseline(const uint8_t* samples, const void* marks, int32_t markBytes, int32_t count,
                              uint8_t* left, uint8_t* right) {
    NearestUnmarkedRunsOf(samples, marks, markBytes, count, left, right);
}

void NearestUnmarked16Baseline(const uint16_t* samples, const void* marks, int32_t markBytes, int32_t count,
                               uint16_t* left, uint16_t* right) {
    NearestUnmarkedRunsOf(samples, marks, markBytes, count, left, right);
}

#if VANTIX_HAVE_AVX2_KERNELS
void NearestUnmarked8Avx512(const uint8_t* samples, const void* marks, int32_t markBytes, int32_t count,
                            uint8_t* left, uint8_t* right) {
    if (markBytes == 1) {
        NearestInBlocks8(samples, static_cast<const uint8_t*>(marks), count, left, right);
    } else {
        NearestInBlocks8(samples, static_cast<const uint16_t*>(marks), count, left, right);
    }
}

void NearestUnmarked16Avx512(const uint16_t* samples, const void* marks, int32_t markBytes, int32_t count,
                             uint16_t* left, uint16_t* right) {
    if (markBytes == 1) {
        NearestInBlocks16(samples, static_cast<const uint8_t*>(marks), count, left, right);
    } else {
        NearestInBlocks16(samples, static_cast<const uint16_t*>(marks), count, left, right);
    }
}
#endif

}  // namespace vantix::filter_detail
