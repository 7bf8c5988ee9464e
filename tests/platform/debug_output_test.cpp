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

// Restores VANTIX_DEBUG as it was when the test started.
class SavedDebugSetting {
public:
    SavedDebugSetting() {
        const char* value = std::getenv("VANTIX_DEBUG");
        had_ = value != nullptr;
        if (had_) value_ = value;
    }
    ~SavedDebugSetting() {
        if (had_) {
            setenv("VANTIX_DEBUG", value_.c_str(), 1);
        } else {
            unsetenv("VANTIX_DEBUG");
        }
    }

private:
    bool had_ = false;
    std::string value_;
};

void WriteCategories() {
    DebugPrintf(DebugCategory::Sensor, "sensor %d", 1);
    DebugPrintf(DebugCategory::Engine, "engine %d", 2);
    DebugOutput(DebugCategory::Emulator, "emulator");
    DebugPrintf("general %d", 3);
}

TEST(DebugOutput, CategoriesChooseTheLinesAndOneMeansAll) {
    SavedDebugSetting saved;
    setenv("VANTIX_DEBUG", "sensor,emulator", 1);
    EXPECT_TRUE(DebugOutputEnabled(DebugCategory::Sensor));
    EXPECT_FALSE(DebugOutputEnabled(DebugCategory::Engine));
    EXPECT_EQ(Capture(WriteCategories), "sensor 1\nemulator\n");
    // A word that names no category is ignored next to ones that do.
    setenv("VANTIX_DEBUG", "engine,bogus", 1);
    EXPECT_EQ(Capture(WriteCategories), "engine 2\n");
    // No category named: everything, as 1 always meant.
    for (const char* all : {"1", "all", "yes"}) {
        setenv("VANTIX_DEBUG", all, 1);
        EXPECT_EQ(Capture(WriteCategories), "sensor 1\nengine 2\nemulator\ngeneral 3\n") << all;
    }
    setenv("VANTIX_DEBUG", "", 1);
    EXPECT_FALSE(DebugOutputEnabled(DebugCategory::Sensor));
    EXPECT_EQ(Capture(WriteCategories), "");
}

}  // namespace
}  // namespace vantix
