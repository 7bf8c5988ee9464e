#include "platform/window_messages.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace vantix {
namespace {

using namespace std::chrono_literals;

// A one-shot gate. Open notifies under the lock so that a waiter that wakes
// and destroys the gate cannot race with a notify still in progress.
class Gate {
public:
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }
    bool Wait(std::chrono::milliseconds limit = 5s) {
        std::unique_lock lock(mutex_);
        return opened_.wait_for(lock, limit, [&] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

struct Received {
    VantixHwnd window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    void* user;
};

// The user object of RecordProc: records every call, then runs `after` (set
// before the first post) so that a test can block or act inside the procedure.
class Recorder {
public:
    std::function<void(const Received&)> after;

    void Add(const Received& call) {
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(call);
        }
        changed_.notify_all();
        if (after) after(call);
    }
    bool WaitForCount(size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return calls_.size() >= count; });
    }
    size_t Count() {
        std::lock_guard lock(mutex_);
        return calls_.size();
    }
    std::vector<Received> Calls() {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Received> calls_;
};

intptr_t RecordProc(VantixHwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam,
                    void* user) {
    static_cast<Recorder*>(user)->Add(Received{window, message, wParam, lParam, user});
    return 0;
}

// Blocks the procedure on its first message until `release` opens.
void BlockOnFirstMessage(Recorder& recorder, Gate& entered, Gate& release) {
    recorder.after = [&entered, &release, first = true](const Received&) mutable {
        if (!first) return;
        first = false;
        entered.Open();
        release.Wait();
    };
}

TEST(MessageWindow, DeliversInPostingOrderWithHandleAndUserPointer) {
    Recorder recorder;
    VantixHwnd window = VantixExt_CreateMessageWindow(RecordProc, &recorder);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsLiveWindow(window));

    constexpr int kCount = 200;
    for (int i = 0; i < kCount; ++i) {
        ASSERT_EQ(VantixExt_PostMessage(window, VANTIX_MSG_FRAME, static_cast<uintptr_t>(i), -i), 1);
    }
    ASSERT_TRUE(recorder.WaitForCount(kCount));
    const std::vector<Received> calls = recorder.Calls();
    ASSERT_EQ(calls.size(), static_cast<size_t>(kCount));
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(calls[i].window, window);
        EXPECT_EQ(calls[i].user, &recorder);
        EXPECT_EQ(calls[i].message, VANTIX_MSG_FRAME);
        EXPECT_EQ(calls[i].wParam, static_cast<uintptr_t>(i));
        EXPECT_EQ(calls[i].lParam, -i);
    }
    EXPECT_EQ(VantixExt_DestroyWindow(window), 1);
}

TEST(MessageWindow, ConcurrentPostersDeliverEveryMessageOnceInPerThreadOrder) {
    Recorder recorder;
    VantixHwnd window = VantixExt_CreateMessageWindow(RecordProc, &recorder);
    ASSERT_NE(window, nullptr);

    constexpr int kThreads = 4;
    constexpr int kPerThread = 2000;
    std::atomic<int> refused{0};
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                if (!PostWindowMessage(window, VANTIX_MSG_ERROR, static_cast<uintptr_t>(t), i)) ++refused;
            }
        });
    }
    for (auto& poster : posters) poster.join();
    EXPECT_EQ(refused.load(), 0);
    ASSERT_TRUE(recorder.WaitForCount(kThreads * kPerThread));

    std::vector<intptr_t> next(kThreads, 0);
    for (const Received& call : recorder.Calls()) {
        ASSERT_LT(call.wParam, static_cast<uintptr_t>(kThreads));
        EXPECT_EQ(call.lParam, next[call.wParam]) << "poster " << call.wParam;
        next[call.wParam] = call.lParam + 1;
    }
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kPerThread);
    EXPECT_TRUE(DestroyWindow(window));
}

TEST(MessageWindow, ProcedureCanPostToItsOwnWindow) {
    Recorder recorder;
    recorder.after = [](const Received& call) {
        if (call.wParam < 9) PostWindowMessage(call.window, call.message, call.wParam + 1, 0);
    };
    VantixHwnd window = CreateMessageWindow(RecordProc, &recorder);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PostWindowMessage(window, 1, 0, 0));
    ASSERT_TRUE(recorder.WaitForCount(10));
    const std::vector<Received> calls = recorder.Calls();
    for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i].wParam, i);
    EXPECT_TRUE(DestroyWindow(window));
}

TEST(MessageWindow, PostingDoesNotWaitForABusyProcedure) {
    Recorder recorder;
    Gate entered, release;
    BlockOnFirstMessage(recorder, entered, release);
    VantixHwnd window = CreateMessageWindow(RecordProc, &recorder);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PostWindowMessage(window, 1, 0, 0));
    ASSERT_TRUE(entered.Wait());

    auto posted = std::async(std::launch::async, [window] {
        int accepted = 0;
        for (int i = 0; i < 1000; ++i) accepted += PostWindowMessage(window, 2, 0, i) ? 1 : 0;
        return accepted;
    });
    const auto status = posted.wait_for(5s);
    release.Open();  // before any assertion, so that a failure cannot hang the test
    EXPECT_EQ(status, std::future_status::ready);
    EXPECT_EQ(posted.get(), 1000);
    EXPECT_TRUE(recorder.WaitForCount(1001));
    EXPECT_TRUE(DestroyWindow(window));
}

TEST(MessageWindow, QueueOfAStuckProcedureIsBounded) {
    Recorder recorder;
    Gate entered, release;
    BlockOnFirstMessage(recorder, entered, release);
    VantixHwnd window = CreateMessageWindow(RecordProc, &recorder);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PostWindowMessage(window, 1, 0, 0));
    ASSERT_TRUE(entered.Wait());

    size_t accepted = 0;
    while (accepted < kMaxQueuedMessages && PostWindowMessage(window, 2, 0, 0)) ++accepted;
    EXPECT_EQ(accepted, kMaxQueuedMessages);
    EXPECT_FALSE(PostWindowMessage(window, 3, 0, 0));
    release.Open();

    ASSERT_TRUE(recorder.WaitForCount(1 + kMaxQueuedMessages));
    EXPECT_TRUE(PostWindowMessage(window, 4, 0, 0));  // accepted again once drained
    EXPECT_TRUE(DestroyWindow(window));
}

TEST(MessageWindow, DestroyDiscardsQueuedMessagesAndWaitsForTheRunningCall) {
    Recorder recorder;
    Gate entered, release;
    std::atomic<bool> finished{false};
    recorder.after = [&, first = true](const Received&) mutable {
        if (!first) return;
        first = false;
        entered.Open();
        release.Wait();
        finished = true;
    };
    VantixHwnd window = CreateMessageWindow(RecordProc, &recorder);
    ASSERT_NE(window, nullptr);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(PostWindowMessage(window, 1, 0, i));
    ASSERT_TRUE(entered.Wait());

    bool destroyed = false;
    bool finishedWhenDestroyReturned = false;
    size_t callsWhenDestroyReturned = 0;
    std::thread destroyer([&] {
        destroyed = DestroyWindow(window);
        finishedWhenDestroyReturned = finished;
        callsWhenDestroyReturned = recorder.Count();
    });
    for (int i = 0; i < 5000 && IsLiveWindow(window); ++i) std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(PostWindowMessage(window, 2, 0, 0));
    std::this_thread::sleep_for(20ms);  // lets the destroyer reach its wait
    release.Open();
    destroyer.join();

    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(finishedWhenDestroyReturned);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(recorder.Count(), callsWhenDestroyReturned);
    EXPECT_LT(callsWhenDestroyReturned, 100u);
}

TEST(MessageWindow, DestroyFromItsOwnProcedure) {
    Recorder recorder;
    Gate release, destroyed;
    std::atomic<bool> destroyResult{false};
    recorder.after = [&, first = true](const Received& call) mutable {
        if (!first) return;
        first = false;
        release.Wait();
        destroyResult = DestroyWindow(call.window);
        destroyed.Open();
    };
    VantixHwnd window = CreateMessageWindow(RecordProc, &recorder);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PostWindowMessage(window, 1, 0, 0));
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(PostWindowMessage(window, 2, 0, i));
    release.Open();
    ASSERT_TRUE(destroyed.Wait());

    EXPECT_TRUE(destroyResult);
    EXPECT_FALSE(IsLiveWindow(window));
    EXPECT_FALSE(PostWindowMessage(window, 3, 0, 0));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(recorder.Count(), 1u);
}

TEST(WindowHandles, NullGarbageAndDestroyedHandlesAreRefused) {
    int local = 0;
    const VantixHwnd garbage[] = {nullptr, reinterpret_cast<VantixHwnd>(uintptr_t{1}),
                                  reinterpret_cast<VantixHwnd>(uintptr_t{0xdeadbeef}),
                                  reinterpret_cast<VantixHwnd>(&local)};
    for (VantixHwnd handle : garbage) {
        EXPECT_EQ(VantixExt_PostMessage(handle, 1, 0, 0), 0);
        EXPECT_EQ(VantixExt_DestroyWindow(handle), 0);
        EXPECT_EQ(VantixExt_GetMessageFd(handle), -1);
        EXPECT_FALSE(IsLiveWindow(handle));
    }
    EXPECT_EQ(VantixExt_CreateMessageWindow(nullptr, nullptr), nullptr);

    Recorder recorder;
    VantixHwnd window = VantixExt_CreateMessageWindow(RecordProc, &recorder);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(VantixExt_DestroyWindow(window), 1);
    EXPECT_EQ(VantixExt_DestroyWindow(window), 0);
    EXPECT_EQ(VantixExt_PostMessage(window, 1, 0, 0), 0);

    // A handle is never reused, so a stale one cannot reach a newer window.
    VantixHwnd next = VantixExt_CreatePollableWindow();
    ASSERT_NE(next, nullptr);
    EXPECT_NE(next, window);
    EXPECT_EQ(VantixExt_PostMessage(window, 1, 0, 0), 0);
    EXPECT_EQ(VantixExt_DestroyWindow(next), 1);
    EXPECT_EQ(recorder.Count(), 0u);
}

bool Readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) == 1 && (entry.revents & POLLIN) != 0;
}

TEST(PollableWindow, FdIsReadableExactlyWhileMessagesAreQueued) {
    VantixHwnd window = VantixExt_CreatePollableWindow();
    ASSERT_NE(window, nullptr);
    const int fd = VantixExt_GetMessageFd(window);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(Readable(fd));

    for (int i = 0; i < 3; ++i) ASSERT_EQ(VantixExt_PostMessage(window, VANTIX_MSG_ERROR, 0, 10 + i), 1);
    EXPECT_TRUE(Readable(fd));

    VantixMessage message{};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(Readable(fd)) << i;
        ASSERT_EQ(VantixExt_GetMessage(window, &message, 0), 1);
        EXPECT_EQ(message.window, window);
        EXPECT_EQ(message.message, VANTIX_MSG_ERROR);
        EXPECT_EQ(message.wParam, 0u);
        EXPECT_EQ(message.lParam, 10 + i);
    }
    EXPECT_FALSE(Readable(fd));
    EXPECT_EQ(VantixExt_GetMessage(window, &message, 0), 0);

    ASSERT_EQ(VantixExt_PostMessage(window, 5, 0, 0), 1);  // readable again after draining
    EXPECT_TRUE(Readable(fd));
    EXPECT_EQ(VantixExt_DestroyWindow(window), 1);
}

TEST(PollableWindow, GetMessageTimesOutOnAnEmptyQueue) {
    VantixHwnd window = VantixExt_CreatePollableWindow();
    ASSERT_NE(window, nullptr);
    VantixMessage message{};
    EXPECT_EQ(VantixExt_GetMessage(window, &message, 0), 0);
    EXPECT_EQ(VantixExt_GetMessage(window, &message, 20), 0);
    EXPECT_EQ(VantixExt_DestroyWindow(window), 1);
}

TEST(PollableWindow, BlockingGetMessageIsWokenByAPostFromAnotherThread) {
    VantixHwnd window = VantixExt_CreatePollableWindow();
    ASSERT_NE(window, nullptr);
    VantixMessage message{};
    int32_t result = 0;
    std::thread waiter([&] { result = VantixExt_GetMessage(window, &message, kWaitForever); });
    std::this_thread::sleep_for(20ms);
    ASSERT_EQ(VantixExt_PostMessage(window, 7, 8, 9), 1);
    waiter.join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(message.message, 7u);
    EXPECT_EQ(message.wParam, 8u);
    EXPECT_EQ(message.lParam, 9);
    EXPECT_EQ(VantixExt_DestroyWindow(window), 1);
}

TEST(PollableWindow, DestroyWakesThreadsWaitingForMessages) {
    VantixHwnd window = VantixExt_CreatePollableWindow();
    ASSERT_NE(window, nullptr);
    const int fd = VantixExt_GetMessageFd(window);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(VantixExt_PostMessage(window, 1, 0, 0), 1);
    VantixMessage message{};
    ASSERT_EQ(VantixExt_GetMessage(window, &message, 0), 1);

    int32_t result = 0;
    bool pollWoken = false;
    std::thread getter([&] { result = VantixExt_GetMessage(window, &message, kWaitForever); });
    std::thread poller([&] {
        // poll reports the closed fd either way, so only the time tells
        // whether it was woken or ran into its limit.
        constexpr int kLimitMs = 10000;
        pollfd entry{fd, POLLIN, 0};
        const auto start = std::chrono::steady_clock::now();
        pollWoken = ::poll(&entry, 1, kLimitMs) == 1 &&
                    std::chrono::steady_clock::now() - start < std::chrono::milliseconds(kLimitMs / 2);
    });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(VantixExt_DestroyWindow(window), 1);
    getter.join();
    poller.join();
    EXPECT_EQ(result, -1);
    EXPECT_TRUE(pollWoken);
    EXPECT_EQ(VantixExt_GetMessageFd(window), -1);
    EXPECT_EQ(VantixExt_GetMessage(window, &message, 0), -1);
}

TEST(PollableWindow, CallsOnTheWrongKindOfWindowFail) {
    Recorder recorder;
    VantixHwnd messageWindow = VantixExt_CreateMessageWindow(RecordProc, &recorder);
    VantixHwnd pollable = VantixExt_CreatePollableWindow();
    ASSERT_NE(messageWindow, nullptr);
    ASSERT_NE(pollable, nullptr);
    VantixMessage message{};
    EXPECT_EQ(VantixExt_GetMessageFd(messageWindow), -1);
    EXPECT_EQ(VantixExt_GetMessage(messageWindow, &message, 0), -1);
    ASSERT_EQ(VantixExt_PostMessage(pollable, 1, 0, 0), 1);
    EXPECT_EQ(VantixExt_GetMessage(pollable, nullptr, 0), -1);
    EXPECT_EQ(VantixExt_GetMessage(pollable, &message, 0), 1);  // still queued
    EXPECT_EQ(VantixExt_DestroyWindow(messageWindow), 1);
    EXPECT_EQ(VantixExt_DestroyWindow(pollable), 1);
}

TEST(PollableWindow, QueueIsBounded) {
    VantixHwnd window = CreatePollableWindow();
    ASSERT_NE(window, nullptr);
    size_t accepted = 0;
    while (accepted < kMaxQueuedMessages && PostWindowMessage(window, 1, 0, 0)) ++accepted;
    EXPECT_EQ(accepted, kMaxQueuedMessages);
    EXPECT_FALSE(PostWindowMessage(window, 2, 0, 0));
    EXPECT_TRUE(DestroyWindow(window));
}

class FakeTarget final : public WindowTarget {
public:
    bool Post(uint32_t message, uintptr_t, intptr_t) noexcept override {
        lastMessage = message;
        ++posts;
        return true;
    }
    void OnRegistered(VantixHwnd handle) noexcept override { self = handle; }
    void Close() noexcept override { ++closes; }

    VantixHwnd self = nullptr;
    std::atomic<uint32_t> lastMessage{0};
    std::atomic<int> posts{0};
    std::atomic<int> closes{0};
};

TEST(WindowTargetTable, RegisteredKindIsReachedThroughItsHandleAndClosedOnce) {
    auto target = std::make_shared<FakeTarget>();
    VantixHwnd window = RegisterWindow(target);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(target->self, window);
    EXPECT_EQ(FindWindow(window), target);
    EXPECT_TRUE(PostWindowMessage(window, 42, 0, 0));
    EXPECT_EQ(target->lastMessage.load(), 42u);

    // Many threads racing to destroy the same handle: one wins, one Close.
    std::atomic<int> successes{0};
    std::vector<std::thread> destroyers;
    for (int i = 0; i < 8; ++i) {
        destroyers.emplace_back([&] { successes += DestroyWindow(window) ? 1 : 0; });
    }
    for (auto& destroyer : destroyers) destroyer.join();
    EXPECT_EQ(successes.load(), 1);
    EXPECT_EQ(target->closes.load(), 1);
    EXPECT_EQ(FindWindow(window), nullptr);
    EXPECT_FALSE(PostWindowMessage(window, 43, 0, 0));
    EXPECT_EQ(target->posts.load(), 1);
    EXPECT_EQ(RegisterWindow(nullptr), nullptr);
}

}  // namespace
}  // namespace vantix
