#pragma once
// WorkerPool: a fixed set of threads that run the parts of one job at a time.
//
// The threads are started once, by the constructor, and sleep between jobs.
// Run(count, task) hands out the part indices 0..count - 1 to the threads and
// to the calling thread, which takes parts too, and returns once every part
// has finished; it allocates nothing. Everything a part writes is visible to
// the caller when Run returns, and everything the caller wrote before Run is
// visible to every part.
//
// Run waits for the parts, not for the threads: a worker that the system has
// not scheduled yet (a busy machine, another thread on its core) leaves its
// parts to the caller and the others, and a job ends as soon as its last part
// does. A late worker finds the job's parts all taken and goes back to sleep.
//
// One Run at a time: the pool belongs to one owner (a frame converter), which
// calls it from one thread at a time. Parts must not call Run themselves.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace vantix {

class WorkerPool {
public:
    // `threads` counts the caller too: 1 (or less) starts no thread and runs
    // every part on the caller.
    explicit WorkerPool(int32_t threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Threads taking part in a job, the caller included.
    int32_t Threads() const { return static_cast<int32_t>(workers_.size()) + 1; }

    // Runs task(part, slot) for every part in 0..count - 1. slot (0 for the
    // caller, 1..Threads() - 1 for the pool's threads) names the thread a
    // part runs on, so that a task can keep per-thread scratch memory; no
    // two parts run on one slot at the same time.
    template <typename Task>
    void Run(int32_t count, Task& task) {
        RunParts(count, [](void* context, int32_t part, int32_t slot) { (*static_cast<Task*>(context))(part, slot); },
                 &task);
    }

private:
    using PartFunction = void (*)(void* context, int32_t part, int32_t slot);

    // What a thread needs to take parts of one job.
    struct Job {
        uint32_t generation;
        int32_t count;
        PartFunction function;
        void* context;
    };

    void RunParts(int32_t count, PartFunction function, void* context);
    void TakeParts(const Job& job, int32_t slot);
    void WorkerLoop(int32_t slot);

    std::mutex mutex_;
    std::condition_variable wake_;  // a new job, or the pool stops
    std::condition_variable done_;  // the current job's last part finished
    Job job_{};                     // the current job; guarded by mutex_
    bool stopping_ = false;         // guarded by mutex_

    // The job's generation in the high half and the next part to hand out in
    // the low half, so that a part is only ever taken for the job it belongs
    // to: a worker still holding an old job's generation takes nothing.
    std::atomic<uint64_t> claim_{0};
    std::atomic<int32_t> unfinished_{0};  // parts of the current job not yet done

    std::vector<std::thread> workers_;
};

// The number of threads the conversion uses by default: the processor count,
// capped by the environment variable VANTIX_THREADS when it holds a positive
// number (read once, on first call). Never below 1.
int32_t DefaultWorkerThreads();

}  // namespace vantix
