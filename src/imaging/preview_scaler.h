#pragma once
// What the preview window shows of a frame: the display source of each colour
// mode (8-bit gray or 24-bit BGR) and the nearest-neighbour scalers that fit
// it to a window of another size.
#include <cstdint>
#include <vector>

#include "imaging/dib_image.h"

namespace vantix {

// Writes the high byte of every 16-bit sample of `source` into the 8-bit
// image `dest` (same size). False when the formats do not match.
bool HighBytesToGray8(const CDibImage& source, CDibImage* dest);
// Writes B, G, R of a 32-, 48- or 64-bit image into the 24-bit image `dest`
// (same size): the first three bytes of each 32-bit pixel, the high byte of
// each 16-bit B, G, R sample otherwise. False when the formats do not match.
bool ColorToBgr24(const CDibImage& source, CDibImage* dest);

// Nearest-neighbour scalers for CDibImage::ApplyStretched, copying 1 (gray)
// or 3 (B, G, R) bytes per pixel. With sx = source width / destination width
// and sy = source height / destination height (single precision), destination
// memory row i takes source memory row H - 1 - clamp(trunc(i * sy)) and
// column j takes source column clamp(trunc(j * sx)): the rows come out
// reversed, so that the scaled image shown bottom row first stands the way
// the source does shown top row first. param1 may point to a
// std::vector<int32_t> kept by the caller for the column table (no
// allocation once it has the destination width); null allocates one.
// Returns 1, or 0 when a rectangle lies outside its image or the depths are
// not the scaler's.
int ScaleGray8(uint8_t* dst, uint8_t* src, const Rect* dstRect, const Rect* srcRect, int32_t dstWidth,
               int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, uint16_t dstBytesPerPixel,
               uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* param1, void* param2);
int ScaleBgr24(uint8_t* dst, uint8_t* src, const Rect* dstRect, const Rect* srcRect, int32_t dstWidth,
               int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, uint16_t dstBytesPerPixel,
               uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* param1, void* param2);

}  // namespace vantix
