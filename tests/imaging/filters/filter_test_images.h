#pragma once
// Images for the filter tests: random fills, sample access by memory row,
// and a comparison that names the first differing byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "imaging/dib_image.h"

namespace vantix::filter_test {

inline constexpr int32_t kAllDepths[] = {8, 16, 24, 32, 48, 64};

inline int32_t SampleBytes(int32_t bits) { return bits == 16 || bits == 48 || bits == 64 ? 2 : 1; }
inline int32_t TopOf(int32_t bits) { return SampleBytes(bits) == 1 ? 255 : 65535; }
// B, G, R of a colour pixel, or the gray value.
inline int32_t Channels(int32_t bits) { return bits == 8 || bits == 16 ? 1 : 3; }

// Sample c of pixel x in memory row y.
inline int32_t Get(const CDibImage& image, int32_t x, int32_t y, int32_t c = 0) {
    const int32_t n = SampleBytes(image.BitsPerPixel());
    const uint8_t* p = image.Row(y) + static_cast<size_t>(x) * image.BytesPerPixel() + c * n;
    return n == 1 ? p[0] : p[0] | p[1] << 8;
}

inline void Set(CDibImage& image, int32_t x, int32_t y, int32_t c, int32_t value) {
    const int32_t n = SampleBytes(image.BitsPerPixel());
    uint8_t* p = image.Row(y) + static_cast<size_t>(x) * image.BytesPerPixel() + c * n;
    p[0] = static_cast<uint8_t>(value);
    if (n == 2) p[1] = static_cast<uint8_t>(value >> 8);
}

// Every byte random, the fourth channel and the row padding included.
inline CDibImage RandomImage(int32_t width, int32_t height, int32_t bits, uint32_t seed) {
    CDibImage image;
    EXPECT_EQ(image.Create(width, height, bits), 1);
    std::mt19937 rng(seed);
    for (size_t i = 0; i < image.ImageBytes(); ++i) image.Bits()[i] = static_cast<uint8_t>(rng());
    return image;
}

inline CDibImage Copy(const CDibImage& image) {
    CDibImage copy;
    EXPECT_EQ(copy.CopyFormat(&image), 1);
    std::memcpy(copy.Bits(), image.Bits(), image.ImageBytes());
    return copy;
}

// Every sample of the first channels (all of a gray image) set to value.
inline CDibImage Filled(int32_t width, int32_t height, int32_t bits, int32_t value) {
    CDibImage image;
    EXPECT_EQ(image.Create(width, height, bits), 1);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int32_t c = 0; c < Channels(bits); ++c) Set(image, x, y, c, value);
    return image;
}

// The pixel blocks equal byte for byte, padding included.
inline ::testing::AssertionResult SameImage(const CDibImage& actual, const CDibImage& expected) {
    if (actual.ImageBytes() != expected.ImageBytes() || actual.Stride() != expected.Stride())
        return ::testing::AssertionFailure() << "formats differ";
    for (size_t i = 0; i < actual.ImageBytes(); ++i) {
        if (actual.Bits()[i] != expected.Bits()[i]) {
            const size_t stride = static_cast<size_t>(actual.Stride());
            return ::testing::AssertionFailure()
                   << actual.BitsPerPixel() << "-bit " << actual.Width() << " x " << actual.Height() << ": row "
                   << i / stride << " byte " << i % stride << " is " << int{actual.Bits()[i]} << ", expected "
                   << int{expected.Bits()[i]};
        }
    }
    return ::testing::AssertionSuccess();
}

}  // namespace vantix::filter_test
