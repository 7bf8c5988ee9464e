#pragma once
// Recursive mutual exclusion with the semantics of a Windows critical section:
// the owning thread may enter again and must leave as often as it entered.
#include <mutex>

namespace vantix {

class CriticalSection {
public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { mutex_.lock(); }
    bool TryEnter() { return mutex_.try_lock(); }
    void Leave() { mutex_.unlock(); }

    // BasicLockable, so std::lock_guard / std::unique_lock work too.
    void lock() { Enter(); }
    void unlock() { Leave(); }

private:
    std::recursive_mutex mutex_;
};

// Holds a critical section for the lifetime of a scope.
class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& section) : section_(section) { section_.Enter(); }
    ~ScopedLock() { section_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& section_;
};

}  // namespace vantix
