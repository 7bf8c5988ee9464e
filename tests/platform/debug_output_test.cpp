#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace vantix {
namespace {

class DebugOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* value = std::getenv("VANTIX_DEBUG")) {
            saved_ = value;
        }
    }
    void TearDown() override {
        if (saved_) {
            setenv("VANTIX_DEBUG", saved_->c_str(), 1);
        } else {
            unsetenv("VANTIX_DEBUG");
        }
    }

    static std::string Capture(void (*write)()) {
        ::testing::internal::CaptureStderr();
        write();
        return ::testing::internal::GetCapturedStderr();
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(DebugOutputTest, SilentUnlessVariableIsSetAndNonEmpty) {
    unsetenv("VANTIX_DEBUG");
    EXPECT_FALSE(DebugOutputEnabled());
    EXPECT_EQ(Capture([] {
                  DebugOutput("hidden");
                  DebugPrintf("%s", "hidden");
              }),
              "");
    setenv("VANTIX_DEBUG", "", 1);
    EXPECT_FALSE(DebugOutputEnabled());
    EXPECT_EQ(Capture([] { DebugOutput("hidden"); }), "");
}

TEST_F(DebugOutputTest, WritesOneTerminatedLinePerCall) {
    setenv("VANTIX_DEBUG", "1", 1);
    EXPECT_TRUE(DebugOutputEnabled());
    EXPECT_EQ(Capture([] {
                  DebugOutput("open");
                  DebugOutput("close\n");
                  DebugPrintf("camera %d: %s", 2, "ready");
                  DebugOutput(nullptr);
              }),
              "open\nclose\ncamera 2: ready\n");
}

TEST_F(DebugOutputTest, PrintfHandlesLinesLongerThanItsStackBuffer) {
    setenv("VANTIX_DEBUG", "1", 1);
    static const std::string longText(2000, 'z');
    EXPECT_EQ(Capture([] { DebugPrintf("<%s>", longText.c_str()); }), "<" + longText + ">\n");
}

}  // namespace
}  // namespace vantix
