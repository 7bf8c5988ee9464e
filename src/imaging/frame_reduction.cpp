#include "imaging/frame_reduction.h"

#include <cstring>

namespace vantix {

uint32_t FrameSampleBytes(size_t frameBytes, size_t pixels, uint32_t planes) {
    if (pixels == 0 || planes == 0) return 0;
    const size_t perPlane = pixels * planes;
    if (frameBytes % perPlane != 0) return 0;
    const size_t sampleBytes = frameBytes / perPlane;
    return sampleBytes == 1 || sampleBytes == 2 ? static_cast<uint32_t>(sampleBytes) : 0;
}

bool ReduceFrame(const uint8_t* frame, uint32_t frameSampleBytes, uint8_t* raw, uint32_t rawSampleBytes,
                 size_t pixels) {
    if (rawSampleBytes > frameSampleBytes || rawSampleBytes == 0) return false;
    if (rawSampleBytes == frameSampleBytes) {
        std::memcpy(raw, frame, pixels * rawSampleBytes);
        return true;
    }
    // 16-bit little-endian samples to their high bytes.
    const uint8_t* __restrict high = frame + 1;
    uint8_t* __restrict out = raw;
    for (size_t i = 0; i < pixels; ++i) out[i] = high[2 * i];
    return true;
}

}  // namespace vantix
