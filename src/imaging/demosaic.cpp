// Bayer interpolation: the portable row kernels, the edge handling and the
// white-balance measurement. The AVX2 row kernels are in demosaic_avx2.cpp.
//
// Rows are done one at a time. The rows above and below that an output row
// needs (y - 2 .. y + 1) are moved inside the image once per row, so the top
// and bottom rows use the same kernels as the rest; only the two columns at
// each end of a row go through the per-pixel edge path.
#include "imaging/demosaic.h"

#include <algorithm>
#include <type_traits>

#include "imaging/bayer_pattern.h"
#include "imaging/demosaic_kernels.h"

namespace vantix {

namespace demosaic_detail {

namespace {

// The portable kernel works through a row in chunks: a first loop computes
// the three channels of every pixel into small planar arrays, evaluating both
// colour layouts and picking one by the column's parity (so that it has no
// branches and vectorises), and a second loop interleaves them into B, G, R.
constexpr int32_t kChunk = 256;

// Writes B, G, R of count pixels kStep channels apart.
template <typename T, int32_t kStep>
VANTIX_KERNEL_INLINE void Interleave(T* __restrict out, const T* __restrict blue, const T* __restrict green,
                                     const T* __restrict red, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        out[kStep * i] = blue[i];
        out[kStep * i + 1] = green[i];
        out[kStep * i + 2] = red[i];
    }
}

template <typename T, int32_t kStep>
VANTIX_KERNEL_INLINE void ChunkPortable(const RowJob& job, int32_t from, int32_t count) {
    // 8-bit sums fit 16-bit lanes; the gain is then the high half of a
    // 16 x 16-bit product: (sum x k) >> 11 == (sum x 32k) >> 16.
    using Sum = std::conditional_t<sizeof(T) == 1, uint16_t, uint32_t>;
    constexpr uint32_t kTop = sizeof(T) == 1 ? 0xFFu : 0xFFFFu;
    const T* a = static_cast<const T*>(job.rowA) + from;
    const T* b = static_cast<const T*>(job.rowB) + from;
    const T* c = static_cast<const T*>(job.rowC) + from;
    const T* d = static_cast<const T*>(job.rowD) + from;
    const uint32_t kX = job.rowIsRed ? job.kRed : job.kBlue;
    const uint32_t kY = job.rowIsRed ? job.kBlue : job.kRed;
    // 32k <= 16384 fits 16 bits, which lets the 8-bit product be a 16-bit
    // multiply-high.
    const auto kX16 = static_cast<uint16_t>(kX << 5);
    const auto kY16 = static_cast<uint16_t>(kY << 5);
    // 0 when the non-green samples of row y sit at even i, else 1.
    const int32_t parity = job.nonGreenEven == ((from & 1) == 0) ? 0 : 1;
    T rowColour[kChunk];
    T green[kChunk];
    T otherColour[kChunk];
    for (int32_t i = 0; i < count; ++i) {
        // All ones where C[i] is not green, else zero.
        const auto here = static_cast<Sum>(((i ^ parity) & 1) - 1);
        const Sum xHere = static_cast<Sum>(3 * (c[i - 2] + a[i]) + 9 * c[i] + a[i - 2]);
        const Sum xNext = static_cast<Sum>(3 * (c[i + 1] + a[i - 1]) + 9 * c[i - 1] + a[i + 1]);
        const Sum yHere = static_cast<Sum>(3 * (b[i + 1] + d[i - 1]) + 9 * b[i - 1] + d[i + 1]);
        const Sum yNext = static_cast<Sum>(3 * (b[i - 2] + d[i]) + 9 * b[i] + d[i - 2]);
        const Sum gHere = static_cast<Sum>((c[i - 1] + b[i]) >> 1);
        const Sum gNext = static_cast<Sum>((c[i] + b[i - 1]) >> 1);
        const auto x = static_cast<Sum>((xHere & here) | (xNext & ~here));
        const auto y = static_cast<Sum>((yHere & here) | (yNext & ~here));
        green[i] = static_cast<T>((gHere & here) | (gNext & ~here));
        if constexpr (sizeof(T) == 1) {
            const auto xs = static_cast<uint16_t>((uint32_t{x} * uint32_t{kX16}) >> 16);
            const auto ys = static_cast<uint16_t>((uint32_t{y} * uint32_t{kY16}) >> 16);
            rowColour[i] = static_cast<T>(xs < kTop ? xs : kTop);
            otherColour[i] = static_cast<T>(ys < kTop ? ys : kTop);
        } else {
            const uint32_t xs = (x * kX) >> 11;
            const uint32_t ys = (y * kY) >> 11;
            rowColour[i] = static_cast<T>(xs < kTop ? xs : kTop);
            otherColour[i] = static_cast<T>(ys < kTop ? ys : kTop);
        }
    }
    T* out = reinterpret_cast<T*>(job.dst) + static_cast<ptrdiff_t>(from) * kStep;
    if (job.rowIsRed) {
        Interleave<T, kStep>(out, otherColour, green, rowColour, count);
    } else {
        Interleave<T, kStep>(out, rowColour, green, otherColour, count);
    }
}

template <typename T, int32_t kStep>
VANTIX_KERNEL_INLINE void RowPortableStep(const RowJob& job) {
    for (int32_t x = job.begin; x < job.end; x += kChunk) {
        ChunkPortable<T, kStep>(job, x, std::min(kChunk, job.end - x));
    }
}

template <typename T>
void RowPortable(const RowJob& job) {
    if (job.dstBytesPerPixel == 3 * static_cast<int32_t>(sizeof(T))) {
        RowPortableStep<T, 3>(job);
    } else {
        RowPortableStep<T, 4>(job);
    }
}

}  // namespace

void DemosaicRow8Baseline(const RowJob& job) { RowPortable<uint8_t>(job); }
void DemosaicRow16Baseline(const RowJob& job) { RowPortable<uint16_t>(job); }

}  // namespace demosaic_detail

namespace {

using demosaic_detail::RowJob;
using demosaic_detail::RowKernel;

// Where the edge rule reads a neighbour at index i (-2 .. n) of a run of n
// samples: inside as it is; outside, four samples further inside, which keeps
// its parity and so its colour. Runs under four samples long can still miss;
// then the nearest index of the same parity, or failing one the nearest.
int32_t EdgeIndex(int32_t i, int32_t n) {
    if (i < 0) {
        i += 4;
    } else if (i >= n) {
        i -= 4;
    }
    if (i >= 0 && i < n) {
        return i;
    }
    if (i >= n) {
        const int32_t j = n - 1 - ((n - 1 - i) & 1);
        return j >= 0 ? j : 0;
    }
    const int32_t j = i & 1;
    return j < n ? j : n - 1;
}

int32_t GainFactor(int32_t gainPercent) {
    // trunc(gain x 1.28), done exactly in integers.
    return std::clamp(gainPercent, 0, kBayerGainCap) * 128 / 100;
}

template <typename T>
void EdgeColumns(const RowJob& job, int32_t width, int32_t from, int32_t to) {
    const T* a = static_cast<const T*>(job.rowA);
    const T* b = static_cast<const T*>(job.rowB);
    const T* c = static_cast<const T*>(job.rowC);
    const T* d = static_cast<const T*>(job.rowD);
    const int32_t step = job.dstBytesPerPixel / static_cast<int32_t>(sizeof(T));
    T* out = reinterpret_cast<T*>(job.dst);
    for (int32_t x = from; x < to; ++x) {
        const bool nonGreenHere = ((x & 1) == 0) == job.nonGreenEven;
        const demosaic_detail::PixelSums s =
            demosaic_detail::InterpolatePixel(a, b, c, d, EdgeIndex(x - 2, width), EdgeIndex(x - 1, width),
                                              EdgeIndex(x, width), EdgeIndex(x + 1, width), nonGreenHere);
        demosaic_detail::StorePixel(out + static_cast<ptrdiff_t>(x) * step, s, job.rowIsRed, job.kRed, job.kBlue);
    }
}

template <typename T>
void DemosaicImage(CDibImage& destination, const CDibImage& raw, int32_t bayerMode, int32_t redGain,
                   int32_t blueGain, RowKernel kernel, int32_t rowBegin, int32_t rowEnd) {
    const int32_t width = raw.Width();
    const int32_t height = raw.Height();
    RowJob job{};
    job.dstBytesPerPixel = destination.BytesPerPixel();
    job.kRed = static_cast<uint32_t>(GainFactor(redGain));
    job.kBlue = static_cast<uint32_t>(GainFactor(blueGain));
    // Interior columns: x - 2 .. x + 1 all inside the row.
    const int32_t interiorBegin = std::min(2, width);
    const int32_t interiorEnd = std::max(interiorBegin, width - 1);
    for (int32_t y = std::max(rowBegin, 0); y < std::min(rowEnd, height); ++y) {
        job.rowA = raw.Row(EdgeIndex(y - 2, height));
        job.rowB = raw.Row(EdgeIndex(y - 1, height));
        job.rowC = raw.Row(y);
        job.rowD = raw.Row(EdgeIndex(y + 1, height));
        job.dst = destination.Row(y);
        const bool rowFlag = bayer::RowFlag(bayerMode, y);
        // Row y is green where its column flag equals its row flag.
        job.nonGreenEven = rowFlag != bayer::ColumnFlagStart(bayerMode);
        job.rowIsRed = rowFlag;
        job.begin = interiorBegin;
        job.end = interiorEnd;
        if (interiorEnd > interiorBegin) {
            kernel(job);
        }
        EdgeColumns<T>(job, width, 0, interiorBegin);
        EdgeColumns<T>(job, width, interiorEnd, width);
    }
}

RowKernel PickKernel(int32_t sampleBytes, KernelLevel level) {
#if VANTIX_HAVE_AVX2_KERNELS
    if (level >= KernelLevel::kAvx2 && CpuHasAvx2()) {
        return sampleBytes == 1 ? demosaic_detail::DemosaicRow8Avx2 : demosaic_detail::DemosaicRow16Avx2;
    }
#else
    (void)level;
#endif
    return sampleBytes == 1 ? demosaic_detail::DemosaicRow8Baseline : demosaic_detail::DemosaicRow16Baseline;
}

// Sums of the samples at even and at odd x of every row, 64-bit, in blocks
// short enough for 32-bit partial sums.
template <typename T>
VANTIX_KERNEL_INLINE void SumEvenOdd(const T* row, int32_t width, uint64_t* even, uint64_t* odd) {
    constexpr int32_t kBlockPairs = sizeof(T) == 1 ? (1 << 20) : (1 << 16);
    int32_t x = 0;
    while (x + 1 < width) {
        const int32_t pairs = std::min(kBlockPairs, (width - x) / 2);
        uint32_t e = 0;
        uint32_t o = 0;
        for (int32_t i = 0; i < pairs; ++i) {
            e += row[x + 2 * i];
            o += row[x + 2 * i + 1];
        }
        *even += e;
        *odd += o;
        x += 2 * pairs;
    }
    if (x < width) {
        *even += row[x];
    }
}

struct ChannelSums {
    uint64_t sum[3] = {0, 0, 0};  // red, green, blue
    uint64_t count[3] = {0, 0, 0};
};

template <typename T>
ChannelSums SumChannels(const CDibImage& raw, int32_t bayerMode) {
    ChannelSums sums;
    const int32_t width = raw.Width();
    const uint64_t evenCount = static_cast<uint64_t>(width + 1) / 2;
    const uint64_t oddCount = static_cast<uint64_t>(width) / 2;
    for (int32_t y = 0; y < raw.Height(); ++y) {
        uint64_t even = 0;
        uint64_t odd = 0;
        SumEvenOdd(reinterpret_cast<const T*>(raw.Row(y)), width, &even, &odd);
        const bool rowFlag = bayer::RowFlag(bayerMode, y);
        const size_t other = rowFlag ? 0 : 2;  // the non-green colour of this row
        const bool nonGreenEven = rowFlag != bayer::ColumnFlagStart(bayerMode);
        sums.sum[other] += nonGreenEven ? even : odd;
        sums.count[other] += nonGreenEven ? evenCount : oddCount;
        sums.sum[1] += nonGreenEven ? odd : even;
        sums.count[1] += nonGreenEven ? oddCount : evenCount;
    }
    return sums;
}

// trunc(100 x Gm / Xm) for the green mean Gm and a channel mean Xm, capped
// at 400, from the sums and counts in exact integer arithmetic. (The same
// value written as o / Xm / 3 x 100 / t with o = Rm + Gm + Bm and
// t = o / Gm / 3 loses the last digit in floating point: equal green and
// blue means of 100 next to a red mean of 10 would give 99.) A black
// channel gets the cap.
int32_t BalanceGain(uint64_t greenSum, uint64_t greenCount, uint64_t sum, uint64_t count) {
    __extension__ using Wide = unsigned __int128;
    const Wide numerator = Wide{greenSum} * count * kBayerGainNeutral;
    const Wide denominator = Wide{greenCount} * sum;
    if (denominator == 0 || numerator / denominator >= static_cast<Wide>(kBayerGainCap)) {
        return kBayerGainCap;
    }
    return static_cast<int32_t>(numerator / denominator);
}

}  // namespace

int Demosaic(CDibImage& destination, const CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain,
             KernelLevel level) {
    return DemosaicRows(destination, raw, bayerMode, redGain, blueGain, level, 0, raw.Height());
}

int DemosaicRows(CDibImage& destination, const CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain,
                 KernelLevel level, int32_t rowBegin, int32_t rowEnd) {
    if (raw.IsEmpty() || destination.IsEmpty() || raw.Width() != destination.Width() ||
        raw.Height() != destination.Height()) {
        return 0;
    }
    const int32_t sampleBytes = raw.BytesPerPixel();
    const int32_t pixelBytes = destination.BytesPerPixel();
    if (sampleBytes == 1 && (pixelBytes == 3 || pixelBytes == 4)) {
        DemosaicImage<uint8_t>(destination, raw, bayerMode, redGain, blueGain, PickKernel(1, level), rowBegin, rowEnd);
        return 1;
    }
    if (sampleBytes == 2 && (pixelBytes == 6 || pixelBytes == 8)) {
        DemosaicImage<uint16_t>(destination, raw, bayerMode, redGain, blueGain, PickKernel(2, level), rowBegin,
                                rowEnd);
        return 1;
    }
    return 0;
}

int Demosaic(CDibImage& destination, const CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain) {
    return Demosaic(destination, raw, bayerMode, redGain, blueGain, ActiveKernelLevel());
}

bool MeasureWhiteBalance(const CDibImage& raw, int32_t bayerMode, WhiteBalanceGains* gains) {
    if (gains == nullptr || raw.IsEmpty() || (raw.BytesPerPixel() != 1 && raw.BytesPerPixel() != 2)) {
        return false;
    }
    const ChannelSums sums = raw.BytesPerPixel() == 1 ? SumChannels<uint8_t>(raw, bayerMode)
                                                      : SumChannels<uint16_t>(raw, bayerMode);
    if (sums.count[0] == 0 || sums.count[1] == 0 || sums.count[2] == 0) {
        return false;
    }
    if (sums.sum[0] == 0 && sums.sum[1] == 0 && sums.sum[2] == 0) {
        return false;
    }
    gains->red = BalanceGain(sums.sum[1], sums.count[1], sums.sum[0], sums.count[0]);
    gains->blue = BalanceGain(sums.sum[1], sums.count[1], sums.sum[2], sums.count[2]);
    gains->green = kBayerGainNeutral;
    return true;
}

}  // namespace vantix
