// Sharpness: an unsharp mask. Each interior channel c of the source, with b
// the mean of the 4 x 4 block of source values at rows y - 2..y + 1 and
// columns x - 2..x + 1 (sum shifted right by 4), becomes
// c + s * (c - b) / 10 (truncated toward zero), limited to the channel's
// scale. The two-pixel border of the destination is not written.
//
// The block sums are separable: each row first adds up the four source rows
// per sample, then every output sample adds four of those column sums one
// pixel apart. Both loops run over contiguous samples.
#include <algorithm>
#include <type_traits>
#include <vector>

#include "imaging/filters/filter_region.h"
#include "imaging/filters/filters.h"

namespace vantix {

namespace {

using filter_detail::ChannelLayout;
using filter_detail::Region;

constexpr int32_t kBorder = 2;

// One output row: samples [first, last) of the destination row from the
// source row c and the column sums. With four samples per pixel the fourth
// is written back as it was, which keeps the loop a single vector loop. The
// destination never shares memory with the source (see SharpnessRoutine) or
// the sums.
template <int32_t kStep>
void SharpenRow(uint8_t* __restrict out, const uint8_t* __restrict c, const uint16_t* __restrict sums,
                int32_t first, int32_t last, int32_t strength) {
    // Everything fits in 16 bits here (|s * (c - b)| <= 30 * 255), which
    // lets the compiler work on eight samples per vector.
    const auto s = static_cast<int16_t>(strength);
    for (int32_t i = first; i < last; ++i) {
        const auto blurred =
            static_cast<int16_t>((sums[i - 2 * kStep] + sums[i - kStep] + sums[i] + sums[i + kStep]) >> 4);
        const auto v = static_cast<int16_t>(c[i]);
        const auto correction = static_cast<int16_t>(s * static_cast<int16_t>(v - blurred));
        const auto value = static_cast<int16_t>(v + correction / 10);
        const auto sharpened = static_cast<uint8_t>(std::clamp<int16_t>(value, 0, 255));
        const uint8_t previous = out[i];
        out[i] = kStep == 4 && (i & 3) == 3 ? previous : sharpened;
    }
}

template <int32_t kStep>
void SharpenRow(uint16_t* __restrict out, const uint16_t* __restrict c, const int32_t* __restrict sums,
                int32_t first, int32_t last, int32_t strength) {
    for (int32_t i = first; i < last; ++i) {
        const int32_t blurred = (sums[i - 2 * kStep] + sums[i - kStep] + sums[i] + sums[i + kStep]) >> 4;
        const int32_t v = c[i];
        const int32_t value = v + strength * (v - blurred) / 10;
        const auto sharpened = static_cast<uint16_t>(std::clamp(value, 0, 65535));
        const uint16_t previous = out[i];
        out[i] = kStep == 4 && (i & 3) == 3 ? previous : sharpened;
    }
}

template <typename T, int32_t kStep>
void Sharpen(const Region& region, int32_t strength) {
    // Column sums of four rows: at most 4 * 255 for 8-bit channels, so 16
    // bits suffice there.
    using Sum = std::conditional_t<sizeof(T) == 1, uint16_t, int32_t>;
    const int32_t rowSamples = region.width * kStep;
    // Output samples: all samples of pixels 2..width - 3.
    const int32_t first = kBorder * kStep;
    const int32_t last = (region.width - kBorder) * kStep;
    std::vector<Sum> columnSums(static_cast<size_t>(rowSamples));
    Sum* sums = columnSums.data();
    for (int32_t y = kBorder; y < region.height - kBorder; ++y) {
        const T* r0 = filter_detail::SampleRow<T>(region.SrcRow(y - 2));
        const T* r1 = filter_detail::SampleRow<T>(region.SrcRow(y - 1));
        const T* r2 = filter_detail::SampleRow<T>(region.SrcRow(y));
        const T* r3 = filter_detail::SampleRow<T>(region.SrcRow(y + 1));
        for (int32_t i = 0; i < rowSamples; ++i) {
            sums[i] = static_cast<Sum>(r0[i] + r1[i] + r2[i] + r3[i]);
        }
        SharpenRow<kStep>(filter_detail::SampleRow<T>(region.DstRow(y)), r2, sums, first, last, strength);
    }
}

template <typename T>
void SharpenByStep(const Region& region, int32_t step, int32_t strength) {
    switch (step) {
    case 1: Sharpen<T, 1>(region, strength); break;
    case 3: Sharpen<T, 3>(region, strength); break;
    default: Sharpen<T, 4>(region, strength); break;
    }
}

}  // namespace

int SharpnessRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                     uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                     void* param1, void* /*param2*/) {
    Region region;
    ChannelLayout layout{};
    if (param1 == nullptr || !filter_detail::ResolveChannels(dst, src, srcRect, dstX, dstY, dstBytesPerPixel,
                                                             srcBytesPerPixel, dstStride, srcStride, region, layout)) {
        return 0;
    }
    const int32_t strength =
        std::clamp(static_cast<const SharpnessSettings*>(param1)->sharpness, kSharpnessMin, kSharpnessMax);
    if (region.width <= 2 * kBorder || region.height <= 2 * kBorder) {
        return 1;  // no interior
    }
    // Written pixels feed later blocks, so the source must not share memory
    // with the destination.
    filter_detail::DetachedSource detached;
    detached.Detach(region, true);
    if (layout.sampleBytes == 1) {
        SharpenByStep<uint8_t>(region, layout.step, strength);
    } else {
        SharpenByStep<uint16_t>(region, layout.step, strength);
    }
    return 1;
}

int ApplySharpness(CDibImage& image, const CDibImage& scratch, int32_t sharpness) {
    if (scratch.Width() != image.Width() || scratch.Height() != image.Height() ||
        scratch.BitsPerPixel() != image.BitsPerPixel()) {
        return 0;
    }
    SharpnessSettings settings{sharpness};
    return image.Apply(SharpnessRoutine, &scratch, nullptr, 0, 0, &settings, nullptr);
}

int CopyToFilterScratch(const CDibImage& image, CDibImage& scratch) {
    if (image.IsEmpty()) {
        return 0;
    }
    if (&scratch == &image) {
        return 1;
    }
    if (scratch.Width() != image.Width() || scratch.Height() != image.Height() ||
        scratch.BitsPerPixel() != image.BitsPerPixel() || scratch.Stride() != image.Stride()) {
        if (scratch.CopyFormat(&image) == 0) {
            return 0;
        }
    }
    std::copy(image.Bits(), image.Bits() + image.ImageBytes(), scratch.Bits());
    return 1;
}

}  // namespace vantix
