#include "platform/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <pthread.h>
#include <signal.h>

namespace vantix {
namespace {

using SteadyClock = std::chrono::steady_clock;

TEST(ClockElapsed, IsAnUnsignedDifferenceAcrossTheWrap) {
    EXPECT_EQ(ElapsedMs(0xFFFFFFF0u, 0x10u), 0x20u);
    EXPECT_EQ(ElapsedMs(0xFFFFFFFFu, 0u), 1u);
    EXPECT_EQ(ElapsedMs(100u, 100u), 0u);
    EXPECT_EQ(ElapsedMs(100u, 250u), 150u);
}

class ClockTest : public ::testing::Test {
protected:
    void TearDown() override { SetClockOffsetForTesting(0); }
};

TEST_F(ClockTest, TickCountAdvancesAcrossSleep) {
    const uint32_t start = TickCount();
    Sleep(50);
    const uint32_t elapsed = ElapsedMs(start, TickCount());
    EXPECT_GE(elapsed, 49u);
    EXPECT_LT(elapsed, 5000u);
}

TEST_F(ClockTest, BothCountersShareTheTimeBaseAndOffset) {
    EXPECT_LT(ElapsedMs(TickCount(), TimeGetTime()), 2000u);
    SetClockOffsetForTesting(0x80000000u);
    EXPECT_LT(ElapsedMs(TickCount(), TimeGetTime()), 2000u);
}

TEST_F(ClockTest, ElapsedStaysCorrectWhenTheCounterWraps) {
    // Put the counter 30 ms before the wrap.
    SetClockOffsetForTesting(0u - 30u - TickCount());
    const uint32_t start = TickCount();
    EXPECT_GT(start, 0xFFFF0000u);
    Sleep(60);
    const uint32_t now = TickCount();
    EXPECT_LT(now, start);  // wrapped
    EXPECT_GE(ElapsedMs(start, now), 59u);
    EXPECT_LT(ElapsedMs(start, now), 1000u);
}

void IgnoreSignal(int) {}

// A signal arriving mid-sleep must not cut the sleep short.
TEST_F(ClockTest, SleepResumesAfterSignal) {
    struct sigaction action {};
    action.sa_handler = IgnoreSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the sleep sees EINTR
    struct sigaction previous {};
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

    const pthread_t sleeper = pthread_self();
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        for (int i = 0; i < 5 && !done; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(15));
            if (!done) {
                pthread_kill(sleeper, SIGUSR1);
            }
        }
    });
    const auto start = SteadyClock::now();
    Sleep(150);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
    done = true;
    interrupter.join();
    sigaction(SIGUSR1, &previous, nullptr);
    EXPECT_GE(elapsed, 149);
}

}  // namespace
}  // namespace vantix
