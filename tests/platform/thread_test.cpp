#include "platform/thread.h"

#include "platform/event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

namespace vantix {
namespace {

TEST(Thread, IdIsPublishedBeforeTheBodyRuns) {
    Thread thread;
    EXPECT_EQ(thread.Id(), 0u);
    uint32_t idInBody = 0;
    uint32_t idSeenByBody = 0;
    bool currentInBody = false;
    ASSERT_TRUE(thread.Start([&] {
        idInBody = CurrentThreadId();
        idSeenByBody = thread.Id();
        currentInBody = thread.IsCurrent();
    }));
    const uint32_t idAfterStart = thread.Id();
    EXPECT_FALSE(thread.IsCurrent());
    thread.Join();

    EXPECT_NE(idAfterStart, 0u);
    EXPECT_NE(idAfterStart, CurrentThreadId());
    EXPECT_EQ(idAfterStart, idInBody);
    EXPECT_EQ(idSeenByBody, idInBody);
    EXPECT_TRUE(currentInBody);
}

TEST(Thread, StartFailsWhileRunningAndWorksAgainAfterJoin) {
    Thread thread;
    Event release(EventReset::Manual);
    std::atomic<int> runs{0};
    auto body = [&] {
        ++runs;
        release.Wait(10000);
    };
    ASSERT_TRUE(thread.Start(body));
    EXPECT_TRUE(thread.Joinable());
    EXPECT_FALSE(thread.Start(body));
    release.Set();
    thread.Join();
    EXPECT_FALSE(thread.Joinable());
    EXPECT_EQ(runs.load(), 1);

    ASSERT_TRUE(thread.Start(body));
    thread.Join();
    EXPECT_EQ(runs.load(), 2);
}

TEST(Thread, JoinIsHarmlessWithoutStartAndEmptyBodyIsRejected) {
    Thread thread;
    thread.Join();
    EXPECT_FALSE(thread.Start(std::function<void()>{}));
    thread.Join();
    EXPECT_FALSE(thread.Joinable());
    EXPECT_EQ(thread.Id(), 0u);
    EXPECT_FALSE(thread.IsCurrent());
}

TEST(Thread, DestructorWaitsForTheBody) {
    std::atomic<bool> finished{false};
    {
        Thread thread;
        ASSERT_TRUE(thread.Start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            finished = true;
        }));
    }
    EXPECT_TRUE(finished.load());
}

// Shutdown paths may end a worker from inside itself; that must not throw or
// deadlock, and the owner's later Join still works.
TEST(Thread, JoinFromItsOwnBodyIsIgnored) {
    Thread thread;
    std::atomic<bool> returned{false};
    ASSERT_TRUE(thread.Start([&] {
        thread.Join();
        returned = true;
    }));
    thread.Join();
    EXPECT_TRUE(returned.load());
}

// Raising priority is normally not permitted in tests; either way the body runs.
TEST(Thread, EveryPriorityHintRunsTheBody) {
    for (ThreadPriority priority : {ThreadPriority::Normal, ThreadPriority::AboveNormal, ThreadPriority::Highest,
                                    ThreadPriority::TimeCritical}) {
        Thread thread;
        std::atomic<bool> ran{false};
        ASSERT_TRUE(thread.Start([&] { ran = true; }, priority));
        thread.Join();
        EXPECT_TRUE(ran.load()) << static_cast<int>(priority);
    }
}

}  // namespace
}  // namespace vantix
