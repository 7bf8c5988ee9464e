#include "imaging/auto_exposure.h"

#include <algorithm>

namespace vantix {

namespace {

// The factor is kept in integer hundredths: adding up -0.15, -0.1 and 0.05
// in floating point drifts (five times -0.15 gives 0.2499...), which would
// turn a quarter into a quarter less one.
constexpr int32_t kFactorOne = 100;
constexpr int32_t kFactorLow = 60;
constexpr int32_t kFactorHigh = 120;

struct Window {
    double left, top, right, bottom;
};

constexpr Window kWindows[kExposureWindowCount] = {
    {0.1, 0.1, 0.2, 0.2}, {0.1, 0.8, 0.2, 0.9}, {0.45, 0.45, 0.55, 0.55}, {0.8, 0.1, 0.9, 0.2}, {0.8, 0.8, 0.9, 0.9},
};

int32_t Edge(double fraction, int32_t size) { return static_cast<int32_t>(fraction * size); }

template <typename T>
int32_t WindowMean(const CDibImage& raw, const Window& w) {
    const int32_t x0 = Edge(w.left, raw.Width());
    const int32_t x1 = Edge(w.right, raw.Width());
    const int32_t y0 = Edge(w.top, raw.Height());
    const int32_t y1 = Edge(w.bottom, raw.Height());
    if (x1 <= x0 || y1 <= y0) {
        return kExposureWindowEmpty;
    }
    uint64_t sum = 0;
    // Picture row y is memory row height - 1 - y.
    for (int32_t y = y0; y < y1; ++y) {
        const T* row = reinterpret_cast<const T*>(raw.Row(raw.Height() - 1 - y));
        uint64_t rowSum = 0;
        for (int32_t x = x0; x < x1; ++x) {
            if constexpr (sizeof(T) == 1) {
                rowSum += row[x];
            } else {
                rowSum += (static_cast<uint32_t>(row[x]) >> 2) & 0xFFu;
            }
        }
        sum += rowSum;
    }
    const uint64_t count = static_cast<uint64_t>(x1 - x0) * static_cast<uint64_t>(y1 - y0);
    return static_cast<int32_t>(sum / count);
}

int32_t Clamp(int64_t value, int32_t minimum, int32_t maximum) {
    if (value >= maximum) {
        return maximum;
    }
    if (value < minimum) {
        return minimum;
    }
    return static_cast<int32_t>(value);
}

bool Acts(int32_t factorPercent) { return factorPercent <= kFactorLow || factorPercent >= kFactorHigh; }

}  // namespace

std::array<int32_t, kExposureWindowCount> MeasureExposureWindows(const CDibImage& raw) {
    std::array<int32_t, kExposureWindowCount> means{};
    means.fill(kExposureWindowEmpty);
    if (raw.IsEmpty() || (raw.BytesPerPixel() != 1 && raw.BytesPerPixel() != 2)) {
        return means;
    }
    for (int i = 0; i < kExposureWindowCount; ++i) {
        means[static_cast<size_t>(i)] =
            raw.BytesPerPixel() == 1 ? WindowMean<uint8_t>(raw, kWindows[i]) : WindowMean<uint16_t>(raw, kWindows[i]);
    }
    return means;
}

int32_t ExposureFactorPercent(const std::array<int32_t, kExposureWindowCount>& means) {
    int32_t factor = kFactorOne;
    for (const int32_t m : means) {
        if (m == kExposureWindowEmpty) {
            continue;
        }
        if (m > 200) {
            factor -= 15;
        } else if (m > 160) {
            factor -= 10;
        } else if (m < 100) {
            factor += 5;
        }
    }
    return factor;
}

int32_t ScaledGain(int32_t current, int32_t factorPercent, int32_t minimum, int32_t maximum) {
    if (!Acts(factorPercent)) {
        return current;
    }
    const int64_t g = std::max(current, 4);
    int64_t t = g * factorPercent / kFactorOne;
    if (factorPercent > kFactorOne && t <= 4) {
        t = 4;
    }
    return Clamp(t, minimum, maximum);
}

int32_t ScaledExposure(int32_t current, int32_t factorPercent, int32_t minimum, int32_t maximum) {
    if (!Acts(factorPercent)) {
        return current;
    }
    // The exposure register is 16 bits wide: saturate rather than wrap.
    const int64_t t = std::clamp<int64_t>(int64_t{current} * factorPercent / kFactorOne, 1, 0xFFFF);
    return Clamp(t, minimum, maximum);
}

bool RunAutoExposure(const CDibImage& raw, int32_t mode, ExposureControl& control) {
    if (mode != kAutoExposureByTime && mode != kAutoExposureByGain) {
        return false;
    }
    const int32_t factor = ExposureFactorPercent(MeasureExposureWindows(raw));
    if (!Acts(factor)) {
        return false;
    }
    if (mode == kAutoExposureByGain) {
        control.SetGlobalGain(
            ScaledGain(control.GlobalGain(), factor, control.MinGlobalGain(), control.MaxGlobalGain()));
    } else {
        control.SetExposureTime(
            ScaledExposure(control.ExposureTime(), factor, control.MinExposureTime(), control.MaxExposureTime()));
    }
    return true;
}

}  // namespace vantix
