// The Aptina sensor personalities on their own: the bus formats, the chip
// identities the detection and the 0x3020 probe rely on, and how frame
// timing and brightness follow the programmed registers.
#include "emulator/personalities/aptina_personality.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantix::emulator {
namespace {

std::vector<uint8_t> ReadAt(AptinaPersonality& sensor, std::vector<uint8_t> address, size_t count) {
    std::vector<uint8_t> bytes(count, 0xEE);
    EXPECT_TRUE(sensor.Write(address.data(), address.size()));
    EXPECT_TRUE(sensor.Read(bytes.data(), bytes.size()));
    return bytes;
}

AptinaPersonality& As(std::unique_ptr<SensorPersonality>& p) { return static_cast<AptinaPersonality&>(*p); }

TEST(AptinaPersonality, ModelsGetTheirSensorsAndIdentities) {
    EXPECT_EQ(MakeAptinaPersonality(0x3100), nullptr);
    EXPECT_EQ(MakeAptinaPersonality(0x3041), nullptr);
    struct Case {
        uint16_t model;
        AptinaSensorKind kind;
    };
    for (const Case& c : {Case{0x3020, AptinaSensorKind::MT9F002}, Case{0x3030, AptinaSensorKind::MT9P001},
                          Case{0x3040, AptinaSensorKind::MT9J001}, Case{0x3042, AptinaSensorKind::MT9J001}}) {
        auto p = MakeAptinaPersonality(c.model);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(As(p).Kind(), c.kind) << std::hex << c.model;
    }
    auto older = MakeAptinaPersonality(0x3020, true);
    EXPECT_EQ(As(older).Kind(), AptinaSensorKind::MT9F001);
    EXPECT_EQ(As(older).Word(0), 0x2D01);
    auto j = MakeAptinaPersonality(0x3040);
    EXPECT_EQ(As(j).Word(0), 0x2C01);
    auto p = MakeAptinaPersonality(0x3030);
    EXPECT_EQ(As(p).Word(0), 0x1801);
    EXPECT_EQ(As(p).Word(0xFD) & 0x7E0, 0xE0);
}

TEST(AptinaPersonality, OnlyTheNewerSensorAnswersTheBoardProbe) {
    auto newer = MakeAptinaPersonality(0x3020);
    EXPECT_EQ(ReadAt(As(newer), {0x00, 0x00}, 2), (std::vector<uint8_t>{0x2E, 0x01}));
    auto older = MakeMt9f001Personality();
    EXPECT_NE(ReadAt(As(older), {0x00, 0x00}, 2), (std::vector<uint8_t>{0x2E, 0x01}));
    // The chip version cannot be overwritten into the probe's answer.
    const uint8_t write[] = {0x00, 0x00, 0x2E, 0x01};
    ASSERT_TRUE(older->Write(write, sizeof write));
    EXPECT_EQ(As(older).Word(0), 0x2D01);
}

TEST(AptinaPersonality, SixteenBitAddressesStoreAndReadConsecutiveRegisters) {
    AptinaPersonality sensor(AptinaSensorKind::MT9J001);
    const uint8_t write[] = {0x30, 0x40, 0x12, 0x34, 0x56, 0x78};
    ASSERT_TRUE(sensor.Write(write, sizeof write));
    EXPECT_EQ(sensor.Word(0x3040), 0x1234);
    EXPECT_EQ(sensor.Word(0x3042), 0x5678);
    EXPECT_EQ(ReadAt(sensor, {0x30, 0x40}, 4), (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x78}));
    // A read continues where the last one ended.
    uint8_t next[2] = {};
    ASSERT_TRUE(sensor.Read(next, 2));
    EXPECT_EQ(next[0] << 8 | next[1], sensor.Word(0x3044));
    const uint8_t partial[] = {0x30};
    EXPECT_FALSE(sensor.Write(partial, sizeof partial));
}

TEST(AptinaPersonality, EightBitAddressesHoldOneWordPerAddress) {
    AptinaPersonality sensor(AptinaSensorKind::MT9P001);
    const uint8_t write[] = {0x35, 0x00, 0x20, 0x00, 0x10};
    ASSERT_TRUE(sensor.Write(write, sizeof write));
    EXPECT_EQ(sensor.Word(0x35), 0x0020);
    EXPECT_EQ(sensor.Word(0x36), 0x0010);
    EXPECT_EQ(ReadAt(sensor, {0x35}, 4), (std::vector<uint8_t>{0x00, 0x20, 0x00, 0x10}));
    // The end of the register file wraps instead of running off it.
    const uint8_t last[] = {0xFF, 0xAB, 0xCD, 0x11, 0x22};
    ASSERT_TRUE(sensor.Write(last, sizeof last));
    EXPECT_EQ(sensor.Word(0xFF), 0xABCD);
    EXPECT_EQ(sensor.Word(0x00), 0x1801);  // read only
}

TEST(AptinaPersonality, FramePeriodFollowsLineAndFrameLengthClockAndLongExposure) {
    AptinaPersonality sensor(AptinaSensorKind::MT9J001);
    // 4436 x 2988 at 80 MHz; the power-on exposure (3163 lines) stretches it.
    EXPECT_EQ(sensor.FramePeriodUs(), uint64_t{4436} * 3164 * 1000 / 80000);
    sensor.SetWord(0x0202, 100);
    EXPECT_EQ(sensor.FramePeriodUs(), uint64_t{4436} * 2988 * 1000 / 80000);
    sensor.SetWord(0x0302, 2);  // clock mode 0: 32 MHz
    EXPECT_EQ(sensor.PixelClockKHz(), 32000u);
    EXPECT_EQ(sensor.FramePeriodUs(), uint64_t{4436} * 2988 * 1000 / 32000);
    sensor.SetWord(0x0342, 0);  // never a zero period
    EXPECT_EQ(sensor.FramePeriodUs(), 1u);

    AptinaPersonality binned(AptinaSensorKind::MT9P001);
    for (auto [reg, value] : {std::pair{0x03, 959}, {0x04, 1279}, {0x22, 0x33}, {0x23, 0x33}, {0x05, 1528},
                              {0x09, 100}}) {
        binned.SetWord(static_cast<uint16_t>(reg), static_cast<uint16_t>(value));
    }
    EXPECT_EQ(binned.LineLengthPixels(), 1848u);
    EXPECT_EQ(binned.FrameLengthLines(), 240u + 146u);
    EXPECT_EQ(binned.FramePeriodUs(), uint64_t{1848} * 386 * 1000 / 80000);
}

TEST(AptinaPersonality, BrightnessFollowsExposureAndGainCodes) {
    AptinaPersonality j(AptinaSensorKind::MT9J001);
    EXPECT_DOUBLE_EQ(j.Brightness(), 1.0);
    const uint8_t halfExposure[] = {0x02, 0x02, 3163 / 2 >> 8, 3163 / 2 & 0xFF};
    ASSERT_TRUE(j.Write(halfExposure, sizeof halfExposure));
    EXPECT_NEAR(j.Brightness(), 0.5, 0.001);
    j.SetWord(0x305E, 0x1080 | 127);  // the encoding bits do not count
    EXPECT_NEAR(j.Brightness(), 0.5 * 127 / 64, 0.001);

    AptinaPersonality f(AptinaSensorKind::MT9F002);
    f.SetWord(0x305E, 0x1100 | 32);
    EXPECT_DOUBLE_EQ(f.Brightness(), 0.5);

    AptinaPersonality p(AptinaSensorKind::MT9P001);
    p.SetWord(0x35, 32);
    p.SetWord(0x09, 4831 * 2);
    EXPECT_DOUBLE_EQ(p.Brightness(), 4.0);
}

TEST(AptinaPersonality, BrightnessFollowsTheExposureTimeNotTheLineCount) {
    // 50 ms on the full array's 4436-pixel lines and on a narrow window's
    // 1816-pixel lines, both at 80 MHz: the same time, the same picture.
    AptinaPersonality wide(AptinaSensorKind::MT9J001);
    wide.SetWord(0x0202, 50 * 80000 / 4436);
    AptinaPersonality narrow(AptinaSensorKind::MT9J001);
    narrow.SetWord(0x0342, 1816);
    narrow.SetWord(0x0202, 50 * 80000 / 1816);
    EXPECT_NEAR(narrow.Brightness() / wide.Brightness(), 1.0, 0.002);
    EXPECT_NEAR(wide.Brightness(), 50.0 / 175.4, 0.002);  // against the 175.4 ms power-on exposure
    // A slower clock makes every line, and so the same count of lines, last longer.
    narrow.SetWord(0x0302, 2);  // 32 MHz
    EXPECT_NEAR(narrow.Brightness() / wide.Brightness(), 80.0 / 32.0, 0.01);
}

}  // namespace
}  // namespace vantix::emulator
