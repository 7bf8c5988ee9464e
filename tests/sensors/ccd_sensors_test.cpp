// The CCD sensor classes against a recording controller (what reaches the
// camera registers and the FPGA, in order) and, in the last group, through
// the engine against the virtual camera's timing generator.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "emulator/emulator.h"
#include "engine/camera_engine.h"
#include "sensors/ccd/ccd_sensors.h"
#include "sensors/ccd/timing_program.h"
#include "transport/device_drivers.h"
#include "transport/usb_trace.h"

namespace vantix {
namespace {

using Writes = std::vector<std::pair<uint32_t, uint32_t>>;

class RecordingController : public CControllerBase {
public:
    int32_t Release() override { return 1; }
    int32_t SelectDeviceIndex(int32_t) override { return 1; }
    int32_t ReadRegister16(uint16_t* value) override {
        *value = 0;
        return 1;
    }
    int32_t BusWrite(uint8_t, const uint8_t*, size_t, uint32_t) override { return 0; }
    int32_t BusRead(uint8_t, uint8_t*, size_t, uint32_t) override { return 0; }
    int32_t WriteCameraRegister(uint16_t address, uint32_t value) override {
        if (cameraWritesLeft == 0) return 0;
        --cameraWritesLeft;
        camera.emplace_back(address, value);
        cameraRegisters[address] = value;
        return 1;
    }
    int32_t ReadCameraRegister(uint16_t address, uint32_t* value) override {
        *value = cameraRegisters[address] & 0xFFFF;
        return 1;
    }
    int32_t SendWordPair(uint16_t, uint16_t) override { return 0; }
    int32_t QueryWord(uint16_t, uint32_t*) override { return 0; }
    int32_t WriteFpgaRegister(uint8_t reg, uint8_t value) override {
        fpgaWrites.emplace_back(reg, value);
        fpga[reg] = value;
        return 1;
    }
    int32_t ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
        *value = fpga[reg];
        return 1;
    }
    int32_t WriteAuxRegister(uint8_t, uint8_t) override { return 0; }
    int32_t ReadAuxRegister(uint8_t, uint8_t*) override { return 0; }
    int32_t AbortStream() override { return 1; }

    Writes camera;
    Writes fpgaWrites;
    std::map<uint16_t, uint32_t> cameraRegisters;
    std::array<uint8_t, 256> fpga{};
    size_t cameraWritesLeft = SIZE_MAX;
};

SensorInfo Record(CSensorBase& sensor) {
    SensorInfo info{};
    sensor.GetSensorInfo(&info);
    return info;
}

// ---- The timing-generator programs ----

TEST(CcdTimingProgram, EveryInterlineHeadSendsItsProgramFromResetToRunWords) {
    using Maker = std::unique_ptr<CSensorBase> (*)(CControllerBase*, uint8_t);
    for (Maker make : {MakeSensorQ105, MakeSensorQ106, MakeSensorQ107}) {
        RecordingController c;
        auto sensor = make(&c, 0);
        ASSERT_TRUE(sensor->Initialize());
        ASSERT_GE(c.camera.size(), ccd::kTimingProgramWrites);
        const Writes opening(c.camera.begin(), c.camera.begin() + 10);
        EXPECT_EQ(opening, (Writes{{0x8025, 0x1C018A0}, {0x8026, 0x1C018A0}, {0x801C, 0}, {0x80D1, 0x100000},
                                   {0x00D1, 0x100000}, {0x8000, 4}, {0x0000, 4}, {0x8015, 0}, {0x0015, 0},
                                   {0x8025, 0x1C018A0}}));
        const Writes closing(c.camera.begin() + ccd::kTimingProgramWrites - 4,
                             c.camera.begin() + ccd::kTimingProgramWrites);
        EXPECT_EQ(closing, (Writes{{0x8011, 1}, {0x8013, 0x3038063}, {0x0011, 1}, {0x0013, 0x3038063}}));
        // Both banks' edge tables arrive whole, in pairs, ascending.
        std::vector<uint32_t> edges;
        for (const auto& [address, value] : c.camera) {
            if ((address & 0x7FFF) >= 0x400 && (address & 0x7FFF) < 0x4C0) edges.push_back(address);
        }
        ASSERT_EQ(edges.size(), 384u);
        for (size_t i = 0; i < 192; ++i) {
            EXPECT_EQ(edges[2 * i], 0x8400 + i);
            EXPECT_EQ(edges[2 * i + 1], 0x0400 + i);
        }
        // The clock enables, in order, come before the defaults' FPGA writes.
        const Writes enables(c.fpgaWrites.begin(), c.fpgaWrites.begin() + 8);
        EXPECT_EQ(enables, (Writes{{33, 1}, {32, 1}, {34, 1}, {35, 1}, {31, 1}, {36, 1}, {37, 1}, {224, 1}}));
    }
}

TEST(CcdTimingProgram, ARefusedWriteEndsTheProgramAndFailsTheOpen) {
    RecordingController c;
    c.cameraWritesLeft = 300;
    auto sensor = MakeSensorQ105(&c, 0);
    EXPECT_EQ(sensor->Initialize(), 0);
    EXPECT_EQ(c.camera.size(), 300u);
    // The enables after the edge tables were never sent.
    EXPECT_EQ(c.fpgaWrites.size(), 2u);
    EXPECT_EQ(MakeSensorQ105(nullptr, 0)->Initialize(), 0);
}

// ---- Registers and the shadow ----

TEST(CcdRegisters, ShadowAnswersWrittenRegistersPerBankAndRefusesTheRest) {
    RecordingController c;
    auto sensor = MakeSensorQ106(&c, 0);
    uint32_t value = 0;
    EXPECT_EQ(sensor->ReadRegister(0x0005, &value), 0);  // never written
    ASSERT_TRUE(sensor->WriteRegister(0x8005, 0x123));
    EXPECT_EQ(sensor->ReadRegister(0x0005, &value), 0);  // the other bank still unwritten
    ASSERT_TRUE(sensor->ReadRegister(0x8005, &value));
    EXPECT_EQ(value, 0x123u);
    // Reads come from the shadow, not the 16-bit wire.
    ASSERT_TRUE(sensor->WriteRegister(0x0400, 0x3FFFFFF));
    ASSERT_TRUE(sensor->ReadRegister(0x0400, &value));
    EXPECT_EQ(value, 0x3FFFFFFu);
    // A write the camera refused is not recorded; numbers above 12 bits and
    // values above 26 bits are refused before the wire.
    c.cameraWritesLeft = 0;
    EXPECT_EQ(sensor->WriteRegister(0x0006, 7), 0);
    EXPECT_EQ(sensor->ReadRegister(0x0006, &value), 0);
    c.cameraWritesLeft = SIZE_MAX;
    const size_t before = c.camera.size();
    EXPECT_EQ(sensor->WriteRegister(0x1005, 1), 0);
    EXPECT_EQ(sensor->WriteRegister(0x0007, 0xAAAAAAAA), 0);
    EXPECT_EQ(c.camera.size(), before);
    EXPECT_EQ(sensor->ReadRegister(0x1005, &value), 0);

    // The head without a shadow reads through the camera.
    RecordingController plain;
    auto icx = MakeSensorICX274(&plain, 0);
    plain.cameraRegisters[0x0009] = 0x55;
    ASSERT_TRUE(icx->ReadRegister(0x0009, &value));
    EXPECT_EQ(value, 0x55u);
}

// ---- Exposure, gain, trims, mirrors ----

TEST(CcdExposure, TimeBecomesTheShutterLineWithinTheFrame) {
    RecordingController c;
    auto q105 = MakeSensorQ105(&c, 0);
    // Line time 15470 / 60000 = 0.2578 units: 100 units are 387.8 lines, so
    // the shutter ends at line 902 - 387.8 = 514.
    ASSERT_TRUE(q105->SetExposureTime(100));
    EXPECT_EQ(c.fpga[0xE2] | c.fpga[0xE3] << 8, 514);
    EXPECT_EQ(Record(*q105).exposureLines.current, 514);
    EXPECT_EQ(Record(*q105).exposureTime.current, 100);
    // Longer than the frame: the shutter at line 1, and the time it gives
    // (901 lines of 0.2578 units).
    ASSERT_TRUE(q105->SetExposureTime(774));
    EXPECT_EQ(c.fpga[0xE2] | c.fpga[0xE3] << 8, 1);
    EXPECT_EQ(Record(*q105).exposureTime.current, 232);
    EXPECT_EQ(q105->SetExposureTime(0), 0);
    EXPECT_EQ(q105->SetExposureTime(-5), 0);
    EXPECT_EQ(Record(*q105).exposureTime.current, 232);

    // The largest head's line is 1.0028 units: 1 unit ends the shutter at
    // its last line.
    RecordingController big;
    auto q107 = MakeSensorQ107(&big, 0);
    ASSERT_TRUE(q107->SetExposureTime(1));
    EXPECT_EQ(big.fpga[0xE2] | big.fpga[0xE3] << 8, 2227);
    // Lines are kept inside the range.
    ASSERT_TRUE(q107->SetExposureLines(5000));
    EXPECT_EQ(big.fpga[0xE2] | big.fpga[0xE3] << 8, 2227);

    // The resident-program head counts exposure in lines, and its record
    // follows.
    RecordingController plain;
    auto icx = MakeSensorICX274(&plain, 0);
    ASSERT_TRUE(icx->SetExposureTime(600));
    EXPECT_EQ(plain.cameraRegisters[0x8003], 600u);
    EXPECT_EQ(Record(*icx).exposureTime.current, 600);
    ASSERT_TRUE(icx->SetExposureTime(9999));
    EXPECT_EQ(plain.cameraRegisters[0x8003], 1252u);
}

TEST(CcdGain, CodesReachTheirRegistersAndStayInRange) {
    RecordingController c;
    auto q105 = MakeSensorQ105(&c, 0);
    ASSERT_TRUE(q105->SetGain(700));
    EXPECT_EQ(c.cameraRegisters[0x8005], 700u);
    EXPECT_EQ(c.cameraRegisters[0x0005], 700u);
    ASSERT_TRUE(q105->SetGain(5000));
    EXPECT_EQ(c.cameraRegisters[0x0005], 1023u);
    ASSERT_TRUE(q105->SetGain(-3));
    EXPECT_EQ(c.cameraRegisters[0x0005], 15u);  // the head's minimum
    EXPECT_EQ(Record(*q105).gain.current, 15);

    RecordingController big;
    auto q107 = MakeSensorQ107(&big, 0);
    ASSERT_TRUE(q107->SetGain(0x2C5));
    EXPECT_EQ(big.fpga[0xA0], (0x2C5 << 6) & 0xFF);
    EXPECT_EQ(big.fpga[0xA1], 0x2C5 >> 2);
    EXPECT_TRUE(big.cameraRegisters.empty());
}

TEST(CcdFrontEnd, ChannelTrimsAndBlackLevelUseTheirOwnRegisters) {
    RecordingController c;
    auto sensor = MakeSensorQ106(&c, 0);
    // Each channel's gain and offset read back on their own, so no two
    // share a register.
    for (int32_t ch = 1; ch <= 4; ++ch) {
        ASSERT_TRUE(sensor->SetChannelGain(ch, 0x1000 + ch));
        ASSERT_TRUE(sensor->SetChannelOffset(ch, 0xAB00 + ch));
    }
    for (int32_t ch = 1; ch <= 4; ++ch) {
        int32_t value = 0;
        ASSERT_TRUE(sensor->GetChannelGain(ch, &value));
        EXPECT_EQ(value, 0x1000 + ch);
        ASSERT_TRUE(sensor->GetChannelOffset(ch, &value));
        EXPECT_EQ(value, 0xAB00 + ch);
    }
    const size_t writes = c.fpgaWrites.size();
    EXPECT_EQ(sensor->SetChannelGain(0, 1), 0);
    EXPECT_EQ(sensor->SetChannelGain(5, 1), 0);
    EXPECT_EQ(sensor->SetChannelOffset(1, 65536), 0);
    EXPECT_EQ(sensor->SetChannelGain(1, -1), 0);
    EXPECT_EQ(c.fpgaWrites.size(), writes);
    int32_t limit = 0;
    ASSERT_TRUE(sensor->GetChannelGainDefault(&limit));
    EXPECT_EQ(limit, 4096);

    ASSERT_TRUE(sensor->SetBlackLevel(0x2F5));
    EXPECT_EQ(c.cameraRegisters[0x8006], 0x2F5u);
    EXPECT_EQ(c.cameraRegisters[0x0006], 0x2F5u);
    EXPECT_EQ(c.fpga[0xA2] | c.fpga[0xA3] << 8, 0x2F5);
    EXPECT_EQ(sensor->SetBlackLevel(1024), 0);
    EXPECT_EQ(Record(*sensor).blackLevel.current, 0x2F5);

    // The resident-program head has no per-channel front end.
    RecordingController plain;
    auto icx = MakeSensorICX274(&plain, 0);
    EXPECT_EQ(icx->SetChannelGain(1, 10), 0);
    EXPECT_EQ(icx->SetBlackLevel(10), 0);
}

TEST(CcdFrontEnd, ChannelTrimsKeepTheirValuesThroughEveryOtherSetting) {
    // Each head's trims sit in registers nothing else writes: gain, black
    // level, shutter line and mirrors leave them as they were, and the trims
    // leave those.
    using Maker = std::unique_ptr<CSensorBase> (*)(CControllerBase*, uint8_t);
    for (Maker make : {MakeSensorQ105, MakeSensorQ106, MakeSensorQ107}) {
        RecordingController c;
        auto sensor = make(&c, 0);
        for (int32_t ch = 1; ch <= 4; ++ch) {
            ASSERT_TRUE(sensor->SetChannelGain(ch, 0x1111 * ch));
            ASSERT_TRUE(sensor->SetChannelOffset(ch, 0x0F0F + ch));
        }
        ASSERT_TRUE(sensor->SetGain(1000));
        ASSERT_TRUE(sensor->SetBlackLevel(1000));
        ASSERT_TRUE(sensor->SetExposureTime(50));
        ASSERT_TRUE(sensor->SetMirrorH(1));
        ASSERT_TRUE(sensor->SetMirrorV(1));
        for (int32_t ch = 1; ch <= 4; ++ch) {
            int32_t gain = 0, offset = 0;
            ASSERT_TRUE(sensor->GetChannelGain(ch, &gain));
            ASSERT_TRUE(sensor->GetChannelOffset(ch, &offset));
            EXPECT_EQ(gain, 0x1111 * ch) << "channel " << ch;
            EXPECT_EQ(offset, 0x0F0F + ch) << "channel " << ch;
        }
        // And the other settings' registers are not trims.
        const std::array<uint8_t, 256> all = c.fpga;
        for (int32_t ch = 1; ch <= 4; ++ch) ASSERT_TRUE(sensor->SetChannelGain(ch, 0));
        for (uint8_t reg : {0xA0, 0xA1, 0xA2, 0xA3, 0xE2, 0xE3, 63}) {
            EXPECT_EQ(c.fpga[reg], all[reg]) << "register " << int{reg};
        }
    }
}

TEST(CcdMirrors, InterlineHeadsFlipFpgaBitsAndKeepTheOthers) {
    RecordingController c;
    c.fpga[63] = 0x80;
    auto sensor = MakeSensorQ105(&c, 0);
    ASSERT_TRUE(sensor->SetMirrorH(1));
    ASSERT_TRUE(sensor->SetMirrorV(1));
    EXPECT_EQ(c.fpga[63], 0x83);
    ASSERT_TRUE(sensor->SetMirrorH(0));
    EXPECT_EQ(c.fpga[63], 0x81);
    EXPECT_EQ(Record(*sensor).mirrorV, 1);
    EXPECT_EQ(Record(*sensor).mirrorH, 0);
}

TEST(CcdOpen, ResidentProgramHeadInitialisesItsSettings) {
    RecordingController c;
    auto icx = MakeSensorICX274(&c, 0);
    ASSERT_EQ(icx->Initialize(), 1);
    EXPECT_EQ(c.camera, (Writes{{0x8002, 0}, {0x0005, 256}, {0x8003, 1}}));
    ASSERT_TRUE(icx->SetTriggerMode(1));
    int32_t on = 0;
    EXPECT_EQ(icx->GetTriggerMode(&on), 1);
    EXPECT_EQ(on, 1);
}

// ---- Through the engine, against the virtual camera ----

class CcdEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallDeviceDrivers();
        emulator::Emulator::Instance().Reset();
    }
    void TearDown() override { emulator::Emulator::Instance().Reset(); }

    std::shared_ptr<emulator::VirtualCamera> Plug(uint16_t model) {
        auto camera = emulator::Emulator::Instance().Find(emulator::Emulator::Instance().Plug(model));
        camera->SetUnthrottled(true);
        emulator::SceneSettings scene = camera->Scene();
        scene.kind = emulator::SceneKind::Flat;
        scene.flatRed = scene.flatGreen = scene.flatBlue = 0.2;
        camera->SetScene(scene);
        return camera;
    }
    static bool Open(CVantixU3K9Base& engine, uint16_t model) {
        engine.SetModelId(model);
        engine.Open(0, nullptr);
        return engine.EnumerateDevices(model) == 1 && engine.SelectDevice(0) == 1;
    }
    // Mean sample of one 8-bit snapshot; -1 when no frame came.
    static double SnapshotMean(CVantixU3K9Base& engine) {
        engine.SetBitMode(0);
        engine.CaptureSingleFrame();
        if (engine.WaitFrame(0) == kWaitTransferFailed) return -1;
        std::vector<uint8_t> frame(engine.FrameBytes());
        engine.CopyFirstSlot(frame.data(), 0, 0, 0, 0);
        return std::accumulate(frame.begin(), frame.end(), 0.0) / static_cast<double>(frame.size());
    }
};

TEST_F(CcdEngineTest, InterlineHeadStreamsAfterItsProgramAndExposureAndGainReachThePicture) {
    Plug(0x3090);
    CVantixUSB3K9SimpleSdk engine;
    ASSERT_TRUE(Open(engine, 0x3090));
    ASSERT_TRUE(engine.SetGain(15));
    ASSERT_TRUE(engine.SetExposureTime(100));  // 388 of 901 lines
    const double shorter = SnapshotMean(engine);
    ASSERT_GT(shorter, 0);
    EXPECT_EQ(engine.FrameBytes(), 2336u * 1752u);
    ASSERT_TRUE(engine.SetExposureTime(200));
    const double longer = SnapshotMean(engine);
    EXPECT_NEAR(longer / shorter, 2.0, 0.15);
    ASSERT_TRUE(engine.SetGain(15 + 256));  // twice the front-end gain
    EXPECT_NEAR(SnapshotMean(engine) / longer, 2.0, 0.15);
    engine.Close();
}

// The opening's USB trace with data bytes and pauses, one line each.
std::vector<std::string> TraceOfOpening(uint16_t model) {
    const std::string path = "/tmp/vantix-ccd-trace-" + std::to_string(getpid()) + ".trace";
    std::remove(path.c_str());
    SetUsbTraceData(true);
    SetUsbTraceFile(path);
    {
        CVantixUSB3K9SimpleSdk engine;
        engine.SetModelId(model);
        engine.Open(0, nullptr);
        EXPECT_EQ(engine.EnumerateDevices(model), 1);
        EXPECT_EQ(engine.SelectDevice(0), 1);
        SetUsbTraceFile("");
        SetUsbTraceData(false);
    }
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::remove(path.c_str());
    return lines;
}

TEST_F(CcdEngineTest, TimingProgramOnTheWireFromItsFirstToItsLastValueWithPausedEnables) {
    Plug(0x3090);
    const std::vector<std::string> trace = TraceOfOpening(0x3090);
    // Camera-register writes are vendor request 0xD0 (bank in the value,
    // register in the index, the value's bytes low first); FPGA registers are
    // bus writes to 0x40 of {register, 0, value}.
    const auto isCameraWrite = [](const std::string& l) { return l.rfind("ep0 out req=0xd0 ", 0) == 0; };
    const auto enableOf = [](const std::string& l) -> int {
        const size_t data = l.find("index=0x0040 ");
        if (l.rfind("ep0 out req=0x30 ", 0) != 0 || data == std::string::npos) return -1;
        const size_t bytes = l.find("data=");
        if (bytes == std::string::npos || l.size() != bytes + 11 || l.compare(bytes + 7, 4, "0001") != 0) return -1;
        return std::stoi(l.substr(bytes + 5, 2), nullptr, 16);
    };
    std::vector<size_t> writes;
    for (size_t i = 0; i < trace.size(); ++i) {
        if (isCameraWrite(trace[i])) writes.push_back(i);
    }
    ASSERT_GE(writes.size(), ccd::kTimingProgramWrites);
    EXPECT_NE(trace[writes.front()].find("value=0x0001 index=0x0025 "), std::string::npos) << trace[writes.front()];
    EXPECT_NE(trace[writes.front()].find("data=a018c001"), std::string::npos) << trace[writes.front()];
    const std::string& last = trace[writes[ccd::kTimingProgramWrites - 1]];
    EXPECT_NE(last.find("value=0x0000 index=0x0013 "), std::string::npos) << last;
    EXPECT_NE(last.find("data=63800303"), std::string::npos) << last;
    // The enables in their order, each after a 1 ms pause; the last three
    // follow the run word.
    std::vector<int> enables;
    for (size_t i = 0; i < trace.size() && enables.size() < std::size(ccd::kTimingEnables); ++i) {
        const int reg = enableOf(trace[i]);
        if (reg < 0) continue;
        enables.push_back(reg);
        ASSERT_GT(i, 0u);
        EXPECT_EQ(trace[i - 1], "pause ms=1") << "before the enable of " << reg;
        if (enables.size() > 5) {
            EXPECT_GT(i, writes[ccd::kTimingProgramWrites - 1]);
        }
    }
    EXPECT_EQ(enables, std::vector<int>(std::begin(ccd::kTimingEnables), std::end(ccd::kTimingEnables)));
}

TEST_F(CcdEngineTest, ResidentProgramHeadOpensAndStreams) {
    Plug(0x3050);
    CVantixUSB3K9SimpleSdk engine;
    ASSERT_TRUE(Open(engine, 0x3050));
    ASSERT_TRUE(engine.SetExposureTime(626));  // half the frame
    EXPECT_GT(SnapshotMean(engine), 0);
    EXPECT_EQ(engine.FrameBytes(), 1600u * 1200u);
}

TEST_F(CcdEngineTest, ClosingStopsTheGeneratorUntilTheNextProgram) {
    auto camera = Plug(0x3090);
    {
        CVantixUSB3K9SimpleSdk engine;
        ASSERT_TRUE(Open(engine, 0x3090));
        engine.Close();
    }
    EXPECT_EQ(camera->CameraRegister(0x0000), 3u);
    CVantixUSB3K9SimpleSdk again;
    ASSERT_TRUE(Open(again, 0x3090));
    EXPECT_GT(SnapshotMean(again), 0);
}

}  // namespace
}  // namespace vantix
