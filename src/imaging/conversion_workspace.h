#pragma once
// ConversionWorkspace: what the frame conversion keeps from frame to frame
// so that a frame needs no thread started and no memory allocated once the
// frame size is settled: the worker pool, per-thread scratch, the hot-pixel
// candidate plane, and the last folded tone table.
//
// Owned by whoever converts frames one after the other (a session); used by
// one conversion at a time.
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/filters/filter_bands.h"
#include "imaging/filters/tone_table.h"
#include "platform/worker_pool.h"

namespace vantix {

class ConversionWorkspace {
public:
    // threads: how many threads a frame is spread over (the caller's
    // included); 0 or less takes DefaultWorkerThreads(), which the
    // environment variable VANTIX_THREADS caps. 1 converts on the caller alone.
    explicit ConversionWorkspace(int32_t threads = 0);

    int32_t Threads() const { return threads_; }
    // The pool, started on first use.
    WorkerPool& Pool();

    struct ThreadScratch {
        DotFilterScratch dot;
        SharpnessBandScratch sharpness;
    };
    ThreadScratch& Scratch(int32_t slot) { return scratch_[static_cast<size_t>(slot)]; }

    HotPixelScratch& HotPixels() { return hotPixels_; }
    std::vector<uint8_t>& DotMarks() { return dotMarks_; }
    DotFilterPlanes& DotPlanes() { return dotPlanes_; }

    // The table of gamma, then contrast, then (when foldBrightness)
    // brightness, for a channel width of sampleBytes; rebuilt only when one
    // of them changed since the last call.
    const filter_detail::ToneTable& ToneTableFor(int32_t sampleBytes, int32_t gamma, int32_t contrast,
                                                 int32_t brightness, bool foldBrightness);
    // The brightness table alone.
    const filter_detail::ToneTable& BrightnessTableFor(int32_t sampleBytes, int32_t brightness);

private:
    struct CachedTable {
        bool valid = false;
        int32_t sampleBytes = 0;
        int32_t gamma = 0;
        int32_t contrast = 0;
        int32_t brightness = 0;
        bool foldBrightness = false;
        filter_detail::ToneTable table;
    };
    const filter_detail::ToneTable& Cached(CachedTable& cache, int32_t sampleBytes, int32_t gamma, int32_t contrast,
                                           int32_t brightness, bool foldBrightness);

    int32_t threads_;
    std::unique_ptr<WorkerPool> pool_;
    std::vector<ThreadScratch> scratch_;
    HotPixelScratch hotPixels_;
    std::vector<uint8_t> dotMarks_;
    DotFilterPlanes dotPlanes_;
    CachedTable tones_;
    CachedTable brightness_;
};

}  // namespace vantix
