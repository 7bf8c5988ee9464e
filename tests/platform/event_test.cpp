#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace vantix {
namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(AutoResetEvent, SetWithoutWaiterIsConsumedByNextWait) {
    Event event(EventReset::Auto);
    EXPECT_FALSE(event.IsSignalled());
    event.Set();
    event.Set();  // a second Set does not count up
    EXPECT_TRUE(event.IsSignalled());
    EXPECT_EQ(event.Wait(0), WaitResult::Signalled);
    EXPECT_FALSE(event.IsSignalled());
    EXPECT_EQ(event.Wait(0), WaitResult::TimedOut);
}

TEST(AutoResetEvent, OneSetReleasesExactlyOneOfTwoWaiters) {
    Event event(EventReset::Auto);
    std::atomic<int> signalled{0};
    std::atomic<int> timedOut{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i) {
        waiters.emplace_back([&] {
            (event.Wait(400) == WaitResult::Signalled ? signalled : timedOut)++;
        });
    }
    // Whether or not both are blocked yet, exactly one of them may get through.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    event.Set();
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(signalled.load(), 1);
    EXPECT_EQ(timedOut.load(), 1);
    EXPECT_FALSE(event.IsSignalled());
}

TEST(AutoResetEvent, SetFromAnotherThreadWakesInfiniteWait) {
    Event event(EventReset::Auto);
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        event.Set();
    });
    EXPECT_EQ(event.Wait(kInfinite), WaitResult::Signalled);
    setter.join();
    EXPECT_FALSE(event.IsSignalled());
}

// Two threads hand a token back and forth; a lost or duplicated wake-up
// either hangs (caught by the timeout) or breaks the strict alternation.
TEST(AutoResetEvent, PingPongLosesNoWakeUp) {
    constexpr int kRounds = 2000;
    Event ping(EventReset::Auto);
    Event pong(EventReset::Auto);
    std::atomic<int> turn{0};
    std::atomic<bool> failed{false};
    std::thread partner([&] {
        for (int i = 0; i < kRounds; ++i) {
            if (ping.Wait(5000) != WaitResult::Signalled || turn.load() != 2 * i + 1) {
                failed = true;
                return;
            }
            turn.store(2 * i + 2);
            pong.Set();
        }
    });
    for (int i = 0; i < kRounds && !failed; ++i) {
        turn.store(2 * i + 1);
        ping.Set();
        if (pong.Wait(5000) != WaitResult::Signalled || turn.load() != 2 * i + 2) {
            failed = true;
            ping.Set();  // let the partner finish
        }
    }
    partner.join();
    EXPECT_FALSE(failed.load());
}

TEST(ManualResetEvent, ReleasesAllWaitersAndStaysSetUntilReset) {
    Event event(EventReset::Manual);
    std::atomic<int> signalled{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
        waiters.emplace_back([&] {
            if (event.Wait(5000) == WaitResult::Signalled) {
                ++signalled;
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    event.Set();
    for (auto& waiter : waiters) {
        waiter.join();
    }
    EXPECT_EQ(signalled.load(), 3);
    EXPECT_TRUE(event.IsSignalled());
    EXPECT_EQ(event.Wait(0), WaitResult::Signalled);
    EXPECT_EQ(event.Wait(kInfinite), WaitResult::Signalled);

    event.Reset();
    EXPECT_FALSE(event.IsSignalled());
    EXPECT_EQ(event.Wait(0), WaitResult::TimedOut);
}

TEST(EventWait, InitialStateFollowsTheResetMode) {
    Event automatic(EventReset::Auto, true);
    EXPECT_EQ(automatic.Wait(0), WaitResult::Signalled);
    EXPECT_EQ(automatic.Wait(0), WaitResult::TimedOut);
    Event manual(EventReset::Manual, true);
    EXPECT_EQ(manual.Wait(0), WaitResult::Signalled);
    EXPECT_EQ(manual.Wait(0), WaitResult::Signalled);
}

TEST(EventWait, TimesOutAfterRoughlyTheTimeout) {
    for (EventReset reset : {EventReset::Auto, EventReset::Manual}) {
        Event event(reset);
        const auto start = Clock::now();
        EXPECT_EQ(event.Wait(50), WaitResult::TimedOut);
        const long long elapsed = MsSince(start);
        EXPECT_GE(elapsed, 45);
        EXPECT_LT(elapsed, 5000);  // returns, though a busy machine may be late
    }
}

}  // namespace
}  // namespace vantix
