// The virtual camera's FPGA-timed heads: the line heads' frames continue a
// moving line pattern from frame to frame, and the cooled head's thermistor
// follows its committed set point only through the command protocol.
#include "emulator/personalities/fpga_timed_personality.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vantix::emulator {
namespace {

void SetFrameLines(FpgaTimedHead& head, uint32_t lines) {
    head.WriteFpgaRegister(64, static_cast<uint8_t>(lines));
    head.WriteFpgaRegister(65, static_cast<uint8_t>(lines >> 8));
}

void SetExposure(FpgaTimedHead& head, uint32_t count) {
    for (int i = 0; i < 3; ++i) {
        head.WriteFpgaRegister(static_cast<uint8_t>(226 + i), static_cast<uint8_t>(count >> 8 * i));
    }
}

TEST(FpgaTimedHead, LineHeadFramesAreConsecutiveStripsOfOnePattern) {
    FpgaTimedHead head(LookupVirtualModel(0x31D0));
    for (uint32_t lines : {64u, 1000u, 32768u}) {
        SetFrameLines(head, lines);
        EXPECT_EQ(head.Geometry(0).height, lines);
        EXPECT_EQ(head.Geometry(0).width, 1024u);
        // Frame n + 1 starts at the line after frame n's last, across the
        // frame counter's wrap as well.
        for (uint32_t counter : {7u, 0xFFFFFFFFu}) {
            EXPECT_EQ(head.SceneFrameIndex(counter + 1) - head.SceneFrameIndex(counter), lines);
        }
    }
    // A line takes one line period: twice the lines, twice the frame.
    SetExposure(head, 1500);
    SetFrameLines(head, 100);
    const uint32_t hundred = head.FramePeriodUs();
    SetFrameLines(head, 200);
    EXPECT_EQ(head.FramePeriodUs(), 2 * hundred);
    // The area heads' frames are not gathered from lines.
    FpgaTimedHead area(LookupVirtualModel(0x3150));
    EXPECT_EQ(area.SceneFrameIndex(41), 41u);
}

TEST(FpgaTimedHead, BrightnessFollowsEachHeadsExposureCountAndGain) {
    FpgaTimedHead area(LookupVirtualModel(0x3150));
    EXPECT_DOUBLE_EQ(area.Brightness(), 1.0);  // as powered up
    SetExposure(area, 125000);
    area.WriteFpgaRegister(146, 32);
    EXPECT_DOUBLE_EQ(area.Brightness(), 1.0);
    // The cooled head integrates 50 ms plus 8 ms per step.
    FpgaTimedHead cooled(LookupVirtualModel(0x3220));
    SetExposure(cooled, 0);
    const double shortest = cooled.Brightness();
    SetExposure(cooled, 10);
    EXPECT_NEAR(cooled.Brightness() / shortest, 130.0 / 50.0, 1e-9);
}

TEST(FpgaTimedHead, ThermistorDriftsTowardTheCommittedSetPointOnlyWhileCooling) {
    FpgaTimedHead head(LookupVirtualModel(0x3220));
    const auto latchRead = [&] {
        head.WriteFpgaRegister(84, 2);
        head.WriteFpgaRegister(82, 0);
        head.WriteFpgaRegister(82, 2);
        return static_cast<uint16_t>(head.ReadFpgaRegister(4) | head.ReadFpgaRegister(5) << 8);
    };
    const auto commit = [&](uint16_t code, uint8_t latch) {
        head.WriteFpgaRegister(80, static_cast<uint8_t>(code));
        head.WriteFpgaRegister(83, static_cast<uint8_t>(code >> 8));
        head.WriteFpgaRegister(84, latch);
        head.WriteFpgaRegister(82, 0);
        head.WriteFpgaRegister(82, 1);
    };
    EXPECT_EQ(latchRead(), FpgaTimedHead::kAmbientCode);
    // A commit with the read latch set is no commit.
    commit(100, 2);
    EXPECT_EQ(head.SetPointCode(), FpgaTimedHead::kAmbientCode - 1);
    commit(100, 0);
    EXPECT_EQ(head.SetPointCode(), 100);
    // Cooler off: the code stays at ambient.
    EXPECT_EQ(latchRead(), FpgaTimedHead::kAmbientCode);
    head.WriteFpgaRegister(81, 1);
    uint16_t code = FpgaTimedHead::kAmbientCode;
    for (int i = 0; i < 80; ++i) {
        const uint16_t next = latchRead();
        EXPECT_LE(std::abs(next - code), FpgaTimedHead::kDriftCodesPerRead);
        EXPECT_LE(next, code);
        code = next;
    }
    EXPECT_EQ(code, 100);
    // Without a read latch the code registers keep the last latched value.
    head.WriteFpgaRegister(81, 0);
    head.WriteFpgaRegister(84, 0);
    head.WriteFpgaRegister(82, 2);
    EXPECT_EQ(head.ReadFpgaRegister(4) | head.ReadFpgaRegister(5) << 8, 100);
    EXPECT_GT(latchRead(), 100);
}

}  // namespace
}  // namespace vantix::emulator
