// The FPGA-timed InGaAs and line-scan heads: against a controller that
// records every FPGA register write (what reaches the camera, in order), on
// the wire against the virtual camera's FPGA-timed head, and through the
// engine where the picture has to follow.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <numeric>
#include <utility>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/personalities/fpga_timed_personality.h"
#include "engine/camera_engine.h"
#include "sensors/fpga_timed/fpga_timed_sensors.h"
#include "sensors/fpga_timed/sensor_g1467x.h"
#include "sensors/fpga_timed/thermistor.h"
#include "transport/device_drivers.h"
#include "virtual_head_fixture.h"

namespace vantix {
namespace {

using Writes = std::vector<std::pair<uint8_t, uint8_t>>;
using Maker = std::unique_ptr<CSensorBase> (*)(CControllerBase*, uint8_t);

// An FPGA register file that records writes; `writesLeft` refuses writes
// once used up, `readable` refuses every read when false.
class FpgaRecorder : public CControllerBase {
public:
    int32_t Release() override { return 1; }
    int32_t SelectDeviceIndex(int32_t) override { return 1; }
    int32_t ReadRegister16(uint16_t* value) override {
        *value = 0;
        return 1;
    }
    int32_t BusWrite(uint8_t, const uint8_t*, size_t, uint32_t) override { return 0; }
    int32_t BusRead(uint8_t, uint8_t*, size_t, uint32_t) override { return 0; }
    int32_t WriteCameraRegister(uint16_t, uint32_t) override { return 0; }
    int32_t ReadCameraRegister(uint16_t, uint32_t*) override { return 0; }
    int32_t SendWordPair(uint16_t, uint16_t) override { return 0; }
    int32_t QueryWord(uint16_t, uint32_t*) override { return 0; }
    int32_t WriteFpgaRegister(uint8_t reg, uint8_t value) override {
        if (writesLeft == 0) return 0;
        --writesLeft;
        writes.emplace_back(reg, value);
        fpga[reg] = value;
        return 1;
    }
    int32_t ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
        if (!readable) return 0;
        *value = fpga[reg];
        return 1;
    }
    int32_t WriteAuxRegister(uint8_t, uint8_t) override { return 0; }
    int32_t ReadAuxRegister(uint8_t, uint8_t*) override { return 0; }
    int32_t AbortStream() override { return 1; }

    uint32_t Exposure() const { return fpga[226] | fpga[227] << 8 | fpga[228] << 16; }
    uint32_t FrameLines() const { return fpga[64] | fpga[65] << 8; }

    Writes writes;
    std::array<uint8_t, 256> fpga{};
    size_t writesLeft = SIZE_MAX;
    bool readable = true;
};

// The three exposure bytes of a count, low first.
Writes ExposureWrites(uint32_t count) {
    return {{226, static_cast<uint8_t>(count)}, {227, static_cast<uint8_t>(count >> 8)},
            {228, static_cast<uint8_t>(count >> 16)}};
}

SensorInfo Record(CSensorBase& sensor) {
    SensorInfo info{};
    sensor.GetSensorInfo(&info);
    return info;
}

using Area = std::array<int32_t, 5>;

// x, width, y, height and mode as GetArea gives them.
Area AreaOf(CSensorBase& sensor) {
    Area a{};
    sensor.GetArea(&a[0], &a[1], &a[2], &a[3], &a[4]);
    return a;
}

// ---- Areas ----

TEST(FpgaTimedArea, InGaAsWindowsAreRoundedOntoTheGridOrRefusedWithNothingStored) {
    FpgaRecorder c;
    auto q114 = MakeSensorQ114(&c, 0x6C);
    const SensorInfo before = Record(*q114);
    // Rounded to x 4, width 640, y 2, height 512: 4 + 640 is beyond the array.
    EXPECT_EQ(q114->SetArea(1, 637, 1, 511, 0), 0);
    EXPECT_EQ(AreaOf(*q114), (Area{before.areaX, before.areaWidth, before.areaY, before.areaHeight, before.areaMode}));
    // Inside once rounded: stored as rounded, and the FPGA is not told (it
    // always reads the whole array; the engine sizes the transfer).
    ASSERT_EQ(q114->SetArea(1, 635, 1, 509, 0), 1);
    EXPECT_EQ(AreaOf(*q114), (Area{4, 636, 2, 510, 0}));
    EXPECT_TRUE(c.writes.empty());
    // No binning, no empty or negative windows.
    EXPECT_EQ(q114->SetArea(0, 320, 0, 256, 1), 0);
    EXPECT_EQ(q114->SetArea(0, 0, 0, 256, 0), 0);
    EXPECT_EQ(q114->SetArea(-4, 320, 0, 256, 0), 0);
    EXPECT_EQ(q114->SetArea(0, 2147483647, 0, 256, 0), 0);  // rounding must not wrap around
    EXPECT_EQ(AreaOf(*q114), (Area{4, 636, 2, 510, 0}));

    WindowRules rules;
    ASSERT_TRUE(q114->GetWindowRules(&rules));
    EXPECT_EQ(rules.grid[0].widthStep, 4);
    EXPECT_EQ(rules.grid[0].heightStep, 2);
    EXPECT_EQ(rules.areaModes, 1);
}

TEST(FpgaTimedArea, LineHeadsProgramTheirLinesPerFrameUpTo32768) {
    for (Maker make : {MakeSensorQ116, MakeSensorQ118, MakeSensorQ122}) {
        FpgaRecorder c;
        auto head = make(&c, 0x20);
        const int32_t width = Record(*head).maxWidth;
        ASSERT_EQ(head->SetArea(0, width, 0, 32768, 0), 1);
        EXPECT_EQ((Writes{{64, 0x00}, {65, 0x80}}), c.writes);
        EXPECT_EQ(Record(*head).areaHeight, 32768);
        ASSERT_EQ(head->SetArea(0, width, 0, 999, 0), 1);  // rounded to whole row pairs
        EXPECT_EQ(c.FrameLines(), 1000u);
        c.writes.clear();
        EXPECT_EQ(head->SetArea(0, width, 0, 32769, 0), 0);
        EXPECT_EQ(head->SetArea(0, width + 4, 0, 64, 0), 0);
        EXPECT_TRUE(c.writes.empty());
        EXPECT_EQ(Record(*head).areaHeight, 1000);
    }
    // The 512-pixel head takes its window as asked.
    FpgaRecorder c;
    auto q117 = MakeSensorQ117(&c, 0x20);
    ASSERT_EQ(q117->SetArea(3, 509, 0, 777, 0), 1);
    EXPECT_EQ(c.FrameLines(), 777u);
    EXPECT_EQ(Record(*q117).areaX, 3);
    // A refused height write leaves the old window in the record.
    c.writesLeft = 1;
    EXPECT_EQ(q117->SetArea(0, 512, 0, 0x1234, 0), 0);
    EXPECT_EQ(Record(*q117).areaHeight, 777);
}

// ---- Exposure ----

TEST(FpgaTimedExposure, TimesBecomeEachHeadsCountsWithinTheirLimits) {
    struct Case {
        Maker make;
        int32_t time;         // requested, 0.1 ms
        uint32_t count;       // on the wire
        int32_t storedTime;   // word 49 afterwards
    };
    const Case cases[] = {
        // 100 x 100 / 1000 x 6250 - 6.25 clocks, truncated.
        {MakeSensorQ114, 100, 62493, 100},
        {MakeSensorQ114, 0, 618, 1},               // the minimum, 0.1 ms
        {MakeSensorQ114, 20000, 6249993, 10000},   // the maximum, 1 s
        {MakeSensorQ115, 100, 62500, 100},
        {MakeSensorQ115, -5, 625, 1},
        {MakeSensorQ115, 99999, 6250000, 10000},   // would be 62.5 M clocks: beyond 24 bits
        {MakeSensorG1467x, 500, 0, 500},           // (500 / 20 - 25) >> 2
        {MakeSensorG1467x, 1300, 10, 1300},
        {MakeSensorG1467x, 100, 0, 500},
        {MakeSensorG1467x, 5000000, 12493, 1000000},
        {MakeSensorQ117, 4000, 4000, 4000},        // one unit is one line time
        {MakeSensorQ118, 50, 136, 136},
        {MakeSensorQ122, 6000, 5039, 5039},
    };
    for (const Case& t : cases) {
        FpgaRecorder c;
        auto head = t.make(&c, 0x6C);
        SCOPED_TRACE("requested " + std::to_string(t.time));
        ASSERT_EQ(head->SetExposureTime(t.time), 1);
        EXPECT_EQ(c.Exposure(), t.count);
        EXPECT_EQ(c.writes, ExposureWrites(t.count));
        const SensorInfo info = Record(*head);
        EXPECT_EQ(info.exposureTime.current, t.storedTime);
        EXPECT_EQ(info.exposureLines.current, static_cast<int32_t>(t.count));
        EXPECT_DOUBLE_EQ(info.exposureSeconds, t.storedTime / 10000.0);
    }
}

TEST(FpgaTimedExposure, RefusedWritesFailAndLeaveTheRecord) {
    // The second of the three bytes refused: not a success, and the time
    // and count the record holds stay what the camera last took.
    for (Maker make : {MakeSensorQ114, MakeSensorQ115, MakeSensorQ116}) {
        FpgaRecorder c;
        auto head = make(&c, 0x6C);
        const SensorInfo before = Record(*head);
        c.writesLeft = 1;
        EXPECT_EQ(head->SetExposureTime(200), 0);
        EXPECT_EQ(head->SetExposureLines(100), 0);
        EXPECT_EQ(Record(*head).exposureTime.current, before.exposureTime.current);
        EXPECT_EQ(Record(*head).exposureLines.current, before.exposureLines.current);
    }
    EXPECT_EQ(MakeSensorQ115(nullptr, 0x6C)->SetExposureLines(10), 0);
}

TEST(FpgaTimedExposure, LinesAre24BitsReadBackFromTheCamera) {
    FpgaRecorder c;
    auto q115 = MakeSensorQ115(&c, 0x6C);
    // Success after its three writes, like its sister heads.
    ASSERT_EQ(q115->SetExposureLines(0x123456), 1);
    EXPECT_EQ(c.writes, (Writes{{226, 0x56}, {227, 0x34}, {228, 0x12}}));
    c.fpga[227] = 0x99;  // changed behind the library's back
    int32_t lines = 0;
    ASSERT_EQ(q115->GetExposureLines(&lines), 1);
    EXPECT_EQ(lines, 0x129956);
    // Beyond the 24-bit range: the maximum, never a wrapped count.
    ASSERT_EQ(q115->SetExposureLines(0x7FFFFFFF), 1);
    EXPECT_EQ(c.Exposure(), 0xFFFFFFu);
    ASSERT_EQ(q115->SetExposureLines(-1), 1);
    EXPECT_EQ(c.Exposure(), 0u);
    c.readable = false;
    EXPECT_EQ(q115->GetExposureLines(&lines), 0);
}

TEST(FpgaTimedExposure, SecondsOnlyOnTheHeadThatTakesThem) {
    FpgaRecorder c;
    auto q114 = MakeSensorQ114(&c, 0x6C);
    EXPECT_EQ(q114->IsExposureSecondsSupported(), 1);
    ASSERT_EQ(q114->SetExposureSeconds(0.01), 1);
    EXPECT_EQ(c.Exposure(), 62493u);
    EXPECT_EQ(Record(*q114).exposureTime.current, 100);
    // Held to 1 us - 2.684 s: the longest is 16774993 clocks, inside 24 bits.
    ASSERT_EQ(q114->SetExposureSeconds(10.0), 1);
    EXPECT_EQ(c.Exposure(), 16774993u);
    EXPECT_DOUBLE_EQ(Record(*q114).exposureSeconds, 2.684);
    ASSERT_EQ(q114->SetExposureSeconds(0.0), 1);
    EXPECT_EQ(c.Exposure(), 0u);
    EXPECT_DOUBLE_EQ(Record(*q114).exposureSeconds, 0.000001);
    EXPECT_EQ(q114->SetExposureSeconds(std::nan("")), 0);

    for (Maker make : {MakeSensorQ115, MakeSensorG1467x, MakeSensorQ122}) {
        FpgaRecorder other;
        auto head = make(&other, 0x6C);
        EXPECT_EQ(head->IsExposureSecondsSupported(), 0);
        EXPECT_EQ(head->SetExposureSeconds(0.01), 0);
        EXPECT_TRUE(other.writes.empty());
    }
}

// ---- Gain, mirrors, registers, trigger ----

TEST(FpgaTimedControls, GainRegisterMirrorFlagsAndByteRegisters) {
    FpgaRecorder c;
    auto head = MakeSensorQ118(&c, 0x20);
    ASSERT_EQ(head->SetGain(200), 1);
    EXPECT_EQ(c.fpga[146], 200);
    // Out of range is held to the range, never cut to its low byte (256
    // would otherwise be gain 0).
    ASSERT_EQ(head->SetGain(256), 1);
    EXPECT_EQ(c.fpga[146], 255);
    ASSERT_EQ(head->SetGain(-1), 1);
    EXPECT_EQ(c.fpga[146], 0);
    c.fpga[146] = 77;
    int32_t gain = 0;
    ASSERT_EQ(head->GetGain(&gain), 1);
    EXPECT_EQ(gain, 77);
    EXPECT_EQ(Record(*head).gain.current, 77);

    // The FPGA cannot mirror: the flag is kept and the answer is "not done".
    EXPECT_EQ(head->SetMirrorH(1), 0);
    int32_t on = 0;
    EXPECT_EQ(head->GetMirrorH(&on), 1);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(head->IsMirrorHSupported(), 0);

    c.writes.clear();
    ASSERT_EQ(head->WriteRegister(200, 0x5A), 1);
    EXPECT_EQ(head->WriteRegister(0x100 + 200, 1), 0);  // would land in register 200
    EXPECT_EQ(head->WriteRegister(200, 0x15A), 0);
    EXPECT_EQ(c.writes, (Writes{{200, 0x5A}}));
    uint32_t value = 0;
    ASSERT_EQ(head->ReadRegister(200, &value), 1);
    EXPECT_EQ(value, 0x5Au);
    EXPECT_EQ(head->SetBitDepth(1), 1);
    EXPECT_EQ(c.writes.size(), 1u);
}

TEST(FpgaTimedControls, OnlyThe512PixelLineHeadHasATrigger) {
    FpgaRecorder c;
    auto q117 = MakeSensorQ117(&c, 0x20);
    ASSERT_EQ(q117->SetTriggerMode(1), 1);
    EXPECT_EQ(c.fpga[36], 2);
    int32_t on = 0;
    ASSERT_EQ(q117->GetTriggerMode(&on), 1);
    EXPECT_EQ(on, 1);
    c.fpga[36] = 3;  // anything but 2 is free run
    ASSERT_EQ(q117->GetTriggerMode(&on), 1);
    EXPECT_EQ(on, 0);
    ASSERT_EQ(q117->SetTriggerMode(0), 1);
    EXPECT_EQ(c.fpga[36], 0);
    EXPECT_EQ(MakeSensorQ116(&c, 0x20)->SetTriggerMode(1), 0);
}

// ---- Opening ----

TEST(FpgaTimedOpen, InGaAsHeadsAdoptTheCamerasExposureAndSetTheirDefaults) {
    FpgaRecorder c;
    c.fpga[22] = 1;  // started
    c.fpga[226] = 0x10;
    c.fpga[227] = 0x27;  // 10000 clocks
    auto q114 = MakeSensorQ114(&c, 0x6C);
    ASSERT_EQ(q114->Initialize(), 1);
    const SensorInfo info = Record(*q114);
    EXPECT_EQ(info.exposureLines.current, 10000);
    EXPECT_EQ(info.exposureLines.defaultValue, 10000);
    EXPECT_EQ(c.fpga[146], 64);
    EXPECT_EQ(AreaOf(*q114), (Area{0, 640, 0, 512, 0}));
    // The gain is the only write: the area is the FPGA's whole array already.
    EXPECT_EQ(c.writes, (Writes{{146, 64}}));

    FpgaRecorder refusing;
    refusing.fpga[22] = 1;
    refusing.writesLeft = 0;
    EXPECT_EQ(MakeSensorQ115(&refusing, 0x6C)->Initialize(), 0);
    EXPECT_EQ(MakeSensorQ115(nullptr, 0x6C)->Initialize(), 0);
}

TEST(FpgaTimedOpen, LineHeadsStartWith64LinesPerFrame) {
    FpgaRecorder c;
    auto q122 = MakeSensorQ122(&c, 0x20);
    ASSERT_EQ(q122->Initialize(), 1);
    Writes expected{{146, 64}};
    for (const auto& w : ExposureWrites(1500)) expected.push_back(w);
    expected.insert(expected.end(), {{64, 64}, {65, 0}});
    EXPECT_EQ(c.writes, expected);
    EXPECT_EQ(Record(*q122).areaHeight, 64);
    EXPECT_EQ(Record(*q122).areaWidth, 2048);

    // The 512-pixel head writes its start-up settings between the exposure
    // and the line count.
    FpgaRecorder d;
    auto q117 = MakeSensorQ117(&d, 0x20);
    ASSERT_EQ(q117->Initialize(), 1);
    expected = {{146, 64}};
    for (const auto& w : ExposureWrites(3000)) expected.push_back(w);
    expected.insert(expected.end(), {{144, 0}, {242, 8}, {243, 0}, {144, 0}, {64, 64}, {65, 0}});
    EXPECT_EQ(d.writes, expected);
    FpgaRecorder unreadable;
    unreadable.readable = false;
    EXPECT_EQ(MakeSensorQ116(&unreadable, 0x20)->Initialize(), 0);
}

// ---- Temperature ----

TEST(Thermistor, ConvertsBothWaysAndRefusesWhatTheDividerCannotShow) {
    ASSERT_TRUE(fpga_timed::ThermistorCelsius(506));
    EXPECT_NEAR(*fpga_timed::ThermistorCelsius(506), 25.0, 0.05);  // R = 1 (10 kOhm)
    EXPECT_EQ(fpga_timed::ThermistorCode(25.0), 505);
    EXPECT_EQ(fpga_timed::ThermistorCode(-20.0), 86);
    // Warmer reads a higher code, and a code converts back to within one
    // code's step of its temperature.
    uint16_t previous = 0;
    for (double t = -60; t <= 80; t += 5) {
        const std::optional<uint16_t> code = fpga_timed::ThermistorCode(t);
        ASSERT_TRUE(code);
        EXPECT_GT(*code, previous);
        previous = *code;
        const std::optional<double> back = fpga_timed::ThermistorCelsius(*code);
        ASSERT_TRUE(back);
        EXPECT_LE(std::fabs(*back - t), 2.0) << t;
    }
    // No resistance: an open or shorted thermistor, not a temperature.
    EXPECT_FALSE(fpga_timed::ThermistorCelsius(0));
    EXPECT_FALSE(fpga_timed::ThermistorCelsius(1024));
    EXPECT_FALSE(fpga_timed::ThermistorCelsius(0xFFFF));
    EXPECT_FALSE(fpga_timed::ThermistorCode(-273.15));
    EXPECT_FALSE(fpga_timed::ThermistorCode(-300.0));
    EXPECT_FALSE(fpga_timed::ThermistorCode(std::nan("")));
}

class CooledHeadTest : public VirtualHeadFixture {
protected:
    void SetUp() override {
        head_ = Connect(0x3220, std::make_unique<emulator::FpgaTimedHead>(emulator::LookupVirtualModel(0x3220)));
        sensor_ = std::make_unique<CSensorG1467x>(controller_.get(), 0x6C);
        sensor_->SetModelVariant(105);
    }
    emulator::FpgaTimedHead* head_ = nullptr;
    std::unique_ptr<CSensorG1467x> sensor_;
};

TEST_F(CooledHeadTest, OpeningTakesTheVariantsLongestExposureAndTheHeadsTarget) {
    ASSERT_EQ(sensor_->Initialize(), 1);
    EXPECT_EQ(Record(*sensor_).exposureTime.max, 100000000);
    // The head powers up holding code 505 (24.98 degrees): the nearest
    // whole degree is the 25 it was set to, not 24.
    EXPECT_DOUBLE_EQ(sensor_->LastTarget(), 25.0);
    double target = 0;
    ASSERT_EQ(sensor_->GetTargetTemperature(&target), 1);
    EXPECT_DOUBLE_EQ(target, 25.0);
    EXPECT_EQ(sensor_->IsCoolingSupported(), 1);
    EXPECT_EQ(sensor_->IsTargetTemperatureSupported(), 1);
}

TEST_F(CooledHeadTest, TheThermistorFollowsTheTargetWhileTheCoolerRuns) {
    ASSERT_EQ(sensor_->Initialize(), 1);
    // With the cooler off the target is kept, not committed.
    EXPECT_EQ(sensor_->SetTargetTemperature(-20.0), 0);
    EXPECT_DOUBLE_EQ(sensor_->LastTarget(), -20.0);
    EXPECT_EQ(head_->SetPointCode(), 505);
    // Switching on commits it.
    ASSERT_EQ(sensor_->SetCooling(1), 1);
    int32_t on = 0;
    ASSERT_EQ(sensor_->GetCooling(&on), 1);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(head_->SetPointCode(), 86);
    double target = 0;
    ASSERT_EQ(sensor_->GetTargetTemperature(&target), 1);
    EXPECT_DOUBLE_EQ(target, -20.0);  // the nearest whole degree of code 86 (-20.2)
    // Each reading is colder until the target is reached, and stays there.
    double previous = 100;
    double t = 0;
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(sensor_->GetTemperature(&t), 1);
        EXPECT_LE(t, previous);
        previous = t;
    }
    EXPECT_NEAR(t, -20.0, 0.5);
    // Off: back toward ambient.
    ASSERT_EQ(sensor_->SetCooling(0), 1);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(sensor_->GetTemperature(&t), 1);
    EXPECT_NEAR(t, 25.0, 0.5);
    // Not a temperature: refused, and the last target stays.
    EXPECT_EQ(sensor_->SetTargetTemperature(-300.0), 0);
    EXPECT_DOUBLE_EQ(sensor_->LastTarget(), -20.0);
}

TEST(CooledHead, AThermistorReadingOpenOrShortedIsAFailureNotATemperature) {
    FpgaRecorder c;
    CSensorG1467x head(&c, 0x6C);
    double t = 99;
    c.fpga[4] = 0xFA;
    c.fpga[5] = 0x01;  // 506
    ASSERT_EQ(head.GetTemperature(&t), 1);
    EXPECT_NEAR(t, 25.0, 0.05);
    // The read latches the code first: 84 = 2, then command 0 and 2 on 82.
    EXPECT_EQ(c.writes, (Writes{{84, 2}, {82, 0}, {82, 2}}));
    for (uint8_t high : {0x00, 0x04}) {  // code 0 (open), 1024 (shorted)
        c.fpga[4] = 0;
        c.fpga[5] = high;
        t = 99;
        EXPECT_EQ(head.GetTemperature(&t), 0);
        EXPECT_EQ(t, 99);
    }
    c.readable = false;
    EXPECT_EQ(head.GetTemperature(&t), 0);
}

// ---- Through the engine, against the virtual camera ----

class FpgaTimedEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallDeviceDrivers();
        emulator::Emulator::Instance().Reset();
    }
    void TearDown() override { emulator::Emulator::Instance().Reset(); }

    std::shared_ptr<emulator::VirtualCamera> Plug(uint16_t model, emulator::SceneKind kind) {
        auto camera = emulator::Emulator::Instance().Find(emulator::Emulator::Instance().Plug(model));
        camera->SetUnthrottled(true);
        emulator::SceneSettings scene = camera->Scene();
        scene.kind = kind;
        scene.flatRed = scene.flatGreen = scene.flatBlue = 0.2;
        camera->SetScene(scene);
        return camera;
    }
    static bool Open(CVantixU3K9Base& engine, uint16_t model) {
        engine.SetModelId(model);
        engine.Open(0, nullptr);
        return engine.EnumerateDevices(model) == 1 && engine.SelectDevice(0) == 1;
    }
    // One 8-bit snapshot, rows in the order the camera sends them; empty
    // when no frame came.
    static std::vector<uint8_t> Snapshot(CVantixU3K9Base& engine) {
        engine.SetBitMode(0);
        engine.CaptureSingleFrame();
        if (engine.WaitFrame(0) == kWaitTransferFailed) return {};
        std::vector<uint8_t> frame(engine.FrameBytes());
        engine.CopyFirstSlot(frame.data(), 0, 0, 0, 1);
        return frame;
    }
    static double Mean(const std::vector<uint8_t>& frame) {
        if (frame.empty()) return -1;
        return std::accumulate(frame.begin(), frame.end(), 0.0) / static_cast<double>(frame.size());
    }
};

TEST_F(FpgaTimedEngineTest, InGaAsExposureAndGainShapeThePicture) {
    Plug(0x3150, emulator::SceneKind::Flat);
    CVantixUSB3K9SimpleSdk engine;
    ASSERT_TRUE(Open(engine, 0x3150));
    ASSERT_TRUE(engine.SetGain(64));
    ASSERT_TRUE(engine.SetExposureTime(100));
    const double shorter = Mean(Snapshot(engine));
    ASSERT_GT(shorter, 0);
    EXPECT_EQ(engine.FrameBytes(), 640u * 512u);
    ASSERT_TRUE(engine.SetExposureTime(200));
    const double longer = Mean(Snapshot(engine));
    EXPECT_NEAR(longer / shorter, 2.0, 0.1);
    ASSERT_TRUE(engine.SetGain(128));
    EXPECT_NEAR(Mean(Snapshot(engine)) / longer, 2.0, 0.1);
    engine.Close();
}

TEST_F(FpgaTimedEngineTest, CooledHeadsExposureStepsReachThePicture) {
    Plug(0x3220, emulator::SceneKind::Flat);
    CVantixUSB3K9SimpleSdk engine;
    ASSERT_TRUE(Open(engine, 0x3220));
    ASSERT_TRUE(engine.SetGain(64));
    ASSERT_TRUE(engine.SetExposureTime(500));  // 50 ms: no step
    const double shortest = Mean(Snapshot(engine));
    ASSERT_GT(shortest, 0);
    ASSERT_TRUE(engine.SetExposureTime(1300));  // 10 steps: 130 ms
    EXPECT_NEAR(Mean(Snapshot(engine)) / shortest, 2.6, 0.15);
    engine.Close();
}

TEST_F(FpgaTimedEngineTest, LineHeadFramesAreAsTallAsTheProgrammedLinesAndContinueThePattern) {
    auto camera = Plug(0x3210, emulator::SceneKind::Moving);
    CVantixUSB3K9SimpleSdk engine;
    ASSERT_TRUE(Open(engine, 0x3210));
    constexpr uint32_t kWidth = 2048;
    for (uint32_t lines : {64u, 1000u, 32768u}) {
        SCOPED_TRACE("lines " + std::to_string(lines));
        ASSERT_TRUE(engine.SetCaptureWindow(0, 0, kWidth, static_cast<int32_t>(lines), 0));
        const std::vector<uint8_t> frame = Snapshot(engine);
        ASSERT_EQ(frame.size(), size_t{kWidth} * lines);
        // On the wire: the line count in FPGA registers 64 and 65.
        EXPECT_EQ(camera->FpgaRegister(64) | camera->FpgaRegister(65) << 8, static_cast<int>(lines));
        // In the picture: every line is the one before it moved on by one
        // step of the pattern (two samples).
        for (uint32_t y = 1; y < lines; y += lines / 16 + 1) {
            const uint8_t* above = frame.data() + size_t{y - 1} * kWidth;
            const uint8_t* line = frame.data() + size_t{y} * kWidth;
            ASSERT_TRUE(std::equal(line, line + kWidth - 2, above + 2)) << "line " << y;
        }
    }
    engine.Close();
}

}  // namespace
}  // namespace vantix
