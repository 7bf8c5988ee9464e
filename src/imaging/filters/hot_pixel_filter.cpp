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
// Each row is first screened just before it is resolved (the rows above
// final, the row itself untouched): 8-bit rows with both tests by a row
// kernel (hot_pixel_kernels.cpp), 16-bit rows with the mean test alone,
// vectorised. The screen can only be wrong about the two samples after a
// replacement, whose tests read the replaced sample; so the full test runs
// on the samples the screen flags and on the two after each replacement.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/bayer_pattern.h"
#include "imaging/cpu_dispatch.h"
#include "imaging/filters/filter_bands.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/filter_region.h"
#include "imaging/filters/filters.h"
#include "imaging/row_bands.h"

namespace vantix {

namespace {

using filter_detail::Region;

constexpr int32_t kBorder = 2;

struct BayerGains {
    int32_t bayerMode;
    int32_t red;   // gain percent x 1.28, truncated: 128 at 100 %
    int32_t blue;
};

// The 8-bit row kernels' view of row y: its five rows, its Bayer flags and
// the gains.
filter_detail::HotPixelScreenJob ScreenJobOf(const Region& region, int32_t y, const BayerGains& gains,
                                             uint8_t* flags) {
    filter_detail::HotPixelScreenJob job{};
    for (int32_t i = 0; i < 5; ++i) {
        job.rows[i] = region.DstRow(y - 2 + i);
    }
    job.flags = flags;
    job.width = region.width;
    job.rowFlag = bayer::RowFlag(gains.bayerMode, y);
    job.flaggedColumnParity = bayer::ColumnFlagStart(gains.bayerMode) ? 0 : 1;
    job.redGain = gains.red;
    job.blueGain = gains.blue;
    return job;
}

// The screen of one row on the values the frame holds now: flags[x] for x
// in 2..width - 3.
template <typename T>
void ScreenRow(const Region& region, int32_t y, const BayerGains& gains, uint8_t* flags) {
    if constexpr (sizeof(T) == 1) {
        filter_detail::FilterKernelsFor(ActiveKernelLevel()).hotPixelScreen8(ScreenJobOf(region, y, gains, flags));
        return;
    }
    const T* row = filter_detail::SampleRow<T>(region.DstRow(y));
    const T* up = filter_detail::SampleRow<T>(region.DstRow(y - 2));
    const T* down = filter_detail::SampleRow<T>(region.DstRow(y + 2));
    const int32_t endX = region.width - kBorder;
    for (int32_t x = kBorder; x < endX; ++x) {
        const int32_t mean = (row[x - 2] + row[x + 2] + up[x] + down[x]) >> 2;
        flags[x] = static_cast<uint8_t>(std::abs(row[x] - mean) >= kHotPixelThreshold16);
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
// value). Logs each replacement when `log` is not null; returns how many
// were replaced.
template <typename T>
int32_t ResolveRow(const Region& region, int32_t y, const uint8_t* flags, const BayerGains& gains,
                   std::vector<HotPixelChange>* log) {
    T* row = filter_detail::SampleRow<T>(region.DstRow(y));
    const T* above = filter_detail::SampleRow<T>(region.DstRow(y - 1));
    const T* below = filter_detail::SampleRow<T>(region.DstRow(y + 1));
    const T* up = filter_detail::SampleRow<T>(region.DstRow(y - 2));
    const T* down = filter_detail::SampleRow<T>(region.DstRow(y + 2));
    const int32_t endX = region.width - kBorder;  // exclusive
    // 8-bit samples are tested by the row kernels' own single-sample test.
    const filter_detail::HotPixelScreenJob job = ScreenJobOf(region, y, gains, nullptr);
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
            replace = filter_detail::HotPixelTests8(job, x);
        } else {
            replace = IsLoneSample16(above, row, below, up, down, x);
        }
        if (replace) {
            if (log != nullptr) {
                log->push_back(HotPixelChange{y, x, row[x]});
            }
            row[x] = static_cast<T>(mean);
            lastReplaced = x;
            ++count;
        }
        ++x;
    }
    return count;
}

// Screens and resolves rows [rowBegin, rowEnd) in order, each row screened
// just before it is resolved, so that the screen sees the rows above as
// replaced. `flags` is working memory for one row. Logs each replacement
// when `log` is not null; returns how many were replaced.
template <typename T>
int32_t ResolveRows(const Region& region, const BayerGains& gains, int32_t rowBegin, int32_t rowEnd,
                    std::vector<uint8_t>& flags, std::vector<HotPixelChange>* log) {
    if (flags.size() < static_cast<size_t>(region.width)) {
        flags.resize(static_cast<size_t>(region.width));
    }
    int32_t replaced = 0;
    for (int32_t y = rowBegin; y < rowEnd; ++y) {
        ScreenRow<T>(region, y, gains, flags.data());
        replaced += ResolveRow<T>(region, y, flags.data(), gains, log);
    }
    return replaced;
}

// The whole-image filter, in memory order.
template <typename T>
int32_t FilterHotPixels(const Region& region, const BayerGains& gains) {
    std::vector<uint8_t> flags;
    return ResolveRows<T>(region, gains, kBorder, region.height - kBorder, flags, nullptr);
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

// The rows band `index` of `bands` resolves on its own: all of its rows
// inside the border but, above the last band, its last two, which the band
// under it reads as delivered.
RowBand SpeculativeRows(const Region& region, int32_t index, int32_t bands) {
    const RowBand band = BandOf(index, bands, region.height);
    const int32_t last = region.height - kBorder;
    const int32_t end = index == bands - 1 ? last : std::min(band.end - 2, last);
    return {std::max(band.begin, kBorder), std::max(end, kBorder), index};
}

// The mend after the bands: walks down from each band's two held-back rows,
// resolving them and then the rows under them again in order with what was
// actually replaced above. Before a row is resolved again it is put back as
// delivered (from the band's log of replacements), with the rows it reads
// under it; its banded result is kept aside. Once two rows in a row come out
// as the band had them, every later row of the band saw the same values as
// it would in order, and the walk puts back the banded results it had
// undone and goes on to the next band's held rows.
template <typename T>
class BandMend {
public:
    BandMend(const Region& region, const BayerGains& gains, int32_t bands, HotPixelScratch& scratch)
        : region_(region), gains_(gains), bands_(bands), scratch_(scratch), rowBytes_(static_cast<size_t>(region.width) * sizeof(T)),
          last_(region.height - kBorder) {
        scratch_.aside.resize(rowBytes_ * kAsideRows);
    }

    void Run() {
        int32_t next = kBorder;
        for (int32_t k = 1; k < bands_; ++k) {
            const int32_t held = SpeculativeRows(region_, k - 1, bands_).end;
            if (held >= last_) {
                return;
            }
            if (next <= held) {
                // The rows above are final: start at the held rows.
                next = held;
                restoredTo_ = held - 1;
            }
            next = Walk(next);
        }
    }

private:
    static constexpr int32_t kAsideRows = 4;

    struct Span {
        const HotPixelChange* first;
        const HotPixelChange* last;
        const HotPixelChange* begin() const { return first; }
        const HotPixelChange* end() const { return last; }
    };

    // Which band resolved `row` in the banded pass, or -1 for a held-back
    // row and the border.
    int32_t SpeculativeBandOf(int32_t row) const {
        for (int32_t k = 0; k < bands_; ++k) {
            const RowBand rows = SpeculativeRows(region_, k, bands_);
            if (row >= rows.begin && row < rows.end) {
                return k;
            }
        }
        return -1;
    }

    Span ChangesOf(int32_t row) const {
        const int32_t band = row >= kBorder ? SpeculativeBandOf(row) : -1;
        if (band < 0) {
            return {nullptr, nullptr};
        }
        const std::vector<HotPixelChange>& log = scratch_.bands[static_cast<size_t>(band)].changes;
        const auto [first, last] = std::equal_range(
            log.begin(), log.end(), HotPixelChange{row, 0, 0},
            [](const HotPixelChange& a, const HotPixelChange& b) { return a.row < b.row; });
        return {log.data() + (first - log.begin()), log.data() + (last - log.begin())};
    }

    T* Row(int32_t row) const { return filter_detail::SampleRow<T>(region_.DstRow(row)); }
    uint8_t* Aside(int32_t row) const { return scratch_.aside.data() + static_cast<size_t>(row % kAsideRows) * rowBytes_; }

    // Puts rows up to `row` back as delivered, keeping their banded results
    // aside.
    void RestoreThrough(int32_t row) {
        while (restoredTo_ < row) {
            const int32_t r = ++restoredTo_;
            const Span changes = ChangesOf(r);
            aside_[r % kAsideRows] = changes.first != nullptr;
            if (changes.first == nullptr) {
                continue;  // held back or outside the resolved rows: as delivered already
            }
            std::memcpy(Aside(r), Row(r), rowBytes_);
            T* samples = Row(r);
            for (const HotPixelChange& change : changes) {
                samples[change.column] = static_cast<T>(change.old);
            }
        }
    }

    // Resolves rows from `next` until two banded rows come out unchanged;
    // returns the row after the last one resolved.
    int32_t Walk(int32_t next) {
        int32_t matched = 0;
        while (next < last_) {
            RestoreThrough(std::min(next + 2, region_.height - 1));
            ResolveRows<T>(region_, gains_, next, next + 1, scratch_.flags, nullptr);
            const bool banded = aside_[next % kAsideRows];
            matched = banded && std::memcmp(Aside(next), Row(next), rowBytes_) == 0 ? matched + 1 : 0;
            ++next;
            if (matched == 2) {
                for (int32_t r = next; r <= restoredTo_; ++r) {
                    if (aside_[r % kAsideRows]) {
                        std::memcpy(Row(r), Aside(r), rowBytes_);
                    }
                }
                restoredTo_ = next - 1;
                break;
            }
        }
        return next;
    }

    const Region& region_;
    const BayerGains& gains_;
    int32_t bands_;
    HotPixelScratch& scratch_;
    size_t rowBytes_;
    int32_t last_;
    int32_t restoredTo_ = -1;
    bool aside_[kAsideRows] = {};
};

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

void HotPixelPrepareBands(HotPixelScratch& scratch, int32_t bands) {
    if (scratch.bands.size() < static_cast<size_t>(bands)) {
        scratch.bands.resize(static_cast<size_t>(bands));
    }
}

void HotPixelResolveBand(CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain, const RowBand& band,
                         int32_t bands, HotPixelScratch& scratch) {
    const Region region = RegionOf(raw);
    if (raw.IsEmpty() || region.width <= 2 * kBorder || region.height <= 2 * kBorder) {
        return;
    }
    const BayerGains gains = GainsOf(bayerMode, redGain, blueGain);
    HotPixelBandLog& own = scratch.bands[static_cast<size_t>(band.index)];
    own.changes.clear();
    const RowBand rows = SpeculativeRows(region, band.index, bands);
    if (region.bytesPerPixel == 1) {
        ResolveRows<uint8_t>(region, gains, rows.begin, rows.end, own.flags, &own.changes);
    } else if (region.bytesPerPixel == 2) {
        ResolveRows<uint16_t>(region, gains, rows.begin, rows.end, own.flags, &own.changes);
    }
}

void HotPixelMendBands(CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain, int32_t bands,
                       HotPixelScratch& scratch) {
    const Region region = RegionOf(raw);
    if (raw.IsEmpty() || region.width <= 2 * kBorder || region.height <= 2 * kBorder || bands <= 1) {
        return;
    }
    const BayerGains gains = GainsOf(bayerMode, redGain, blueGain);
    if (region.bytesPerPixel == 1) {
        BandMend<uint8_t>(region, gains, bands, scratch).Run();
    } else if (region.bytesPerPixel == 2) {
        BandMend<uint16_t>(region, gains, bands, scratch).Run();
    }
}

int ApplyHotPixelFilter(CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain) {
    HotPixelSettings settings{bayerMode, redGain, 100, blueGain};
    return raw.Apply(HotPixelRoutine, nullptr, nullptr, 0, 0, &settings, nullptr);
}

}  // namespace vantix
