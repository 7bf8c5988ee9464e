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
    {
        std::lock_guard<std::mutex> lock(mutex_);
        function_ = function;
        context_ = context;
        count_ = count;
        next_.store(0, std::memory_order_relaxed);
        busy_ = static_cast<int32_t>(workers_.size());
        ++generation_;
    }
    wake_.notify_all();
    TakeParts(0);
    // The workers' writes are published by their last hold of the mutex.
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return busy_ == 0; });
}

void WorkerPool::TakeParts(int32_t slot) {
    for (;;) {
        const int32_t part = next_.fetch_add(1, std::memory_order_relaxed);
        if (part >= count_) {
            return;
        }
        function_(context_, part, slot);
    }
}

void WorkerPool::WorkerLoop(int32_t slot) {
    uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this, seen] { return stopping_ || generation_ != seen; });
        if (stopping_) {
            return;
        }
        seen = generation_;
        // The job fields were written under the mutex before the generation
        // moved on and stay fixed until every worker has reported back.
        lock.unlock();
        TakeParts(slot);
        lock.lock();
        if (--busy_ == 0) {
            done_.notify_one();
        }
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
