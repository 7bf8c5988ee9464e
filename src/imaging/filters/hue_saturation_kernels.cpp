// Row kernels of the hue and saturation filter (see hue_saturation.cpp for
// the colour circle).
//
// Per pixel the work is a short run of integer operations and selects with
// three lookups in small fixed tables. The portable kernel does one pixel at
// a time. The vector kernels do the same operations on 8 (AVX2) or 16
// (AVX-512) pixels in 32-bit lanes: the reciprocal comes from a gather, the
// sextant's mask and multiplier from a register permute. AVX-512 takes the
// B, G, R triples apart and puts them back together with byte permutes
// across the register; AVX2, whose byte shuffles stay inside 128-bit halves,
// moves them through small arrays.
#include <algorithm>
#include <array>
#include <cstddef>

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

// 0xFF0000 / d, truncated, so that a division by the chroma becomes a
// multiplication and a shift by 16.
constexpr std::array<int32_t, 256> kReciprocal = [] {
    std::array<int32_t, 256> table{};
    for (int32_t d = 1; d < 256; ++d) {
        table[d] = 0xFF0000 / d;
    }
    return table;
}();

// Channel mask and multiplier per sextant of the rebuild, repeated so that a
// sextant index of up to 15 needs no reduction. In sextant k the masked
// channels sit at the top of the new width and the multiplier moves the
// remaining channel on the packed value R << 16 | G << 8 | B:
//   0: R, B top, B falls   1: R top, G rises   2: R, G top, R falls
//   3: G top, B rises      4: G, B top, G falls 5: B top, R rises
alignas(64) constexpr int32_t kSextantMask[16] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF,
                                                  0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF,
                                                  0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00};
alignas(64) constexpr int32_t kSextantMultiplier[16] = {-1, 256, -65536, 1, -256, 65536, -1, 256,
                                                        -65536, 1, -256, 65536, -1, 256, -65536, 1};

// The new packed R << 16 | G << 8 | B of one pixel of 8-bit channels.
// Written with selects rather than branches: the sextant tests follow the
// picture's colours and would mispredict often.
VANTIX_KERNEL_INLINE int32_t ShiftPixel(int32_t b, int32_t g, int32_t r, const HueShift& shift) {
    // The sextant base and the numerator of the fraction travelled through
    // it (over the chroma): the larger of R and G decides between sextants
    // 0..1 and 2..3, B on top makes it 4..5, and a negative numerator steps
    // back one sextant.
    const bool redOverGreen = r >= g;
    const int32_t larger = redOverGreen ? r : g;
    const int32_t smaller = redOverGreen ? g : r;
    int32_t base = redOverGreen ? 1 : 3;
    int32_t numerator = redOverGreen ? g - b : b - r;
    const int32_t minimum = std::min(b, smaller);
    const bool blueOnTop = b > larger;
    const int32_t maximum = blueOnTop ? b : larger;
    base = blueOnTop ? 5 : base;
    numerator = blueOnTop ? r - g : numerator;
    const bool behind = numerator < 0;
    base -= behind ? 1 : 0;
    numerator += behind ? maximum - minimum : 0;
    const int32_t n = maximum + minimum;
    const int32_t d = maximum - minimum;
    // New chroma: scaled, and no wider than the lightness leaves room for;
    // then the new smallest channel and width.
    const int32_t scaled = (d * shift.saturation * 256 + 0x8000) >> 16;
    const int32_t m = std::min(std::min(n, 510 - n), scaled);
    const int32_t low = (n - m) >> 1;
    const int32_t width = ((n + m) >> 1) - low;
    // Position in the turned sextant, 0..254. A gray pixel (d = 0) has width
    // 0, so the hue term adds nothing and needs no test.
    int32_t v = ((numerator * kReciprocal[static_cast<size_t>(d)] + 0x8000) >> 16) + shift.remainder;
    int32_t index = base + shift.sextants;
    const bool wraps = v > 254;
    index += wraps ? 1 : 0;
    v -= wraps ? 255 : 0;
    return low * 0x010101 + ((width * 0x010101) & kSextantMask[index]) +
           ((width * v + 128) >> 8) * kSextantMultiplier[index];
}

// Pixels [from, to) of a row, one at a time.
template <typename T, int32_t kStep, bool kClearFourth>
VANTIX_KERNEL_INLINE void ShiftPixels(uint8_t* row, int32_t from, int32_t to, const HueShift& shift) {
    // 16-bit channels are worked on in their high byte; the low byte becomes 0.
    constexpr int32_t kDown = sizeof(T) == 1 ? 0 : 8;
    T* p = reinterpret_cast<T*>(row) + static_cast<ptrdiff_t>(from) * kStep;
    for (int32_t x = from; x < to; ++x, p += kStep) {
        const int32_t packed = ShiftPixel(p[0] >> kDown, p[1] >> kDown, p[2] >> kDown, shift);
        p[0] = static_cast<T>((packed & 0xFF) << kDown);
        p[1] = static_cast<T>(((packed >> 8) & 0xFF) << kDown);
        p[2] = static_cast<T>(((packed >> 16) & 0xFF) << kDown);
        if constexpr (kClearFourth) {
            p[3] = 0;
        }
    }
}

VANTIX_KERNEL_INLINE void ShiftPixelsOfFormat(uint8_t* row, int32_t from, int32_t to, int32_t bytesPerPixel,
                                              const HueShift& shift) {
    switch (bytesPerPixel) {
    case 3: ShiftPixels<uint8_t, 3, false>(row, from, to, shift); break;
    case 4: ShiftPixels<uint8_t, 4, false>(row, from, to, shift); break;
    case 6: ShiftPixels<uint16_t, 3, false>(row, from, to, shift); break;
    default: ShiftPixels<uint16_t, 4, true>(row, from, to, shift); break;
    }
}

}  // namespace

void HueRowBaseline(uint8_t* row, int32_t pixels, int32_t bytesPerPixel, const HueShift& shift) {
    ShiftPixelsOfFormat(row, 0, pixels, bytesPerPixel, shift);
}

#if VANTIX_HAVE_AVX2_KERNELS

namespace {

#define AVX2_INLINE VANTIX_KERNEL_AVX2 inline __attribute__((always_inline))
#define AVX512_INLINE VANTIX_KERNEL_AVX512 inline __attribute__((always_inline))

// ShiftPixel on eight pixels.
AVX2_INLINE __m256i ShiftPixels8(__m256i b, __m256i g, __m256i r, const HueShift& shift) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i greenOverRed = _mm256_cmpgt_epi32(g, r);
    const __m256i larger = _mm256_max_epi32(r, g);
    const __m256i smaller = _mm256_min_epi32(r, g);
    __m256i base = _mm256_blendv_epi8(_mm256_set1_epi32(1), _mm256_set1_epi32(3), greenOverRed);
    __m256i numerator = _mm256_blendv_epi8(_mm256_sub_epi32(g, b), _mm256_sub_epi32(b, r), greenOverRed);
    const __m256i minimum = _mm256_min_epi32(b, smaller);
    const __m256i blueOnTop = _mm256_cmpgt_epi32(b, larger);
    const __m256i maximum = _mm256_max_epi32(b, larger);
    base = _mm256_blendv_epi8(base, _mm256_set1_epi32(5), blueOnTop);
    numerator = _mm256_blendv_epi8(numerator, _mm256_sub_epi32(r, g), blueOnTop);
    const __m256i behind = _mm256_cmpgt_epi32(zero, numerator);
    const __m256i d = _mm256_sub_epi32(maximum, minimum);
    base = _mm256_add_epi32(base, behind);  // behind is -1 where set
    numerator = _mm256_add_epi32(numerator, _mm256_and_si256(behind, d));
    const __m256i n = _mm256_add_epi32(maximum, minimum);
    const __m256i scaled = _mm256_srai_epi32(
        _mm256_add_epi32(_mm256_mullo_epi32(d, _mm256_set1_epi32(shift.saturation * 256)), _mm256_set1_epi32(0x8000)),
        16);
    const __m256i m = _mm256_min_epi32(_mm256_min_epi32(n, _mm256_sub_epi32(_mm256_set1_epi32(510), n)), scaled);
    const __m256i low = _mm256_srai_epi32(_mm256_sub_epi32(n, m), 1);
    const __m256i width = _mm256_sub_epi32(_mm256_srai_epi32(_mm256_add_epi32(n, m), 1), low);
    const __m256i reciprocal = _mm256_i32gather_epi32(kReciprocal.data(), d, 4);
    __m256i v = _mm256_add_epi32(
        _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(numerator, reciprocal), _mm256_set1_epi32(0x8000)), 16),
        _mm256_set1_epi32(shift.remainder));
    __m256i index = _mm256_add_epi32(base, _mm256_set1_epi32(shift.sextants));
    const __m256i wraps = _mm256_cmpgt_epi32(v, _mm256_set1_epi32(254));
    index = _mm256_sub_epi32(index, wraps);
    v = _mm256_sub_epi32(v, _mm256_and_si256(wraps, _mm256_set1_epi32(255)));
    // The permute has eight entries: fold the index (0..11) into 0..5.
    index = _mm256_sub_epi32(index, _mm256_and_si256(_mm256_cmpgt_epi32(index, _mm256_set1_epi32(5)),
                                                     _mm256_set1_epi32(6)));
    const __m256i mask = _mm256_permutevar8x32_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(kSextantMask)), index);
    const __m256i multiplier =
        _mm256_permutevar8x32_epi32(_mm256_load_si256(reinterpret_cast<const __m256i*>(kSextantMultiplier)), index);
    const __m256i gray = _mm256_set1_epi32(0x010101);
    const __m256i travel = _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(width, v), _mm256_set1_epi32(128)), 8);
    return _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(low, gray),
                                             _mm256_and_si256(_mm256_mullo_epi32(width, gray), mask)),
                            _mm256_mullo_epi32(travel, multiplier));
}

template <typename T, int32_t kStep, bool kClearFourth>
AVX2_INLINE void HueRowAvx2Of(uint8_t* row, int32_t pixels, const HueShift& shift) {
    constexpr int32_t kDown = sizeof(T) == 1 ? 0 : 8;
    alignas(32) int32_t b[8];
    alignas(32) int32_t g[8];
    alignas(32) int32_t r[8];
    alignas(32) int32_t packed[8];
    T* samples = reinterpret_cast<T*>(row);
    int32_t x = 0;
    for (; x + 8 <= pixels; x += 8) {
        T* p = samples + static_cast<ptrdiff_t>(x) * kStep;
        for (int32_t i = 0; i < 8; ++i) {
            b[i] = p[i * kStep] >> kDown;
            g[i] = p[i * kStep + 1] >> kDown;
            r[i] = p[i * kStep + 2] >> kDown;
        }
        const __m256i result =
            ShiftPixels8(_mm256_load_si256(reinterpret_cast<const __m256i*>(b)),
                         _mm256_load_si256(reinterpret_cast<const __m256i*>(g)),
                         _mm256_load_si256(reinterpret_cast<const __m256i*>(r)), shift);
        _mm256_store_si256(reinterpret_cast<__m256i*>(packed), result);
        for (int32_t i = 0; i < 8; ++i) {
            p[i * kStep] = static_cast<T>((packed[i] & 0xFF) << kDown);
            p[i * kStep + 1] = static_cast<T>(((packed[i] >> 8) & 0xFF) << kDown);
            p[i * kStep + 2] = static_cast<T>(((packed[i] >> 16) & 0xFF) << kDown);
            if constexpr (kClearFourth) {
                p[i * kStep + 3] = 0;
            }
        }
    }
    ShiftPixels<T, kStep, kClearFourth>(row, x, pixels, shift);
}

// ShiftPixel on sixteen pixels.
AVX512_INLINE __m512i ShiftPixels16(__m512i b, __m512i g, __m512i r, const HueShift& shift) {
    const __mmask16 greenOverRed = _mm512_cmpgt_epi32_mask(g, r);
    const __m512i larger = _mm512_max_epi32(r, g);
    const __m512i smaller = _mm512_min_epi32(r, g);
    __m512i base = _mm512_mask_blend_epi32(greenOverRed, _mm512_set1_epi32(1), _mm512_set1_epi32(3));
    __m512i numerator = _mm512_mask_blend_epi32(greenOverRed, _mm512_sub_epi32(g, b), _mm512_sub_epi32(b, r));
    const __m512i minimum = _mm512_min_epi32(b, smaller);
    const __mmask16 blueOnTop = _mm512_cmpgt_epi32_mask(b, larger);
    const __m512i maximum = _mm512_max_epi32(b, larger);
    base = _mm512_mask_mov_epi32(base, blueOnTop, _mm512_set1_epi32(5));
    numerator = _mm512_mask_sub_epi32(numerator, blueOnTop, r, g);
    const __mmask16 behind = _mm512_cmplt_epi32_mask(numerator, _mm512_setzero_si512());
    const __m512i d = _mm512_sub_epi32(maximum, minimum);
    base = _mm512_mask_sub_epi32(base, behind, base, _mm512_set1_epi32(1));
    numerator = _mm512_mask_add_epi32(numerator, behind, numerator, d);
    const __m512i n = _mm512_add_epi32(maximum, minimum);
    const __m512i scaled = _mm512_srai_epi32(
        _mm512_add_epi32(_mm512_mullo_epi32(d, _mm512_set1_epi32(shift.saturation * 256)), _mm512_set1_epi32(0x8000)),
        16);
    const __m512i m = _mm512_min_epi32(_mm512_min_epi32(n, _mm512_sub_epi32(_mm512_set1_epi32(510), n)), scaled);
    const __m512i low = _mm512_srai_epi32(_mm512_sub_epi32(n, m), 1);
    const __m512i width = _mm512_sub_epi32(_mm512_srai_epi32(_mm512_add_epi32(n, m), 1), low);
    const __m512i reciprocal = _mm512_i32gather_epi32(d, kReciprocal.data(), 4);
    __m512i v = _mm512_add_epi32(
        _mm512_srai_epi32(_mm512_add_epi32(_mm512_mullo_epi32(numerator, reciprocal), _mm512_set1_epi32(0x8000)), 16),
        _mm512_set1_epi32(shift.remainder));
    __m512i index = _mm512_add_epi32(base, _mm512_set1_epi32(shift.sextants));
    const __mmask16 wraps = _mm512_cmpgt_epi32_mask(v, _mm512_set1_epi32(254));
    index = _mm512_mask_add_epi32(index, wraps, index, _mm512_set1_epi32(1));
    v = _mm512_mask_sub_epi32(v, wraps, v, _mm512_set1_epi32(255));
    const __m512i mask = _mm512_permutexvar_epi32(index, _mm512_load_si512(kSextantMask));
    const __m512i multiplier = _mm512_permutexvar_epi32(index, _mm512_load_si512(kSextantMultiplier));
    const __m512i gray = _mm512_set1_epi32(0x010101);
    const __m512i travel = _mm512_srai_epi32(_mm512_add_epi32(_mm512_mullo_epi32(width, v), _mm512_set1_epi32(128)), 8);
    return _mm512_add_epi32(_mm512_add_epi32(_mm512_mullo_epi32(low, gray),
                                             _mm512_and_si512(_mm512_mullo_epi32(width, gray), mask)),
                            _mm512_mullo_epi32(travel, multiplier));
}

// Byte permutes between a format's pixels and 32-bit lanes B | G << 8 | R << 16,
// sixteen pixels at a time. For 16-bit channels the lanes take the high bytes.
struct alignas(64) BytePermute {
    uint8_t index[64];
};

// Lane byte 4i + c (c < 3) from byte pixelBytes * i + sampleBytes * c + high.
constexpr BytePermute GatherIndex(int32_t pixelBytes, int32_t sampleBytes) {
    BytePermute permute{};
    for (int32_t i = 0; i < 16; ++i) {
        for (int32_t c = 0; c < 4; ++c) {
            permute.index[4 * i + c] = static_cast<uint8_t>(c < 3 ? pixelBytes * i + sampleBytes * c + sampleBytes - 1 : 0);
        }
    }
    return permute;
}

// Output byte `first + j` of a format's sixteen pixels from the lane bytes:
// the index of the lane byte, and in `keep` whether the byte takes it (the
// low bytes of 16-bit channels and a cleared fourth word take 0).
struct ScatterPlan {
    BytePermute permute;
    uint64_t keep;
};

constexpr ScatterPlan ScatterIndex(int32_t pixelBytes, int32_t sampleBytes, int32_t first) {
    ScatterPlan plan{};
    for (int32_t j = 0; j < 64; ++j) {
        const int32_t byte = first + j;
        const int32_t pixel = byte / pixelBytes;
        const int32_t channel = byte % pixelBytes / sampleBytes;
        const bool high = byte % sampleBytes == sampleBytes - 1;
        if (pixel < 16 && channel < 3 && high) {
            plan.permute.index[j] = static_cast<uint8_t>(4 * pixel + channel);
            plan.keep |= uint64_t{1} << j;
        }
    }
    return plan;
}

constexpr BytePermute kGather24 = GatherIndex(3, 1);
constexpr BytePermute kGather48 = GatherIndex(6, 2);
constexpr BytePermute kGather64 = GatherIndex(8, 2);
constexpr ScatterPlan kScatter24 = ScatterIndex(3, 1, 0);
constexpr ScatterPlan kScatter48Low = ScatterIndex(6, 2, 0);
constexpr ScatterPlan kScatter48High = ScatterIndex(6, 2, 64);
constexpr ScatterPlan kScatter64Low = ScatterIndex(8, 2, 0);
constexpr ScatterPlan kScatter64High = ScatterIndex(8, 2, 64);

AVX512_INLINE __m512i Index(const BytePermute& permute) { return _mm512_load_si512(permute.index); }

AVX512_INLINE __m512i ShiftLanes(__m512i lanes, const HueShift& shift) {
    const __m512i byte = _mm512_set1_epi32(0xFF);
    return ShiftPixels16(_mm512_and_si512(lanes, byte), _mm512_and_si512(_mm512_srli_epi32(lanes, 8), byte),
                         _mm512_and_si512(_mm512_srli_epi32(lanes, 16), byte), shift);
}

// The blocks load and store whole registers or halves and quarters of them:
// byte-masked loads and stores that end inside a cache line measured far
// slower here. A 24-bit block therefore reads 16 bytes past its 48 (the
// caller keeps them inside the row) and stores 32 + 16 bytes.
AVX512_INLINE void HueBlock24(uint8_t* p, const HueShift& shift) {
    const __m512i lanes = _mm512_permutexvar_epi8(Index(kGather24), _mm512_loadu_si512(p));
    const __m512i out = _mm512_permutexvar_epi8(Index(kScatter24.permute), ShiftLanes(lanes, shift));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), _mm512_castsi512_si256(out));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), _mm512_extracti32x4_epi32(out, 2));
}

AVX512_INLINE void HueBlock32(uint8_t* p, const HueShift& shift) {
    const __m512i pixels = _mm512_loadu_si512(p);
    const __m512i packed = ShiftLanes(pixels, shift);
    // The fourth byte of each pixel stays as it was.
    _mm512_storeu_si512(p, _mm512_mask_blend_epi8(0x7777777777777777ull, pixels, packed));
}

AVX512_INLINE void HueBlock48(uint8_t* p, const HueShift& shift) {
    const __m512i second = _mm512_zextsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64)));
    const __m512i lanes = _mm512_permutex2var_epi8(_mm512_loadu_si512(p), Index(kGather48), second);
    const __m512i packed = ShiftLanes(lanes, shift);
    _mm512_storeu_si512(p, _mm512_maskz_permutexvar_epi8(kScatter48Low.keep, Index(kScatter48Low.permute), packed));
    const __m512i high = _mm512_maskz_permutexvar_epi8(kScatter48High.keep, Index(kScatter48High.permute), packed);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 64), _mm512_castsi512_si256(high));
}

AVX512_INLINE void HueBlock64(uint8_t* p, const HueShift& shift) {
    const __m512i lanes = _mm512_permutex2var_epi8(_mm512_loadu_si512(p), Index(kGather64), _mm512_loadu_si512(p + 64));
    const __m512i packed = ShiftLanes(lanes, shift);
    _mm512_storeu_si512(p, _mm512_maskz_permutexvar_epi8(kScatter64Low.keep, Index(kScatter64Low.permute), packed));
    _mm512_storeu_si512(p + 64,
                        _mm512_maskz_permutexvar_epi8(kScatter64High.keep, Index(kScatter64High.permute), packed));
}

}  // namespace

VANTIX_KERNEL_AVX2 void HueRowAvx2(uint8_t* row, int32_t pixels, int32_t bytesPerPixel, const HueShift& shift) {
    switch (bytesPerPixel) {
    case 3: HueRowAvx2Of<uint8_t, 3, false>(row, pixels, shift); break;
    case 4: HueRowAvx2Of<uint8_t, 4, false>(row, pixels, shift); break;
    case 6: HueRowAvx2Of<uint16_t, 3, false>(row, pixels, shift); break;
    default: HueRowAvx2Of<uint16_t, 4, true>(row, pixels, shift); break;
    }
}

VANTIX_KERNEL_AVX512 void HueRowAvx512(uint8_t* row, int32_t pixels, int32_t bytesPerPixel, const HueShift& shift) {
    const int32_t blockBytes = 16 * bytesPerPixel;
    // A 24-bit block reads 16 bytes (six pixels' worth) past its own.
    const int32_t lastBlock = pixels - 16 - (bytesPerPixel == 3 ? 6 : 0);
    int32_t x = 0;
    for (uint8_t* p = row; x <= lastBlock; x += 16, p += blockBytes) {
        switch (bytesPerPixel) {
        case 3: HueBlock24(p, shift); break;
        case 4: HueBlock32(p, shift); break;
        case 6: HueBlock48(p, shift); break;
        default: HueBlock64(p, shift); break;
        }
    }
    ShiftPixelsOfFormat(row, x, pixels, bytesPerPixel, shift);
}

#endif

}  // namespace vantix::filter_detail
