#pragma once
// The filters by row bands, for a pipeline that spreads a frame over
// several threads. Rows are memory rows. Each function names what it reads
// outside its rows; the caller runs the bands of one pass at once and the
// passes one after the other. Every result equals the whole-image filter's.
#include <array>
#include <cstdint>
#include <vector>

#include "imaging/cpu_dispatch.h"
#include "imaging/dib_image.h"
#include "imaging/filters/tone_table.h"
#include "imaging/row_bands.h"

namespace vantix {

// Dot filter in four steps: PrepareDotFilter once, the mark pass over all
// rows (any bands), then over the bands of the split PrepareDotFilter was
// given (BandOf(i, bands, height)) the look-down pass, DotFilterJoinBands on
// one thread, and the fill pass. The mark pass reads raw rows one above and
// below its own. The look-down pass records for every sample of its band the
// nearest unmarked sample below it in its column, as far as the band
// reaches; the join carries the columns that run out of a band on from the
// bands below (and the values above a band from the bands above); the fill
// pass reads unmarked samples (which nobody writes),
// the marks, and the look-down records of its own band, into which it first
// writes the joined value where a column runs out of the band.
struct DotFilterPlanes {
    std::vector<uint8_t> below;   // per sample: the value found below (raw's sample width)
    std::vector<int32_t> open;    // per band and column: first row that needs the joined value
    std::vector<int32_t> joined;  // per band and column: the value from the bands below
    std::vector<int32_t> lowest;  // per band and column: its lowest unmarked sample, or -1
    std::vector<int32_t> above;   // per band and column: the value from the bands above
};
struct DotFilterPlan {
    CDibImage* raw = nullptr;
    uint8_t* samples = nullptr;  // raw's first memory row
    ptrdiff_t sampleStride = 0;
    const CDibImage* hotMap = nullptr;
    const CDibImage* deadMap = nullptr;
    uint8_t* marks = nullptr;  // the work map's first row, or ownMarks
    ptrdiff_t markStride = 0;
    int32_t markBytes = 1;
    int32_t threshold = 0;
    int32_t bands = 1;
    DotFilterPlanes* planes = nullptr;
    KernelLevel level = KernelLevel::kBaseline;  // ActiveKernelLevel(); every level gives the same samples
};
// Per-thread scratch of the passes, kept between frames.
struct DotFilterScratch {
    std::vector<uint8_t> flags;
    std::vector<uint8_t> above;  // per column: the nearest unmarked sample above (raw's sample width)
    std::vector<uint8_t> left;   // per column: the nearest unmarked sample to the left (raw's sample width)
    std::vector<uint8_t> right;  // likewise to the right
};
// As ApplyDotFilter chooses the marks' place: the work map when it can hold
// them, otherwise ownMarks (resized). Sizes `planes` for `bands` bands.
// False when raw is not 8- or 16-bit.
bool PrepareDotFilter(CDibImage& raw, const CDibImage& hotMap, const CDibImage& deadMap, CDibImage& workMap,
                      std::vector<uint8_t>& ownMarks, DotFilterPlanes& planes, int32_t bands, DotFilterPlan* plan);
void DotFilterMarkRows(const DotFilterPlan& plan, int32_t rowBegin, int32_t rowEnd, DotFilterScratch& scratch);
// `band` is band `band.index` of the plan's split.
void DotFilterLookDownRows(const DotFilterPlan& plan, const RowBand& band, DotFilterScratch& scratch);
void DotFilterJoinBands(const DotFilterPlan& plan);
void DotFilterFillRows(const DotFilterPlan& plan, const RowBand& band, DotFilterScratch& scratch);

// Hot-pixel filter in two passes. The resolve pass, by the bands of one
// split (`bands` of them, see BandOf), screens and resolves each band's rows
// in memory order like the whole-image filter, each row screened just before
// it is resolved; each band assumes the two rows over it hold no replacement
// (they are the band above's last two, which it leaves as delivered) and
// leaves its own last two rows (but the last band's) to the mend. The mend
// pass, on one thread, resolves those rows and redoes the rows under them
// that saw other values than in order, so the result is the whole-image
// filter's.
struct HotPixelChange {
    int32_t row;
    int32_t column;
    int32_t old;  // the sample as it was before the replacement
};
struct HotPixelBandLog {
    std::vector<HotPixelChange> changes;  // the band's replacements, in memory order
    std::vector<uint8_t> flags;           // the screen of the row being resolved
};
struct HotPixelScratch {
    std::vector<HotPixelBandLog> bands;   // per band of the resolve pass
    std::vector<uint8_t> flags;           // the mend's screen of the row it resolves
    std::vector<uint8_t> aside;           // the mend's copies of banded rows it redoes
};
// Before the resolve pass: room for the bands' logs.
void HotPixelPrepareBands(HotPixelScratch& scratch, int32_t bands);
void HotPixelResolveBand(CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain, const RowBand& band,
                         int32_t bands, HotPixelScratch& scratch);
void HotPixelMendBands(CDibImage& raw, int32_t bayerMode, int32_t redGain, int32_t blueGain, int32_t bands,
                       HotPixelScratch& scratch);

// Point filters on rows [rowBegin, rowEnd) of the image, in place.
// ApplyHueSaturationRows tells whether it rewrote the rows, which leaves
// 16-bit channels with a low byte of 0; neutral settings leave them as they
// are.
bool ApplyHueSaturationRows(CDibImage& image, int32_t hue, int32_t saturation, int32_t rowBegin, int32_t rowEnd,
                            KernelLevel level);
// table.sampleBytes must match the image's channel width. highBytesOnly:
// every 16-bit sample of the rows has a low byte of 0, and the table's
// high-byte index is filled in (ToneTable::IndexHighBytes).
void MapToneTableRows(CDibImage& image, const filter_detail::ToneTable& table, int32_t rowBegin, int32_t rowEnd,
                      KernelLevel level, bool highBytesOnly = false);

// Gives scratch the image's size, depth and stride (re-creating it only
// when they differ), without copying pixels. 1 on success, 0 when image is
// empty or scratch cannot be created.
int PrepareFilterScratch(const CDibImage& image, CDibImage& scratch);

// Sharpness in place, band by band: the image's rows [rowBegin, rowEnd) of
// `band`, in order from the band's top, calls following each other. The
// filter reads each output row's source rows two above and one below as the
// stages before it left them: the band's own rows from `sourceRows` (a
// per-thread copy of its last three source rows, made as each row is
// sharpened) or, for the row under it, from the image; the rows of the bands
// beside it from `halo`, where the band has put them itself
// (SharpnessHaloRows). `sums` and `sourceRows` are per-thread scratch. The
// two-pixel border is left alone.
inline constexpr int32_t kSharpnessBorder = 2;
struct SharpnessBandScratch {
    std::vector<int32_t> sums;
    std::vector<uint8_t> sourceRows;
};
// The rows of other bands that band `band` of an image of `height` rows
// reads: the two above it and the one under it; -1 for none.
inline std::array<int32_t, 3> SharpnessHaloRows(const RowBand& band, int32_t height) {
    return {band.begin >= 2 ? band.begin - 2 : -1, band.begin >= 1 ? band.begin - 1 : -1,
            band.end < height ? band.end : -1};
}
void ApplySharpnessInBand(CDibImage& image, const CDibImage& edges, int32_t sharpness, const RowBand& band,
                          int32_t rowBegin, int32_t rowEnd, SharpnessBandScratch& scratch, KernelLevel level);

}  // namespace vantix
