#include "platform/clock.h"

#include <atomic>
#include <cerrno>
#include <ctime>

#include <sched.h>

namespace vantix {
namespace {

std::atomic<uint32_t> g_offsetMs{0};
std::atomic<SleepObserver> g_sleepObserver{nullptr};

uint32_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms) + g_offsetMs.load(std::memory_order_relaxed);
}

}  // namespace

void SetSleepObserver(SleepObserver observer) { g_sleepObserver = observer; }

void Sleep(uint32_t milliseconds) {
    if (SleepObserver observer = g_sleepObserver.load(std::memory_order_relaxed)) observer(milliseconds);
    if (milliseconds == 0) {
        // Sleep(0) gives up the rest of the time slice.
        sched_yield();
        return;
    }
    // An absolute deadline lets a signal interrupt the sleep any number of
    // times without the total sleep drifting.
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += static_cast<time_t>(milliseconds / 1000u);
    deadline.tv_nsec += static_cast<long>(milliseconds % 1000u) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

uint32_t TickCount() { return MonotonicMs(); }

uint32_t TimeGetTime() { return MonotonicMs(); }

void SetClockOffsetForTesting(uint32_t offsetMs) { g_offsetMs.store(offsetMs, std::memory_order_relaxed); }

uint64_t MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

}  // namespace vantix
