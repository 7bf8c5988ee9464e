#pragma once
// Helpers of the raw-conversion tests: seeded random images (padding
// included), copies, sample access in memory order, and the Bayer colour of a
// sample written out from the pattern table.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "imaging/dib_image.h"

namespace vantix::test {

enum class Colour { kRed, kGreen, kBlue };

// [mode][row parity][column parity]
inline Colour ColourAt(int32_t mode, int32_t x, int32_t y) {
    constexpr Colour R = Colour::kRed, G = Colour::kGreen, B = Colour::kBlue;
    static constexpr Colour kTable[4][2][2] = {{{G, B}, {R, G}}, {{R, G}, {G, B}}, {{B, G}, {G, R}}, {{G, R}, {B, G}}};
    return kTable[mode & 3][y & 1][x & 1];
}

inline CDibImage RandomImage(int32_t width, int32_t height, int32_t bits, uint32_t seed) {
    CDibImage image;
    EXPECT_EQ(image.Create(width, height, bits), 1);
    std::mt19937 random(seed);
    for (size_t i = 0; i < image.ImageBytes(); ++i) image.Bits()[i] = static_cast<uint8_t>(random());
    return image;
}

inline CDibImage CopyOf(const CDibImage& source) {
    CDibImage copy;
    EXPECT_EQ(copy.CopyFormat(&source), 1);
    std::memcpy(copy.Bits(), source.Bits(), source.ImageBytes());
    return copy;
}

inline bool SameBytes(const CDibImage& a, const CDibImage& b) {
    return a.ImageBytes() == b.ImageBytes() && std::memcmp(a.Bits(), b.Bits(), a.ImageBytes()) == 0;
}

// Channel c of pixel (x, y) in memory order; 16-bit channels at 16, 48, 64 bits.
inline int32_t ChannelBytes(const CDibImage& image) {
    return image.BitsPerPixel() == 16 || image.BitsPerPixel() == 48 || image.BitsPerPixel() == 64 ? 2 : 1;
}

inline uint8_t* ChannelAt(const CDibImage& image, int32_t x, int32_t y, int32_t c) {
    return const_cast<uint8_t*>(image.Row(y)) + static_cast<size_t>(x) * image.BytesPerPixel() +
           c * ChannelBytes(image);
}

inline uint32_t Get(const CDibImage& image, int32_t x, int32_t y, int32_t c = 0) {
    uint16_t v = 0;
    std::memcpy(&v, ChannelAt(image, x, y, c), static_cast<size_t>(ChannelBytes(image)));
    return v;
}

inline void Set(CDibImage& image, int32_t x, int32_t y, uint32_t value, int32_t c = 0) {
    const auto v = static_cast<uint16_t>(value);
    std::memcpy(ChannelAt(image, x, y, c), &v, static_cast<size_t>(ChannelBytes(image)));
}

}  // namespace vantix::test
