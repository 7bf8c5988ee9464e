#pragma once
// Re-lays raw frames whose rows arrive packed one after the other.
//
// The camera engine writes a frame's rows back to back (width x bytes per
// sample each) from the start of the raw buffer, while a CDibImage row starts
// every stride bytes (the row length rounded up to a multiple of 4). Whenever
// the two differ, the worker thread runs RepackRows on the raw buffer in place
// before the frame is converted.
#include <cstdint>

#include "imaging/dib_image.h"

namespace vantix {

// PixelRoutines for CDibImage::Apply with the raw buffer as destination and
// source (8-bit and 16-bit samples). The packed rows of the handed rectangle
// (width x source bytes per pixel each, starting at the source's first byte)
// are moved to their stride-aligned places, rectangle row r to destination
// memory row dstY + r at column dstX. Rows are moved last to first, so that in
// place no row is overwritten before it has moved. When the rectangle spans
// whole rows, the padding bytes after each row are cleared. Return 1, or 0
// when the pixel sizes are not those of the routine, or the destination
// stride is shorter than a packed row.
int RepackRows8(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                void* param1, void* param2);
int RepackRows16(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                 uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                 void* param1, void* param2);

// Repacks an 8- or 16-bit raw image in place when its stride differs from
// width x bytes per sample. Returns 1 when the rows were moved, 0 when there
// was nothing to do or the image is not an 8- or 16-bit image.
int RepackRawRows(CDibImage& raw);

}  // namespace vantix
