// The preview's row converters against a plain reference, for every width
// around the vector steps; rows are allocated to their exact size so that a
// read past the end shows under AddressSanitizer.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "imaging/cpu_dispatch.h"
#include "imaging/display_pixels.h"

namespace {

using Row = void (*)(const uint8_t*, uint32_t*, int32_t, uint32_t);

void CheckVariant(Row bgr, Row gray, const char* name) {
    std::mt19937 random(7);
    for (int32_t width = 0; width <= 70; ++width) {
        for (uint32_t fill : {0u, 0xFF000000u}) {
            std::vector<uint8_t> color(static_cast<size_t>(3 * width));
            std::vector<uint8_t> mono(static_cast<size_t>(width));
            for (uint8_t& b : color) b = static_cast<uint8_t>(random());
            for (uint8_t& b : mono) b = static_cast<uint8_t>(random());
            std::vector<uint32_t> out(static_cast<size_t>(width) + 1, 0xDEADBEEFu);
            bgr(color.data(), out.data(), width, fill);
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t expected = fill | uint32_t{color[3 * x + 2]} << 16 | uint32_t{color[3 * x + 1]} << 8 |
                                          color[3 * x];
                ASSERT_EQ(out[x], expected) << name << " width " << width << " x " << x;
            }
            EXPECT_EQ(out[width], 0xDEADBEEFu) << name << " wrote past the row, width " << width;
            gray(mono.data(), out.data(), width, fill);
            for (int32_t x = 0; x < width; ++x) ASSERT_EQ(out[x], fill | uint32_t{mono[x]} * 0x010101u) << name;
        }
    }
}

TEST(DisplayPixels, EveryVariantGivesTheReferenceWords) {
    namespace d = vantix::display_pixels_detail;
    CheckVariant(d::BgrToBgrxRowBaseline, d::GrayToBgrxRowBaseline, "baseline");
    if (vantix::CpuHasAvx2()) CheckVariant(d::BgrToBgrxRowAvx2, d::GrayToBgrxRowAvx2, "avx2");
    CheckVariant(vantix::BgrToBgrxRow, vantix::GrayToBgrxRow, "chosen");
}

}  // namespace
