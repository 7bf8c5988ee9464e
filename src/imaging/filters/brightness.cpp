// Brightness: every channel is multiplied by one factor in single precision.
#include <algorithm>

#include "imaging/filters/filter_region.h"
#include "imaging/filters/filters.h"

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
void Brighten(const Region& region, const ChannelLayout& layout, float t) {
    static constexpr float kTop = sizeof(T) == 1 ? 255.0f : 65535.0f;
    filter_detail::MapChannelsInPlace<T>(region, layout, [t](T c) {
        const float product = std::min(static_cast<float>(c) * t, kTop);
        return static_cast<T>(static_cast<int32_t>(product));
    });
}

}  // namespace

int BrightnessRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                      uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                      void* param1, void* /*param2*/) {
    Region region;
    ChannelLayout layout{};
    if (param1 == nullptr || !filter_detail::ResolveChannels(dst, src, srcRect, dstX, dstY, dstBytesPerPixel,
                                                             srcBytesPerPixel, dstStride, srcStride, region, layout)) {
        return 0;
    }
    const float t = BrightnessFactor(static_cast<const BrightnessSettings*>(param1)->brightness);
    filter_detail::GatherIntoDestination(region, layout);
    if (layout.sampleBytes == 1) {
        Brighten<uint8_t>(region, layout, t);
    } else {
        Brighten<uint16_t>(region, layout, t);
    }
    return 1;
}

int ApplyBrightness(CDibImage& image, int32_t brightness) {
    BrightnessSettings settings{brightness};
    return image.Apply(BrightnessRoutine, nullptr, nullptr, 0, 0, &settings, nullptr);
}

}  // namespace vantix
