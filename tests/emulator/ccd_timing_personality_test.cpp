// The CCD timing generator of the virtual camera: it reads out frames only
// after a whole program written in order, so a broken program is caught.
#include "emulator/personalities/ccd_timing_personality.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "sensors/ccd/timing_program.h"

namespace vantix::emulator {
namespace {

using ccd::TimingStep;

std::vector<TimingStep> Program() {
    const auto program = ccd::TimingProgramQ105();
    return {program.begin(), program.end()};
}

void Send(CcdTimingHead& head, const std::vector<TimingStep>& steps) {
    for (const TimingStep& s : steps) {
        if (s.kind == TimingStep::Kind::FpgaEnable) {
            head.WriteFpgaRegister(static_cast<uint8_t>(s.address), 1);
        } else {
            head.WriteCameraRegister(s.address, s.value);
        }
    }
}

TEST(CcdTimingHead, OnlyAWholeProgramInOrderGivesFrames) {
    const VirtualModel model = LookupVirtualModel(0x3090);
    {
        CcdTimingHead head(model);
        EXPECT_EQ(head.Geometry(0).PayloadBytes(), 0u);  // nothing loaded
        Send(head, Program());
        EXPECT_TRUE(head.Running());
        EXPECT_EQ(head.Geometry(0).height, model.height);
        EXPECT_EQ(head.Geometry(0).width, model.width);
    }
    {
        // Cut short: the run words and last enables never come.
        CcdTimingHead head(model);
        std::vector<TimingStep> cut = Program();
        cut.resize(cut.size() - 5);
        Send(head, cut);
        EXPECT_FALSE(head.Running());
        EXPECT_EQ(head.Geometry(0).PayloadBytes(), 0u);
    }
    // Two edge entries swapped, the front end before the edge tables, or two
    // enables swapped: each breaks the program.
    const auto find = [](const std::vector<TimingStep>& p, uint16_t address) {
        for (size_t i = 0; i < p.size(); ++i) {
            if (p[i].address == address && p[i].kind == TimingStep::Kind::CameraRegister) return i;
        }
        return p.size();
    };
    std::vector<std::vector<TimingStep>> broken(3, Program());
    std::swap(broken[0][find(broken[0], 0x8410)], broken[0][find(broken[0], 0x8411)]);
    std::swap(broken[1][find(broken[1], 0x8400)], broken[1][find(broken[1], 0x8040)]);
    std::swap(broken[2][9], broken[2][19]);  // enables 33 and 32
    for (const auto& program : broken) {
        CcdTimingHead head(model);
        Send(head, program);
        EXPECT_TRUE(head.ProgramBroken());
        EXPECT_FALSE(head.Running());
        // The next whole program starts afresh.
        Send(head, Program());
        EXPECT_TRUE(head.Running());
    }
}

TEST(CcdTimingHead, StoppedClocksEndTheRun) {
    CcdTimingHead head(LookupVirtualModel(0x30C0));
    Send(head, Program());
    ASSERT_TRUE(head.Running());
    head.WriteCameraRegister(0x0000, 3);
    EXPECT_FALSE(head.Running());
    Send(head, Program());
    ASSERT_TRUE(head.Running());
    head.WriteFpgaRegister(37, 0);
    EXPECT_FALSE(head.Running());
}

TEST(CcdTimingHead, ResidentProgramRunsAtOnceAndFollowsItsLinesAndGain) {
    CcdTimingHead head(LookupVirtualModel(0x3050));
    EXPECT_TRUE(head.Running());
    head.WriteCameraRegister(0x8003, 626);  // half of the frame's 1252 lines
    head.WriteCameraRegister(0x0005, 0);
    EXPECT_DOUBLE_EQ(head.Brightness(), 0.5);
    head.WriteCameraRegister(0x0005, 256);
    EXPECT_DOUBLE_EQ(head.Brightness(), 1.0);
}

}  // namespace
}  // namespace vantix::emulator
