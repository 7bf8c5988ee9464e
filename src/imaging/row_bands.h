#pragma once
// Splitting a frame's rows into bands for the worker pool: every stage of
// the conversion that runs on several threads goes through RunInBands.
#include <algorithm>
#include <cstdint>

#include "platform/worker_pool.h"

namespace vantix {

struct RowBand {
    int32_t begin;
    int32_t end;    // exclusive
    int32_t index;  // of the bands of one split, top to bottom in memory
};

// Bands per thread: a few, so that a thread slowed down by other work on the
// machine leaves its share to the others.
inline constexpr int32_t kBandsPerThread = 4;
// Rows a band has at least, so that the rows a band reads beyond its own
// stay a small part of its work.
inline constexpr int32_t kMinBandRows = 16;

inline int32_t BandCount(int32_t rows, int32_t threads) {
    if (threads <= 1 || rows <= kMinBandRows) {
        return 1;
    }
    return std::clamp(rows / kMinBandRows, 1, threads * kBandsPerThread);
}

// Band `index` of `count` bands of near-equal size covering rows [0, rows).
inline RowBand BandOf(int32_t index, int32_t count, int32_t rows) {
    const auto begin = static_cast<int32_t>(int64_t{rows} * index / count);
    const auto end = static_cast<int32_t>(int64_t{rows} * (index + 1) / count);
    return {begin, end, index};
}

// Runs stage(band, slot) over bands covering rows [0, rows) on the pool's
// threads and returns when all are done; slot names the thread (see
// WorkerPool::Run). With one thread this is stage({0, rows}, 0).
template <typename Stage>
void RunInBands(WorkerPool& pool, int32_t rows, Stage&& stage) {
    const int32_t count = BandCount(rows, pool.Threads());
    auto part = [&stage, count, rows](int32_t index, int32_t slot) { stage(BandOf(index, count, rows), slot); };
    pool.Run(count, part);
}

// Within a band, rows in chunks small enough for a chain of stages to find
// each chunk's rows still in the cache.
inline constexpr int32_t kChunkRows = 8;

template <typename Step>
void ForEachChunk(const RowBand& band, Step&& step) {
    for (int32_t begin = band.begin; begin < band.end; begin += kChunkRows) {
        step(begin, std::min(begin + kChunkRows, band.end));
    }
}

}  // namespace vantix
