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
// Per pixel the work is a short run of integer operations and selects with
// three lookups in small fixed tables; a split into separately vectorised
// passes was measured slower on the x86-64 baseline, whose vectors have no
// byte shuffles to take the B, G, R triples apart.
//
// The only table is fixed (the reciprocals); everything else is arithmetic
// on the call's settings, so nothing is shared between calls.
#include <algorithm>
#include <array>

#include "imaging/filters/filter_region.h"
#include "imaging/filters/filters.h"

namespace vantix {

namespace {

using filter_detail::Region;

// 0xFF0000 / d, truncated, so that a division by the chroma becomes a
// multiplication and a shift by 16.
constexpr std::array<int32_t, 256> kReciprocal = [] {
    std::array<int32_t, 256> table{};
    for (int32_t d = 1; d < 256; ++d) {
        table[d] = 0xFF0000 / d;
    }
    return table;
}();

struct HueShift {
    int32_t offset;      // hue offset a in steps of the 1530-step circle, 0..1529
    int32_t sextants;    // a / 255
    int32_t remainder;   // a % 255
    int32_t saturation;  // s + 256, 1..511
};

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

// Channel mask and multiplier per sextant of the rebuild, repeated so that a
// sextant index of up to 13 needs no reduction. In sextant k the masked
// channels sit at the top of the new width and the multiplier moves the
// remaining channel on the packed value R << 16 | G << 8 | B:
//   0: R, B top, B falls   1: R top, G rises   2: R, G top, R falls
//   3: G top, B rises      4: G, B top, G falls 5: B top, R rises
constexpr int32_t kSextantMask[14] = {0xFF00FF, 0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFF00FF,
                                      0xFF0000, 0xFFFF00, 0x00FF00, 0x00FFFF, 0x0000FF, 0xFF00FF, 0xFF0000};
constexpr int32_t kSextantMultiplier[14] = {-1, 256, -65536, 1, -256, 65536, -1,
                                            256, -65536, 1, -256, 65536, -1, 256};

// The new packed R << 16 | G << 8 | B of one pixel of 8-bit channels.
// Written with selects rather than branches: the sextant tests follow the
// picture's colours and would mispredict often.
inline int32_t ShiftPixel(int32_t b, int32_t g, int32_t r, const HueShift& shift) {
    // The sextant base and the numerator of the fraction travelled through
    // it (over the chroma): the larger of R and G decides between sextants
    // 0..1 and 2..3, B on top makes it 4..5, and a negative numerator steps
    // back one sextant.
    const bool redOverGreen = r >= g;
    const int32_t larger = redOverGreen ? r : g;
    const int32_t smaller = redOverGreen ? g : r;
    int32_t base = redOverGreen ? 1 : 3;
    int32_t numerator = redOverGreen ? g - b : b - r;
    const int32_t minimum = std::min(b, smaller);
    const bool blueOnTop = b > larger;
    const int32_t maximum = blueOnTop ? b : larger;
    base = blueOnTop ? 5 : base;
    numerator = blueOnTop ? r - g : numerator;
    const bool behind = numerator < 0;
    base -= behind ? 1 : 0;
    numerator += behind ? maximum - minimum : 0;
    const int32_t n = maximum + minimum;
    const int32_t d = maximum - minimum;
    // New chroma: scaled, and no wider than the lightness leaves room for;
    // then the new smallest channel and width.
    const int32_t scaled = (d * shift.saturation * 256 + 0x8000) >> 16;
    const int32_t m = std::min(std::min(n, 510 - n), scaled);
    const int32_t low = (n - m) >> 1;
    const int32_t width = ((n + m) >> 1) - low;
    // Position in the turned sextant, 0..254. A gray pixel (d = 0) has width
    // 0, so the hue term adds nothing and needs no test.
    int32_t v = ((numerator * kReciprocal[d] + 0x8000) >> 16) + shift.remainder;
    int32_t index = base + shift.sextants;
    const bool wraps = v > 254;
    index += wraps ? 1 : 0;
    v -= wraps ? 255 : 0;
    return low * 0x010101 + ((width * 0x010101) & kSextantMask[index]) +
           ((width * v + 128) >> 8) * kSextantMultiplier[index];
}

template <typename T, int32_t kStep, bool kClearFourth>
void ShiftRows(const Region& region, const HueShift& shift) {
    // 16-bit channels are worked on in their high byte; the low byte becomes 0.
    constexpr int32_t kDown = sizeof(T) == 1 ? 0 : 8;
    for (int32_t y = 0; y < region.height; ++y) {
        T* p = filter_detail::SampleRow<T>(region.DstRow(y));
        for (int32_t x = 0; x < region.width; ++x, p += kStep) {
            const int32_t packed = ShiftPixel(p[0] >> kDown, p[1] >> kDown, p[2] >> kDown, shift);
            p[0] = static_cast<T>((packed & 0xFF) << kDown);
            p[1] = static_cast<T>(((packed >> 8) & 0xFF) << kDown);
            p[2] = static_cast<T>(((packed >> 16) & 0xFF) << kDown);
            if constexpr (kClearFourth) {
                p[3] = 0;
            }
        }
    }
}

}  // namespace

int HueSaturationRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                         uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                         int32_t srcStride, void* param1, void* /*param2*/) {
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
    switch (region.bytesPerPixel) {
    case 3: ShiftRows<uint8_t, 3, false>(region, shift); break;
    case 4: ShiftRows<uint8_t, 4, false>(region, shift); break;
    case 6: ShiftRows<uint16_t, 3, false>(region, shift); break;
    default: ShiftRows<uint16_t, 4, true>(region, shift); break;
    }
    return 1;
}

int ApplyHueSaturation(CDibImage& image, int32_t hue, int32_t saturation) {
    HueSaturationSettings settings{hue, 0, saturation, 16};
    return image.Apply(HueSaturationRoutine, nullptr, nullptr, 0, 0, &settings, nullptr);
}

}  // namespace vantix
