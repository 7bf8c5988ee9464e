#pragma once
// Rebuilds the headers and the index of an uncompressed AVI recording that
// was cut off anywhere (its program killed, the disk pulled): the frames
// whose chunks are whole are kept, a partial chunk at the end is cut away,
// and the "idx1" index, the RIFF and "movi" sizes and the frame counts are
// written again. An OpenDML file (one with a super index) may be cut in any
// of its RIFFs: the RIFFs before keep their indexes, the last one gets its
// "ix00" (and "idx1" when it is the first), and the super index and "dmlh"
// are rewritten. Works on the file in place; plain file I/O, no camera.
#include <cstdint>
#include <string>

namespace cli {

struct AviRepairResult {
    bool repaired = false;
    uint32_t frames = 0;      // whole frame chunks kept
    uint32_t riffs = 0;       // RIFFs of the repaired file
    uint64_t cutBytes = 0;    // bytes removed after the last whole chunk (old index included)
    std::string error;        // why nothing was changed
};

AviRepairResult RepairAvi(const char* path);

}  // namespace cli
