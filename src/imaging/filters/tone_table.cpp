#include "imaging/filters/tone_table.h"

#include <algorithm>

#include "imaging/filters/filter_bands.h"
#include "imaging/filters/filter_kernels.h"

namespace vantix::filter_detail {

void ToneTable::Reset(int32_t bytes) {
    sampleBytes = bytes;
    if (bytes == 1) {
        for (int32_t i = 0; i < 256; ++i) {
            entries8[i] = static_cast<uint8_t>(i);
        }
        return;
    }
    entries16.resize(65536 + kToneTablePad);
    for (int32_t i = 0; i < 65536; ++i) {
        entries16[static_cast<size_t>(i)] = static_cast<uint16_t>(i);
    }
}

void ToneTable::IndexHighBytes() {
    if (sampleBytes != 2) {
        return;
    }
    for (size_t h = 0; h < 256; ++h) {
        const uint16_t entry = entries16[h << 8];
        highEntriesLow[h] = static_cast<uint8_t>(entry);
        highEntriesHigh[h] = static_cast<uint8_t>(entry >> 8);
    }
}

void MapToneRows(const Region& region, const ChannelLayout& layout, const ToneTable& table, int32_t rowBegin,
                 int32_t rowEnd, KernelLevel level, bool highBytesOnly) {
    const FilterKernels& kernels = FilterKernelsFor(level);
    for (int32_t y = rowBegin; y < rowEnd; ++y) {
        if (layout.sampleBytes == 1) {
            kernels.tone8(region.DstRow(y), region.width, layout.step, table.entries8);
        } else if (highBytesOnly) {
            kernels.toneHigh16(SampleRow<uint16_t>(region.DstRow(y)), region.width, layout.step,
                               table.highEntriesLow, table.highEntriesHigh);
        } else {
            kernels.tone16(SampleRow<uint16_t>(region.DstRow(y)), region.width, layout.step, table.entries16.data());
        }
    }
}

}  // namespace vantix::filter_detail

namespace vantix {

void MapToneTableRows(CDibImage& image, const filter_detail::ToneTable& table, int32_t rowBegin, int32_t rowEnd,
                      KernelLevel level, bool highBytesOnly) {
    filter_detail::ChannelLayout layout{};
    if (image.IsEmpty() || !filter_detail::LayoutFor(image.BytesPerPixel(), layout) ||
        layout.sampleBytes != table.sampleBytes) {
        return;
    }
    filter_detail::Region region;
    region.dst = image.Bits();
    region.src = image.Bits();
    region.width = image.Width();
    region.height = image.Height();
    region.dstStride = image.Stride();
    region.srcStride = image.Stride();
    region.bytesPerPixel = image.BytesPerPixel();
    filter_detail::MapToneRows(region, layout, table, std::max(rowBegin, 0), std::min(rowEnd, image.Height()), level,
                               highBytesOnly);
}

}  // namespace vantix
