#include "imaging/repack_rows.h"

#include <cstring>

namespace vantix {

namespace {

int RepackRows(uint8_t* dst, const uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
               uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, uint16_t sampleBytes) {
    if (dst == nullptr || src == nullptr || srcRect == nullptr || dstBytesPerPixel != sampleBytes ||
        srcBytesPerPixel != sampleBytes || dstX < 0 || dstY < 0) {
        return 0;
    }
    const int64_t width = int64_t{srcRect->right} - srcRect->left;
    const int64_t height = int64_t{srcRect->bottom} - srcRect->top;
    const int64_t packedRow = width * sampleBytes;
    const int64_t offset = int64_t{dstX} * sampleBytes;
    if (width <= 0 || height <= 0 || offset + packedRow > dstStride) {
        return 0;
    }
    const auto rowBytes = static_cast<size_t>(packedRow);
    // Only a rectangle that spans whole rows owns the padding after them.
    const bool wholeRows = offset == 0 && (packedRow + 3) / 4 * 4 == dstStride;
    // Each row's new place starts at or after its packed place (the stride is
    // at least the packed row length), so moving the last row first never
    // overwrites a row that has yet to move. memmove covers the overlap of a
    // row with its own old place.
    for (int64_t r = height - 1; r >= 0; --r) {
        uint8_t* to = dst + (dstY + r) * int64_t{dstStride} + offset;
        std::memmove(to, src + r * packedRow, rowBytes);
        if (wholeRows) {
            std::memset(to + rowBytes, 0, static_cast<size_t>(dstStride - packedRow));
        }
    }
    return 1;
}

}  // namespace

int RepackRows8(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t /*srcStride*/,
                void* /*param1*/, void* /*param2*/) {
    return RepackRows(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, 1);
}

int RepackRows16(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                 uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t /*srcStride*/,
                 void* /*param1*/, void* /*param2*/) {
    return RepackRows(dst, src, srcRect, dstX, dstY, dstBytesPerPixel, srcBytesPerPixel, dstStride, 2);
}

int RepackRawRows(CDibImage& raw) {
    const int32_t sampleBytes = raw.BytesPerPixel();
    if (raw.IsEmpty() || (sampleBytes != 1 && sampleBytes != 2) ||
        int64_t{raw.Stride()} == int64_t{raw.Width()} * sampleBytes) {
        return 0;
    }
    return raw.Apply(sampleBytes == 1 ? RepackRows8 : RepackRows16, nullptr, nullptr, 0, 0, nullptr, nullptr);
}

}  // namespace vantix
