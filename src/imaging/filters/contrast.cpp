// Contrast: a linear stretch about the middle of the range through a lookup
// table. A positive setting c cuts off c levels at each end (8-bit scale) and
// spreads the rest over the full range; a negative one compresses the full
// range into the middle.
#include <algorithm>

#include "imaging/filters/filters.h"
#include "imaging/filters/tone_table.h"

namespace vantix {

namespace {

// Entry i for cut-off c on a scale of top + 1 levels: 0 below c, top above
// top - c, else trunc((top + 1) / (top + 1 - 2c) * (i - c)). With |c| at most
// 127/256 of the scale the denominator stays positive and the stretch stays
// inside 0..top; the clamp only guards the conversion.
template <typename T>
void BuildContrastTableOf(T* table, int32_t c, int32_t top) {
    const double scale = static_cast<double>(top + 1) / static_cast<double>(top + 1 - 2 * c);
    for (int32_t i = 0; i <= top; ++i) {
        int32_t value;
        if (i < c) {
            value = 0;
        } else if (i > top - c) {
            value = top;
        } else {
            value = static_cast<int32_t>(std::clamp(scale * static_cast<double>(i - c), 0.0,
                                                    static_cast<double>(top)));
        }
        table[i] = static_cast<T>(value);
    }
}

}  // namespace

namespace filter_detail {
void BuildContrastTable(int32_t contrast, uint8_t* table) { BuildContrastTableOf(table, contrast, 255); }
void BuildContrastTable(int32_t contrast, uint16_t* table) { BuildContrastTableOf(table, contrast * 256, 65535); }
}  // namespace filter_detail

int ContrastRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                    void* param1, void* param2) {
    filter_detail::Region region;
    filter_detail::ChannelLayout layout{};
    if (param1 == nullptr || !filter_detail::ResolveChannels(dst, src, srcRect, dstX, dstY, dstBytesPerPixel,
                                                             srcBytesPerPixel, dstStride, srcStride, region, layout)) {
        return 0;
    }
    const int32_t c = std::clamp(static_cast<const ContrastSettings*>(param1)->contrast, kContrastMin, kContrastMax);
    filter_detail::MapThroughToneTable(
        region, layout, [c](uint8_t* table) { filter_detail::BuildContrastTable(c, table); },
        [c](uint16_t* table) { filter_detail::BuildContrastTable(c, table); }, filter_detail::RoutineKernelLevel(param2));
    return 1;
}

int ApplyContrast(CDibImage& image, int32_t contrast) { return ApplyContrast(image, contrast, ActiveKernelLevel()); }

int ApplyContrast(CDibImage& image, int32_t contrast, KernelLevel level) {
    ContrastSettings settings{contrast};
    return image.Apply(ContrastRoutine, nullptr, nullptr, 0, 0, &settings, &level);
}

}  // namespace vantix
