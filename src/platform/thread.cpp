#include "platform/thread.h"

#include <future>
#include <system_error>
#include <utility>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vantix {
namespace {

bool TryRealtime(int policy, int priority) {
    sched_param param{};
    param.sched_priority = priority;
    return pthread_setschedparam(pthread_self(), policy, &param) == 0;
}

bool TryNice(int niceValue) {
    // On Linux setpriority with a thread id changes only that thread.
    return setpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadId()), niceValue) == 0;
}

// Runs on the new thread. Raising priority needs CAP_SYS_NICE or an rlimit in
// most setups; without it the thread keeps normal priority and the camera
// merely has less scheduling headroom.
void ApplyPriority(ThreadPriority priority) {
    switch (priority) {
    case ThreadPriority::Normal:
        return;
    case ThreadPriority::AboveNormal:
        TryNice(-5);
        return;
    case ThreadPriority::Highest: {
        const int low = sched_get_priority_min(SCHED_RR);
        if (!TryRealtime(SCHED_RR, low)) {
            TryNice(-10);
        }
        return;
    }
    case ThreadPriority::TimeCritical: {
        // Well below the maximum so kernel threads and watchdogs still run.
        const int mid = (sched_get_priority_min(SCHED_FIFO) + sched_get_priority_max(SCHED_FIFO)) / 2;
        if (!TryRealtime(SCHED_FIFO, mid)) {
            TryNice(-15);
        }
        return;
    }
    }
}

}  // namespace

uint32_t CurrentThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }

Thread::~Thread() {
    if (!thread_.joinable()) {
        return;
    }
    // A thread destroying its own object cannot join itself.
    if (IsCurrent()) {
        thread_.detach();
    } else {
        thread_.join();
    }
}

bool Thread::Start(std::function<void()> body, ThreadPriority priority) {
    if (thread_.joinable() || !body) {
        return false;
    }
    id_ = 0;
    std::promise<void> started;
    std::future<void> startedFuture = started.get_future();
    try {
        // The promise moves into the thread so that Start may return and drop
        // the future while set_value is still finishing.
        thread_ = std::thread([this, priority, started = std::move(started), body = std::move(body)]() mutable {
            id_ = CurrentThreadId();
            ApplyPriority(priority);
            started.set_value();
            body();
        });
    } catch (const std::system_error&) {
        return false;
    }
    // The new thread has written id_ before set_value, so the caller reads it
    // race-free once this returns.
    startedFuture.wait();
    return true;
}

void Thread::Join() {
    // Checked first: the body may call Join while Start is still storing
    // thread_, and id_ is the one member the body can read safely.
    if (IsCurrent()) {
        return;
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool Thread::IsCurrent() const { return id_ != 0 && id_ == CurrentThreadId(); }

}  // namespace vantix
