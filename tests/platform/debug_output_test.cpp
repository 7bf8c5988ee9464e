#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace vantix {
namespace {

std::string Capture(void (*write)()) {
    ::testing::internal::CaptureStderr();
    write();
    return ::testing::internal::GetCapturedStderr();
}

void WriteSample() {
    DebugOutput("open");
    DebugOutput("close\n");
    DebugPrintf("camera %d: %s", 2, "ready");
    DebugPrintf("<%s>", std::string(600, 'z').c_str());  // longer than the stack buffer
}

TEST(DebugOutput, FollowsTheEnvironmentVariable) {
    const char* saved = std::getenv("VANTIX_DEBUG");
    const std::string savedValue = saved ? saved : "";

    unsetenv("VANTIX_DEBUG");
    EXPECT_EQ(Capture(WriteSample), "");
    setenv("VANTIX_DEBUG", "", 1);
    EXPECT_FALSE(DebugOutputEnabled());
    EXPECT_EQ(Capture(WriteSample), "");
    setenv("VANTIX_DEBUG", "1", 1);
    EXPECT_TRUE(DebugOutputEnabled());
    EXPECT_EQ(Capture(WriteSample), "open\nclose\ncamera 2: ready\n<" + std::string(600, 'z') + ">\n");

    if (saved) {
        setenv("VANTIX_DEBUG", savedValue.c_str(), 1);
    } else {
        unsetenv("VANTIX_DEBUG");
    }
}

}  // namespace
}  // namespace vantix
