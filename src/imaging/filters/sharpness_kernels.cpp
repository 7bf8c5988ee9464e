// Row kernels of the sharpness filter (see sharpness.cpp). One source text,
// compiled for each instruction set: the loops run over contiguous samples
// and the compiler vectorises them at each level's width.
#include <algorithm>
#include <type_traits>

#include "imaging/filters/filter_kernels.h"

namespace vantix::filter_detail {

namespace {

constexpr int32_t kBorder = 2;

// One output row: samples [first, last) of the destination row from the
// source row c and the column sums. With four samples per pixel the fourth
// is written back as it was, which keeps the loop a single vector loop. The
// destination never shares memory with the source or the sums.
template <int32_t kStep>
VANTIX_KERNEL_INLINE void SharpenSamples(uint8_t* __restrict out, const uint8_t* __restrict c,
                                         const uint16_t* __restrict sums, int32_t first, int32_t last,
                                         int32_t strength) {
    // Everything fits in 16 bits here (|s * (c - b)| <= 30 * 255), which
    // lets the compiler work on 16-bit lanes.
    const auto s = static_cast<int16_t>(strength);
    for (int32_t i = first; i < last; ++i) {
        // Added in 16 bits (at most 16 * 255): left to the usual promotion,
        // the compiler widens these sums to 32-bit lanes.
        const auto left = static_cast<uint16_t>(sums[i - 2 * kStep] + sums[i - kStep]);
        const auto right = static_cast<uint16_t>(sums[i] + sums[i + kStep]);
        const auto blurred = static_cast<int16_t>(static_cast<uint16_t>(left + right) >> 4);
        const auto v = static_cast<int16_t>(c[i]);
        const auto correction = static_cast<int16_t>(s * static_cast<int16_t>(v - blurred));
        const auto value = static_cast<int16_t>(v + correction / 10);
        const auto sharpened = static_cast<uint8_t>(std::clamp<int16_t>(value, 0, 255));
        const uint8_t previous = out[i];
        out[i] = kStep == 4 && (i & 3) == 3 ? previous : sharpened;
    }
}

template <int32_t kStep>
VANTIX_KERNEL_INLINE void SharpenSamples(uint16_t* __restrict out, const uint16_t* __restrict c,
                                         const int32_t* __restrict sums, int32_t first, int32_t last,
                                         int32_t strength) {
    for (int32_t i = first; i < last; ++i) {
        const int32_t blurred = (sums[i - 2 * kStep] + sums[i - kStep] + sums[i] + sums[i + kStep]) >> 4;
        const int32_t v = c[i];
        // The tenth through the single-precision reciprocal: three vector
        // instructions where the integer division takes a dozen.
        const int32_t value = v + TruncatedTenth(strength * (v - blurred));
        const auto sharpened = static_cast<uint16_t>(std::clamp(value, 0, 65535));
        // Merged by a mask rather than a choice: the compiler would move the
        // conversion into the chosen branch, and as a conversion may raise a
        // floating-point exception it then cannot vectorise the loop.
        const auto keep = static_cast<uint16_t>(kStep == 4 && (i & 3) == 3 ? 0xFFFF : 0);
        out[i] = static_cast<uint16_t>((out[i] & keep) | (sharpened & ~keep));
    }
}

template <typename T>
VANTIX_KERNEL_INLINE void Prefetch(const T* samples, int32_t count) {
    const auto* bytes = reinterpret_cast<const char*>(samples);
    const auto size = static_cast<size_t>(count) * sizeof(T);
    for (size_t at = 0; at < size; at += 64) {
        __builtin_prefetch(bytes + at, 0, 2);
    }
}

// Output samples per strip: the column sums a strip reads are written just
// before, so they are still in the first-level cache (a whole row of them,
// 30-60 KB, is not).
constexpr int32_t kStripSamples = 1024;

template <typename T, int32_t kStep>
VANTIX_KERNEL_INLINE void SharpenRowOf(const SharpenRowJob& job) {
    // Column sums of four rows: at most 4 * 255 for 8-bit channels, so 16
    // bits suffice there.
    using Sum = std::conditional_t<sizeof(T) == 1, uint16_t, int32_t>;
    const T* __restrict r0 = static_cast<const T*>(job.r0);
    const T* __restrict r1 = static_cast<const T*>(job.r1);
    const T* __restrict r2 = static_cast<const T*>(job.r2);
    const T* __restrict r3 = static_cast<const T*>(job.r3);
    Sum* __restrict sums = static_cast<Sum*>(job.sums);
    // Output samples: all samples of pixels 2..width - 3; the strip [a, b)
    // reads the sums [a - 2 step, b + step).
    const int32_t first = kBorder * kStep;
    const int32_t last = (job.pixels - kBorder) * kStep;
    int32_t summed = 0;
    for (int32_t a = first; a < last; a += kStripSamples) {
        const int32_t b = std::min(a + kStripSamples, last);
        const int32_t needed = b + kStep;
        for (int32_t i = summed; i < needed; ++i) {
            sums[i] = static_cast<Sum>(r0[i] + r1[i] + r2[i] + r3[i]);
        }
        summed = needed;
        if (job.nextSource != nullptr) {
            Prefetch(static_cast<const T*>(job.nextSource) + a, b - a + kStep);
            Prefetch(static_cast<const T*>(job.nextOut) + a, b - a);
        }
        SharpenSamples<kStep>(static_cast<T*>(job.out), r2, sums, a, b, job.strength);
    }
}

template <typename T>
VANTIX_KERNEL_INLINE void SharpenRowByStep(const SharpenRowJob& job) {
    switch (job.step) {
    case 1: SharpenRowOf<T, 1>(job); break;
    case 3: SharpenRowOf<T, 3>(job); break;
    default: SharpenRowOf<T, 4>(job); break;
    }
}

}  // namespace

void SharpenRow8Baseline(const SharpenRowJob& job) { SharpenRowByStep<uint8_t>(job); }
void SharpenRow16Baseline(const SharpenRowJob& job) { SharpenRowByStep<uint16_t>(job); }

#if VANTIX_HAVE_AVX2_KERNELS
VANTIX_KERNEL_AVX2 void SharpenRow8Avx2(const SharpenRowJob& job) { SharpenRowByStep<uint8_t>(job); }
VANTIX_KERNEL_AVX2 void SharpenRow16Avx2(const SharpenRowJob& job) { SharpenRowByStep<uint16_t>(job); }
VANTIX_KERNEL_AVX512 void SharpenRow8Avx512(const SharpenRowJob& job) { SharpenRowByStep<uint8_t>(job); }
VANTIX_KERNEL_AVX512 void SharpenRow16Avx512(const SharpenRowJob& job) { SharpenRowByStep<uint16_t>(job); }
#endif

}  // namespace vantix::filter_detail
