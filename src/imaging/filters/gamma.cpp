// Gamma: every channel v on a scale of top levels becomes
// top * (v / top)^(100 / g) through a lookup table. Gamma 100 is the
// identity, above it brightens the shadows, below it darkens them, and 0
// leaves only full scale lit.
#include <algorithm>
#include <cmath>

#include "imaging/filters/filters.h"
#include "imaging/filters/tone_table.h"

namespace vantix {

namespace {

template <typename T>
void BuildGammaTableOf(T* table, int32_t gamma, int32_t top) {
    // Gamma 0 gives an infinite exponent: every entry below full scale is 0.
    const double exponent = 1.0 / (static_cast<double>(gamma) / 100.0);
    const double scale = static_cast<double>(top);
    table[0] = 0;
    for (int32_t i = 1; i <= top; ++i) {
        const double value = scale * std::pow(static_cast<double>(i) / scale, exponent);
        table[i] = static_cast<T>(static_cast<int32_t>(std::min(value, scale)));
    }
}

}  // namespace

namespace filter_detail {
void BuildGammaTable(int32_t gamma, uint8_t* table) { BuildGammaTableOf(table, gamma, 255); }
void BuildGammaTable(int32_t gamma, uint16_t* table) { BuildGammaTableOf(table, gamma, 65535); }
}  // namespace filter_detail

int GammaRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                 uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                 void* param1, void* param2) {
    filter_detail::Region region;
    filter_detail::ChannelLayout layout{};
    if (param1 == nullptr || !filter_detail::ResolveChannels(dst, src, srcRect, dstX, dstY, dstBytesPerPixel,
                                                             srcBytesPerPixel, dstStride, srcStride, region, layout)) {
        return 0;
    }
    const int32_t g = std::clamp(static_cast<const GammaSettings*>(param1)->gamma, kGammaMin, kGammaMax);
    filter_detail::MapThroughToneTable(
        region, layout, [g](uint8_t* table) { filter_detail::BuildGammaTable(g, table); },
        [g](uint16_t* table) { filter_detail::BuildGammaTable(g, table); }, filter_detail::RoutineKernelLevel(param2));
    return 1;
}

int ApplyGamma(CDibImage& image, int32_t gamma) { return ApplyGamma(image, gamma, ActiveKernelLevel()); }

int ApplyGamma(CDibImage& image, int32_t gamma, KernelLevel level) {
    GammaSettings settings{gamma};
    return image.Apply(GammaRoutine, nullptr, nullptr, 0, 0, &settings, &level);
}

}  // namespace vantix
