// The preview's nearest-neighbour scalers and display sources on small
// images with known pixels.
#include <gtest/gtest.h>

#include "imaging/preview_scaler.h"

namespace {

using vantix::CDibImage;

// Fills memory row r, column c of an 8-bit image with 16 * r + c.
void Number(CDibImage* image) {
    for (int32_t r = 0; r < image->Height(); ++r) {
        for (int32_t c = 0; c < image->Width(); ++c) image->Row(r)[c] = static_cast<uint8_t>(16 * r + c);
    }
}

TEST(PreviewScaler, RowsComeOutReversedAndColumnsPickedFromTheLeft) {
    CDibImage source, dest;
    ASSERT_TRUE(source.Create(6, 4, 8));
    Number(&source);
    // Half the height, double the width.
    ASSERT_TRUE(dest.Create(12, 2, 8));
    std::vector<int32_t> columns;
    ASSERT_EQ(dest.ApplyStretched(vantix::ScaleGray8, &source, nullptr, nullptr, &columns, nullptr), 1);
    // Destination memory row i takes source memory row 3 - trunc(2 i).
    for (int32_t i = 0; i < 2; ++i) {
        for (int32_t j = 0; j < 12; ++j) EXPECT_EQ(dest.Row(i)[j], 16 * (3 - 2 * i) + j / 2) << i << "," << j;
    }
    // The same size only reverses the rows.
    CDibImage same;
    ASSERT_TRUE(same.Create(6, 4, 8));
    ASSERT_EQ(same.ApplyStretched(vantix::ScaleGray8, &source, nullptr, nullptr, nullptr, nullptr), 1);
    for (int32_t r = 0; r < 4; ++r) EXPECT_EQ(same.Row(r)[5], source.Row(3 - r)[5]);
}

TEST(PreviewScaler, ColourScalerCopiesWholePixelsAndRefusesOtherDepths) {
    CDibImage source, dest, gray;
    ASSERT_TRUE(source.Create(3, 1, 24));
    for (int i = 0; i < 9; ++i) source.Row(0)[i] = static_cast<uint8_t>(i + 1);
    ASSERT_TRUE(dest.Create(7, 3, 24));
    ASSERT_EQ(dest.ApplyStretched(vantix::ScaleBgr24, &source, nullptr, nullptr, nullptr, nullptr), 1);
    // sx = 3/7: columns 0,0,0,1,1,2,2; every row is the single source row.
    const int expected[7] = {0, 0, 0, 1, 1, 2, 2};
    for (int32_t r = 0; r < 3; ++r) {
        for (int j = 0; j < 7; ++j) {
            for (int b = 0; b < 3; ++b) EXPECT_EQ(dest.Row(r)[3 * j + b], 3 * expected[j] + b + 1);
        }
    }
    ASSERT_TRUE(gray.Create(7, 3, 8));
    EXPECT_EQ(gray.ApplyStretched(vantix::ScaleBgr24, &source, nullptr, nullptr, nullptr, nullptr), 0);
    const vantix::Rect outside{0, 0, 8, 3};
    EXPECT_EQ(dest.ApplyStretched(vantix::ScaleBgr24, &source, nullptr, &outside, nullptr, nullptr), 0);
}

TEST(PreviewScaler, DisplaySourcesKeepTheHighBytes) {
    CDibImage wide, gray, color;
    ASSERT_TRUE(wide.Create(2, 1, 16));
    const uint8_t samples[4] = {0x34, 0x12, 0xFF, 0xAB};
    std::copy(samples, samples + 4, wide.Row(0));
    ASSERT_TRUE(gray.Create(2, 1, 8));
    ASSERT_TRUE(vantix::HighBytesToGray8(wide, &gray));
    EXPECT_EQ(gray.Row(0)[0], 0x12);
    EXPECT_EQ(gray.Row(0)[1], 0xAB);

    ASSERT_TRUE(color.Create(2, 1, 24));
    for (int32_t bits : {32, 48, 64}) {
        CDibImage deep;
        ASSERT_TRUE(deep.Create(2, 1, bits));
        const int bytes = bits / 8;
        for (int i = 0; i < 2 * bytes; ++i) deep.Row(0)[i] = static_cast<uint8_t>(i);
        ASSERT_TRUE(vantix::ColorToBgr24(deep, &color)) << bits;
        for (int x = 0; x < 2; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int expected = bits == 32 ? x * 4 + c : x * bytes + 2 * c + 1;
                EXPECT_EQ(color.Row(0)[3 * x + c], expected) << bits << " " << x << " " << c;
            }
        }
    }
    EXPECT_FALSE(vantix::ColorToBgr24(gray, &color));        // 8-bit is not a colour source
    EXPECT_FALSE(vantix::HighBytesToGray8(wide, &color));   // wrong destination depth
}

}  // namespace
