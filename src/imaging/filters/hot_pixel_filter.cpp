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
#include "imaging/filters/filter_bands.h"
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
    // The block holds one R, one B and two G samples: R where the row flag
    // is set and the column flag clear, B the other way round, G on the two
    // remaining corners.
    const bool rowFlag = bayer::RowFlag(gains.bayerMode, y);
    const bool columnFlag = bayer::ColumnFlag(gains.bayerMode, x);
    const int32_t redX = columnFlag ? x - 1 : x;
    const int32_t redY = rowFlag ? y : y - 1;
    const int32_t blueX = columnFlag ? x : x - 1;
    const int32_t blueY = rowFlag ? y - 1 : y;
    auto weighted = [&at, x, y](int32_t sx, int32_t sy) {
        const int32_t farX = sx == x ? x - 2 : x + 1;
        const int32_t farY = sy == y ? y - 2 : y + 1;
        return 3 * (at(farX, sy) + at(sx, farY)) + 9 * at(sx, sy) + at(farX, farY);
    };
    const int32_t red = ((weighted(redX, redY) * gains.red) >> 11) & 0xFF;
    const int32_t blue = ((weighted(blueX, blueY) * gains.blue) >> 11) & 0xFF;
    const int32_t green = (at(redX, blueY) + at(blueX, redY)) >> 1;
    const int32_t strong = (std::abs(red - green) > 30) + (std::abs(red - blue) > 30) + (std::abs(green - blue) > 30);
    return strong >= 2;
}

// The mean test alone on one row, on the values the frame holds now: flags[x]
// for x in 2..width - 3.
template <typename T>
void ScreenRow(const Region& region, int32_t y, uint8_t* flags) {
    const T* row = filter_detail::SampleRow<T>(region.DstRow(y));
    const T* up = filter_detail::SampleRow<T>(region.DstRow(y - 2));
    const T* down = filter_detail::SampleRow<T>(region.DstRow(y + 2));
    const int32_t endX = region.width - kBorder;
    for (int32_t x = kBorder; x < endX; ++x) {
        const int32_t mean = (row[x - 2] + row[x + 2] + up[x] + down[x]) >> 2;
        if constexpr (sizeof(T) == 1) {
            flags[x] = static_cast<uint8_t>(row[x] - mean >= kHotPixelThreshold8);
        } else {
            flags[x] = static_cast<uint8_t>(std::abs(row[x] - mean) >= kHotPixelThreshold16);
        }
    }
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

// The full test, in place and in memory order, on the flagged samples of row
// y and on the two samples after each replacement (whose screen saw the old
// value). Appends the replaced columns to `replaced` when it is not null;
// returns how many were replaced.
template <typename T>
int32_t ResolveRow(const Region& region, int32_t y, const uint8_t* flags, const BayerGains& gains,
                   std::vector<int32_t>* replaced) {
    const ptrdiff_t stride = region.dstStride;
    T* row = filter_detail::SampleRow<T>(region.DstRow(y));
    const T* above = filter_detail::SampleRow<T>(region.DstRow(y - 1));
    const T* below = filter_detail::SampleRow<T>(region.DstRow(y + 1));
    const T* up = filter_detail::SampleRow<T>(region.DstRow(y - 2));
    const T* down = filter_detail::SampleRow<T>(region.DstRow(y + 2));
    const int32_t endX = region.width - kBorder;  // exclusive
    int32_t count = 0;
    int32_t lastReplaced = -kBorder - 1;
    int32_t x = kBorder;
    while (x < endX) {
        if (x - lastReplaced > 2) {
            const void* next = std::memchr(flags + x, 1, static_cast<size_t>(endX - x));
            if (next == nullptr) {
                break;
            }
            x = static_cast<int32_t>(static_cast<const uint8_t*>(next) - flags);
        }
        const int32_t mean = (row[x - 2] + row[x + 2] + up[x] + down[x]) >> 2;
        bool replace;
        if constexpr (sizeof(T) == 1) {
            replace = row[x] - mean >= kHotPixelThreshold8 && BlockColourIsStrong(region.dst, stride, x, y, gains);
        } else {
            replace = IsLoneSample16(above, row, below, up, down, x);
        }
        if (replace) {
            row[x] = static_cast<T>(mean);
            lastReplaced = x;
            ++count;
            if (replaced != nullptr) {
                replaced->push_back(x);
            }
        }
        ++x;
    }
    return count;
}

// The whole-image filter: each row screened just before it is resolved, so
// the screen sees the rows above as replaced.
template <typename T>
int32_t FilterHotPixels(const Region& region, const BayerGains& gains) {
    std::vector<uint8_t> candidates(static_cast<size_t>(region.width));
    int32_t replaced = 0;
    for (int32_t y = kBorder; y < region.height - kBorder; ++y) {
        ScreenRow<T>(region, y, candidates.data());
        replaced += ResolveRow<T>(region, y, candidates.data(), gains, nullptr);
    }
    return replaced;
}

Region RegionOf(const CDibImage& raw) {
    Region region;
    region.dst = const_cast<uint8_t*>(raw.Bits());
    region.src = region.dst;
    region.width = raw.Width();
    region.height = raw.Height();
    region.dstStride = raw.Stride();
    region.srcStride = raw.Stride();
    region.bytesPerPixel = raw.BytesPerPixel();
    return region;
}

BayerGains GainsOf(int32_t bayerMode, int32_t redGain, int32_t blueGain) {
    return BayerGains{bayerMode & 3, std::clamp(redGain, 0, kBayerGainMax) * 128 / 100,
                      std::clamp(blueGain, 0, kBayerGainMax) * 128 / 100};
}

template <typename T>
void ResolveFrame(const Region& region, const BayerGains& gains, uint8_t* candidates, ptrdiff_t candidateStride,
                  HotPixelScratch& scratch) {
    for (std::vector<int32_t>& list : scratch.replaced) {
        list.clear();
        list.reserve(static_cast<size_t>(region.width));
    }
    for (int32_t y = kBorder; y < region.height - kBorder; ++y) {
        uint8_t* flags = candidates + y * candidateStride;
        // Row r's replacements are kept in list r % 3 until row r + 2 is
        // done: a replacement two rows up changed the mean this row's screen
        // saw.
        for (const int32_t x : scratch.replaced[static_cast<size_t>((y + 1) % 3)]) {
            flags[x] = 1;
        }
        std::vector<int32_t>& own = scratch.replaced[static_cast<size_t>(y % 3)];
        own.clear();
        ResolveRow<T>(region, y, flags, gains, &own);
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
    const auto* settings = static_cast<const HotPixelSettings*>(param1);
    const BayerGains gains = GainsOf(settings->bayerMode, settings->redGain, settings->blueGain);
    if (region.bytesPerPixel == 2) {
        if (!tooSmall) {
            FilterHotPixels<uint16_t>(region, gains);
        }
        return 1;
    }
    if (tooSmall) {
        return 0;
    }
    return FilterHotPixels<uint8_t>(region, gains);
}

void HotPixelScreenRows(const CDibImage& raw, int32_t rowBegin, int32_t rowEnd, uint8_t* candidates,
                        ptrdiff_t candidateStride) {
    const Region region = RegionOf(raw);
    if (raw.IsEmpty() || region.width <= 2 * kBorder || (region.bytesPerPixel != 1 && region.bytesPerPixel != 2)) {
        return;
    }
    for (int32_t y = std::max(rowBegin, kBorder); y < std::min(rowEnd, region.height - kBorder); ++y) {
        uint8_t* flags = candidates + y * candidateStride;
        if (region.bytesPerPixel == 1) {
            ScreenRow<uint8_t>(region, y, flags);
        } else {
            ScreenRow<uint16_t>(region, y, flags);
        }
    }
}

void HotPixelResolve(CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain, uint8_t* candidates,
                     ptrdiff_t candidateStride, HotPixelScratch& scratch) {
    const Region region = RegionOf(raw);
    if (raw.IsEmpty() || region.width <= 2 * kBorder || region.height <= 2 * kBorder) {
        return;
    }
    const BayerGains gains = GainsOf(bayerMode, redGain, blueGain);
    if (region.bytesPerPixel == 1) {
        ResolveFrame<uint8_t>(region, gains, candidates, candidateStride, scratch);
    } else if (region.bytesPerPixel == 2) {
        ResolveFrame<uint16_t>(region, gains, candidates, candidateStride, scratch);
    }
}

int ApplyHotPixelFilter(CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain) {
    HotPixelSettings settings{bayerMode, redGain, 100, blueGain};
    return raw.Apply(HotPixelRoutine, nullptr, nullptr, 0, 0, &settings, nullptr);
}

}  // namespace vantix
