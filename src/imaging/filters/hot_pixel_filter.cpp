// Hot-pixel filter on raw Bayer samples, before demosaicing.
//
// Over rows and columns 2..size - 3, each sample v is compared with u, the
// mean of its four same-colour neighbours two samples away (sum shifted right
// by 2), and replaced by u when it is a defect:
//   - 16-bit samples: |v - u| >= 7680 and every one of the eight direct
//     neighbours differs from v by at least 7680, so that only a lone sample
//     goes, never an edge or a bright structure;
//   - 8-bit samples: v - u >= 30 (brighter than its surroundings only) and
//     the colour the demosaic would make of the 2 x 2 block ending at v is
//     strong, which is what a lone hot sample does to the colour image.
//
// The filter works in place in memory order, so a sample's tests see the
// samples replaced before it (rows above, and the two samples to its left).
// Each row is first screened with the mean test alone, on the values it
// holds before the row is touched; that screen is vectorised. Replacements
// are rare, so the full test runs only on the samples that pass it and on the
// two samples after a replacement, whose screen may be stale.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/bayer_pattern.h"
#include "imaging/filters/filter_region.h"
#include "imaging/filters/filters.h"

namespace vantix {

namespace {

using filter_detail::Region;

constexpr int32_t kBorder = 2;

struct BayerGains {
    int32_t bayerMode;
    int32_t red;   // gain percent x 1.28, truncated: 128 at 100 %
    int32_t blue;
};

// The colour of the 2 x 2 block with corners (x - 1, y - 1) and (x, y) as
// the demosaic interpolates it at the block's centre, low 8 bits of each
// channel. G is the mean of the block's two G samples; R and B are weighted
// 9, 3, 3, 1 from the sample inside the block, the two of the same colour two
// samples along its row and column towards the centre, and the diagonal one.
bool BlockColourIsStrong(const uint8_t* base, ptrdiff_t stride, int32_t x, int32_t y, const BayerGains& gains) {
    auto at = [base, stride](int32_t sx, int32_t sy) { return static_cast<int32_t>(base[sy * stride + sx]); };
    int32_t greenSum = 0;
    int32_t red = 0;
    int32_t blue = 0;
    for (int32_t sy = y - 1; sy <= y; ++sy) {
        for (int32_t sx = x - 1; sx <= x; ++sx) {
            if (bayer::IsGreen(gains.bayerMode, sx, sy)) {
                greenSum += at(sx, sy);
                continue;
            }
            const int32_t farX = sx == x ? x - 2 : x + 1;
            const int32_t farY = sy == y ? y - 2 : y + 1;
            const int32_t weighted = 3 * (at(farX, sy) + at(sx, farY)) + 9 * at(sx, sy) + at(farX, farY);
            if (bayer::IsRed(gains.bayerMode, sx, sy)) {
                red = ((weighted * gains.red) >> 11) & 0xFF;
            } else {
                blue = ((weighted * gains.blue) >> 11) & 0xFF;
            }
        }
    }
    const int32_t green = greenSum >> 1;
    const int32_t strong = (std::abs(red - green) > 30) + (std::abs(red - blue) > 30) + (std::abs(green - blue) > 30);
    return strong >= 2;
}

int32_t FilterHotPixels8(const Region& region, const BayerGains& gains) {
    const int32_t width = region.width;
    const int32_t firstX = kBorder;
    const int32_t endX = width - kBorder;  // exclusive
    const ptrdiff_t stride = region.dstStride;
    uint8_t* base = region.dst;
    std::vector<uint8_t> candidates(static_cast<size_t>(width));
    uint8_t* flags = candidates.data();
    int32_t replaced = 0;
    for (int32_t y = kBorder; y < region.height - kBorder; ++y) {
        uint8_t* row = base + y * stride;
        const uint8_t* up = row - 2 * stride;
        const uint8_t* down = row + 2 * stride;
        for (int32_t x = firstX; x < endX; ++x) {
            const int32_t mean = (row[x - 2] + row[x + 2] + up[x] + down[x]) >> 2;
            flags[x] = static_cast<uint8_t>(row[x] - mean >= kHotPixelThreshold8);
        }
        int32_t lastReplaced = -kBorder - 1;
        int32_t x = firstX;
        while (x < endX) {
            if (x - lastReplaced > 2) {
                const void* next = std::memchr(flags + x, 1, static_cast<size_t>(endX - x));
                if (next == nullptr) {
                    break;
                }
                x = static_cast<int32_t>(static_cast<const uint8_t*>(next) - flags);
            }
            const int32_t mean = (row[x - 2] + row[x + 2] + up[x] + down[x]) >> 2;
            if (row[x] - mean >= kHotPixelThreshold8 && BlockColourIsStrong(base, stride, x, y, gains)) {
                row[x] = static_cast<uint8_t>(mean);
                lastReplaced = x;
                ++replaced;
            }
            ++x;
        }
    }
    return replaced;
}

// Whether v at column x of row stands alone: far from its same-colour mean
// and from all eight direct neighbours.
inline bool IsLoneSample16(const uint16_t* above, const uint16_t* row, const uint16_t* below,
                           const uint16_t* up2, const uint16_t* down2, int32_t x) {
    const int32_t v = row[x];
    const int32_t mean = (row[x - 2] + row[x + 2] + up2[x] + down2[x]) >> 2;
    auto far = [v](int32_t n) { return std::abs(v - n) >= kHotPixelThreshold16; };
    return far(mean) & far(above[x - 1]) & far(above[x]) & far(above[x + 1]) & far(row[x - 1]) & far(row[x + 1]) &
           far(below[x - 1]) & far(below[x]) & far(below[x + 1]);
}

void FilterHotPixels16(const Region& region) {
    const int32_t width = region.width;
    const int32_t firstX = kBorder;
    const int32_t endX = width - kBorder;
    std::vector<uint8_t> candidates(static_cast<size_t>(width));
    uint8_t* flags = candidates.data();
    for (int32_t y = kBorder; y < region.height - kBorder; ++y) {
        uint16_t* row = filter_detail::SampleRow<uint16_t>(region.DstRow(y));
        const uint16_t* above = filter_detail::SampleRow<uint16_t>(region.DstRow(y - 1));
        const uint16_t* below = filter_detail::SampleRow<uint16_t>(region.DstRow(y + 1));
        const uint16_t* up2 = filter_detail::SampleRow<uint16_t>(region.DstRow(y - 2));
        const uint16_t* down2 = filter_detail::SampleRow<uint16_t>(region.DstRow(y + 2));
        // The screen only compares with the mean, which rules out nearly
        // every sample of a real picture; the neighbours are looked at for
        // the few that remain.
        for (int32_t x = firstX; x < endX; ++x) {
            const int32_t mean = (row[x - 2] + row[x + 2] + up2[x] + down2[x]) >> 2;
            flags[x] = static_cast<uint8_t>(std::abs(row[x] - mean) >= kHotPixelThreshold16);
        }
        int32_t lastReplaced = -kBorder - 1;
        int32_t x = firstX;
        while (x < endX) {
            if (x - lastReplaced > 2) {
                const void* next = std::memchr(flags + x, 1, static_cast<size_t>(endX - x));
                if (next == nullptr) {
                    break;
                }
                x = static_cast<int32_t>(static_cast<const uint8_t*>(next) - flags);
            }
            if (IsLoneSample16(above, row, below, up2, down2, x)) {
                row[x] = static_cast<uint16_t>((row[x - 2] + row[x + 2] + up2[x] + down2[x]) >> 2);
                lastReplaced = x;
            }
            ++x;
        }
    }
}

}  // namespace

int HotPixelRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                    uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                    void* param1, void* /*param2*/) {
    Region region;
    filter_detail::ChannelLayout layout{};
    if (param1 == nullptr || (dstBytesPerPixel != 1 && dstBytesPerPixel != 2) ||
        !filter_detail::ResolveChannels(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel,
                                        dstStride, srcStride, region, layout)) {
        return 0;
    }
    filter_detail::GatherIntoDestination(region, layout);
    const bool tooSmall = region.width <= 2 * kBorder || region.height <= 2 * kBorder;
    if (region.bytesPerPixel == 2) {
        if (!tooSmall) {
            FilterHotPixels16(region);
        }
        return 1;
    }
    if (tooSmall) {
        return 0;
    }
    const auto* settings = static_cast<const HotPixelSettings*>(param1);
    const BayerGains gains{settings->bayerMode & 3, std::clamp(settings->redGain, 0, kBayerGainMax) * 128 / 100,
                           std::clamp(settings->blueGain, 0, kBayerGainMax) * 128 / 100};
    return FilterHotPixels8(region, gains);
}

int ApplyHotPixelFilter(CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain) {
    HotPixelSettings settings{bayerMode, redGain, 100, blueGain};
    return raw.Apply(HotPixelRoutine, nullptr, nullptr, 0, 0, &settings, nullptr);
}

}  // namespace vantix
