#include "imaging/preview_scaler.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace vantix {
namespace {

// Copies bytes kFirst, kFirst + kStep, ... of every kPixelBytes-byte source
// pixel into the kChannels bytes of the destination pixel, row by row: plain
// strided copies the compiler vectorises.
template <int kPixelBytes, int kChannels, int kFirst, int kStep>
void PickBytes(const CDibImage& source, CDibImage* dest) {
    const int32_t width = source.Width();
    for (int32_t row = 0; row < source.Height(); ++row) {
        const uint8_t* in = source.Row(row);
        uint8_t* out = dest->Row(row);
        for (int32_t x = 0; x < width; ++x) {
            for (int c = 0; c < kChannels; ++c) out[kChannels * x + c] = in[kPixelBytes * x + kFirst + kStep * c];
        }
    }
}

bool SameSize(const CDibImage& a, const CDibImage& b) {
    return !a.IsEmpty() && !b.IsEmpty() && a.Width() == b.Width() && a.Height() == b.Height();
}

// trunc(value) as a 32-bit integer; values outside that range (and NaN) count
// as the most negative integer, which the callers clamp.
int32_t TruncateToInt32(float value) {
    if (!(value >= -2147483648.0f && value < 2147483648.0f)) return INT32_MIN;
    return static_cast<int32_t>(value);
}

bool Inside(const Rect& r, int32_t width, int32_t height) {
    return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height && r.left < r.right &&
           r.top < r.bottom;
}

template <int kBytes>
int Scale(uint8_t* dst, const uint8_t* src, const Rect* dstRect, const Rect* srcRect, int32_t dstWidth,
          int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, uint16_t dstBytesPerPixel,
          uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* columnTable) {
    if (dstBytesPerPixel != kBytes || srcBytesPerPixel != kBytes) return 0;
    if (!Inside(*dstRect, dstWidth, dstHeight) || !Inside(*srcRect, srcWidth, srcHeight)) return 0;
    const int32_t outW = dstRect->right - dstRect->left;
    const int32_t outH = dstRect->bottom - dstRect->top;
    const int32_t inW = srcRect->right - srcRect->left;
    const int32_t inH = srcRect->bottom - srcRect->top;
    const float sx = static_cast<float>(inW) / static_cast<float>(outW);
    const float sy = static_cast<float>(inH) / static_cast<float>(outH);

    std::vector<int32_t> ownTable;
    std::vector<int32_t>& columns = columnTable != nullptr ? *static_cast<std::vector<int32_t>*>(columnTable) : ownTable;
    columns.resize(static_cast<size_t>(outW));
    for (int32_t j = 0; j < outW; ++j) {
        const int32_t column = std::clamp(TruncateToInt32(static_cast<float>(j) * sx), 0, inW - 1);
        columns[static_cast<size_t>(j)] = (srcRect->left + column) * kBytes;
    }
    // Rectangles are in picture order; the rows of each rectangle start in
    // memory at image height - rectangle bottom. Destination memory row i
    // takes the source row counted back from the rectangle's last memory row.
    const int32_t dstFirstRow = dstHeight - dstRect->bottom;
    const int32_t srcFirstRow = srcHeight - srcRect->bottom;
    for (int32_t i = 0; i < outH; ++i) {
        const int32_t picked = std::clamp(TruncateToInt32(static_cast<float>(i) * sy), 0, inH - 1);
        const int32_t srcRow = srcFirstRow + inH - 1 - picked;
        const int32_t dstRow = dstFirstRow + i;
        const uint8_t* in = src + static_cast<ptrdiff_t>(srcRow) * srcStride;
        uint8_t* out = dst + static_cast<ptrdiff_t>(dstRow) * dstStride + dstRect->left * kBytes;
        for (int32_t j = 0; j < outW; ++j) {
            const uint8_t* pixel = in + columns[static_cast<size_t>(j)];
            for (int b = 0; b < kBytes; ++b) out[j * kBytes + b] = pixel[b];
        }
    }
    return 1;
}

}  // namespace

bool HighBytesToGray8(const CDibImage& source, CDibImage* dest) {
    if (dest == nullptr || !SameSize(source, *dest) || source.BitsPerPixel() != 16 || dest->BitsPerPixel() != 8) {
        return false;
    }
    PickBytes<2, 1, 1, 0>(source, dest);  // the high byte of each sample
    return true;
}

bool ColorToBgr24(const CDibImage& source, CDibImage* dest) {
    if (dest == nullptr || !SameSize(source, *dest) || dest->BitsPerPixel() != 24) return false;
    switch (source.BitsPerPixel()) {
        case 32:
            PickBytes<4, 3, 0, 1>(source, dest);  // B, G, R; the fourth byte dropped
            return true;
        case 48:
            PickBytes<6, 3, 1, 2>(source, dest);  // high bytes of B, G, R
            return true;
        case 64:
            PickBytes<8, 3, 1, 2>(source, dest);  // high bytes of B, G, R; the fourth sample dropped
            return true;
        default:
            return false;
    }
}

int ScaleGray8(uint8_t* dst, uint8_t* src, const Rect* dstRect, const Rect* srcRect, int32_t dstWidth,
               int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, uint16_t dstBytesPerPixel,
               uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* param1, void*) {
    return Scale<1>(dst, src, dstRect, srcRect, dstWidth, dstHeight, srcWidth, srcHeight, dstBytesPerPixel,
                    srcBytesPerPixel, dstStride, srcStride, param1);
}

int ScaleBgr24(uint8_t* dst, uint8_t* src, const Rect* dstRect, const Rect* srcRect, int32_t dstWidth,
               int32_t dstHeight, int32_t srcWidth, int32_t srcHeight, uint16_t dstBytesPerPixel,
               uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride, void* param1, void*) {
    return Scale<3>(dst, src, dstRect, srcRect, dstWidth, dstHeight, srcWidth, srcHeight, dstBytesPerPixel,
                    srcBytesPerPixel, dstStride, srcStride, param1);
}

}  // namespace vantix
