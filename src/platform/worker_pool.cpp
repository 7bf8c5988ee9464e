#include "platform/worker_pool.h"

#include <cstdlib>

namespace vantix {

WorkerPool::WorkerPool(int32_t threads) {
    const int32_t workers = threads > 1 ? threads - 1 : 0;
    workers_.reserve(static_cast<size_t>(workers));
    for (int32_t slot = 1; slot <= workers; ++slot) {
        workers_.emplace_back([this, slot] { WorkerLoop(slot); });
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void WorkerPool::RunParts(int32_t count, PartFunction function, void* context) {
    if (count <= 0) {
        return;
    }
    if (workers_.empty() || count == 1) {
        for (int32_t part = 0; part < count; ++part) {
            function(context, part, 0);
        }
        return;
    }
    Job job{};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job = Job{job_.generation + 1, count, function, context};
        job_ = job;
        unfinished_.store(count, std::memory_order_relaxed);
        claim_.store(uint64_t{job.generation} << 32, std::memory_order_release);
    }
    wake_.notify_all();
    TakeParts(job, 0);
    // The acquire pairs with the release of every part's finish, so that the
    // parts' writes are visible here.
    if (unfinished_.load(std::memory_order_acquire) == 0) {
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return unfinished_.load(std::memory_order_acquire) == 0; });
}

void WorkerPool::TakeParts(const Job& job, int32_t slot) {
    const uint64_t first = uint64_t{job.generation} << 32;
    uint64_t claim = claim_.load(std::memory_order_acquire);
    for (;;) {
        if ((claim & ~uint64_t{0xffffffff}) != first ||
            static_cast<int32_t>(claim & 0xffffffff) >= job.count) {
            return;  // another job's, or every part is taken
        }
        if (!claim_.compare_exchange_weak(claim, claim + 1, std::memory_order_acquire)) {
            continue;  // claim now holds the value that won
        }
        job.function(job.context, static_cast<int32_t>(claim & 0xffffffff), slot);
        if (unfinished_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            // The last part: the caller may be asleep. Taking the mutex
            // orders this with its check of unfinished_ under the mutex.
            std::lock_guard<std::mutex> lock(mutex_);
            done_.notify_one();
            return;
        }
        claim = claim_.load(std::memory_order_acquire);
    }
}

void WorkerPool::WorkerLoop(int32_t slot) {
    uint32_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this, seen] { return stopping_ || job_.generation != seen; });
        if (stopping_) {
            return;
        }
        const Job job = job_;
        seen = job.generation;
        lock.unlock();
        TakeParts(job, slot);
        lock.lock();
    }
}

int32_t DefaultWorkerThreads() {
    static const int32_t threads = [] {
        const unsigned hardware = std::thread::hardware_concurrency();
        int32_t count = hardware > 0 ? static_cast<int32_t>(hardware) : 1;
        const char* limit = std::getenv("VANTIX_THREADS");
        if (limit != nullptr && *limit != '\0') {
            char* end = nullptr;
            const long value = std::strtol(limit, &end, 10);
            if (end != nullptr && *end == '\0' && value > 0 && value < count) {
                count = static_cast<int32_t>(value);
            }
        }
        return count;
    }();
    return threads;
}

}  // namespace vantix
