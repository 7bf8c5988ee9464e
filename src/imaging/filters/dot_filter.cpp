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
// marked: a marked run along a row shares its left and right ends, the value
// of the nearest unmarked sample above each column is carried down from row
// to row, and the nearest one below is found by a per-column cursor that only
// moves down; a run is then filled in one vectorisable loop.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/filters/filter_bands.h"
#include "imaging/filters/filter_region.h"
#include "imaging/filters/filters.h"

namespace vantix {

namespace {

// Sets flags[x] for the columns 0..count - 1 of memory row y where map holds a
// nonzero sample. Positions outside the map are left alone.
void AddDefects(const CDibImage& map, int32_t y, int32_t count, uint8_t* flags) {
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
M* MarkRow(const DotFilterPlan& plan, int32_t y) {
    return filter_detail::SampleRow<M>(plan.marks + y * plan.markStride);
}

template <typename S>
S* RawRow(const DotFilterPlan& plan, int32_t y) {
    return filter_detail::SampleRow<S>(plan.samples + y * plan.sampleStride);
}

// Mark pass over rows [rowBegin, rowEnd): reads the raw samples only.
template <typename S, typename M>
void MarkRows(const DotFilterPlan& plan, int32_t rowBegin, int32_t rowEnd, DotFilterScratch& scratch) {
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

// Fill pass over rows [rowBegin, rowEnd), after the mark pass of all rows.
// Reads only unmarked samples, which nobody writes, and writes only the
// marked samples of its own rows.
template <typename S, typename M>
void FillRows(const DotFilterPlan& plan, int32_t rowBegin, int32_t rowEnd, DotFilterScratch& scratch) {
    const int32_t width = plan.raw->Width();
    const int32_t height = plan.raw->Height();
    if (width < 3 || height < 3) {
        return;
    }
    rowBegin = std::max(rowBegin, 1);
    rowEnd = std::min(rowEnd, height - 1);
    // Per column: the value of the nearest unmarked sample above the current
    // row (row 0 is never marked), and the row and value of the nearest one
    // below, valid while that row lies below the current one.
    const auto columns = static_cast<size_t>(width);
    scratch.above.resize(columns);
    scratch.belowRow.assign(columns, 0);
    scratch.below.resize(columns);
    int32_t* above = scratch.above.data();
    int32_t* belowRow = scratch.belowRow.data();
    int32_t* below = scratch.below.data();
    for (int32_t c = 0; c < width; ++c) {
        int32_t row = rowBegin - 1;
        while (MarkRow<M>(plan, row)[c] != 0) {
            --row;
        }
        above[c] = RawRow<S>(plan, row)[c];
    }
    for (int32_t y = rowBegin; y < rowEnd; ++y) {
        const M* mark = MarkRow<M>(plan, y);
        S* row = RawRow<S>(plan, y);
        int32_t x = 1;
        while (x < width - 1) {
            // Marks are 0 or 1, so in either width the first byte holding 1
            // is the low byte of the next marked sample.
            const void* next = std::memchr(mark + x, 1, static_cast<size_t>(width - 1 - x) * sizeof(M));
            if (next == nullptr) {
                break;
            }
            x = static_cast<int32_t>((static_cast<const uint8_t*>(next) - reinterpret_cast<const uint8_t*>(mark)) /
                                     static_cast<ptrdiff_t>(sizeof(M)));
            // A run of marked samples shares its left and right ends.
            const int32_t first = x;
            int32_t right = x + 1;
            while (mark[right] != 0) {
                ++right;
            }
            for (int32_t c = first; c < right; ++c) {
                if (belowRow[c] <= y) {
                    int32_t r = y + 1;
                    while (MarkRow<M>(plan, r)[c] != 0) {
                        ++r;
                    }
                    belowRow[c] = r;
                    below[c] = RawRow<S>(plan, r)[c];
                }
            }
            const int32_t horizontal = row[first - 1] + row[right];
            for (int32_t c = first; c < right; ++c) {
                row[c] = static_cast<S>((horizontal + above[c] + below[c]) >> 2);
            }
            x = right;
        }
        for (int32_t c = 0; c < width; ++c) {
            above[c] = mark[c] == 0 ? static_cast<int32_t>(row[c]) : above[c];
        }
    }
}

template <typename S>
void RunPass(const DotFilterPlan& plan, bool fill, int32_t rowBegin, int32_t rowEnd, DotFilterScratch& scratch) {
    if (plan.markBytes == 1) {
        fill ? FillRows<S, uint8_t>(plan, rowBegin, rowEnd, scratch) : MarkRows<S, uint8_t>(plan, rowBegin, rowEnd, scratch);
    } else {
        fill ? FillRows<S, uint16_t>(plan, rowBegin, rowEnd, scratch)
             : MarkRows<S, uint16_t>(plan, rowBegin, rowEnd, scratch);
    }
}

void RunDotPass(const DotFilterPlan& plan, bool fill, int32_t rowBegin, int32_t rowEnd, DotFilterScratch& scratch) {
    if (plan.raw->BytesPerPixel() == 1) {
        RunPass<uint8_t>(plan, fill, rowBegin, rowEnd, scratch);
    } else {
        RunPass<uint16_t>(plan, fill, rowBegin, rowEnd, scratch);
    }
}

}  // namespace

bool PrepareDotFilter(CDibImage& raw, const CDibImage& hotMap, const CDibImage& deadMap, CDibImage& workMap,
                      std::vector<uint8_t>& ownMarks, DotFilterPlan* plan) {
    if (raw.IsEmpty() || (raw.BytesPerPixel() != 1 && raw.BytesPerPixel() != 2)) {
        return false;
    }
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
    return true;
}

void DotFilterMarkRows(const DotFilterPlan& plan, int32_t rowBegin, int32_t rowEnd, DotFilterScratch& scratch) {
    RunDotPass(plan, false, rowBegin, rowEnd, scratch);
}

void DotFilterFillRows(const DotFilterPlan& plan, int32_t rowBegin, int32_t rowEnd, DotFilterScratch& scratch) {
    RunDotPass(plan, true, rowBegin, rowEnd, scratch);
}

int ApplyDotFilter(CDibImage& raw, const CDibImage& hotMap, const CDibImage& deadMap, CDibImage& workMap) {
    std::vector<uint8_t> ownMarks;
    DotFilterPlan plan;
    if (!PrepareDotFilter(raw, hotMap, deadMap, workMap, ownMarks, &plan)) {
        return 0;
    }
    DotFilterScratch scratch;
    DotFilterMarkRows(plan, 0, raw.Height(), scratch);
    DotFilterFillRows(plan, 0, raw.Height(), scratch);
    return 1;
}

}  // namespace vantix
