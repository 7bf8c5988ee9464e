#include "imaging/repack_rows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "conversion_test_util.h"

namespace vantix {
namespace {

// Writes `packed` to the start of the image's pixel block, rows back to back,
// as the camera engine delivers them; the rest of the block keeps its junk.
std::vector<uint8_t> DeliverPacked(CDibImage& image, uint32_t seed) {
    const size_t rowBytes = static_cast<size_t>(image.Width()) * image.BytesPerPixel();
    std::vector<uint8_t> packed(rowBytes * static_cast<size_t>(image.Height()));
    std::mt19937 random(seed);
    for (uint8_t& b : packed) b = static_cast<uint8_t>(random());
    std::memcpy(image.Bits(), packed.data(), packed.size());
    return packed;
}

TEST(RepackRows, InPlaceForOddWidthsAtBothDepths) {
    uint32_t seed = 1;
    for (const int32_t bits : {8, 16}) {
        for (const int32_t width : {1, 2, 3, 5, 7, 13, 481}) {
            for (const int32_t height : {1, 2, 9}) {
                CDibImage image = test::RandomImage(width, height, bits, ++seed);
                const std::vector<uint8_t> packed = DeliverPacked(image, ++seed);
                const size_t rowBytes = static_cast<size_t>(width) * image.BytesPerPixel();
                const bool padded = static_cast<size_t>(image.Stride()) != rowBytes;
                EXPECT_EQ(RepackRawRows(image), padded ? 1 : 0) << bits << " bits, width " << width;
                for (int32_t y = 0; y < height; ++y) {
                    ASSERT_EQ(std::memcmp(image.Row(y), packed.data() + y * rowBytes, rowBytes), 0)
                        << bits << " bits, width " << width << ", row " << y;
                    for (size_t i = rowBytes; i < static_cast<size_t>(image.Stride()); ++i) {
                        ASSERT_EQ(image.Row(y)[i], 0) << "padding of row " << y;
                    }
                }
            }
        }
    }
}

TEST(RepackRows, RoutinesRefuseTheOtherDepthAndShortStrides) {
    CDibImage image8 = test::RandomImage(5, 3, 8, 9);
    CDibImage image16 = test::RandomImage(5, 3, 16, 10);
    const CDibImage before8 = test::CopyOf(image8);
    const CDibImage before16 = test::CopyOf(image16);
    EXPECT_EQ(image8.Apply(RepackRows16, nullptr, nullptr, 0, 0, nullptr, nullptr), 0);
    EXPECT_EQ(image16.Apply(RepackRows8, nullptr, nullptr, 0, 0, nullptr, nullptr), 0);
    const Rect rect{0, 0, 5, 3};
    // A destination stride shorter than a packed row.
    EXPECT_EQ(RepackRows8(image8.Bits(), image8.Bits(), &rect, 0, 0, 1, 1, 4, 8, nullptr, nullptr), 0);
    EXPECT_TRUE(test::SameBytes(image8, before8));
    EXPECT_TRUE(test::SameBytes(image16, before16));

    CDibImage color = test::RandomImage(5, 3, 24, 11);
    EXPECT_EQ(RepackRawRows(color), 0);
}

}  // namespace
}  // namespace vantix
