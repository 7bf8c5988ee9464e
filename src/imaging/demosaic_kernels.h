#pragma once
// Row kernels of the demosaic, shared by the portable build (demosaic.cpp) and
// the AVX2 build (demosaic_avx2.cpp). Internal to the imaging code.
//
// Destination pixel (x, y) is reconstructed at the centre of the 2 x 2 block
// of raw samples with corners (x - 1, y - 1) and (x, y). The block holds one
// red, one blue and two green samples. Call the non-green colour of row y
// "X" and that of row y - 1 "Y". G is the mean of the two greens (sum shifted
// right by 1); X and Y are weighted 9, 3, 3, 1 from the sample in the block,
// the two of the same colour two samples along its row and its column towards
// the centre, and the diagonal one. With rows A, B, C, D = y - 2 .. y + 1:
//
//   C[x] not green:  X = 3 (C[x-2] + A[x]) + 9 C[x] + A[x-2]
//                    Y = 3 (B[x+1] + D[x-1]) + 9 B[x-1] + D[x+1]
//                    G = (C[x-1] + B[x]) >> 1
//   C[x] green:      X = 3 (C[x+1] + A[x-1]) + 9 C[x-1] + A[x+1]
//                    Y = 3 (B[x-2] + D[x]) + 9 B[x] + D[x-2]
//                    G = (C[x] + B[x-1]) >> 1
//
// The weights sum to 16 and a gain factor k = gain% x 128 / 100 makes 2048 at
// 100 %, so a channel is (sum x k) >> 11, clipped to the sample's top value.
// Sums stay below 2^21 and k at most 512, so every product fits in 31 bits.
#include <cstddef>
#include <cstdint>

#include "imaging/cpu_dispatch.h"

namespace vantix::demosaic_detail {

// One destination row: the four raw rows (already moved inside the image at
// the top and bottom edges) and the columns [begin, end) to fill, with
// begin >= 2 and end <= width - 1, so that columns x - 2 .. x + 1 are inside
// the raw row and the last sample of the row is column end.
struct RowJob {
    const void* rowA;  // y - 2
    const void* rowB;  // y - 1
    const void* rowC;  // y
    const void* rowD;  // y + 1
    uint8_t* dst;      // first byte of destination row y
    int32_t dstBytesPerPixel;  // 3 or 4 (8-bit channels), 6 or 8 (16-bit channels)
    int32_t begin;
    int32_t end;
    bool nonGreenEven;  // row y holds its non-green samples at even x
    bool rowIsRed;      // the non-green colour of row y is red (so row y - 1's is blue)
    uint32_t kRed;      // gain factors, 128 at 100 %
    uint32_t kBlue;
};

using RowKernel = void (*)(const RowJob& job);

void DemosaicRow8Baseline(const RowJob& job);
void DemosaicRow16Baseline(const RowJob& job);
#if VANTIX_HAVE_AVX2_KERNELS
void DemosaicRow8Avx2(const RowJob& job);
void DemosaicRow16Avx2(const RowJob& job);
#endif

// The three weighted sums of one pixel from the columns cm2, cm1, c0, cp1
// standing for x - 2, x - 1, x, x + 1 (moved inside the row at its ends).
struct PixelSums {
    uint32_t x;  // 16 x the row-y colour
    uint32_t g;  // green, final
    uint32_t y;  // 16 x the row-(y - 1) colour
};

template <typename T>
VANTIX_KERNEL_INLINE PixelSums InterpolatePixel(const T* a, const T* b, const T* c, const T* d, int32_t cm2,
                                                int32_t cm1, int32_t c0, int32_t cp1, bool nonGreenHere) {
    PixelSums s;
    if (nonGreenHere) {
        s.x = 3u * (uint32_t{c[cm2]} + a[c0]) + 9u * c[c0] + a[cm2];
        s.y = 3u * (uint32_t{b[cp1]} + d[cm1]) + 9u * b[cm1] + d[cp1];
        s.g = (uint32_t{c[cm1]} + b[c0]) >> 1;
    } else {
        s.x = 3u * (uint32_t{c[cp1]} + a[cm1]) + 9u * c[cm1] + a[cp1];
        s.y = 3u * (uint32_t{b[cm2]} + d[c0]) + 9u * b[c0] + d[cm2];
        s.g = (uint32_t{c[c0]} + b[cm1]) >> 1;
    }
    return s;
}

VANTIX_KERNEL_INLINE uint32_t ApplyGain(uint32_t sum, uint32_t k, uint32_t top) {
    const uint32_t v = (sum * k) >> 11;
    return v < top ? v : top;
}

// Writes one pixel as B, G, R; a fourth channel is left alone.
template <typename T>
VANTIX_KERNEL_INLINE void StorePixel(T* p, const PixelSums& s, bool rowIsRed, uint32_t kRed, uint32_t kBlue) {
    constexpr uint32_t kTop = sizeof(T) == 1 ? 0xFFu : 0xFFFFu;
    const uint32_t red = rowIsRed ? ApplyGain(s.x, kRed, kTop) : ApplyGain(s.y, kRed, kTop);
    const uint32_t blue = rowIsRed ? ApplyGain(s.y, kBlue, kTop) : ApplyGain(s.x, kBlue, kTop);
    p[0] = static_cast<T>(blue);
    p[1] = static_cast<T>(s.g);
    p[2] = static_cast<T>(red);
}

// Columns [from, to) of a job with plain neighbours, one pixel at a time.
template <typename T>
VANTIX_KERNEL_INLINE void DemosaicColumnsScalar(const RowJob& job, int32_t from, int32_t to) {
    const T* a = static_cast<const T*>(job.rowA);
    const T* b = static_cast<const T*>(job.rowB);
    const T* c = static_cast<const T*>(job.rowC);
    const T* d = static_cast<const T*>(job.rowD);
    const int32_t step = job.dstBytesPerPixel / static_cast<int32_t>(sizeof(T));
    T* out = reinterpret_cast<T*>(job.dst);
    for (int32_t x = from; x < to; ++x) {
        const bool nonGreenHere = ((x & 1) == 0) == job.nonGreenEven;
        const PixelSums s = InterpolatePixel(a, b, c, d, x - 2, x - 1, x, x + 1, nonGreenHere);
        StorePixel(out + static_cast<ptrdiff_t>(x) * step, s, job.rowIsRed, job.kRed, job.kBlue);
    }
}

}  // namespace vantix::demosaic_detail
