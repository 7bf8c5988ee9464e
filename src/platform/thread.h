#pragma once
// A joinable worker thread with a scheduling-priority hint. The hint is applied
// where the process may raise its priority and silently ignored otherwise: the
// camera still works at normal priority, it only has less headroom.
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>

namespace vantix {

enum class ThreadPriority { Normal, AboveNormal, Highest, TimeCritical };

class Thread {
public:
    Thread() = default;
    ~Thread();  // joins a thread that is still running
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts body on a new thread. Fails (false) when a thread is already
    // running or the system cannot create one.
    bool Start(std::function<void()> body, ThreadPriority priority = ThreadPriority::Normal);
    // Waits for the thread to end. Harmless when none was started.
    void Join();
    bool Joinable() const { return thread_.joinable(); }
    // Kernel thread id, 0 before Start. Set before the body runs.
    uint32_t Id() const { return id_.load(); }
    // True when called on this object's own thread.
    bool IsCurrent() const;

private:
    std::thread thread_;
    // Read by IsCurrent from any thread while Start may be writing it.
    std::atomic<uint32_t> id_{0};
};

// Kernel id of the calling thread.
uint32_t CurrentThreadId();

}  // namespace vantix
