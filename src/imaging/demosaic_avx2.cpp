// AVX2 row kernels of the demosaic (see demosaic_kernels.h for the formulas).
//
// A block of 32 pixels (8-bit samples) or 16 pixels (16-bit samples) is done
// at once. Each raw row is loaded at x - 2, x and x + 2 and split into its
// even and odd samples, widened to 16-bit (or 32-bit) lanes, so that lane j
// holds the pixel pair (x + 2j, x + 2j + 1). The interpolation is separable:
// a row's non-green samples are first weighted 3 : 1 along the row (H), and
// X = 3 H(C) + H(A), Y = 3 H(B) + H(D). The even and odd results are merged
// back into pixel order and interleaved into B, G, R with byte shuffles.
#include "imaging/demosaic_kernels.h"

#if VANTIX_HAVE_AVX2_KERNELS

#include <immintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace vantix::demosaic_detail {

namespace {

// Helpers are always inlined so that each block is one straight run of
// vector code with its constants in registers.
#define KERNEL VANTIX_KERNEL_AVX2 inline __attribute__((always_inline))

// pshufb controls that gather one channel into its places in the interleaved
// output. Each 128-bit lane interleaves its own 16 samples; chunk k of a lane
// is bytes 16k..16k+15 of that lane's output.
struct alignas(32) ShuffleControl {
    int8_t bytes[32];
};

constexpr ShuffleControl MakeControl(int chunk, int channel, int channelsPerPixel, int sampleBytes) {
    ShuffleControl control{};
    const int pixelBytes = channelsPerPixel * sampleBytes;
    for (int i = 0; i < 16; ++i) {
        const int n = 16 * chunk + i;
        const int pixel = n / pixelBytes;
        const int byteChannel = (n % pixelBytes) / sampleBytes;
        const int8_t value =
            byteChannel == channel ? static_cast<int8_t>(pixel * sampleBytes + n % sampleBytes) : int8_t{-128};
        control.bytes[i] = value;
        control.bytes[16 + i] = value;
    }
    return control;
}

using Controls = std::array<ShuffleControl, 3>;  // B, G, R

// Controls [chunk][channel].
template <int kChannelsPerPixel, int kSampleBytes>
constexpr std::array<Controls, kChannelsPerPixel> MakeControls() {
    std::array<Controls, kChannelsPerPixel> controls{};
    for (int chunk = 0; chunk < kChannelsPerPixel; ++chunk) {
        for (int channel = 0; channel < 3; ++channel) {
            controls[static_cast<size_t>(chunk)][static_cast<size_t>(channel)] =
                MakeControl(chunk, channel, kChannelsPerPixel, kSampleBytes);
        }
    }
    return controls;
}

constexpr auto kControls24 = MakeControls<3, 1>();
constexpr auto kControls32 = MakeControls<4, 1>();
constexpr auto kControls48 = MakeControls<3, 2>();
constexpr auto kControls64 = MakeControls<4, 2>();

KERNEL __m256i Load(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
KERNEL void Store(void* p, __m256i v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }

KERNEL __m256i Gather(const Controls& controls, __m256i b, __m256i g, __m256i r) {
    const __m256i pb = _mm256_shuffle_epi8(b, Load(controls[0].bytes));
    const __m256i pg = _mm256_shuffle_epi8(g, Load(controls[1].bytes));
    const __m256i pr = _mm256_shuffle_epi8(r, Load(controls[2].bytes));
    return _mm256_or_si256(_mm256_or_si256(pb, pg), pr);
}

// Three-channel output: lane 0 makes output bytes 0..47, lane 1 bytes 48..95.
template <size_t kChunks>
KERNEL void StoreThree(uint8_t* out, const std::array<Controls, kChunks>& c,
                                          __m256i b, __m256i g, __m256i r) {
    const __m256i c0 = Gather(c[0], b, g, r);
    const __m256i c1 = Gather(c[1], b, g, r);
    const __m256i c2 = Gather(c[2], b, g, r);
    Store(out, _mm256_permute2x128_si256(c0, c1, 0x20));
    Store(out + 32, _mm256_permute2x128_si256(c2, c0, 0x30));
    Store(out + 64, _mm256_permute2x128_si256(c1, c2, 0x31));
}

// Four-channel output (128 bytes); the fourth channel keeps what it held.
template <size_t kChunks>
KERNEL void StoreFour(uint8_t* out, const std::array<Controls, kChunks>& c,
                                         __m256i b, __m256i g, __m256i r, __m256i keep) {
    const __m256i c0 = Gather(c[0], b, g, r);
    const __m256i c1 = Gather(c[1], b, g, r);
    const __m256i c2 = Gather(c[2], b, g, r);
    const __m256i c3 = Gather(c[3], b, g, r);
    const __m256i parts[4] = {_mm256_permute2x128_si256(c0, c1, 0x20), _mm256_permute2x128_si256(c2, c3, 0x20),
                              _mm256_permute2x128_si256(c0, c1, 0x31), _mm256_permute2x128_si256(c2, c3, 0x31)};
    for (int i = 0; i < 4; ++i) {
        uint8_t* p = out + 32 * i;
        Store(p, _mm256_or_si256(parts[i], _mm256_and_si256(Load(p), keep)));
    }
}

// Even and odd samples of 32 bytes (8-bit samples: 16-bit lanes; 16-bit
// samples: 32-bit lanes).
struct Split {
    __m256i even;
    __m256i odd;
};

KERNEL Split Split8(const uint8_t* p) {
    const __m256i v = Load(p);
    return {_mm256_and_si256(v, _mm256_set1_epi16(0xFF)), _mm256_srli_epi16(v, 8)};
}

KERNEL Split Split16(const uint16_t* p) {
    const __m256i v = Load(p);
    return {_mm256_and_si256(v, _mm256_set1_epi32(0xFFFF)), _mm256_srli_epi32(v, 16)};
}

// Lane arithmetic by sample width.
struct Lanes8 {
    KERNEL static __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi16(a, b); }
    KERNEL static __m256i Times3(__m256i a) { return _mm256_add_epi16(_mm256_slli_epi16(a, 1), a); }
    KERNEL static __m256i Half(__m256i a) { return _mm256_srli_epi16(a, 1); }
    // (sum x k) >> 11 == (sum x 32k) >> 16 for the high half of the product;
    // 32k <= 16384 fits the 16-bit lane.
    KERNEL static __m256i Factor(uint32_t k) { return _mm256_set1_epi16(static_cast<int16_t>(k << 5)); }
    KERNEL static __m256i Gain(__m256i sum, __m256i factor) {
        return _mm256_min_epu16(_mm256_mulhi_epu16(sum, factor), _mm256_set1_epi16(0xFF));
    }
    KERNEL static __m256i Merge(__m256i even, __m256i odd) {
        return _mm256_or_si256(even, _mm256_slli_epi16(odd, 8));
    }
};

struct Lanes16 {
    KERNEL static __m256i Add(__m256i a, __m256i b) { return _mm256_add_epi32(a, b); }
    KERNEL static __m256i Times3(__m256i a) { return _mm256_add_epi32(_mm256_slli_epi32(a, 1), a); }
    KERNEL static __m256i Half(__m256i a) { return _mm256_srli_epi32(a, 1); }
    KERNEL static __m256i Factor(uint32_t k) { return _mm256_set1_epi32(static_cast<int32_t>(k)); }
    KERNEL static __m256i Gain(__m256i sum, __m256i factor) {
        return _mm256_min_epu32(_mm256_srli_epi32(_mm256_mullo_epi32(sum, factor), 11), _mm256_set1_epi32(0xFFFF));
    }
    KERNEL static __m256i Merge(__m256i even, __m256i odd) {
        return _mm256_or_si256(even, _mm256_slli_epi32(odd, 16));
    }
};

// A row's samples around the block: loads at x - 2 (em, om), x (e0, o0) and
// x + 2 (ep), where e/o are the even/odd samples of each pixel pair.
struct RowSamples {
    Split minus;  // even: x - 2 + 2j, odd: x - 1 + 2j
    Split here;   // even: x + 2j,     odd: x + 1 + 2j
    __m256i plusEven;  // x + 2 + 2j
};

template <typename T>
KERNEL RowSamples LoadRow(const void* row, int32_t x) {
    const T* r = static_cast<const T*>(row) + x;
    if constexpr (sizeof(T) == 1) {
        return RowSamples{Split8(r - 2), Split8(r), Split8(r + 2).even};
    } else {
        return RowSamples{Split16(r - 2), Split16(r), Split16(r + 2).even};
    }
}

// Weighted 3 : 1 along the row towards each pixel's centre, for a row whose
// non-green samples sit at even x (even pixel: 3 e0 + em, odd pixel: 3 e0 +
// ep) or at odd x (even pixel: 3 om + o0, odd pixel: 3 o0 + om).
template <typename L>
KERNEL Split Horizontal(const RowSamples& s, bool nonGreenEven) {
    if (nonGreenEven) {
        const __m256i near3 = L::Times3(s.here.even);
        return {L::Add(near3, s.minus.even), L::Add(near3, s.plusEven)};
    }
    return {L::Add(L::Times3(s.minus.odd), s.here.odd), L::Add(L::Times3(s.here.odd), s.minus.odd)};
}

template <typename T, typename L, bool kNonGreenEven>
KERNEL void Block(const RowJob& job, int32_t x, __m256i factorX, __m256i factorY, __m256i keep) {
    const RowSamples a = LoadRow<T>(job.rowA, x);
    const RowSamples b = LoadRow<T>(job.rowB, x);
    const RowSamples c = LoadRow<T>(job.rowC, x);
    const RowSamples d = LoadRow<T>(job.rowD, x);
    const Split ha = Horizontal<L>(a, kNonGreenEven);
    const Split hc = Horizontal<L>(c, kNonGreenEven);
    const Split hb = Horizontal<L>(b, !kNonGreenEven);
    const Split hd = Horizontal<L>(d, !kNonGreenEven);
    const __m256i xe = L::Gain(L::Add(L::Times3(hc.even), ha.even), factorX);
    const __m256i xo = L::Gain(L::Add(L::Times3(hc.odd), ha.odd), factorX);
    const __m256i ye = L::Gain(L::Add(L::Times3(hb.even), hd.even), factorY);
    const __m256i yo = L::Gain(L::Add(L::Times3(hb.odd), hd.odd), factorY);
    __m256i ge;
    __m256i go;
    if constexpr (kNonGreenEven) {
        ge = L::Half(L::Add(c.minus.odd, b.here.even));
        go = L::Half(L::Add(c.here.odd, b.here.even));
    } else {
        ge = L::Half(L::Add(c.here.even, b.minus.odd));
        go = L::Half(L::Add(c.here.even, b.here.odd));
    }
    const __m256i xv = L::Merge(xe, xo);
    const __m256i yv = L::Merge(ye, yo);
    const __m256i gv = L::Merge(ge, go);
    const __m256i blue = job.rowIsRed ? yv : xv;
    const __m256i red = job.rowIsRed ? xv : yv;
    uint8_t* out = job.dst + static_cast<ptrdiff_t>(x) * job.dstBytesPerPixel;
    if constexpr (sizeof(T) == 1) {
        if (job.dstBytesPerPixel == 3) {
            StoreThree(out, kControls24, blue, gv, red);
        } else {
            StoreFour(out, kControls32, blue, gv, red, keep);
        }
    } else {
        if (job.dstBytesPerPixel == 6) {
            StoreThree(out, kControls48, blue, gv, red);
        } else {
            StoreFour(out, kControls64, blue, gv, red, keep);
        }
    }
}

template <typename T, typename L>
KERNEL void Row(const RowJob& job) {
    // A block of n pixels reads samples x - 2 .. x + n + 1; job.end is the
    // last sample the row has.
    constexpr int32_t kBlock = 32 / static_cast<int32_t>(sizeof(T));
    int32_t x = job.begin;
    if ((x & 1) != 0 && x < job.end) {
        DemosaicColumnsScalar<T>(job, x, x + 1);
        ++x;
    }
    const __m256i factorX = L::Factor(job.rowIsRed ? job.kRed : job.kBlue);
    const __m256i factorY = L::Factor(job.rowIsRed ? job.kBlue : job.kRed);
    const __m256i keep = sizeof(T) == 1 ? _mm256_set1_epi32(static_cast<int32_t>(0xFF000000u))
                                        : _mm256_set1_epi64x(static_cast<int64_t>(0xFFFF000000000000ull));
    if (job.nonGreenEven) {
        for (; x + kBlock < job.end; x += kBlock) Block<T, L, true>(job, x, factorX, factorY, keep);
    } else {
        for (; x + kBlock < job.end; x += kBlock) Block<T, L, false>(job, x, factorX, factorY, keep);
    }
    DemosaicColumnsScalar<T>(job, x, job.end);
}

#undef KERNEL

}  // namespace

VANTIX_KERNEL_AVX2 void DemosaicRow8Avx2(const RowJob& job) { Row<uint8_t, Lanes8>(job); }
VANTIX_KERNEL_AVX2 void DemosaicRow16Avx2(const RowJob& job) { Row<uint16_t, Lanes16>(job); }

}  // namespace vantix::demosaic_detail

#endif  // VANTIX_HAVE_AVX2_KERNELS
