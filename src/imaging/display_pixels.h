#pragma once
// Rows of a picture turned into 32-bit B, G, R, X words, the pixel layout of
// the usual X server visual, for the preview window. `fill` is ORed into
// every word (the alpha bits of 32-bit visuals). The AVX2 variants are chosen
// at run time (see cpu_dispatch.h) and give the same words.
#include <cstdint>

namespace vantix {

// B, G, R bytes to words.
void BgrToBgrxRow(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill);
// Gray bytes v to words v * 0x010101 (a gray-ramp palette).
void GrayToBgrxRow(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill);

namespace display_pixels_detail {
void BgrToBgrxRowBaseline(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill);
void BgrToBgrxRowAvx2(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill);
void GrayToBgrxRowBaseline(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill);
void GrayToBgrxRowAvx2(const uint8_t* in, uint32_t* out, int32_t width, uint32_t fill);
}  // namespace display_pixels_detail

}  // namespace vantix
