#pragma once
// The last twenty error codes of a session, newest first. Written by
// application threads and the session's worker threads alike, so every shift
// happens under a lock.
#include <array>
#include <cstdint>
#include <mutex>

namespace vantix {

class ErrorHistory {
public:
    static constexpr int kDepth = 20;

    // Pushes `code` as the newest entry, dropping the oldest, and runs
    // `afterPush` while still holding the lock, so that notifications leave in
    // the same order as the codes enter the history.
    template <typename AfterPush>
    void Push(int32_t code, AfterPush&& afterPush) {
        std::lock_guard lock(mutex_);
        for (int i = kDepth - 1; i > 0; --i) codes_[i] = codes_[i - 1];
        codes_[0] = code;
        afterPush();
    }

    // Removes and returns the newest code; 0 when the history is empty.
    int32_t Pop() {
        std::lock_guard lock(mutex_);
        const int32_t newest = codes_[0];
        for (int i = 0; i < kDepth - 1; ++i) codes_[i] = codes_[i + 1];
        codes_[kDepth - 1] = 0;
        return newest;
    }

    std::array<int32_t, kDepth> Snapshot() const {
        std::lock_guard lock(mutex_);
        return codes_;
    }

private:
    mutable std::mutex mutex_;
    std::array<int32_t, kDepth> codes_{};
};

}  // namespace vantix
