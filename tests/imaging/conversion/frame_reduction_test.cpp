// Frames that carry more than the raw image holds: the shape of a frame
// against the image's pixel count, and what survives the reduction.
#include "imaging/frame_reduction.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vantix {
namespace {

TEST(FrameReduction, TheFrameShapeFollowsFromItsSizePlanesAndPixels) {
    EXPECT_EQ(FrameSampleBytes(1280 * 1024 * 2, 1280 * 1024, 1), 2u);
    EXPECT_EQ(FrameSampleBytes(1920 * 1080 * 3, 1920 * 1080, 3), 1u);
    EXPECT_EQ(FrameSampleBytes(1920 * 1080 * 6, 1920 * 1080, 3), 2u);
    // A frame of another window, or of more bytes a sample than 16 bits, has
    // no shape the image can take.
    EXPECT_EQ(FrameSampleBytes(1280 * 1024 * 2 + 2, 1280 * 1024, 1), 0u);
    EXPECT_EQ(FrameSampleBytes(640 * 480 * 4, 640 * 480, 1), 0u);
    EXPECT_EQ(FrameSampleBytes(100, 0, 1), 0u);
    EXPECT_EQ(FrameSampleBytes(100, 10, 0), 0u);
}

TEST(FrameReduction, SixteenBitSamplesGiveTheirHighBytesAndPlanesTheFirstOne) {
    // Little-endian 16-bit samples 0x12AB, 0x34CD, 0x56EF.
    const std::vector<uint8_t> wide = {0xAB, 0x12, 0xCD, 0x34, 0xEF, 0x56};
    std::vector<uint8_t> raw(4, 0x77);
    ASSERT_TRUE(ReduceFrame(wide.data(), 2, raw.data(), 1, 3));
    EXPECT_EQ(raw, (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x77}));  // nothing past the pixels

    // Three planes of two 8-bit samples: the first plane only.
    const std::vector<uint8_t> planes = {1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> first(2);
    ASSERT_TRUE(ReduceFrame(planes.data(), 1, first.data(), 1, 2));
    EXPECT_EQ(first, (std::vector<uint8_t>{1, 2}));

    // 16-bit planes into a 16-bit image keep whole samples.
    std::vector<uint8_t> words(4);
    ASSERT_TRUE(ReduceFrame(wide.data(), 2, words.data(), 2, 2));
    EXPECT_EQ(words, (std::vector<uint8_t>{0xAB, 0x12, 0xCD, 0x34}));

    // An 8-bit frame cannot fill a 16-bit image.
    EXPECT_FALSE(ReduceFrame(planes.data(), 1, words.data(), 2, 2));
}

}  // namespace
}  // namespace vantix
