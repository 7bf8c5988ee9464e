#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <tuple>
#include <vector>

#include "filter_test_images.h"
#include "imaging/cpu_dispatch.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/filters.h"

namespace vantix {
namespace {

using namespace filter_test;

using Marks = std::vector<std::vector<int>>;

bool Defective(const CDibImage& map, int32_t x, int32_t y) {
    return !map.IsEmpty() && x < map.Width() && y < map.Height() && Get(map, x, y) != 0;
}

// Marks by definition; then each marked sample from the nearest unmarked
// ones found by walking left, right, up and down. Returns the marks.
Marks ReferenceDot(CDibImage& raw, const CDibImage& hot, const CDibImage& dead) {
    const int32_t w = raw.Width(), h = raw.Height(), threshold = raw.BitsPerPixel() == 8 ? 30 : 480;
    Marks marked(static_cast<size_t>(h), std::vector<int>(static_cast<size_t>(w)));
    for (int32_t y = 1; y < h - 1; ++y)
        for (int32_t x = 1; x < w - 1; ++x) {
            const int32_t mean = (Get(raw, x - 1, y) + Get(raw, x + 1, y) + Get(raw, x, y - 1) + Get(raw, x, y + 1)) >> 2;
            marked[y][x] = Defective(hot, x, y) || Defective(dead, x, y) || std::abs(Get(raw, x, y) - mean) >= threshold;
        }
    const CDibImage original = Copy(raw);
    for (int32_t y = 1; y < h - 1; ++y)
        for (int32_t x = 1; x < w - 1; ++x) {
            if (!marked[y][x]) continue;
            int32_t l = x, r = x, u = y, d = y;
            while (marked[y][l]) --l;
            while (marked[y][r]) ++r;
            while (marked[u][x]) --u;
            while (marked[d][x]) ++d;
            Set(raw, x, y, 0, (Get(original, l, y) + Get(original, r, y) + Get(original, x, u) + Get(original, x, d)) / 4);
        }
    return marked;
}

CDibImage RandomMap(int32_t width, int32_t height, int32_t bits, uint32_t seed, uint32_t oneIn) {
    std::mt19937 rng(seed);
    CDibImage map = Filled(width, height, bits, 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            if (rng() % oneIn == 0) Set(map, x, y, 0, 1 + static_cast<int32_t>(rng() % 200));
    return map;
}

// A smooth field with occasional dots, so that marks come alone and in runs.
CDibImage DottedImage(int32_t width, int32_t height, int32_t bits, uint32_t seed) {
    std::mt19937 rng(seed);
    const int32_t unit = bits == 8 ? 1 : 16;
    CDibImage image = Filled(width, height, bits, 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const int32_t dot = rng() % 7 == 0 ? static_cast<int32_t>(rng() % 100) : 0;
            Set(image, x, y, 0, (60 + x + 2 * y + static_cast<int32_t>(rng() % 8) + dot) * unit);
        }
    return image;
}

// Maps larger and smaller than the image; a work map larger than it, whose
// marks are checked too.
TEST(DotFilter, MatchesReferenceWithMapsAndWorkMap) {
    uint32_t seed = 5000;
    for (const int32_t bits : {8, 16}) {
        for (const auto& [w, h] : {std::pair{1, 1}, std::pair{2, 9}, std::pair{3, 3}, std::pair{37, 29}}) {
            for (int32_t variant = 0; variant < 3; ++variant) {
                CDibImage raw = variant == 0 ? RandomImage(w, h, bits, seed++) : DottedImage(w, h, bits, seed++);
                const CDibImage hot = RandomMap(w + 3, h + 2, bits, seed++, variant == 2 ? 3 : 40);
                const CDibImage dead = RandomMap(w, h > 1 ? h - 1 : 1, bits, seed++, 50);
                CDibImage work = RandomImage(w + 1, h + 4, bits, seed++);
                CDibImage expected = Copy(raw);
                const Marks marked = ReferenceDot(expected, hot, dead);
                ASSERT_EQ(ApplyDotFilter(raw, hot, dead, work), 1);
                ASSERT_TRUE(SameImage(raw, expected)) << "variant " << variant;
                for (int32_t y = 0; y < h; ++y)
                    for (int32_t x = 0; x < w; ++x) ASSERT_EQ(Get(work, x, y), marked[y][x]) << x << "," << y;
            }
        }
    }
}

TEST(DotFilter, FlatFieldStaysAndASingleDotTakesItsNeighboursMean) {
    CDibImage none;
    for (const int32_t bits : {8, 16}) {
        CDibImage flat = Filled(16, 12, bits, bits == 8 ? 90 : 30000);
        const CDibImage before = Copy(flat);
        CDibImage work = Filled(16, 12, bits, 0);
        ASSERT_EQ(ApplyDotFilter(flat, none, none, work), 1);
        EXPECT_TRUE(SameImage(flat, before));
    }
    CDibImage raw = Filled(9, 9, 8, 0);
    for (int32_t y = 0; y < 9; ++y)
        for (int32_t x = 0; x < 9; ++x) Set(raw, x, y, 0, 100 + x + 3 * y);  // smooth: nothing marked
    const int32_t mean = (Get(raw, 3, 4) + Get(raw, 5, 4) + Get(raw, 4, 3) + Get(raw, 4, 5)) / 4;
    Set(raw, 4, 4, 0, Get(raw, 4, 4) + 40);
    CDibImage expected = Copy(raw);
    Set(expected, 4, 4, 0, mean);
    CDibImage work;
    ASSERT_EQ(work.Create(3856, 2764, 8), 1);
    ASSERT_EQ(ApplyDotFilter(raw, none, none, work), 1);
    EXPECT_TRUE(SameImage(raw, expected));
    EXPECT_TRUE(Get(work, 4, 4) == 1 && Get(work, 5, 4) == 0);
}

// A work map that does not cover the image, has a depth other than 8 or 16
// bits or is the image itself is left alone; the result is the same. Only
// 8- and 16-bit images are filtered.
TEST(DotFilter, UnusableWorkMapIsLeftAlone) {
    const CDibImage raw = DottedImage(30, 20, 8, 6000);
    const CDibImage hot = RandomMap(30, 20, 8, 6001, 20);
    CDibImage expected = Copy(raw);
    ReferenceDot(expected, hot, hot);
    for (const auto& [w, h, bits] : {std::tuple{29, 20, 8}, std::tuple{30, 19, 16}, std::tuple{40, 40, 24}}) {
        CDibImage image = Copy(raw);
        CDibImage work = RandomImage(w, h, bits, 6002);
        const CDibImage workBefore = Copy(work);
        ASSERT_EQ(ApplyDotFilter(image, hot, hot, work), 1);
        EXPECT_TRUE(SameImage(image, expected) && SameImage(work, workBefore));
    }
    CDibImage image = Copy(raw);
    ASSERT_EQ(ApplyDotFilter(image, hot, hot, image), 1);
    EXPECT_TRUE(SameImage(image, expected));
    CDibImage colour = RandomImage(8, 8, 24, 6003);
    EXPECT_EQ(ApplyDotFilter(colour, hot, hot, image), 0);
}

// The row kernel of the fill at every level this processor runs, against a
// walk to the nearest unmarked samples: rows on both sides of the vector
// blocks (32 and 64 samples), marks alone, in short runs, and in runs longer
// than a block (a block without any unmarked sample takes its values from
// the blocks beside it), in both mark widths.
template <typename S>
void ExpectNearestLikeAWalk(uint32_t seed) {
    std::mt19937 rng(seed);
    for (const int32_t width : {1, 2, 3, 31, 32, 33, 63, 64, 65, 127, 129, 200, 333}) {
        for (const uint32_t density : {0u, 10u, 50u, 80u, 97u, 100u}) {
            std::vector<S> samples(static_cast<size_t>(width));
            std::vector<uint8_t> marks8(samples.size());
            for (int32_t c = 0; c < width; ++c) {
                samples[c] = static_cast<S>(rng());
                // The ends are never marked; density 100 leaves only them.
                marks8[c] = c > 0 && c < width - 1 && rng() % 100 < density ? 1 : 0;
            }
            const std::vector<uint16_t> marks16(marks8.begin(), marks8.end());
            for (const KernelLevel level : {KernelLevel::kBaseline, KernelLevel::kAvx2, KernelLevel::kAvx512}) {
                const auto& kernels = filter_detail::FilterKernelsFor(level);
                for (const int32_t markBytes : {1, 2}) {
                    const void* marks = markBytes == 1 ? static_cast<const void*>(marks8.data()) : marks16.data();
                    std::vector<S> left(samples.size()), right(samples.size());
                    if constexpr (sizeof(S) == 1) {
                        kernels.nearest8(samples.data(), marks, markBytes, width, left.data(), right.data());
                    } else {
                        kernels.nearest16(samples.data(), marks, markBytes, width, left.data(), right.data());
                    }
                    for (int32_t c = 0; c < width; ++c) {
                        if (!marks8[c]) continue;
                        int32_t l = c, r = c;
                        while (marks8[l]) --l;
                        while (marks8[r]) ++r;
                        ASSERT_EQ(left[c], samples[l]) << "width " << width << " density " << density << " column " << c
                                                       << " level " << static_cast<int>(level) << " marks " << markBytes;
                        ASSERT_EQ(right[c], samples[r]) << "width " << width << " density " << density << " column "
                                                        << c << " level " << static_cast<int>(level);
                    }
                }
            }
        }
    }
}

TEST(DotFilter, RowKernelFindsTheNearestUnmarkedSamplesAtEveryLevel) {
    ExpectNearestLikeAWalk<uint8_t>(7000);
    ExpectNearestLikeAWalk<uint16_t>(7100);
}

// Whole images wider than the vector blocks through the filter as the
// library runs it: dense marks with long marked runs (random samples), and
// rows with only a few marks (a smooth ramp with scattered defects), which
// are filled run by run.
TEST(DotFilter, WideImagesWithDenseOrSparseMarksMatchTheReference) {
    uint32_t seed = 7200;
    CDibImage none;
    for (const int32_t bits : {8, 16}) {
        for (const auto& [w, h] : {std::pair{65, 6}, std::pair{130, 5}, std::pair{257, 4}}) {
            for (const uint32_t oneIn : {2u, 5u, 100u}) {
                CDibImage raw = oneIn < 100 ? RandomImage(w, h, bits, seed++) : Filled(w, h, bits, 0);
                if (oneIn == 100) {
                    for (int32_t y = 0; y < h; ++y)
                        for (int32_t x = 0; x < w; ++x) Set(raw, x, y, 0, 50 + x / 4 + y);
                }
                const CDibImage hot = RandomMap(w, h, bits, seed++, oneIn);
                CDibImage work = Filled(w, h, bits, 0);
                CDibImage expected = Copy(raw);
                ReferenceDot(expected, hot, none);
                ASSERT_EQ(ApplyDotFilter(raw, hot, none, work), 1);
                ASSERT_TRUE(SameImage(raw, expected)) << bits << " bits, " << w << " x " << h << ", 1 in " << oneIn;
            }
        }
    }
}

}  // namespace
}  // namespace vantix
