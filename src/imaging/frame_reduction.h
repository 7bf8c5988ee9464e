#pragma once
// Fits a camera frame that carries more than the raw image holds into it.
//
// Two heads send more than one sample per raw-image pixel: the SWIR head
// always sends 16-bit samples, also when the colour mode asks for 8-bit ones,
// and the video converter sends its picture as several planes one after the
// other. The raw image of a colour mode holds one plane of samples of its own
// width; this keeps the first plane and, where the frame's samples are wider
// than the image's, each sample's high byte (the same reduction the preview
// applies to 16-bit frames).
#include <cstddef>
#include <cstdint>

namespace vantix {

// How a frame of `frameBytes` lays out `pixels` samples per plane in
// `planes` planes: bytes per sample (1 or 2), or 0 when it does not divide
// into that shape.
uint32_t FrameSampleBytes(size_t frameBytes, size_t pixels, uint32_t planes);

// Writes the first plane's `pixels` samples of `frame` (samples of
// `frameSampleBytes`, little-endian) packed into `raw` as samples of
// `rawSampleBytes`. False when the raw samples are wider than the frame's.
bool ReduceFrame(const uint8_t* frame, uint32_t frameSampleBytes, uint8_t* raw, uint32_t rawSampleBytes,
                 size_t pixels);

}  // namespace vantix
