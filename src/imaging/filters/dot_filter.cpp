// Dot filter on raw samples: replaces known defects and isolated dots.
//
// Mark pass: an interior sample (rows and columns 1..size - 2) is marked when
// either defect map holds a nonzero value at its position, or when it differs
// from the mean of its four direct neighbours (sum shifted right by 2) by at
// least the threshold (30 for 8-bit samples, 480 for 16-bit ones).
//
// Fill pass: each marked sample becomes the mean (sum / 4, truncated) of the
// nearest unmarked samples to its left, right, above and below. The outer
// rows and columns are never marked, so all four exist. Only marked samples
// are written and only unmarked ones read, so the order does not matter.
//
// The searches are kept linear in the image size however many samples are
// marked: the nearest unmarked samples along a row are found by a row kernel
// (see dot_filter_kernels.cpp), the value of the nearest unmarked sample
// above each column is carried down from row to row, and the nearest one
// below is found by a per-column look-down pass from the bottom up; each row
// is then filled in one vectorisable loop.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

#include "imaging/cpu_dispatch.h"
#include "imaging/filters/filter_bands.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/filter_region.h"
#include "imaging/filters/filters.h"

namespace vantix {

namespace {

// Sets flags[x] for the columns 0..count - 1 of memory row y where map holds a
// nonzero sample. Positions outside the map are left alone.
VANTIX_KERNEL_INLINE void AddDefects(const CDibImage& map, int32_t y, int32_t count, uint8_t* flags) {
    if (map.IsEmpty() || y >= map.Height()) {
        return;
    }
    const int32_t width = std::min(count, map.Width());
    const uint8_t* row = map.Row(y);
    switch (map.BytesPerPixel()) {
    case 1:
        for (int32_t x = 0; x < width; ++x) {
            flags[x] |= static_cast<uint8_t>(row[x] != 0);
        }
        break;
    case 2: {
        const uint16_t* samples = filter_detail::SampleRow<uint16_t>(row);
        for (int32_t x = 0; x < width; ++x) {
            flags[x] |= static_cast<uint8_t>(samples[x] != 0);
        }
        break;
    }
    default: {
        const size_t bytes = map.BytesPerPixel();
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* sample = row + static_cast<size_t>(x) * bytes;
            uint8_t any = 0;
            for (size_t i = 0; i < bytes; ++i) {
                any |= sample[i];
            }
            flags[x] |= static_cast<uint8_t>(any != 0);
        }
        break;
    }
    }
}

template <typename M>
VANTIX_KERNEL_INLINE M* MarkRow(const DotFilterPlan& plan, int32_t y) {
    return filter_detail::SampleRow<M>(plan.marks + y * plan.markStride);
}

template <typename S>
VANTIX_KERNEL_INLINE S* RawRow(const DotFilterPlan& plan, int32_t y) {
    return filter_detail::SampleRow<S>(plan.samples + y * plan.sampleStride);
}

// Mark pass over rows [rowBegin, rowEnd): reads the raw samples only.
template <typename S, typename M>
VANTIX_KERNEL_INLINE void MarkRows(const DotFilterPlan& plan, int32_t rowBegin, int32_t rowEnd, DotFilterScratch& scratch) {
    const int32_t width = plan.raw->Width();
    const int32_t height = plan.raw->Height();
    scratch.flags.resize(static_cast<size_t>(width));
    uint8_t* flags = scratch.flags.data();
    for (int32_t y = rowBegin; y < rowEnd; ++y) {
        M* out = MarkRow<M>(plan, y);
        // The outer rows and columns are never marked.
        if (y == 0 || y == height - 1 || width < 3 || height < 3) {
            std::fill_n(out, width, M{0});
            continue;
        }
        std::fill_n(flags, width, uint8_t{0});
        AddDefects(*plan.hotMap, y, width, flags);
        AddDefects(*plan.deadMap, y, width, flags);
        const S* up = RawRow<S>(plan, y - 1);
        const S* row = RawRow<S>(plan, y);
        const S* down = RawRow<S>(plan, y + 1);
        out[0] = 0;
        out[width - 1] = 0;
        for (int32_t x = 1; x < width - 1; ++x) {
            const int32_t mean = (row[x - 1] + row[x + 1] + up[x] + down[x]) >> 2;
            const bool dot = std::abs(row[x] - mean) >= plan.threshold;
            out[x] = static_cast<M>(flags[x] | static_cast<uint8_t>(dot));
        }
    }
}

template <typename S>
VANTIX_KERNEL_INLINE S* BelowRow(const DotFilterPlan& plan, int32_t y) {
    return filter_detail::SampleRow<S>(plan.planes->below.data() +
                                       static_cast<size_t>(y) * static_cast<size_t>(plan.raw->Width()) * sizeof(S));
}

// The rows of a band the fill pass visits: the image's rows 1..height - 2.
VANTIX_KERNEL_INLINE RowBand FillRange(const DotFilterPlan& plan, const RowBand& band) {
    return {std::max(band.begin, 1), std::min(band.end, plan.raw->Height() - 1), band.index};
}

VANTIX_KERNEL_INLINE int32_t* BandColumns(std::vector<int32_t>& values, const DotFilterPlan& plan, int32_t band) {
    return values.data() + static_cast<size_t>(band) * static_cast<size_t>(plan.raw->Width());
}

// Look-down pass, bottom-up through the band: below(y, c) is the sample at
// the nearest unmarked row under y in column c; open(c) is the first row
// from which on no unmarked row is left inside the band, so that the value
// must come from further down (the join): the lowest unmarked row of the
// column among the band's fill rows after its first and the row under the
// band, or the first fill row when there is none. Reads the marks and
// unmarked samples of the row under the band, never the next band's
// records. Also notes the lowest unmarked sample of each column in the band,
// which the band under it starts its values above from. Both searches go
// upwards only until every column has met an unmarked sample, which in most
// pictures is within a few rows of the band's end.
template <typename S, typename M>
VANTIX_KERNEL_INLINE void LookDownRows(const DotFilterPlan& plan, const RowBand& band) {
    const int32_t width = plan.raw->Width();
    const RowBand rows = FillRange(plan, band);
    int32_t* open = BandColumns(plan.planes->open, plan, band.index);
    int32_t* lowest = BandColumns(plan.planes->lowest, plan, band.index);
    std::fill_n(lowest, width, -1);
    int32_t missing = width;
    for (int32_t y = band.end - 1; y >= band.begin && missing > 0; --y) {
        const M* mark = MarkRow<M>(plan, y);
        const S* samples = RawRow<S>(plan, y);
        missing = 0;
        for (int32_t c = 0; c < width; ++c) {
            const int32_t found = mark[c] == 0 ? static_cast<int32_t>(samples[c]) : -1;
            lowest[c] = lowest[c] < 0 ? found : lowest[c];
            missing += lowest[c] < 0 ? 1 : 0;
        }
    }
    if (rows.begin >= rows.end) {
        std::fill_n(open, width, rows.end);
        return;
    }
    std::fill_n(open, width, rows.begin);
    missing = width;
    for (int32_t y = rows.end; y > rows.begin && missing > 0; --y) {
        const M* mark = MarkRow<M>(plan, y);
        missing = 0;
        for (int32_t c = 0; c < width; ++c) {
            open[c] = open[c] == rows.begin && mark[c] == 0 ? y : open[c];
            missing += open[c] == rows.begin ? 1 : 0;
        }
    }
    for (int32_t y = rows.end - 1; y >= rows.begin; --y) {
        const M* mark = MarkRow<M>(plan, y + 1);
        const S* under = RawRow<S>(plan, y + 1);
        S* out = BelowRow<S>(plan, y);
        // Under the last row the band's own records end: a marked sample in
        // the row under the band leaves the value to the join.
        const S* next = y == rows.end - 1 ? nullptr : BelowRow<S>(plan, y + 1);
        if (next == nullptr) {
            for (int32_t c = 0; c < width; ++c) {
                out[c] = mark[c] == 0 ? under[c] : S{0};
            }
            continue;
        }
        for (int32_t c = 0; c < width; ++c) {
            out[c] = mark[c] == 0 ? under[c] : next[c];
        }
    }
}

// Per band and column, on one thread: `joined`, the value a column that runs
// out of the band takes (the nearest unmarked sample at or under the band's
// end), bottom-up; and `above`, the nearest unmarked sample over the band's
// first row, top-down.
template <typename S, typename M>
void JoinBands(const DotFilterPlan& plan) {
    const int32_t width = plan.raw->Width();
    const int32_t height = plan.raw->Height();
    DotFilterPlanes& planes = *plan.planes;
    for (int32_t k = plan.bands - 1; k >= 0; --k) {
        int32_t* joined = BandColumns(planes.joined, plan, k);
        // The last band ends on the last row, which is never marked.
        if (k == plan.bands - 1) {
            std::fill_n(joined, width, 0);
            continue;
        }
        // The row under this band is the next band's first fill row.
        const int32_t end = FillRange(plan, BandOf(k, plan.bands, height)).end;
        const M* mark = MarkRow<M>(plan, end);
        const S* samples = RawRow<S>(plan, end);
        const int32_t* nextOpen = BandColumns(planes.open, plan, k + 1);
        const int32_t* nextJoined = BandColumns(planes.joined, plan, k + 1);
        for (int32_t c = 0; c < width; ++c) {
            if (mark[c] == 0) {
                joined[c] = samples[c];
            } else {
                joined[c] = end < nextOpen[c] ? BelowRow<S>(plan, end)[c] : nextJoined[c];
            }
        }
    }
    // Row 0 is never marked.
    const S* first = RawRow<S>(plan, 0);
    int32_t* above = BandColumns(planes.above, plan, 0);
    for (int32_t c = 0; c < width; ++c) {
        above[c] = first[c];
    }
    for (int32_t k = 1; k < plan.bands; ++k) {
        const int32_t* previous = BandColumns(planes.above, plan, k - 1);
        const int32_t* lowest = BandColumns(planes.lowest, plan, k - 1);
        above = BandColumns(planes.above, plan, k);
        for (int32_t c = 0; c < width; ++c) {
            above[c] = lowest[c] >= 0 ? lowest[c] : previous[c];
        }
    }
}

VANTIX_KERNEL_INLINE void FindNearest(const filter_detail::FilterKernels& kernels, const uint8_t* row,
                                      const void* marks, int32_t markBytes, int32_t width, uint8_t* left,
                                      uint8_t* right) {
    kernels.nearest8(row, marks, markBytes, width, left, right);
}

VANTIX_KERNEL_INLINE void FindNearest(const filter_detail::FilterKernels& kernels, const uint16_t* row,
                                      const void* marks, int32_t markBytes, int32_t width, uint16_t* left,
                                      uint16_t* right) {
    kernels.nearest16(row, marks, markBytes, width, left, right);
}

// Fills the marked samples of one row from the nearest unmarked samples
// around them and passes the row's unmarked samples down as the values above.
// The buffers do not overlap, which lets the compiler vectorise the loop; all
// of them hold samples, so for 8-bit samples it works in 16-bit lanes.
template <typename S, typename M>
VANTIX_KERNEL_INLINE void FillRow(S* __restrict row, const M* __restrict mark, const S* __restrict below,
                                  const S* __restrict left, const S* __restrict right, int32_t width,
                                  S* __restrict above) {
    // Sums of four samples: 16 bits hold them for 8-bit samples.
    using Sum = std::conditional_t<sizeof(S) == 1, uint16_t, int32_t>;
    // Every operand is loaded whichever way the selects go, so that the
    // selects become vector blends.
    for (int32_t c = 0; c < width; ++c) {
        const S over = above[c];
        const S old = row[c];
        const bool marked = mark[c] != 0;
        const auto sum = static_cast<Sum>(Sum{left[c]} + Sum{right[c]} + Sum{over} + Sum{below[c]});
        const auto filled = static_cast<S>(sum >> 2);
        row[c] = marked ? filled : old;
        above[c] = marked ? over : old;
    }
}

template <typename M>
VANTIX_KERNEL_INLINE int32_t CountMarks(const M* __restrict mark, int32_t width) {
    int32_t count = 0;
    for (int32_t c = 0; c < width; ++c) {
        count += mark[c];
    }
    return count;
}

// Rows with fewer marks than one in kDenseRowShare samples are filled run by
// run; the whole-row pass of dense rows would touch every column for them.
constexpr int32_t kDenseRowShare = 32;

// A row with few marks: each marked run shares its left and right ends and
// is filled in one loop; then the row's unmarked samples become the values
// above.
template <typename S, typename M>
VANTIX_KERNEL_INLINE void FillSparseRow(S* row, const M* mark, const S* below, int32_t width, S* above) {
    filter_detail::ForEachMarkedRun(mark, width, [&](int32_t first, int32_t end) {
        const int32_t horizontal = row[first - 1] + row[end];
        for (int32_t c = first; c < end; ++c) {
            row[c] = static_cast<S>((horizontal + above[c] + below[c]) >> 2);
        }
    });
    for (int32_t c = 0; c < width; ++c) {
        above[c] = mark[c] == 0 ? row[c] : above[c];
    }
}

// Where a column runs out of unmarked samples inside the band (from row
// open(c) on), its value from below is the joined one: written into the
// look-down records there once, so that the rows read one record per sample.
// Those records are the band's own and nobody else reads them; in most
// pictures only a few rows at the band's end are written.
template <typename S>
VANTIX_KERNEL_INLINE void JoinIntoBelow(const DotFilterPlan& plan, const RowBand& rows, const int32_t* open,
                                        const int32_t* joined) {
    const int32_t width = plan.raw->Width();
    for (int32_t c = 0; c < width; ++c) {
        const auto value = static_cast<S>(joined[c]);
        for (int32_t y = std::max(open[c], rows.begin); y < rows.end; ++y) {
            BelowRow<S>(plan, y)[c] = value;
        }
    }
}

// Fill pass over the band's rows, after the look-down records are joined.
// Rows with few marks go run by run (FillSparseRow); in the others the
// nearest unmarked samples to the left and right of every mark come from a
// row kernel, and one pass over the row fills the marked samples and
// carries the unmarked ones down as the values above (FillRow).
template <typename S, typename M>
VANTIX_KERNEL_INLINE void FillRows(const DotFilterPlan& plan, const RowBand& band, DotFilterScratch& scratch) {
    const int32_t width = plan.raw->Width();
    const RowBand rows = FillRange(plan, band);
    if (rows.begin >= rows.end) {
        return;
    }
    JoinIntoBelow<S>(plan, rows, BandColumns(plan.planes->open, plan, band.index),
                     BandColumns(plan.planes->joined, plan, band.index));
    const size_t rowBytes = static_cast<size_t>(width) * sizeof(S);
    if (scratch.left.size() < rowBytes) {
        scratch.left.resize(rowBytes);
        scratch.right.resize(rowBytes);
    }
    if (scratch.above.size() < rowBytes) {
        scratch.above.resize(rowBytes);
    }
    // Per column: the value of the nearest unmarked sample above the current
    // row, starting from the one over the band.
    S* above = filter_detail::SampleRow<S>(scratch.above.data());
    const int32_t* aboveBand = BandColumns(plan.planes->above, plan, band.index);
    for (int32_t c = 0; c < width; ++c) {
        above[c] = static_cast<S>(aboveBand[c]);
    }
    S* left = filter_detail::SampleRow<S>(scratch.left.data());
    S* right = filter_detail::SampleRow<S>(scratch.right.data());
    const filter_detail::FilterKernels& kernels = filter_detail::FilterKernelsFor(plan.level);
    for (int32_t y = rows.begin; y < rows.end; ++y) {
        const M* mark = MarkRow<M>(plan, y);
        const S* below = BelowRow<S>(plan, y);
        S* row = RawRow<S>(plan, y);
        const int32_t marks = CountMarks(mark, width);
        if (marks * kDenseRowShare < width) {
            FillSparseRow(row, mark, below, width, above);
            continue;
        }
        FindNearest(kernels, row, mark, plan.markBytes, width, left, right);
        FillRow(row, mark, below, left, right, width, above);
    }
}

enum class DotPass { kMark, kLookDown, kFill };

template <typename S, typename M>
VANTIX_KERNEL_INLINE void RunPassOf(const DotFilterPlan& plan, DotPass pass, const RowBand& band, DotFilterScratch& scratch) {
    switch (pass) {
    case DotPass::kMark: MarkRows<S, M>(plan, band.begin, band.end, scratch); break;
    case DotPass::kLookDown: LookDownRows<S, M>(plan, band); break;
    case DotPass::kFill: FillRows<S, M>(plan, band, scratch); break;
    }
}

// The passes compiled for each instruction set: the loops are plain integer
// loops over rows, which the compiler vectorises at each level's width.
template <typename S, typename M>
void RunPassBaseline(const DotFilterPlan& plan, DotPass pass, const RowBand& band, DotFilterScratch& scratch) {
    RunPassOf<S, M>(plan, pass, band, scratch);
}
#if VANTIX_HAVE_AVX2_KERNELS
template <typename S, typename M>
VANTIX_KERNEL_AVX2 void RunPassAvx2(const DotFilterPlan& plan, DotPass pass, const RowBand& band,
                                    DotFilterScratch& scratch) {
    RunPassOf<S, M>(plan, pass, band, scratch);
}
template <typename S, typename M>
VANTIX_KERNEL_AVX512 void RunPassAvx512(const DotFilterPlan& plan, DotPass pass, const RowBand& band,
                                        DotFilterScratch& scratch) {
    RunPassOf<S, M>(plan, pass, band, scratch);
}
#endif

template <typename S, typename M>
void RunPassAtLevel(const DotFilterPlan& plan, DotPass pass, const RowBand& band, DotFilterScratch& scratch) {
#if VANTIX_HAVE_AVX2_KERNELS
    switch (SupportedLevel(plan.level)) {
    case KernelLevel::kAvx512: RunPassAvx512<S, M>(plan, pass, band, scratch); return;
    case KernelLevel::kAvx2: RunPassAvx2<S, M>(plan, pass, band, scratch); return;
    case KernelLevel::kBaseline: break;
    }
#endif
    RunPassBaseline<S, M>(plan, pass, band, scratch);
}

void RunDotPass(const DotFilterPlan& plan, DotPass pass, const RowBand& band, DotFilterScratch& scratch) {
    const bool narrowMarks = plan.markBytes == 1;
    if (plan.raw->BytesPerPixel() == 1) {
        narrowMarks ? RunPassAtLevel<uint8_t, uint8_t>(plan, pass, band, scratch)
                    : RunPassAtLevel<uint8_t, uint16_t>(plan, pass, band, scratch);
    } else {
        narrowMarks ? RunPassAtLevel<uint16_t, uint8_t>(plan, pass, band, scratch)
                    : RunPassAtLevel<uint16_t, uint16_t>(plan, pass, band, scratch);
    }
}

}  // namespace

bool PrepareDotFilter(CDibImage& raw, const CDibImage& hotMap, const CDibImage& deadMap, CDibImage& workMap,
                      std::vector<uint8_t>& ownMarks, DotFilterPlanes& planes, int32_t bands, DotFilterPlan* plan) {
    if (raw.IsEmpty() || (raw.BytesPerPixel() != 1 && raw.BytesPerPixel() != 2)) {
        return false;
    }
    plan->level = ActiveKernelLevel();
    plan->raw = &raw;
    plan->samples = raw.Bits();
    plan->sampleStride = raw.Stride();
    plan->hotMap = &hotMap;
    plan->deadMap = &deadMap;
    plan->threshold = raw.BytesPerPixel() == 1 ? kDotThreshold8 : kDotThreshold16;
    const bool covers = &workMap != &raw && !workMap.IsEmpty() && workMap.Width() >= raw.Width() &&
                        workMap.Height() >= raw.Height() &&
                        (workMap.BytesPerPixel() == 1 || workMap.BytesPerPixel() == 2);
    if (covers) {
        plan->marks = workMap.Bits();
        plan->markStride = workMap.Stride();
        plan->markBytes = workMap.BytesPerPixel();
    } else {
        ownMarks.resize(static_cast<size_t>(raw.Width()) * static_cast<size_t>(raw.Height()));
        plan->marks = ownMarks.data();
        plan->markStride = raw.Width();
        plan->markBytes = 1;
    }
    // Every band holds at least one row.
    plan->bands = std::clamp(bands, 1, raw.Height());
    const size_t columns = static_cast<size_t>(raw.Width());
    const size_t samples = columns * static_cast<size_t>(raw.Height()) * static_cast<size_t>(raw.BytesPerPixel());
    if (planes.below.size() < samples) {
        planes.below.resize(samples);
    }
    for (std::vector<int32_t>* perBand : {&planes.open, &planes.joined, &planes.lowest, &planes.above}) {
        perBand->resize(columns * static_cast<size_t>(plan->bands));
    }
    plan->planes = &planes;
    return true;
}

void DotFilterMarkRows(const DotFilterPlan& plan, int32_t rowBegin, int32_t rowEnd, DotFilterScratch& scratch) {
    RunDotPass(plan, DotPass::kMark, RowBand{rowBegin, rowEnd, 0}, scratch);
}

void DotFilterLookDownRows(const DotFilterPlan& plan, const RowBand& band, DotFilterScratch& scratch) {
    RunDotPass(plan, DotPass::kLookDown, band, scratch);
}

void DotFilterJoinBands(const DotFilterPlan& plan) {
    const bool narrowMarks = plan.markBytes == 1;
    if (plan.raw->BytesPerPixel() == 1) {
        narrowMarks ? JoinBands<uint8_t, uint8_t>(plan) : JoinBands<uint8_t, uint16_t>(plan);
    } else {
        narrowMarks ? JoinBands<uint16_t, uint8_t>(plan) : JoinBands<uint16_t, uint16_t>(plan);
    }
}

void DotFilterFillRows(const DotFilterPlan& plan, const RowBand& band, DotFilterScratch& scratch) {
    RunDotPass(plan, DotPass::kFill, band, scratch);
}

int ApplyDotFilter(CDibImage& raw, const CDibImage& hotMap, const CDibImage& deadMap, CDibImage& workMap) {
    std::vector<uint8_t> ownMarks;
    DotFilterPlanes planes;
    DotFilterPlan plan;
    if (!PrepareDotFilter(raw, hotMap, deadMap, workMap, ownMarks, planes, 1, &plan)) {
        return 0;
    }
    DotFilterScratch scratch;
    const RowBand whole{0, raw.Height(), 0};
    DotFilterMarkRows(plan, 0, raw.Height(), scratch);
    DotFilterLookDownRows(plan, whole, scratch);
    DotFilterJoinBands(plan);
    DotFilterFillRows(plan, whole, scratch);
    return 1;
}

}  // namespace vantix
