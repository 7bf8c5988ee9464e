#include "platform/event.h"

#include <chrono>

namespace vantix {

Event::Event(EventReset reset, bool initiallySignalled)
    : reset_(reset), state_(initiallySignalled) {}

void Event::Set() {
    // Notify while holding the lock: a waiter cannot return (and destroy the
    // event, as a waiter on a stack-allocated event does) until Set is done
    // with it. Broadcast even for an auto-reset event: the waiter that takes
    // the lock first consumes the signal and the others go back to sleep. A
    // single pthread_cond_signal can be lost in glibc releases before 2.41
    // (bug 25847), which would leave an auto-reset waiter asleep with the
    // event set.
    std::lock_guard lock(mutex_);
    state_ = true;
    signalled_.notify_all();
}

void Event::Reset() {
    std::lock_guard lock(mutex_);
    state_ = false;
}

WaitResult Event::Wait(uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return state_; };
    if (timeoutMs == kInfinite) {
        signalled_.wait(lock, ready);
    } else {
        // A steady deadline keeps spurious wake-ups and wall-clock changes from
        // stretching or shortening the wait.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        if (!signalled_.wait_until(lock, deadline, ready)) {
            return WaitResult::TimedOut;
        }
    }
    if (reset_ == EventReset::Auto) {
        state_ = false;
    }
    return WaitResult::Signalled;
}

bool Event::IsSignalled() const {
    std::lock_guard lock(mutex_);
    return state_;
}

}  // namespace vantix
