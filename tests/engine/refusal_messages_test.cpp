// Requests the engine and the sensors refuse say why on the debug output
// (VANTIX_DEBUG=engine,sensor), so a 0 result is never silent.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/camera_engine.h"
#include "sensors/aptina/aptina_sensors.h"

namespace vantix {
namespace {

template <typename Call>
std::string DebugLinesOf(const char* categories, Call&& call) {
    const char* saved = std::getenv("VANTIX_DEBUG");
    const std::string savedValue = saved ? saved : "";
    setenv("VANTIX_DEBUG", categories, 1);
    ::testing::internal::CaptureStderr();
    call();
    const std::string lines = ::testing::internal::GetCapturedStderr();
    if (saved) {
        setenv("VANTIX_DEBUG", savedValue.c_str(), 1);
    } else {
        unsetenv("VANTIX_DEBUG");
    }
    return lines;
}

TEST(RefusalMessages, EngineAndSensorSayWhyTheyRefuse) {
    CVantixU3K9Base engine;
    std::string lines = DebugLinesOf("engine", [&] {
        EXPECT_EQ(engine.SelectDevice(0), 0);
        EXPECT_EQ(engine.SetBitMode(1), 0);
    });
    EXPECT_NE(lines.find("engine: select: no controller"), std::string::npos) << lines;
    EXPECT_NE(lines.find("engine: bit mode: no controller"), std::string::npos) << lines;

    const auto sensor = MakeSensorMT9J001(nullptr, 0x20);
    lines = DebugLinesOf("sensor", [&] {
        EXPECT_EQ(sensor->SetArea(2, 320, 0, 8, 3), 0);
        EXPECT_EQ(sensor->SetArea(1, 320, 0, 8, 0), 0);
        EXPECT_EQ(sensor->SetArea(0, 320, 2760, 8, 0), 0);
        EXPECT_EQ(sensor->SetGain(128), 0);
        EXPECT_EQ(sensor->SetTriggerMode(1), 0);
    });
    EXPECT_NE(lines.find("area modes are 0, 1 and 2"), std::string::npos) << lines;
    EXPECT_NE(lines.find("off the area mode's grid"), std::string::npos) << lines;
    EXPECT_NE(lines.find("outside the pixel array"), std::string::npos) << lines;
    EXPECT_NE(lines.find("gain code 128"), std::string::npos) << lines;
    EXPECT_NE(lines.find("SetTriggerMode refused: this sensor does not support it"), std::string::npos) << lines;

    // Each category alone: the sensor's lines are not the engine's.
    lines = DebugLinesOf("engine", [&] { sensor->SetGain(128); });
    EXPECT_EQ(lines, "");
}

}  // namespace
}  // namespace vantix
