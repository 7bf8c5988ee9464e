#include "platform/critical_section.h"

#include <gtest/gtest.h>

#include <thread>

namespace vantix {
namespace {

bool OtherThreadCanEnter(CriticalSection& section) {
    bool entered = false;
    std::thread other([&] {
        entered = section.TryEnter();
        if (entered) {
            section.Leave();
        }
    });
    other.join();
    return entered;
}

TEST(CriticalSection, OwnerReentersAndOthersWaitUntilFullyLeft) {
    CriticalSection section;
    section.Enter();
    section.Enter();
    EXPECT_TRUE(section.TryEnter());
    EXPECT_FALSE(OtherThreadCanEnter(section));
    section.Leave();
    section.Leave();
    EXPECT_FALSE(OtherThreadCanEnter(section));
    section.Leave();
    EXPECT_TRUE(OtherThreadCanEnter(section));
}

TEST(CriticalSection, ScopedLocksSerialiseIncrements) {
    CriticalSection section;
    int counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            ScopedLock outer(section);
            ScopedLock inner(section);
            ++counter;
        }
    };
    std::thread first(work);
    std::thread second(work);
    first.join();
    second.join();
    EXPECT_EQ(counter, 40000);
    EXPECT_TRUE(OtherThreadCanEnter(section));
}

}  // namespace
}  // namespace vantix
