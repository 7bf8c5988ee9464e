// Brightness: every channel is multiplied by one factor in single precision.
// The portable kernels multiply sample by sample; the others look the
// products up in a table built from the same product, which gives the same
// values and lets the pipeline fold brightness into the other tone tables.
#include <algorithm>

#include "imaging/filters/filter_region.h"
#include "imaging/filters/filters.h"
#include "imaging/filters/tone_table.h"

namespace vantix {

namespace {

using filter_detail::ChannelLayout;
using filter_detail::Region;

// Positive settings brighten up to 11 times (255), negative ones darken down
// to black (-255). The factor is worked out in double precision and rounded
// once to float, the precision of the per-channel product.
float BrightnessFactor(int32_t brightness) {
    const int32_t b = std::clamp(brightness, kBrightnessMin, kBrightnessMax);
    double t = 1.0;
    if (b > 0) {
        t = 1.0 + static_cast<double>(b) * 10.0 / 255.0;
    } else if (b < 0) {
        t = 1.0 - static_cast<double>(-b) / 255.0;
    }
    return static_cast<float>(t);
}

// trunc(c * t) limited to the channel's full scale. The factor is never
// negative, so neither is the product, and with the setting clamped the
// product stays far inside the int32 range.
template <typename T>
T Brightened(T c, float t) {
    static constexpr float kTop = sizeof(T) == 1 ? 255.0f : 65535.0f;
    const float product = std::min(static_cast<float>(c) * t, kTop);
    return static_cast<T>(static_cast<int32_t>(product));
}

template <typename T>
void Brighten(const Region& region, const ChannelLayout& layout, float t) {
    filter_detail::MapChannelsInPlace<T>(region, layout, [t](T c) { return Brightened(c, t); });
}

template <typename T>
void BuildBrightnessTableOf(T* table, int32_t brightness, int32_t top) {
    const float t = BrightnessFactor(brightness);
    for (int32_t i = 0; i <= top; ++i) {
        table[i] = Brightened(static_cast<T>(i), t);
    }
}

}  // namespace

namespace filter_detail {
void BuildBrightnessTable(int32_t brightness, uint8_t* table) { BuildBrightnessTableOf(table, brightness, 255); }
void BuildBrightnessTable(int32_t brightness, uint16_t* table) { BuildBrightnessTableOf(table, brightness, 65535); }
}  // namespace filter_detail

int BrightnessRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                      uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                      void* param1, void* param2) {
    Region region;
    ChannelLayout layout{};
    if (param1 == nullptr || !filter_detail::ResolveChannels(dst, src, srcRect, dstX, dstY, dstBytesPerPixel,
                                                             srcBytesPerPixel, dstStride, srcStride, region, layout)) {
        return 0;
    }
    const int32_t brightness = static_cast<const BrightnessSettings*>(param1)->brightness;
    const KernelLevel level = filter_detail::RoutineKernelLevel(param2);
    if (level != KernelLevel::kBaseline) {
        filter_detail::MapThroughToneTable(
            region, layout, [brightness](uint8_t* table) { filter_detail::BuildBrightnessTable(brightness, table); },
            [brightness](uint16_t* table) { filter_detail::BuildBrightnessTable(brightness, table); }, level);
        return 1;
    }
    const float t = BrightnessFactor(brightness);
    filter_detail::GatherIntoDestination(region, layout);
    if (layout.sampleBytes == 1) {
        Brighten<uint8_t>(region, layout, t);
    } else {
        Brighten<uint16_t>(region, layout, t);
    }
    return 1;
}

int ApplyBrightness(CDibImage& image, int32_t brightness) {
    return ApplyBrightness(image, brightness, ActiveKernelLevel());
}

int ApplyBrightness(CDibImage& image, int32_t brightness, KernelLevel level) {
    BrightnessSettings settings{brightness};
    return image.Apply(BrightnessRoutine, nullptr, nullptr, 0, 0, &settings, &level);
}

}  // namespace vantix
