#include "imaging/gray_mode.h"

#include <algorithm>
#include <cmath>

#include "imaging/bayer_pattern.h"

namespace vantix {

namespace {

// ---- Channel gains ----

// v x m / 128 clipped at top, for 0 <= m < 128 (top + 1) and v <= 65535, in
// 32 bits: v (m >> 7) + (v (m & 127)) >> 7 equals floor(v m / 128) and stays
// below 2^32. Any larger multiplier clips every nonzero sample as well, so
// the caller clamps it into that range.
template <typename T>
VANTIX_KERNEL_INLINE void GainRowBody(T* row, int32_t width, uint32_t evenMultiplier, uint32_t oddMultiplier,
                                      uint32_t top) {
    const uint32_t evenHigh = evenMultiplier >> 7;
    const uint32_t evenLow = evenMultiplier & 127;
    const uint32_t oddHigh = oddMultiplier >> 7;
    const uint32_t oddLow = oddMultiplier & 127;
    int32_t x = 0;
    for (; x + 1 < width; x += 2) {
        const uint32_t e = row[x];
        const uint32_t o = row[x + 1];
        const uint32_t ev = e * evenHigh + ((e * evenLow) >> 7);
        const uint32_t ov = o * oddHigh + ((o * oddLow) >> 7);
        row[x] = static_cast<T>(std::min(ev, top));
        row[x + 1] = static_cast<T>(std::min(ov, top));
    }
    if (x < width) {
        const uint32_t e = row[x];
        row[x] = static_cast<T>(std::min(e * evenHigh + ((e * evenLow) >> 7), top));
    }
}

using GainRow8 = void (*)(uint8_t*, int32_t, uint32_t, uint32_t, uint32_t);
using GainRow16 = void (*)(uint16_t*, int32_t, uint32_t, uint32_t, uint32_t);

void GainRow8Baseline(uint8_t* row, int32_t width, uint32_t e, uint32_t o, uint32_t top) {
    GainRowBody(row, width, e, o, top);
}
void GainRow16Baseline(uint16_t* row, int32_t width, uint32_t e, uint32_t o, uint32_t top) {
    GainRowBody(row, width, e, o, top);
}
#if VANTIX_HAVE_AVX2_KERNELS
VANTIX_KERNEL_AVX2 void GainRow8Avx2(uint8_t* row, int32_t width, uint32_t e, uint32_t o, uint32_t top) {
    GainRowBody(row, width, e, o, top);
}
VANTIX_KERNEL_AVX2 void GainRow16Avx2(uint16_t* row, int32_t width, uint32_t e, uint32_t o, uint32_t top) {
    GainRowBody(row, width, e, o, top);
}
#endif

bool UseAvx2(KernelLevel level) {
#if VANTIX_HAVE_AVX2_KERNELS
    return level >= KernelLevel::kAvx2 && CpuHasAvx2();
#else
    (void)level;
    return false;
#endif
}

uint32_t TopFor(int32_t sampleBytes, int32_t bitDepth) {
    if (sampleBytes == 1) {
        return 0xFF;
    }
    switch (bitDepth) {
        case 10:
            return 1023;
        case 12:
            return 4095;
        case 14:
            return 16383;
        default:
            return 0xFFFF;
    }
}

template <typename T, typename Kernel>
void GainImage(CDibImage& raw, int32_t bayerMode, const GrayMultipliers& m, uint32_t top, Kernel kernel) {
    const int64_t limit = int64_t{128} * (int64_t{top} + 1) - 1;
    auto clamped = [limit](int32_t value) { return static_cast<uint32_t>(std::clamp<int64_t>(value, 0, limit)); };
    const bool evenFlag = bayer::ColumnFlagStart(bayerMode);
    for (int32_t y = 0; y < raw.Height(); ++y) {
        const int32_t state = GrayRowState(bayerMode, y);
        kernel(reinterpret_cast<T*>(raw.Row(y)), raw.Width(), clamped(m.At(state, evenFlag)),
               clamped(m.At(state, !evenFlag)), top);
    }
}

// ---- One-shot measurement ----

struct PositionSums {
    uint64_t sum = 0;
    uint64_t count = 0;
};

// Sums and counts of the samples strictly between 0 and top at even and odd
// x, in blocks short enough for 32-bit partial sums.
template <typename T>
VANTIX_KERNEL_INLINE void LevelRowBody(const T* row, int32_t width, uint32_t top, PositionSums* even,
                                       PositionSums* odd) {
    constexpr int32_t kBlockPairs = sizeof(T) == 1 ? (1 << 20) : (1 << 16);
    int32_t x = 0;
    while (x + 1 < width) {
        const int32_t pairs = std::min(kBlockPairs, (width - x) / 2);
        uint32_t se = 0;
        uint32_t so = 0;
        uint32_t ce = 0;
        uint32_t co = 0;
        const T* p = row + x;
        for (int32_t i = 0; i < pairs; ++i) {
            const uint32_t e = p[2 * i];
            const uint32_t o = p[2 * i + 1];
            const uint32_t eok = static_cast<uint32_t>(e != 0 && e != top);
            const uint32_t ook = static_cast<uint32_t>(o != 0 && o != top);
            se += eok * e;
            so += ook * o;
            ce += eok;
            co += ook;
        }
        even->sum += se;
        odd->sum += so;
        even->count += ce;
        odd->count += co;
        x += 2 * pairs;
    }
    if (x < width) {
        const uint32_t e = row[x];
        if (e != 0 && e != top) {
            even->sum += e;
            even->count += 1;
        }
    }
}

using LevelRow8 = void (*)(const uint8_t*, int32_t, uint32_t, PositionSums*, PositionSums*);
using LevelRow16 = void (*)(const uint16_t*, int32_t, uint32_t, PositionSums*, PositionSums*);

void LevelRow8Baseline(const uint8_t* row, int32_t width, uint32_t top, PositionSums* e, PositionSums* o) {
    LevelRowBody(row, width, top, e, o);
}
void LevelRow16Baseline(const uint16_t* row, int32_t width, uint32_t top, PositionSums* e, PositionSums* o) {
    LevelRowBody(row, width, top, e, o);
}
#if VANTIX_HAVE_AVX2_KERNELS
VANTIX_KERNEL_AVX2 void LevelRow8Avx2(const uint8_t* row, int32_t width, uint32_t top, PositionSums* e,
                                      PositionSums* o) {
    LevelRowBody(row, width, top, e, o);
}
VANTIX_KERNEL_AVX2 void LevelRow16Avx2(const uint16_t* row, int32_t width, uint32_t top, PositionSums* e,
                                       PositionSums* o) {
    LevelRowBody(row, width, top, e, o);
}
#endif

template <typename T, typename Kernel>
void LevelImage(const CDibImage& raw, int32_t bayerMode, uint32_t top, Kernel kernel, PositionSums (&cell)[4][2]) {
    const bool evenFlag = bayer::ColumnFlagStart(bayerMode);
    for (int32_t y = 0; y < raw.Height(); ++y) {
        const int32_t state = GrayRowState(bayerMode, y);
        kernel(reinterpret_cast<const T*>(raw.Row(y)), raw.Width(), top, &cell[state][evenFlag ? 1 : 0],
               &cell[state][evenFlag ? 0 : 1]);
    }
}

// ---- Colour to gray ----

VANTIX_KERNEL_INLINE void ToGrayRowBody(uint8_t* gray, const uint8_t* color, int32_t width, int32_t step) {
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* p = color + static_cast<ptrdiff_t>(x) * step;
        const uint32_t sum = 30u * p[2] + 59u * p[1] + 11u * p[0];
        gray[x] = static_cast<uint8_t>(sum / 100u);
    }
}

using ToGrayRow = void (*)(uint8_t*, const uint8_t*, int32_t);

void ToGrayRow24Baseline(uint8_t* gray, const uint8_t* color, int32_t width) { ToGrayRowBody(gray, color, width, 3); }
void ToGrayRow32Baseline(uint8_t* gray, const uint8_t* color, int32_t width) { ToGrayRowBody(gray, color, width, 4); }
#if VANTIX_HAVE_AVX2_KERNELS
VANTIX_KERNEL_AVX2 void ToGrayRow24Avx2(uint8_t* gray, const uint8_t* color, int32_t width) {
    ToGrayRowBody(gray, color, width, 3);
}
VANTIX_KERNEL_AVX2 void ToGrayRow32Avx2(uint8_t* gray, const uint8_t* color, int32_t width) {
    ToGrayRowBody(gray, color, width, 4);
}
#endif

}  // namespace

int32_t GrayMultipliers::At(int32_t rowState, bool columnFlag) const {
    return const_cast<GrayMultipliers*>(this)->At(rowState, columnFlag);
}

int32_t& GrayMultipliers::At(int32_t rowState, bool columnFlag) {
    switch (rowState & 3) {
        case 0:
            return columnFlag ? gainR : gainG1;
        case 1:
            return columnFlag ? gainG2 : gainB;
        case 2:
            return columnFlag ? offsetR : offsetG1;
        default:
            return columnFlag ? offsetG2 : offsetB;
    }
}

bool GrayMultipliers::IsNeutral() const {
    for (int32_t state = 0; state < 4; ++state) {
        if (At(state, false) != kGrayMultiplierNeutral || At(state, true) != kGrayMultiplierNeutral) {
            return false;
        }
    }
    return true;
}

int ApplyGrayGains(CDibImage& raw, int32_t bayerMode, const GrayMultipliers& multipliers, int32_t bitDepth,
                   KernelLevel level) {
    const int32_t sampleBytes = raw.BytesPerPixel();
    if (raw.IsEmpty() || (sampleBytes != 1 && sampleBytes != 2) || multipliers.IsNeutral()) {
        return 0;
    }
    const uint32_t top = TopFor(sampleBytes, bitDepth);
    const bool avx2 = UseAvx2(level);
    if (sampleBytes == 1) {
        GainRow8 kernel = GainRow8Baseline;
#if VANTIX_HAVE_AVX2_KERNELS
        if (avx2) kernel = GainRow8Avx2;
#endif
        GainImage<uint8_t>(raw, bayerMode, multipliers, top, kernel);
    } else {
        GainRow16 kernel = GainRow16Baseline;
#if VANTIX_HAVE_AVX2_KERNELS
        if (avx2) kernel = GainRow16Avx2;
#endif
        GainImage<uint16_t>(raw, bayerMode, multipliers, top, kernel);
    }
    (void)avx2;
    return 1;
}

int ApplyGrayGains(CDibImage& raw, int32_t bayerMode, const GrayMultipliers& multipliers, int32_t bitDepth) {
    return ApplyGrayGains(raw, bayerMode, multipliers, bitDepth, ActiveKernelLevel());
}

bool MeasureGrayGains(const CDibImage& raw, int32_t bayerMode, GrayMultipliers* multipliers, KernelLevel level) {
    const int32_t sampleBytes = raw.BytesPerPixel();
    if (multipliers == nullptr || raw.IsEmpty() || (sampleBytes != 1 && sampleBytes != 2)) {
        return false;
    }
    PositionSums cell[4][2];
    const bool avx2 = UseAvx2(level);
    if (sampleBytes == 1) {
        LevelRow8 kernel = LevelRow8Baseline;
#if VANTIX_HAVE_AVX2_KERNELS
        if (avx2) kernel = LevelRow8Avx2;
#endif
        LevelImage<uint8_t>(raw, bayerMode, 0xFF, kernel, cell);
    } else {
        LevelRow16 kernel = LevelRow16Baseline;
#if VANTIX_HAVE_AVX2_KERNELS
        if (avx2) kernel = LevelRow16Avx2;
#endif
        LevelImage<uint16_t>(raw, bayerMode, 0xFFFF, kernel, cell);
    }
    (void)avx2;
    double means[4][2];
    double largest = 0.0;
    for (int32_t state = 0; state < 4; ++state) {
        for (int32_t flag = 0; flag < 2; ++flag) {
            const PositionSums& p = cell[state][flag];
            if (p.count == 0) {
                return false;
            }
            means[state][flag] = static_cast<double>(p.sum) / static_cast<double>(p.count);
            largest = std::max(largest, means[state][flag]);
        }
    }
    // Every counted sample is at least 1, so each mean is too, and the
    // quotients stay below the full-scale value x 128.
    for (int32_t state = 0; state < 4; ++state) {
        for (int32_t flag = 0; flag < 2; ++flag) {
            multipliers->At(state, flag != 0) =
                static_cast<int32_t>(std::trunc(largest / means[state][flag] * kGrayMultiplierNeutral));
        }
    }
    return true;
}

bool MeasureGrayGains(const CDibImage& raw, int32_t bayerMode, GrayMultipliers* multipliers) {
    return MeasureGrayGains(raw, bayerMode, multipliers, ActiveKernelLevel());
}

int ColorToGray(CDibImage& gray, const CDibImage& color, KernelLevel level) {
    const int32_t step = color.BytesPerPixel();
    if (gray.IsEmpty() || color.IsEmpty() || gray.BytesPerPixel() != 1 || (step != 3 && step != 4) ||
        gray.Width() != color.Width() || gray.Height() != color.Height()) {
        return 0;
    }
    ToGrayRow kernel = step == 3 ? ToGrayRow24Baseline : ToGrayRow32Baseline;
#if VANTIX_HAVE_AVX2_KERNELS
    if (UseAvx2(level)) kernel = step == 3 ? ToGrayRow24Avx2 : ToGrayRow32Avx2;
#else
    (void)level;
#endif
    for (int32_t y = 0; y < gray.Height(); ++y) {
        kernel(gray.Row(y), color.Row(y), gray.Width());
    }
    return 1;
}

int ColorToGray(CDibImage& gray, const CDibImage& color) { return ColorToGray(gray, color, ActiveKernelLevel()); }

}  // namespace vantix
