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
// marked: a marked run along a row shares its left and right ends, the
// nearest unmarked row above each column is carried down from row to row, and
// the nearest one below is found by a per-column cursor that only moves down.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

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

// The work map rows the marks go to: the caller's map, or a private one when
// the caller's does not cover the image.
template <typename M>
struct MarkPlane {
    uint8_t* base;
    ptrdiff_t stride;
    M* Row(int32_t y) const { return filter_detail::SampleRow<M>(base + y * stride); }
};

template <typename S, typename M>
void RunDotFilter(CDibImage& raw, const CDibImage& hotMap, const CDibImage& deadMap, const MarkPlane<M>& marks,
                  int32_t threshold) {
    const int32_t width = raw.Width();
    const int32_t height = raw.Height();
    auto sampleRow = [&raw](int32_t y) { return filter_detail::SampleRow<S>(raw.Row(y)); };

    // The outer rows and columns are never marked.
    std::fill_n(marks.Row(0), width, M{0});
    std::fill_n(marks.Row(height - 1), width, M{0});
    if (width < 3 || height < 3) {
        for (int32_t y = 1; y < height - 1; ++y) {
            std::fill_n(marks.Row(y), width, M{0});
        }
        return;
    }

    std::vector<uint8_t> flagRow(static_cast<size_t>(width));
    uint8_t* flags = flagRow.data();
    for (int32_t y = 1; y < height - 1; ++y) {
        std::fill_n(flags, width, uint8_t{0});
        AddDefects(hotMap, y, width, flags);
        AddDefects(deadMap, y, width, flags);
        const S* up = sampleRow(y - 1);
        const S* row = sampleRow(y);
        const S* down = sampleRow(y + 1);
        M* out = marks.Row(y);
        out[0] = 0;
        out[width - 1] = 0;
        for (int32_t x = 1; x < width - 1; ++x) {
            const int32_t mean = (row[x - 1] + row[x + 1] + up[x] + down[x]) >> 2;
            const bool dot = std::abs(row[x] - mean) >= threshold;
            out[x] = static_cast<M>(flags[x] | static_cast<uint8_t>(dot));
        }
    }

    // lastClear[x]: the nearest unmarked row above the current one in column
    // x. nextClear[x]: the nearest unmarked row below, valid while it lies
    // below the current row.
    std::vector<int32_t> lastClear(static_cast<size_t>(width), 0);
    std::vector<int32_t> nextClear(static_cast<size_t>(width), 0);
    for (int32_t y = 1; y < height - 1; ++y) {
        const M* mark = marks.Row(y);
        S* row = sampleRow(y);
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
            const int32_t left = x - 1;
            int32_t right = x + 1;
            while (mark[right] != 0) {
                ++right;
            }
            const int32_t horizontal = row[left] + row[right];
            for (; x < right; ++x) {
                int32_t below = nextClear[x];
                if (below <= y) {
                    below = y + 1;
                    while (marks.Row(below)[x] != 0) {
                        ++below;
                    }
                    nextClear[x] = below;
                }
                const int32_t sum = horizontal + sampleRow(lastClear[x])[x] + sampleRow(below)[x];
                row[x] = static_cast<S>(sum / 4);
            }
        }
        int32_t* last = lastClear.data();
        for (int32_t c = 0; c < width; ++c) {
            last[c] = mark[c] == 0 ? y : last[c];
        }
    }
}

template <typename S>
void RunWithWorkMap(CDibImage& raw, const CDibImage& hotMap, const CDibImage& deadMap, CDibImage& workMap,
                    int32_t threshold) {
    const bool covers = &workMap != &raw && !workMap.IsEmpty() && workMap.Width() >= raw.Width() && workMap.Height() >= raw.Height();
    if (covers && workMap.BytesPerPixel() == 1) {
        RunDotFilter<S, uint8_t>(raw, hotMap, deadMap, MarkPlane<uint8_t>{workMap.Bits(), workMap.Stride()},
                                 threshold);
    } else if (covers && workMap.BytesPerPixel() == 2) {
        RunDotFilter<S, uint16_t>(raw, hotMap, deadMap, MarkPlane<uint16_t>{workMap.Bits(), workMap.Stride()},
                                  threshold);
    } else {
        std::vector<uint8_t> own(static_cast<size_t>(raw.Width()) * static_cast<size_t>(raw.Height()));
        RunDotFilter<S, uint8_t>(raw, hotMap, deadMap, MarkPlane<uint8_t>{own.data(), raw.Width()}, threshold);
    }
}

}  // namespace

int ApplyDotFilter(CDibImage& raw, const CDibImage& hotMap, const CDibImage& deadMap, CDibImage& workMap) {
    if (raw.IsEmpty()) {
        return 0;
    }
    if (raw.BytesPerPixel() == 1) {
        RunWithWorkMap<uint8_t>(raw, hotMap, deadMap, workMap, kDotThreshold8);
        return 1;
    }
    if (raw.BytesPerPixel() == 2) {
        RunWithWorkMap<uint16_t>(raw, hotMap, deadMap, workMap, kDotThreshold16);
        return 1;
    }
    return 0;
}

}  // namespace vantix
