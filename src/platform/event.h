#pragma once
// Windows-style event objects. An auto-reset event releases exactly one waiter
// per Set and clears itself when that waiter wakes; a manual-reset event stays
// signalled, releasing every waiter, until Reset.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vantix {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

enum class EventReset { Auto, Manual };
enum class WaitResult { Signalled, TimedOut };

class Event {
public:
    explicit Event(EventReset reset, bool initiallySignalled = false);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();
    // Waits until signalled or until timeoutMs have passed (kInfinite: no limit).
    WaitResult Wait(uint32_t timeoutMs);
    bool IsSignalled() const;

private:
    const EventReset reset_;
    mutable std::mutex mutex_;
    std::condition_variable signalled_;
    bool state_;
};

}  // namespace vantix
