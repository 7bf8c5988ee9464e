#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "filter_test_images.h"
#include "imaging/filters/filters.h"

namespace vantix {
namespace {

using namespace filter_test;

// The blur pass into the destination, then the sharpen pass through the
// correction table T(delta) = s * delta / 10, over the interior only.
CDibImage ReferenceSharpness(const CDibImage& source, const CDibImage& destination, int32_t s) {
    const int32_t bits = source.BitsPerPixel(), top = TopOf(bits);
    std::vector<int32_t> table(2 * static_cast<size_t>(top) + 1);
    for (int32_t delta = -top; delta <= top; ++delta) table[static_cast<size_t>(delta + top)] = s * delta / 10;
    CDibImage out = Copy(destination);
    for (int32_t y = 2; y < source.Height() - 2; ++y)
        for (int32_t x = 2; x < source.Width() - 2; ++x)
            for (int32_t c = 0; c < Channels(bits); ++c) {
                int32_t sum = 0;
                for (int32_t j = y - 2; j <= y + 1; ++j)
                    for (int32_t i = x - 2; i <= x + 1; ++i) sum += Get(source, i, j, c);
                Set(out, x, y, c, sum >> 4);
            }
    for (int32_t y = 2; y < source.Height() - 2; ++y)
        for (int32_t x = 2; x < source.Width() - 2; ++x)
            for (int32_t c = 0; c < Channels(bits); ++c) {
                const int32_t v = Get(source, x, y, c), b = Get(out, x, y, c);
                Set(out, x, y, c, std::clamp(v + table[static_cast<size_t>(v - b + top)], 0, top));
            }
    return out;
}

// A scratch image other than the destination also shows that the border and
// the fourth channel come from the destination and all else from the scratch.
// Every kernel level against the reference: 131 pixels cross the widest
// vector block several times in every format, 1103 the kernels' strips of
// columns, and the blocks of 4 x 255
// (4 x 65535) and 0 push the sums and the clamp to their ends.
TEST(SharpnessFilter, MatchesReferenceForEveryFormatAndKernelLevel) {
    uint32_t seed = 400;
    for (const KernelLevel level : {KernelLevel::kBaseline, KernelLevel::kAvx2, KernelLevel::kAvx512}) {
        for (const int32_t bits : kAllDepths) {
            for (const int32_t s : {0, 1, 10, 29, 30, 1000}) {
                for (const auto& [w, h] :
                     {std::pair{1, 1}, std::pair{4, 30}, std::pair{5, 5}, std::pair{23, 7}, std::pair{131, 6},
                      std::pair{1103, 5}}) {
                    CDibImage image = RandomImage(w, h, bits, seed++);
                    const CDibImage scratch = s == 1 ? RandomImage(w, h, bits, seed++) : Copy(image);
                    const CDibImage expected = ReferenceSharpness(scratch, image, std::min(s, 30));
                    ASSERT_EQ(ApplySharpness(image, scratch, s, level), 1);
                    ASSERT_TRUE(SameImage(image, expected))
                        << "sharpness " << s << ", " << bits << " bits, level " << static_cast<int>(level);
                }
            }
        }
    }
    for (const int32_t bits : kAllDepths) {
        // Bright and dark columns two pixels wide: every block sum is at an
        // end of its range somewhere, and every difference is the largest.
        CDibImage image = Filled(70, 6, bits, 0);
        for (int32_t x = 0; x < 70; x += 4)
            for (int32_t y = 0; y < 6; ++y)
                for (int32_t c = 0; c < Channels(bits); ++c) {
                    Set(image, x, y, c, TopOf(bits));
                    Set(image, x + 1, y, c, TopOf(bits));
                }
        const CDibImage expected = ReferenceSharpness(image, image, 30);
        for (const KernelLevel level : {KernelLevel::kBaseline, KernelLevel::kAvx2, KernelLevel::kAvx512}) {
            CDibImage sharpened = Copy(image);
            ASSERT_EQ(ApplySharpness(sharpened, image, 30, level), 1);
            ASSERT_TRUE(SameImage(sharpened, expected)) << bits << " bits, level " << static_cast<int>(level);
        }
    }
}

TEST(SharpnessFilter, StrengthTenDoublesTheDifferenceFromTheBlockMean) {
    CDibImage image = Filled(8, 8, 8, 100);
    Set(image, 4, 4, 0, 132);  // the mean of its block is (15 * 100 + 132) / 16 = 102
    CDibImage scratch;
    ASSERT_EQ(CopyToFilterScratch(image, scratch), 1);
    ApplySharpness(image, scratch, 10);
    EXPECT_EQ(Get(image, 4, 4), 132 + 30);
    EXPECT_EQ(Get(image, 5, 5), 100 - 2);  // its block holds the bright sample too
    EXPECT_EQ(Get(image, 2, 2), 100);      // this one's does not
}

TEST(SharpnessFilter, ScratchSharingTheImageOrOfAnotherSize) {
    CDibImage image = RandomImage(21, 13, 24, 700);
    CDibImage expected = Copy(image);
    CDibImage scratch;
    ASSERT_EQ(CopyToFilterScratch(expected, scratch), 1);
    ApplySharpness(expected, scratch, 20);
    ApplySharpness(image, image, 20);  // reads the pixels as they were
    EXPECT_TRUE(SameImage(image, expected));

    const CDibImage smaller = RandomImage(21, 12, 24, 701);
    EXPECT_EQ(ApplySharpness(image, smaller, 20), 0);
    EXPECT_TRUE(SameImage(image, expected));
}

}  // namespace
}  // namespace vantix
