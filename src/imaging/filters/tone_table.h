#pragma once
// Filters that replace every channel by its entry in a lookup table built for
// the call: 256 entries for 8-bit channels, 65536 for 16-bit channels.
#include <cstdint>
#include <memory>

#include "imaging/filters/filter_region.h"

namespace vantix::filter_detail {

// Builds the table the region's channel width needs with build8(table) or
// build16(table) and maps every touched channel through it. The tables live
// for the call only, so concurrent calls share nothing.
template <typename Build8, typename Build16>
void MapThroughToneTable(Region& region, const ChannelLayout& layout, Build8 build8, Build16 build16) {
    GatherIntoDestination(region, layout);
    if (layout.sampleBytes == 1) {
        uint8_t table[256];
        build8(table);
        MapChannelsInPlace<uint8_t>(region, layout, [&table](uint8_t c) { return table[c]; });
    } else {
        const std::unique_ptr<uint16_t[]> table(new uint16_t[65536]);
        build16(table.get());
        const uint16_t* entries = table.get();
        MapChannelsInPlace<uint16_t>(region, layout, [entries](uint16_t c) { return entries[c]; });
    }
}

}  // namespace vantix::filter_detail
