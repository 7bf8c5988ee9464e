#pragma once
// Helpers shared by the raw-conversion tests: images filled with seeded
// random bytes (padding included), plain sample access, and the Bayer colour
// of a sample written out from the pattern table.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "imaging/dib_image.h"

namespace vantix::test {

enum class Colour { kRed, kGreen, kBlue };

// The pattern table: for each mode, the colours of even rows (even x, odd x)
// and of odd rows (even x, odd x).
inline Colour ColourAt(int32_t mode, int32_t x, int32_t y) {
    static constexpr Colour kTable[4][2][2] = {
        {{Colour::kGreen, Colour::kBlue}, {Colour::kRed, Colour::kGreen}},
        {{Colour::kRed, Colour::kGreen}, {Colour::kGreen, Colour::kBlue}},
        {{Colour::kBlue, Colour::kGreen}, {Colour::kGreen, Colour::kRed}},
        {{Colour::kGreen, Colour::kRed}, {Colour::kBlue, Colour::kGreen}},
    };
    return kTable[mode & 3][y & 1][x & 1];
}

// An image of the given size and depth with every byte, padding included,
// drawn from a generator seeded with `seed`.
inline CDibImage RandomImage(int32_t width, int32_t height, int32_t bits, uint32_t seed) {
    CDibImage image;
    EXPECT_EQ(image.Create(width, height, bits), 1) << width << " x " << height << " x " << bits;
    std::mt19937 random(seed);
    for (size_t i = 0; i < image.ImageBytes(); ++i) {
        image.Bits()[i] = static_cast<uint8_t>(random());
    }
    return image;
}

// An image of the same format with the same bytes.
inline CDibImage CopyOf(const CDibImage& source) {
    CDibImage copy;
    EXPECT_EQ(copy.CopyFormat(&source), 1);
    std::memcpy(copy.Bits(), source.Bits(), source.ImageBytes());
    return copy;
}

inline bool SameBytes(const CDibImage& a, const CDibImage& b) {
    return a.ImageBytes() == b.ImageBytes() && std::memcmp(a.Bits(), b.Bits(), a.ImageBytes()) == 0;
}

// Channel c (0 = first) of pixel (x, y), memory order, as an unsigned value of
// the image's channel width (16-bit channels for 16, 48 and 64 bits).
inline uint32_t Get(const CDibImage& image, int32_t x, int32_t y, int32_t c = 0) {
    const bool wide = image.BitsPerPixel() == 16 || image.BitsPerPixel() == 48 || image.BitsPerPixel() == 64;
    const uint8_t* p = image.Row(y) + static_cast<size_t>(x) * image.BytesPerPixel();
    if (wide) {
        uint16_t v;
        std::memcpy(&v, p + 2 * c, 2);
        return v;
    }
    return p[c];
}

inline void Set(CDibImage& image, int32_t x, int32_t y, uint32_t value, int32_t c = 0) {
    const bool wide = image.BitsPerPixel() == 16 || image.BitsPerPixel() == 48 || image.BitsPerPixel() == 64;
    uint8_t* p = image.Row(y) + static_cast<size_t>(x) * image.BytesPerPixel();
    if (wide) {
        const auto v = static_cast<uint16_t>(value);
        std::memcpy(p + 2 * c, &v, 2);
    } else {
        p[c] = static_cast<uint8_t>(value);
    }
}

}  // namespace vantix::test
