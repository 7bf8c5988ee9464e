// Hue and saturation in integer HSL arithmetic.
//
// A pixel is split into its lightness (the sum n of its largest and smallest
// channel), its chroma d (their difference) and its position on a colour
// circle of 1530 steps, 255 per sextant. Saturation scales the chroma by
// (s + 256) / 256, limited so that no channel leaves 0..255; the hue setting
// turns the pixel around the circle. The pixel is then rebuilt from its new
// smallest channel and width: in each sextant two channels sit at one end of
// the width and the third travels between them.
//
// The per-pixel arithmetic is in hue_saturation_kernels.cpp; this file
// turns the settings into the circle's terms and runs the rows.
#include <algorithm>

#include "imaging/filters/filter_bands.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/filter_region.h"
#include "imaging/filters/filters.h"

namespace vantix {

namespace {

using filter_detail::HueShift;
using filter_detail::Region;

// Turns degrees into steps of the 1530-step circle: first into a 16-bit
// angle, then into 1536 steps of 256 per sextant, of which the 256th of each
// sextant folds onto the next.
HueShift MakeHueShift(int32_t hueDegrees, int32_t saturation) {
    const int32_t h = std::clamp(hueDegrees, kHueMin, kHueMax);
    const int32_t h16 = (h * 65536 / 360) & 0xFFFF;
    const int32_t h6 = (h16 * 6) >> 8;
    int32_t a0 = h6 % 512;
    if (a0 >= 256) {
        a0 -= 512;
    }
    const int32_t k = ((h6 + 256) / 512) % 3;
    int32_t a = a0 + 510 * k;
    if (a < 0) {
        a += 1530;
    } else if (a > 1529) {
        a -= 1530;
    }
    const int32_t s = std::clamp(saturation, kSaturationMin, kSaturationMax);
    return {a, a / 255, a % 255, s + 256};
}

}  // namespace

int HueSaturationRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                         uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                         int32_t srcStride, void* param1, void* param2) {
    Region region;
    filter_detail::ChannelLayout layout{};
    if (param1 == nullptr || !filter_detail::ResolveChannels(dst, src, srcRect, dstX, dstY, dstBytesPerPixel,
                                                             srcBytesPerPixel, dstStride, srcStride, region, layout) ||
        layout.channels != 3) {
        return 0;
    }
    const auto* settings = static_cast<const HueSaturationSettings*>(param1);
    const HueShift shift = MakeHueShift(settings->hue, settings->saturation);
    filter_detail::GatherIntoDestination(region, layout);
    if (shift.offset == 0 && shift.saturation == 256) {
        // No turn and no scaling. The rebuild divides by 256 where the split
        // divided by 255, which would move about one colour in seven by a
        // level; neutral settings leave the image exactly as it is.
        return 1;
    }
    const filter_detail::HueRow row = filter_detail::FilterKernelsFor(filter_detail::RoutineKernelLevel(param2)).hue;
    for (int32_t y = 0; y < region.height; ++y) {
        row(region.DstRow(y), region.width, region.bytesPerPixel, shift);
    }
    return 1;
}

int ApplyHueSaturation(CDibImage& image, int32_t hue, int32_t saturation) {
    return ApplyHueSaturation(image, hue, saturation, ActiveKernelLevel());
}

int ApplyHueSaturation(CDibImage& image, int32_t hue, int32_t saturation, KernelLevel level) {
    HueSaturationSettings settings{hue, 0, saturation, 16};
    return image.Apply(HueSaturationRoutine, nullptr, nullptr, 0, 0, &settings, &level);
}

}  // namespace vantix

namespace vantix {

bool ApplyHueSaturationRows(CDibImage& image, int32_t hue, int32_t saturation, int32_t rowBegin, int32_t rowEnd,
                            KernelLevel level) {
    const int32_t bytesPerPixel = image.BytesPerPixel();
    if (image.IsEmpty() || (bytesPerPixel != 3 && bytesPerPixel != 4 && bytesPerPixel != 6 && bytesPerPixel != 8)) {
        return false;
    }
    const HueShift shift = MakeHueShift(hue, saturation);
    if (shift.offset == 0 && shift.saturation == 256) {
        return false;  // neutral: the image stays as it is (see HueSaturationRoutine)
    }
    const filter_detail::HueRow row = filter_detail::FilterKernelsFor(level).hue;
    for (int32_t y = std::max(rowBegin, 0); y < std::min(rowEnd, image.Height()); ++y) {
        row(image.Row(y), image.Width(), bytesPerPixel, shift);
    }
    return true;
}

}  // namespace vantix
