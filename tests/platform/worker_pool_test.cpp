#include "platform/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace vantix {
namespace {

// Every part runs once per job, on a slot of the pool that no other part
// holds at the same time, and its plain (non-atomic) writes are visible to
// the caller afterwards; job after job, so that a hand-over that lets a
// worker miss or repeat a job shows up.
TEST(WorkerPool, EveryPartRunsOnceOnAFreeSlotJobAfterJob) {
    for (const int32_t threads : {1, 2, 3, 5}) {
        WorkerPool pool(threads);
        ASSERT_EQ(pool.Threads(), threads);
        std::vector<int32_t> runs(97);
        std::vector<std::atomic<int32_t>> holders(static_cast<size_t>(threads));
        std::atomic<bool> clash{false};
        for (int32_t job = 0; job < 300; ++job) {
            const int32_t count = job % 97 + 1;
            auto task = [&](int32_t part, int32_t slot) {
                if (slot < 0 || slot >= threads || holders[static_cast<size_t>(slot)].fetch_add(1) != 0) {
                    clash = true;
                    return;
                }
                runs[static_cast<size_t>(part)] += 1;
                holders[static_cast<size_t>(slot)].fetch_sub(1);
            };
            pool.Run(count, task);
            for (int32_t part = 0; part < 97; ++part) {
                ASSERT_EQ(runs[static_cast<size_t>(part)], part < count ? 1 : 0) << "job " << job << " part " << part;
                runs[static_cast<size_t>(part)] = 0;
            }
        }
        EXPECT_FALSE(clash) << threads;
    }
}

TEST(WorkerPool, SingleThreadRunsEverythingOnTheCaller) {
    WorkerPool pool(1);
    const std::thread::id caller = std::this_thread::get_id();
    bool elsewhere = false;
    int32_t seen = 0;
    auto task = [&](int32_t part, int32_t slot) {
        elsewhere = elsewhere || std::this_thread::get_id() != caller || slot != 0;
        seen += part == seen ? 1 : 1000;  // in order, too
    };
    pool.Run(10, task);
    EXPECT_FALSE(elsewhere);
    EXPECT_EQ(seen, 10);
    pool.Run(0, task);
    EXPECT_EQ(seen, 10);
}

// Parts really run side by side: with two threads, two parts that wait for
// each other both finish (a pool that ran them one after the other would
// hang here, and the bound ends the wait instead).
TEST(WorkerPool, PartsRunConcurrently) {
    WorkerPool pool(2);
    std::atomic<int32_t> arrived{0};
    std::atomic<bool> metBoth{true};
    auto task = [&](int32_t, int32_t) {
        arrived.fetch_add(1);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (arrived.load() < 2) {
            if (std::chrono::steady_clock::now() > deadline) {
                metBoth = false;
                return;
            }
            std::this_thread::yield();
        }
    };
    pool.Run(2, task);
    EXPECT_TRUE(metBoth);
}

}  // namespace
}  // namespace vantix
