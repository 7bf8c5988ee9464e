#pragma once
// Shared plumbing of the filter routines: resolving the rectangle a
// PixelRoutine is handed into row pointers, the channel layout of each pixel
// size, and running a per-channel operation over a region in place.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/cpu_dispatch.h"
#include "imaging/dib_image.h"

namespace vantix::filter_detail {

// The pixels a routine works on: the source rectangle and the equally large
// destination rectangle, as first-pixel pointers and strides.
struct Region {
    uint8_t* dst = nullptr;
    const uint8_t* src = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    ptrdiff_t dstStride = 0;
    ptrdiff_t srcStride = 0;
    int32_t bytesPerPixel = 0;

    uint8_t* DstRow(int32_t y) const { return dst + y * dstStride; }
    const uint8_t* SrcRow(int32_t y) const { return src + y * srcStride; }
    size_t RowBytes() const { return static_cast<size_t>(width) * static_cast<size_t>(bytesPerPixel); }
    bool InPlace() const { return src == dst && srcStride == dstStride; }
    // True when the source and destination byte ranges share any byte.
    bool Overlaps() const {
        const uint8_t* dstEnd = dst + (height - 1) * dstStride + RowBytes();
        const uint8_t* srcEnd = src + (height - 1) * srcStride + RowBytes();
        return src < dstEnd && dst < srcEnd;
    }
};

// Resolves the arguments of a PixelRoutine. False when there is nothing a
// filter can do: no rectangle, an empty one, negative positions, differing
// pixel sizes, or rows shorter than the rectangle.
inline bool ResolveRegion(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                          uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                          int32_t srcStride, Region& region) {
    if (dst == nullptr || src == nullptr || srcRect == nullptr || dstBytesPerPixel != srcBytesPerPixel ||
        dstBytesPerPixel == 0) {
        return false;
    }
    const int64_t width = static_cast<int64_t>(srcRect->right) - srcRect->left;
    const int64_t height = static_cast<int64_t>(srcRect->bottom) - srcRect->top;
    if (width <= 0 || height <= 0 || srcRect->left < 0 || srcRect->top < 0 || dstX < 0 || dstY < 0) {
        return false;
    }
    const int64_t bpp = dstBytesPerPixel;
    if ((srcRect->right * bpp > srcStride) || ((dstX + width) * bpp > dstStride)) {
        return false;
    }
    region.dst = dst + dstY * static_cast<ptrdiff_t>(dstStride) + dstX * bpp;
    region.src = src + srcRect->top * static_cast<ptrdiff_t>(srcStride) + srcRect->left * bpp;
    region.width = static_cast<int32_t>(width);
    region.height = static_cast<int32_t>(height);
    region.dstStride = dstStride;
    region.srcStride = srcStride;
    region.bytesPerPixel = dstBytesPerPixel;
    return true;
}

// The kernels a filter routine runs with: param2 is null for the best the
// processor has, or points to the KernelLevel asked for (tests, benchmarks).
inline KernelLevel RoutineKernelLevel(const void* param2) {
    return param2 != nullptr ? *static_cast<const KernelLevel*>(param2) : ActiveKernelLevel();
}

// How the channels of a pixel size are laid out.
struct ChannelLayout {
    int32_t sampleBytes;  // 1 or 2
    int32_t step;         // samples per pixel: 1, 3 or 4
    int32_t channels;     // samples a filter touches: 1 (gray) or 3 (B, G, R)
};

inline bool LayoutFor(int32_t bytesPerPixel, ChannelLayout& layout) {
    switch (bytesPerPixel) {
    case 1: layout = {1, 1, 1}; return true;
    case 2: layout = {2, 1, 1}; return true;
    case 3: layout = {1, 3, 3}; return true;
    case 4: layout = {1, 4, 3}; return true;
    case 6: layout = {2, 3, 3}; return true;
    case 8: layout = {2, 4, 3}; return true;
    default: return false;
    }
}

// ResolveRegion and LayoutFor together, for routines that work channel by
// channel.
inline bool ResolveChannels(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                            uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride,
                            int32_t srcStride, Region& region, ChannelLayout& layout) {
    return LayoutFor(dstBytesPerPixel, layout) && ResolveRegion(dst, src, srcRect, dstX, dstY, dstBytesPerPixel,
                                                                srcBytesPerPixel, dstStride, srcStride, region);
}

// Keeps a private copy of a region's source when it overlaps the destination
// without being the same pixels, and points the region at the copy.
class DetachedSource {
public:
    // alwaysWhenOverlapping: copy aside even when source and destination are
    // the very same pixels (for filters that read neighbours they have
    // already written).
    void Detach(Region& region, bool alwaysWhenOverlapping) {
        if (!region.Overlaps() || (region.InPlace() && !alwaysWhenOverlapping)) {
            return;
        }
        const size_t rowBytes = region.RowBytes();
        copy_.resize(rowBytes * static_cast<size_t>(region.height));
        for (int32_t y = 0; y < region.height; ++y) {
            std::memcpy(copy_.data() + rowBytes * static_cast<size_t>(y), region.SrcRow(y), rowBytes);
        }
        region.src = copy_.data();
        region.srcStride = static_cast<ptrdiff_t>(rowBytes);
    }

private:
    std::vector<uint8_t> copy_;
};

template <typename T>
T* SampleRow(uint8_t* row) {
    return reinterpret_cast<T*>(row);
}
template <typename T>
const T* SampleRow(const uint8_t* row) {
    return reinterpret_cast<const T*>(row);
}

// Brings the source's channels into the destination so that a filter can
// work on the destination alone: nothing when they are the same pixels,
// otherwise the touched channels of each row are copied (a fourth channel
// keeps the destination's value).
inline void GatherIntoDestination(Region& region, const ChannelLayout& layout) {
    if (region.InPlace()) {
        return;
    }
    DetachedSource detached;
    detached.Detach(region, false);
    for (int32_t y = 0; y < region.height; ++y) {
        uint8_t* out = region.DstRow(y);
        const uint8_t* in = region.SrcRow(y);
        if (layout.step == layout.channels) {
            std::memcpy(out, in, region.RowBytes());
            continue;
        }
        const size_t channelBytes = static_cast<size_t>(layout.channels * layout.sampleBytes);
        for (int32_t x = 0; x < region.width; ++x) {
            const size_t at = static_cast<size_t>(x) * static_cast<size_t>(region.bytesPerPixel);
            std::memcpy(out + at, in + at, channelBytes);
        }
    }
    region.src = region.dst;
    region.srcStride = region.dstStride;
}

// Replaces every touched channel c of the destination by op(c). op must be
// inlinable and branch-free for the row loops to vectorise.
template <typename T, typename Op>
void MapChannelsInPlace(const Region& region, const ChannelLayout& layout, Op op) {
    const int32_t width = region.width;
    for (int32_t y = 0; y < region.height; ++y) {
        T* row = SampleRow<T>(region.DstRow(y));
        if (layout.step == 4) {
            // One pass over all samples, keeping every fourth as it was: no
            // per-pixel regrouping, so the loop vectorises as a plain one.
            const int32_t count = width * 4;
            for (int32_t i = 0; i < count; ++i) {
                const T previous = row[i];
                row[i] = (i & 3) == 3 ? previous : op(previous);
            }
        } else {
            const int32_t count = width * layout.step;
            for (int32_t i = 0; i < count; ++i) {
                row[i] = op(row[i]);
            }
        }
    }
}

}  // namespace vantix::filter_detail
