#pragma once
// Filters that replace every channel by its entry in a lookup table: 256
// entries for 8-bit channels, 65536 for 16-bit channels. Gamma and contrast
// are defined as tables; brightness, a float product per channel, is one as
// well, so that consecutive point filters fold into a single table.
#include <cstdint>
#include <vector>

#include "imaging/cpu_dispatch.h"
#include "imaging/filters/filter_kernels.h"
#include "imaging/filters/filter_region.h"

namespace vantix::filter_detail {

// Entry i of each filter's table for a setting already clamped to its range.
void BuildGammaTable(int32_t gamma, uint8_t* table);
void BuildGammaTable(int32_t gamma, uint16_t* table);
void BuildContrastTable(int32_t contrast, uint8_t* table);
void BuildContrastTable(int32_t contrast, uint16_t* table);
void BuildBrightnessTable(int32_t brightness, uint8_t* table);
void BuildBrightnessTable(int32_t brightness, uint16_t* table);

// A table for one channel width, sized for the row kernels.
struct ToneTable {
    int32_t sampleBytes = 1;
    uint8_t entries8[256] = {};
    std::vector<uint16_t> entries16;  // 65536 entries and the kernels' padding
    // Entries 256 * h of a 16-bit table, split into low and high bytes (see
    // ToneRowHigh16); filled in by IndexHighBytes.
    alignas(64) uint8_t highEntriesLow[256] = {};
    alignas(64) uint8_t highEntriesHigh[256] = {};

    // Starts as the identity for the channel width (1 or 2 bytes).
    void Reset(int32_t bytes);
    // Follows every entry by the table `build` makes: after it, entry i is
    // next[previous entry i].
    template <typename Build8, typename Build16>
    void Then(Build8 build8, Build16 build16);
    // Fills highEntriesLow and highEntriesHigh once the entries are final.
    void IndexHighBytes();
};

// Maps the touched channels of rows [rowBegin, rowEnd) of the region (already
// gathered into the destination) through the table of its channel width.
// With highBytesOnly the 16-bit samples have a low byte of 0 and the table's
// high-byte index is filled in.
void MapToneRows(const Region& region, const ChannelLayout& layout, const ToneTable& table, int32_t rowBegin,
                 int32_t rowEnd, KernelLevel level, bool highBytesOnly = false);

// Builds the table the region's channel width needs with build8(table) or
// build16(table) and maps every touched channel through it. The table lives
// for the call only, so concurrent calls share nothing.
template <typename Build8, typename Build16>
void MapThroughToneTable(Region& region, const ChannelLayout& layout, Build8 build8, Build16 build16,
                         KernelLevel level) {
    GatherIntoDestination(region, layout);
    ToneTable table;
    table.sampleBytes = layout.sampleBytes;
    if (layout.sampleBytes == 1) {
        build8(table.entries8);
    } else {
        table.entries16.resize(65536 + kToneTablePad);
        build16(table.entries16.data());
    }
    MapToneRows(region, layout, table, 0, region.height, level);
}

template <typename Build8, typename Build16>
void ToneTable::Then(Build8 build8, Build16 build16) {
    if (sampleBytes == 1) {
        uint8_t next[256];
        build8(next);
        for (uint8_t& entry : entries8) {
            entry = next[entry];
        }
    } else {
        std::vector<uint16_t> next(65536);
        build16(next.data());
        for (int32_t i = 0; i < 65536; ++i) {
            entries16[static_cast<size_t>(i)] = next[entries16[static_cast<size_t>(i)]];
        }
    }
}

}  // namespace vantix::filter_detail
