// Row kernels of the hue and saturation filter (see hue_saturation.cpp for
// the colour circle).
//
// Per pixel the work is a short run of integer operations and selects with
// three lookups in small fixed tables. The portable kernel does one pixel at
// a time. AVX2 does the same operations on 8 pixels in 32-bit lanes: the
// reciprocal comes from a gather, the sextant's mask and multiplier from a
// register permute, and the B, G, R triples move through small arrays
// (its byte shuffles stay inside 128-bit halves). AVX-512 works on 32 pixels
// in 16-bit lanes, with its lookups and the taking apart and putting back
// together of the triples all done by byte permutes across registers.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

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

// ShiftPixel on 32 pixels in 16-bit lanes. Every intermediate fits in 16
// bits except two products, which are taken apart:
// - the scaled chroma (d * saturation + 128) >> 8 only matters up to 255
//   (the lightness limit is never wider), so a product of 65536 or more, or
//   a rounding that overflows, stands for 255;
// - the position numerator * kReciprocal[d] splits the reciprocal into its
//   high half, 255 / d, and its low half, whose product with the numerator
//   comes as a high and a low word; the low word's top bit is the rounding.
// The reciprocal halves are looked up with byte permutes over 128-entry
// halves of their tables.
struct alignas(64) ByteTable {
    uint8_t entry[256];
};

constexpr ByteTable ReciprocalBytes(int32_t shift) {
    ByteTable table{};
    for (int32_t d = 0; d < 256; ++d) {
        table.entry[d] = static_cast<uint8_t>(kReciprocal[static_cast<size_t>(d)] >> shift);
    }
    return table;
}

constexpr ByteTable kReciprocalLow = ReciprocalBytes(0);
constexpr ByteTable kReciprocalMiddle = ReciprocalBytes(8);
constexpr ByteTable kReciprocalWhole = ReciprocalBytes(16);  // 255 / d, 1 from d = 128 on

// The channels of the rebuild per turned sextant (0..11, twice round): bit
// 0 top of the width, 1 rising, 2 falling, for B in bits 0-2, G in 3-5 and R
// in 6-8 (the sextant table above, channel by channel).
constexpr uint16_t kTop = 1;
constexpr uint16_t kRising = 2;
constexpr uint16_t kFalling = 4;
constexpr uint16_t Channels(uint16_t b, uint16_t g, uint16_t r) {
    return static_cast<uint16_t>(b | g << 3 | r << 6);
}
alignas(64) constexpr uint16_t kSextantChannels[32] = {
    Channels(kTop | kFalling, 0, kTop), Channels(0, kRising, kTop),  Channels(0, kTop, kTop | kFalling),
    Channels(kRising, kTop, 0),         Channels(kTop, kTop | kFalling, 0), Channels(kTop, 0, kRising),
    Channels(kTop | kFalling, 0, kTop), Channels(0, kRising, kTop),  Channels(0, kTop, kTop | kFalling),
    Channels(kRising, kTop, 0),         Channels(kTop, kTop | kFalling, 0), Channels(kTop, 0, kRising)};

struct WordPixels {
    __m512i b;
    __m512i g;
    __m512i r;
};

// Everything ShiftWords needs besides the pixels, broadcast once per row.
// The kernel's stores may alias any memory, so the compiler reads these as
// memory operands instead of rebuilding them in every block.
struct HueConstants {
    __m512i one;
    __m512i three;
    __m512i five;
    __m512i half;  // 128
    __m512i top;   // 255
    __m512i lastStep;  // 254
    __m512i fullLightness;  // 510
    __m512i saturation;
    __m512i remainder;
    __m512i sextants;
    __m512i channelBits[3][3];  // per channel: top, rising, falling bit
    __m512i whole[2];    // 255 / d for d < 128 (1 from 128 on)
    __m512i low[4];      // low bytes of the reciprocal
    __m512i middle[4];   // its second bytes
    __m512i channels;    // kSextantChannels
};

AVX512_INLINE void LoadTable(__m512i* registers, const uint8_t* entries, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        registers[i] = _mm512_load_si512(entries + 64 * i);
    }
}

VANTIX_KERNEL_AVX512 inline HueConstants MakeHueConstants(const HueShift& shift) {
    HueConstants k;
    k.one = _mm512_set1_epi16(1);
    k.three = _mm512_set1_epi16(3);
    k.five = _mm512_set1_epi16(5);
    k.half = _mm512_set1_epi16(128);
    k.top = _mm512_set1_epi16(255);
    k.lastStep = _mm512_set1_epi16(254);
    k.fullLightness = _mm512_set1_epi16(510);
    k.saturation = _mm512_set1_epi16(static_cast<int16_t>(shift.saturation));
    k.remainder = _mm512_set1_epi16(static_cast<int16_t>(shift.remainder));
    k.sextants = _mm512_set1_epi16(static_cast<int16_t>(shift.sextants));
    for (int32_t c = 0; c < 3; ++c) {
        k.channelBits[c][0] = _mm512_set1_epi16(static_cast<int16_t>(kTop << 3 * c));
        k.channelBits[c][1] = _mm512_set1_epi16(static_cast<int16_t>(kRising << 3 * c));
        k.channelBits[c][2] = _mm512_set1_epi16(static_cast<int16_t>(kFalling << 3 * c));
    }
    LoadTable(k.whole, kReciprocalWhole.entry, 2);
    LoadTable(k.low, kReciprocalLow.entry, 4);
    LoadTable(k.middle, kReciprocalMiddle.entry, 4);
    k.channels = _mm512_load_si512(kSextantChannels);
    return k;
}

// The low bytes of the 16-bit lanes `index` (< 256; `upper` marks the lanes
// of 128 and more) looked up in a 256-entry table; the high bytes become 0.
AVX512_INLINE __m512i LookUpBytes(__m512i index, __mmask32 upper, const __m512i (&table)[4]) {
    constexpr __mmask64 kLowBytes = 0x5555555555555555ull;
    const __m512i first = _mm512_maskz_permutex2var_epi8(kLowBytes, table[0], index, table[1]);
    const __m512i second = _mm512_maskz_permutex2var_epi8(kLowBytes, table[2], index, table[3]);
    return _mm512_mask_blend_epi16(upper, first, second);
}

// One channel of the rebuild from its three bits of the sextant's word.
AVX512_INLINE __m512i RebuiltChannel(__m512i channels, const __m512i (&bits)[3], __m512i low, __m512i top,
                                     __m512i rising, __m512i falling) {
    __m512i value = _mm512_mask_blend_epi16(_mm512_test_epi16_mask(channels, bits[0]), low, top);
    value = _mm512_mask_mov_epi16(value, _mm512_test_epi16_mask(channels, bits[1]), rising);
    return _mm512_mask_mov_epi16(value, _mm512_test_epi16_mask(channels, bits[2]), falling);
}

AVX512_INLINE WordPixels ShiftWords(const WordPixels& in, const HueConstants& k) {
    const __m512i b = in.b;
    const __m512i g = in.g;
    const __m512i r = in.r;
    const __mmask32 redOverGreen = _mm512_cmpge_epu16_mask(r, g);
    const __m512i larger = _mm512_max_epu16(r, g);
    const __m512i smaller = _mm512_min_epu16(r, g);
    __m512i base = _mm512_mask_blend_epi16(redOverGreen, k.three, k.one);
    __m512i numerator = _mm512_mask_blend_epi16(redOverGreen, _mm512_sub_epi16(b, r), _mm512_sub_epi16(g, b));
    const __m512i minimum = _mm512_min_epu16(b, smaller);
    const __mmask32 blueOnTop = _mm512_cmpgt_epu16_mask(b, larger);
    const __m512i maximum = _mm512_max_epu16(b, larger);
    base = _mm512_mask_mov_epi16(base, blueOnTop, k.five);
    numerator = _mm512_mask_sub_epi16(numerator, blueOnTop, r, g);
    const __m512i d = _mm512_sub_epi16(maximum, minimum);
    const __mmask32 behind = _mm512_movepi16_mask(numerator);  // the sign bit
    base = _mm512_mask_sub_epi16(base, behind, base, k.one);
    numerator = _mm512_mask_add_epi16(numerator, behind, numerator, d);
    const __m512i n = _mm512_add_epi16(maximum, minimum);

    __m512i scaled = _mm512_srli_epi16(_mm512_adds_epu16(_mm512_mullo_epi16(d, k.saturation), k.half), 8);
    scaled = _mm512_mask_mov_epi16(scaled, _mm512_test_epi16_mask(_mm512_mulhi_epu16(d, k.saturation), k.top), k.top);
    const __m512i m = _mm512_min_epu16(_mm512_min_epu16(n, _mm512_sub_epi16(k.fullLightness, n)), scaled);
    const __m512i low = _mm512_srli_epi16(_mm512_sub_epi16(n, m), 1);
    const __m512i width = _mm512_sub_epi16(_mm512_srli_epi16(_mm512_add_epi16(n, m), 1), low);

    const __mmask32 upper = _mm512_cmpge_epu16_mask(d, k.half);
    constexpr __mmask64 kLowBytes = 0x5555555555555555ull;
    const __m512i whole =
        _mm512_mask_mov_epi16(_mm512_maskz_permutex2var_epi8(kLowBytes, k.whole[0], d, k.whole[1]), upper, k.one);
    const __m512i fraction =
        _mm512_or_si512(LookUpBytes(d, upper, k.low), _mm512_slli_epi16(LookUpBytes(d, upper, k.middle), 8));
    __m512i v = _mm512_add_epi16(_mm512_mullo_epi16(numerator, whole), _mm512_mulhi_epu16(numerator, fraction));
    v = _mm512_add_epi16(v, _mm512_srli_epi16(_mm512_mullo_epi16(numerator, fraction), 15));
    v = _mm512_add_epi16(v, k.remainder);
    __m512i index = _mm512_add_epi16(base, k.sextants);
    const __mmask32 wraps = _mm512_cmpgt_epu16_mask(v, k.lastStep);
    index = _mm512_mask_add_epi16(index, wraps, index, k.one);
    v = _mm512_mask_sub_epi16(v, wraps, v, k.top);

    const __m512i travel = _mm512_srli_epi16(_mm512_add_epi16(_mm512_mullo_epi16(width, v), k.half), 8);
    const __m512i top = _mm512_add_epi16(low, width);
    const __m512i rising = _mm512_add_epi16(low, travel);
    const __m512i falling = _mm512_sub_epi16(top, travel);
    const __m512i channels = _mm512_permutexvar_epi16(index, k.channels);
    return {RebuiltChannel(channels, k.channelBits[0], low, top, rising, falling),
            RebuiltChannel(channels, k.channelBits[1], low, top, rising, falling),
            RebuiltChannel(channels, k.channelBits[2], low, top, rising, falling)};
}

// Byte permutes between a format's 32 pixels and the 16-bit lanes of one
// channel (for 16-bit samples, their high bytes).
struct alignas(64) BytePermute {
    uint8_t index[64];
    uint64_t keep;
};

// Lane 2i of channel c from the byte of pixel i within the 128 bytes from
// `window` on: the permute over two registers and the lane bytes it fills.
constexpr BytePermute GatherChannel(int32_t pixelBytes, int32_t sampleBytes, int32_t channel, int32_t window) {
    BytePermute permute{};
    for (int32_t i = 0; i < 32; ++i) {
        const int32_t source = pixelBytes * i + sampleBytes * channel + sampleBytes - 1 - window;
        if (source >= 0 && source < 128) {
            permute.index[2 * i] = static_cast<uint8_t>(source);
            permute.keep |= uint64_t{1} << (2 * i);
        }
    }
    return permute;
}

// Byte `first + j` of the block from the channels' lanes: from B or G (a
// permute over both, G's lanes from 64 on) or, with `red`, from R alone.
// Bytes that take no channel (the low bytes of 16-bit samples, the fourth
// sample) are left out of `keep`.
constexpr BytePermute ScatterChannels(int32_t pixelBytes, int32_t sampleBytes, int32_t first, bool red) {
    BytePermute permute{};
    for (int32_t j = 0; j < 64; ++j) {
        const int32_t byte = first + j;
        const int32_t pixel = byte / pixelBytes;
        const int32_t channel = byte % pixelBytes / sampleBytes;
        const bool high = byte % sampleBytes == sampleBytes - 1;
        if (pixel < 32 && high && (red ? channel == 2 : channel < 2)) {
            permute.index[j] = static_cast<uint8_t>(2 * pixel + (channel == 1 ? 64 : 0));
            permute.keep |= uint64_t{1} << j;
        }
    }
    return permute;
}

AVX512_INLINE __m512i Index(const BytePermute& permute) { return _mm512_load_si512(permute.index); }

// Channel c's lanes from the block's registers (two for a window).
AVX512_INLINE __m512i Gather(const BytePermute& permute, __m512i first, __m512i second) {
    return _mm512_maskz_permutex2var_epi8(permute.keep, first, Index(permute), second);
}

// Output register `k` of a format (bytes 64k .. 64k + 63 of the block).
template <int32_t kPixelBytes, int32_t kSampleBytes, int32_t kRegister>
AVX512_INLINE __m512i Scatter(const WordPixels& out) {
    static constexpr BytePermute kBlueGreen = ScatterChannels(kPixelBytes, kSampleBytes, 64 * kRegister, false);
    static constexpr BytePermute kRed = ScatterChannels(kPixelBytes, kSampleBytes, 64 * kRegister, true);
    const __m512i blueGreen = _mm512_maskz_permutex2var_epi8(kBlueGreen.keep, out.b, Index(kBlueGreen), out.g);
    return _mm512_mask_permutexvar_epi8(blueGreen, kRed.keep, Index(kRed), out.r);
}

template <int32_t kPixelBytes, int32_t kSampleBytes, int32_t kChannel, int32_t kWindow>
AVX512_INLINE __m512i GatherFrom(__m512i first, __m512i second) {
    static constexpr BytePermute kPermute = GatherChannel(kPixelBytes, kSampleBytes, kChannel, kWindow);
    return Gather(kPermute, first, second);
}

// 32 pixels of 24 bits: 96 bytes.
AVX512_INLINE void HueBlock24(uint8_t* p, const HueConstants& shift) {
    const __m512i first = _mm512_loadu_si512(p);
    const __m512i second = _mm512_zextsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64)));
    const WordPixels out = ShiftWords({GatherFrom<3, 1, 0, 0>(first, second), GatherFrom<3, 1, 1, 0>(first, second),
                                       GatherFrom<3, 1, 2, 0>(first, second)},
                                      shift);
    _mm512_storeu_si512(p, Scatter<3, 1, 0>(out));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + 64), _mm512_castsi512_si256(Scatter<3, 1, 1>(out)));
}

// 32 pixels of 32 bits: 128 bytes; the fourth byte of each stays as it was.
AVX512_INLINE void HueBlock32(uint8_t* p, const HueConstants& shift) {
    const __m512i first = _mm512_loadu_si512(p);
    const __m512i second = _mm512_loadu_si512(p + 64);
    const WordPixels out = ShiftWords({GatherFrom<4, 1, 0, 0>(first, second), GatherFrom<4, 1, 1, 0>(first, second),
                                       GatherFrom<4, 1, 2, 0>(first, second)},
                                      shift);
    constexpr __mmask64 kColour = 0x7777777777777777ull;
    const __m512i front = Scatter<4, 1, 0>(out);
    const __m512i back = Scatter<4, 1, 1>(out);
    _mm512_storeu_si512(p, _mm512_mask_blend_epi8(kColour, first, front));
    _mm512_storeu_si512(p + 64, _mm512_mask_blend_epi8(kColour, second, back));
}

// 32 pixels of 48 bits: 192 bytes. A channel's lanes come from the first
// two registers and, for the pixels past byte 128, from the third.
template <int32_t kChannel>
AVX512_INLINE __m512i Gather48(__m512i first, __m512i second, __m512i third) {
    static constexpr BytePermute kFront = GatherChannel(6, 2, kChannel, 0);
    static constexpr BytePermute kBack = GatherChannel(6, 2, kChannel, 128);
    return _mm512_mask_permutexvar_epi8(Gather(kFront, first, second), kBack.keep, Index(kBack), third);
}

AVX512_INLINE void HueBlock48(uint8_t* p, const HueConstants& shift) {
    const __m512i first = _mm512_loadu_si512(p);
    const __m512i second = _mm512_loadu_si512(p + 64);
    const __m512i third = _mm512_loadu_si512(p + 128);
    const WordPixels out =
        ShiftWords({Gather48<0>(first, second, third), Gather48<1>(first, second, third), Gather48<2>(first, second, third)},
                   shift);
    _mm512_storeu_si512(p, Scatter<6, 2, 0>(out));
    _mm512_storeu_si512(p + 64, Scatter<6, 2, 1>(out));
    _mm512_storeu_si512(p + 128, Scatter<6, 2, 2>(out));
}

// 32 pixels of 64 bits: 256 bytes; pixels 0..15 from the first two
// registers, 16..31 from the last two. The fourth sample becomes 0.
template <int32_t kChannel>
AVX512_INLINE __m512i Gather64(const __m512i (&in)[4]) {
    return _mm512_or_si512(GatherFrom<8, 2, kChannel, 0>(in[0], in[1]), GatherFrom<8, 2, kChannel, 128>(in[2], in[3]));
}

AVX512_INLINE void HueBlock64(uint8_t* p, const HueConstants& shift) {
    const __m512i in[4] = {_mm512_loadu_si512(p), _mm512_loadu_si512(p + 64), _mm512_loadu_si512(p + 128),
                           _mm512_loadu_si512(p + 192)};
    const WordPixels out = ShiftWords({Gather64<0>(in), Gather64<1>(in), Gather64<2>(in)}, shift);
    _mm512_storeu_si512(p, Scatter<8, 2, 0>(out));
    _mm512_storeu_si512(p + 64, Scatter<8, 2, 1>(out));
    _mm512_storeu_si512(p + 128, Scatter<8, 2, 2>(out));
    _mm512_storeu_si512(p + 192, Scatter<8, 2, 3>(out));
}

// A row of one format: whole blocks, then the last pixels through a
// block's worth of copy, so that no block reads or writes past the row.
template <int32_t kBytesPerPixel, void (*kBlock)(uint8_t*, const HueConstants&)>
AVX512_INLINE void HueRowOf(uint8_t* row, int32_t pixels, const HueConstants& constants) {
    constexpr int32_t kPixels = 32;
    constexpr size_t kBlockBytes = static_cast<size_t>(kPixels) * kBytesPerPixel;
    int32_t x = 0;
    for (uint8_t* p = row; x + kPixels <= pixels; x += kPixels, p += kBlockBytes) {
        kBlock(p, constants);
    }
    if (x < pixels) {
        alignas(64) uint8_t tail[kBlockBytes] = {};
        const size_t bytes = static_cast<size_t>(pixels - x) * kBytesPerPixel;
        uint8_t* p = row + static_cast<size_t>(x) * kBytesPerPixel;
        std::memcpy(tail, p, bytes);
        kBlock(tail, constants);
        std::memcpy(p, tail, bytes);
    }
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
    const HueConstants constants = MakeHueConstants(shift);
    switch (bytesPerPixel) {
    case 3: HueRowOf<3, HueBlock24>(row, pixels, constants); break;
    case 4: HueRowOf<4, HueBlock32>(row, pixels, constants); break;
    case 6: HueRowOf<6, HueBlock48>(row, pixels, constants); break;
    default: HueRowOf<8, HueBlock64>(row, pixels, constants); break;
    }
}

#endif

}  // namespace vantix::filter_detail
