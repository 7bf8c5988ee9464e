// Sharpness: an unsharp mask. Each interior channel c of the source, with b
// the mean of the 4 x 4 block of source values at rows y - 2..y + 1 and
// columns x - 2..x + 1 (sum shifted right by 4), becomes
// c + s * (c - b) / 10 (truncated toward zero), limited to the channel's
// scale. The two-pixel border of the destination is not written.
//
// The block sums are separable: each row first adds up the four source rows
// per sample, then every output sample adds four of those column sums one
// pixel apart (the row kernels, sharpness_kernels.cpp).
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/filters/filter_bands.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/filter_region.h"
#include "imaging/filters/filters.h"

namespace vantix {

namespace {

using filter_detail::ChannelLayout;
using filter_detail::Region;

constexpr int32_t kBorder = 2;

// Rows [rowBegin, rowEnd) of the interior (rows 2..height - 3) with the
// region's own row pointers; `sums` holds width * step entries of the sum
// type of the channel width.
void SharpenRows(const Region& region, const ChannelLayout& layout, int32_t strength, int32_t rowBegin,
                 int32_t rowEnd, void* sums, KernelLevel level) {
    const filter_detail::FilterKernels& kernels = filter_detail::FilterKernelsFor(level);
    const filter_detail::SharpenRow row = layout.sampleBytes == 1 ? kernels.sharpen8 : kernels.sharpen16;
    filter_detail::SharpenRowJob job{};
    job.sums = sums;
    job.pixels = region.width;
    job.step = layout.step;
    job.strength = strength;
    for (int32_t y = std::max(rowBegin, kBorder); y < std::min(rowEnd, region.height - kBorder); ++y) {
        job.r0 = region.SrcRow(y - 2);
        job.r1 = region.SrcRow(y - 1);
        job.r2 = region.SrcRow(y);
        job.r3 = region.SrcRow(y + 1);
        job.out = region.DstRow(y);
        // The next row's first reads from memory, fetched while this one is
        // worked on: the whole frame does not fit in the cache.
        const bool last = y + 1 >= std::min(rowEnd, region.height - kBorder);
        job.nextSource = last ? nullptr : region.SrcRow(y + 2);
        job.nextOut = last ? nullptr : region.DstRow(y + 1);
        row(job);
    }
}

}  // namespace

int SharpnessRoutine(uint8_t* dst, uint8_t* src, const Rect* srcRect, int32_t dstX, int32_t dstY,
                     uint16_t dstBytesPerPixel, uint16_t srcBytesPerPixel, int32_t dstStride, int32_t srcStride,
                     void* param1, void* param2) {
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
    std::vector<int32_t> sums(static_cast<size_t>(region.width) * static_cast<size_t>(layout.step));
    SharpenRows(region, layout, strength, 0, region.height, sums.data(), filter_detail::RoutineKernelLevel(param2));
    return 1;
}

int ApplySharpness(CDibImage& image, const CDibImage& scratch, int32_t sharpness) {
    return ApplySharpness(image, scratch, sharpness, ActiveKernelLevel());
}

int ApplySharpness(CDibImage& image, const CDibImage& scratch, int32_t sharpness, KernelLevel level) {
    if (scratch.Width() != image.Width() || scratch.Height() != image.Height() ||
        scratch.BitsPerPixel() != image.BitsPerPixel()) {
        return 0;
    }
    SharpnessSettings settings{sharpness};
    return image.Apply(SharpnessRoutine, &scratch, nullptr, 0, 0, &settings, &level);
}

void ApplySharpnessInBand(CDibImage& image, const CDibImage& halo, int32_t sharpness, const RowBand& band,
                          int32_t rowBegin, int32_t rowEnd, SharpnessBandScratch& scratch, KernelLevel level) {
    ChannelLayout layout{};
    if (image.IsEmpty() || &halo == &image || halo.Width() != image.Width() || halo.Height() != image.Height() ||
        halo.BitsPerPixel() != image.BitsPerPixel() || halo.Stride() != image.Stride() ||
        !filter_detail::LayoutFor(image.BytesPerPixel(), layout)) {
        return;
    }
    const int32_t height = image.Height();
    const size_t stride = static_cast<size_t>(image.Stride());
    scratch.sums.resize(static_cast<size_t>(image.Width()) * static_cast<size_t>(layout.step));
    scratch.sourceRows.resize(3 * stride);
    const filter_detail::FilterKernels& kernels = filter_detail::FilterKernelsFor(level);
    filter_detail::SharpenRowJob job{};
    job.sums = scratch.sums.data();
    job.pixels = image.Width();
    job.step = layout.step;
    job.strength = std::clamp(sharpness, kSharpnessMin, kSharpnessMax);
    const int32_t first = std::max(band.begin, kBorder);
    const int32_t last = std::min(band.end, height - kBorder);  // exclusive
    // Where source row r is while row y is sharpened: beside the band, in
    // the halo; sharpened already by this band (or r == y, about to be), in
    // the copies; otherwise still in the image as the stages before left it
    // (the row under y, and the border rows, which the stages after the
    // sharpness reach only once the rows reading them are sharpened).
    auto source = [&](int32_t r, int32_t y) -> const uint8_t* {
        if (r < band.begin || r >= band.end) {
            return halo.Row(r);
        }
        if (r >= first && r <= y) {
            return scratch.sourceRows.data() + static_cast<size_t>(r % 3) * stride;
        }
        return image.Row(r);
    };
    const filter_detail::SharpenRow row = layout.sampleBytes == 1 ? kernels.sharpen8 : kernels.sharpen16;
    for (int32_t y = std::max(rowBegin, first); y < std::min(rowEnd, last); ++y) {
        std::memcpy(scratch.sourceRows.data() + static_cast<size_t>(y % 3) * stride, image.Row(y), stride);
        job.r0 = source(y - 2, y);
        job.r1 = source(y - 1, y);
        job.r2 = source(y, y);
        job.r3 = source(y + 1, y);
        job.out = image.Row(y);
        row(job);
    }
}

int PrepareFilterScratch(const CDibImage& image, CDibImage& scratch) {
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
    return 1;
}

int CopyToFilterScratch(const CDibImage& image, CDibImage& scratch) {
    if (PrepareFilterScratch(image, scratch) == 0) {
        return 0;
    }
    if (&scratch == &image) {
        return 1;
    }
    std::copy(image.Bits(), image.Bits() + image.ImageBytes(), scratch.Bits());
    return 1;
}

}  // namespace vantix
