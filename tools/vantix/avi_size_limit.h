#pragma once
// What the headers of an AVI recording say about it while it grows and once
// it ends: its frames, and whether its size limit ended it. Both layouts the
// SDK writes keep these fields at the same offsets.
#include <cstdint>
#include <string>

namespace cli {

// The frames of every RIFF, from the stream header; -1 if unreadable.
int64_t AviFramesRecorded(const std::string& file);

// The frame size the main header of `file` gives (after sub-sampling, the
// picture recorded rather than the capture window); false if unreadable.
bool AviFrameSize(const std::string& file, int32_t* width, int32_t* height);

// Whether the finished AVI recording `file` stopped at its size limit: in a
// single-RIFF file one more frame of width x height (24-bit rows padded to 4
// bytes, a chunk header and an index entry) would not have fitted the RIFF
// size (maxRiffBytes, 4 GiB); an OpenDML file has used every RIFF its super
// index has room for.
bool AviSizeLimitReached(const std::string& file, int32_t width, int32_t height,
                         long long maxRiffBytes = 0xFFFFFFFFLL);

}  // namespace cli
