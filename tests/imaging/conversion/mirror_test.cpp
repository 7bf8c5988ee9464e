#include "imaging/mirror.h"

#include <gtest/gtest.h>

#include "conversion_test_util.h"
#include "imaging/frame_converter.h"

namespace vantix {
namespace {

using test::Get;

TEST(MirrorRaw, MatchesReferenceForEveryDirectionAndShape) {
    uint32_t seed = 10;
    for (const KernelLevel level : {KernelLevel::kBaseline, KernelLevel::kAvx2}) {
        if (level == KernelLevel::kAvx2 && !CpuHasAvx2()) continue;
        for (const int32_t bits : {8, 16}) {
            for (const auto& [w, h] : {std::pair{1, 1}, std::pair{1, 4}, std::pair{5, 1}, std::pair{7, 5},
                                      std::pair{64, 6}, std::pair{131, 3}}) {
                for (const auto& [horizontal, vertical] :
                     {std::pair{true, false}, std::pair{false, true}, std::pair{true, true}}) {
                    const CDibImage original = test::RandomImage(w, h, bits, ++seed);
                    CDibImage image = test::CopyOf(original);
                    ASSERT_EQ(MirrorRaw(image, horizontal, vertical, level), 1);
                    for (int32_t y = 0; y < h; ++y) {
                        for (int32_t x = 0; x < w; ++x) {
                            const int32_t sx = horizontal ? w - 1 - x : x;
                            const int32_t sy = vertical ? h - 1 - y : y;
                            ASSERT_EQ(Get(image, x, y), Get(original, sx, sy))
                                << bits << " bits " << w << "x" << h << " h" << horizontal << " v" << vertical;
                        }
                    }
                }
            }
        }
    }
}

TEST(MirrorRaw, NothingAskedOrUnsupportedDepthLeavesTheImage) {
    CDibImage raw = test::RandomImage(6, 4, 8, 1);
    CDibImage color = test::RandomImage(6, 4, 24, 2);
    const CDibImage rawBefore = test::CopyOf(raw);
    const CDibImage colorBefore = test::CopyOf(color);
    EXPECT_EQ(MirrorRaw(raw, false, false), 0);
    EXPECT_EQ(MirrorRaw(color, true, true), 0);
    EXPECT_TRUE(test::SameBytes(raw, rawBefore));
    EXPECT_TRUE(test::SameBytes(color, colorBefore));
}

TEST(MirroredBayerMode, FollowsWhoMirrorsAndTheParityOfTheSize) {
    ConversionSettings s;
    s.bayerMode = 0;
    s.mirrorV = true;
    // Software flip of an even number of rows: mode 0 becomes 1.
    EXPECT_EQ(FrameConverter::DeliveredBayerMode(s), 0);
    EXPECT_EQ(FrameConverter::MirroredBayerMode(s, 10, 8), 1);
    // An odd number of rows keeps every row's parity.
    EXPECT_EQ(FrameConverter::MirroredBayerMode(s, 10, 7), 0);
    // The camera flipped its readout: the delivered frame already has mode 1.
    s.cameraMirrorsV = true;
    EXPECT_EQ(FrameConverter::DeliveredBayerMode(s), 1);
    EXPECT_EQ(FrameConverter::MirroredBayerMode(s, 10, 7), 1);
    // Horizontal swaps 0 <-> 2 and 1 <-> 3.
    s.mirrorH = true;
    EXPECT_EQ(FrameConverter::MirroredBayerMode(s, 10, 8), 3);
    EXPECT_EQ(FrameConverter::MirroredBayerMode(s, 9, 8), 1);
    s.bayerMode = 3;
    s.mirrorV = false;
    EXPECT_EQ(FrameConverter::MirroredBayerMode(s, 10, 8), 1);
}

}  // namespace
}  // namespace vantix
