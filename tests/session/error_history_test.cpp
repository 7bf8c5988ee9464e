// A session's error history and its notifications.
#include <gtest/gtest.h>
#include <vantix/linux_ext.h>

#include <thread>
#include <vector>

#include "platform/window_messages.h"
#include "session/error_history.h"
#include "session/vantix_session.h"

namespace {

TEST(ErrorHistory, KeepsTheNewestTwentyNewestFirst) {
    vantix::ErrorHistory history;
    for (int32_t code = 1; code <= 21; ++code) history.Push(code, [] {});
    EXPECT_EQ(history.Snapshot()[0], 21);
    EXPECT_EQ(history.Snapshot()[19], 2);
    for (int32_t code = 21; code >= 2; --code) EXPECT_EQ(history.Pop(), code);
    EXPECT_EQ(history.Pop(), 0);
    EXPECT_EQ(history.Pop(), 0);
}

TEST(ErrorHistory, PopRefillsTheOldestEntryWithZero) {
    vantix::ErrorHistory history;
    for (int32_t code = 1; code <= 20; ++code) history.Push(code, [] {});
    EXPECT_EQ(history.Pop(), 20);
    EXPECT_EQ(history.Snapshot()[19], 0);
    history.Push(7, [] {});
    EXPECT_EQ(history.Snapshot()[19], 1);  // nothing was lost by the pop and push
}

TEST(ErrorHistory, ConcurrentWritersNeitherLoseNorDuplicateCodes) {
    vantix::ErrorHistory history;
    std::vector<std::thread> writers;
    for (int32_t code = 1; code <= 4; ++code) {
        writers.emplace_back([&history, code] {
            for (int i = 0; i < 5; ++i) history.Push(code, [] {});
        });
    }
    for (std::thread& writer : writers) writer.join();
    int counts[5] = {};
    for (int i = 0; i < 20; ++i) ++counts[history.Pop()];
    for (int32_t code = 1; code <= 4; ++code) EXPECT_EQ(counts[code], 5) << code;
}

TEST(SessionErrors, RecordErrorPostsInRecordingOrderAndCodeZeroCounts) {
    VantixHwnd window = vantix::CreatePollableWindow();
    ASSERT_NE(window, nullptr);
    CVantix session;
    ASSERT_TRUE(session.Initialize(window));
    session.RecordError(5);
    session.RecordError(0);
    session.NotifyOnly(11);
    EXPECT_EQ(session.PopError(), 0);
    EXPECT_EQ(session.PopError(), 5);
    EXPECT_EQ(session.PopError(), 0);
    VantixMessage message;
    std::vector<intptr_t> posted;
    while (vantix::GetWindowMessage(window, &message, 100) == 1) {
        EXPECT_EQ(message.message, 0x8003u);
        EXPECT_EQ(message.wParam, 0u);
        posted.push_back(message.lParam);
    }
    EXPECT_EQ(posted, (std::vector<intptr_t>{5, 0, 11}));
    vantix::DestroyWindow(window);
}

TEST(SessionErrors, InitializeRefusesAWindowThatDoesNotExist) {
    VantixHwnd window = vantix::CreatePollableWindow();
    vantix::DestroyWindow(window);
    CVantix session;
    EXPECT_FALSE(session.Initialize(window));
    // Posting to the stale window is refused quietly; the history still works.
    session.RecordError(9);
    EXPECT_EQ(session.PopError(), 9);
}

}  // namespace
