// The Aptina sensor classes against a recording controller whose serial bus
// reaches the sensor's emulator personality: what goes over the wire (order,
// addresses, values), what the record says afterwards, and that refused
// requests send nothing. A last group runs MT9J001 over a virtual camera.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "emulator/emulator.h"
#include "emulator/personalities/aptina_personality.h"
#include "sensors/aptina/aptina_sensors.h"
#include "sensors/aptina/sensor_mt9j001.h"
#include "transport/device_drivers.h"
#include "transport/device_table.h"
#include "transport/usb_trace.h"
#include "transport/controller.h"

namespace vantix {
namespace {

using emulator::AptinaPersonality;
using emulator::AptinaSensorKind;
using Writes = std::vector<std::pair<uint32_t, uint32_t>>;

// Every transfer is logged; bus traffic to the sensor's address reaches the
// personality.
class RecordingController : public CControllerBase {
public:
    enum class Kind { BusWrite, BusRead, CameraWrite, CameraRead, FpgaWrite, FpgaRead, Abort };
    struct Transfer {
        Kind kind;
        uint32_t address;
        std::vector<uint8_t> bytes;
    };

    RecordingController(AptinaSensorKind kind, uint8_t sensorAddress) : sensor(kind), address_(sensorAddress) {}

    int32_t Release() override { return 1; }
    int32_t SelectDeviceIndex(int32_t) override { return 1; }
    int32_t ReadRegister16(uint16_t* value) override {
        *value = 0;
        return 1;
    }
    int32_t BusWrite(uint8_t address, const uint8_t* data, size_t count, uint32_t) override {
        log.push_back({Kind::BusWrite, address, {data, data + count}});
        return !failBus && address == address_ && sensor.Write(data, count);
    }
    int32_t BusRead(uint8_t address, uint8_t* data, size_t count, uint32_t) override {
        log.push_back({Kind::BusRead, address, {}});
        return !failBus && (address & ~1u) == address_ && sensor.Read(data, count);
    }
    int32_t WriteCameraRegister(uint16_t address, uint32_t value) override {
        log.push_back({Kind::CameraWrite, address, {}});
        cameraRegisters[address] = value;
        return 1;
    }
    int32_t ReadCameraRegister(uint16_t address, uint32_t* value) override {
        log.push_back({Kind::CameraRead, address, {}});
        *value = cameraRegisters[address] & 0xFFFF;
        return 1;
    }
    int32_t SendWordPair(uint16_t, uint16_t) override { return 0; }
    int32_t QueryWord(uint16_t, uint32_t*) override { return 0; }
    int32_t WriteFpgaRegister(uint8_t reg, uint8_t value) override {
        log.push_back({Kind::FpgaWrite, reg, {value}});
        fpga[reg] = value;
        return 1;
    }
    int32_t ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
        log.push_back({Kind::FpgaRead, reg, {}});
        *value = fpga[reg];
        return 1;
    }
    int32_t WriteAuxRegister(uint8_t, uint8_t) override { return 0; }
    int32_t ReadAuxRegister(uint8_t, uint8_t*) override { return 0; }
    int32_t AbortStream() override {
        log.push_back({Kind::Abort, 0, {}});
        return 1;
    }

    // Register writes on the bus, decoded from either format.
    Writes SensorWrites() const {
        Writes writes;
        for (const Transfer& t : log) {
            const std::vector<uint8_t>& b = t.bytes;
            if (t.kind != Kind::BusWrite) continue;
            if (b.size() == 4) writes.emplace_back(b[0] << 8 | b[1], b[2] << 8 | b[3]);
            if (b.size() == 3) writes.emplace_back(b[0], b[1] << 8 | b[2]);
        }
        return writes;
    }
    size_t Count(Kind kind) const {
        size_t n = 0;
        for (const Transfer& t : log) n += t.kind == kind;
        return n;
    }

    AptinaPersonality sensor;
    std::vector<Transfer> log;
    std::map<uint16_t, uint32_t> cameraRegisters;
    std::array<uint8_t, 256> fpga{};
    bool failBus = false;

private:
    uint8_t address_;
};

SensorInfo Record(CSensorBase& sensor) {
    SensorInfo info{};
    sensor.GetSensorInfo(&info);
    return info;
}

bool SameRecord(const SensorInfo& a, const SensorInfo& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// ---- Bus formats ----

TEST(AptinaBus, SixteenAndEightBitAddressFormatsOnTheWire) {
    RecordingController wide(AptinaSensorKind::MT9J001, 0x20);
    auto j = MakeSensorMT9J001(&wide, 0x20);
    ASSERT_TRUE(j->WriteRegister(0x3040, 0x1234));
    uint32_t value = 0;
    ASSERT_TRUE(j->ReadRegister(0x3040, &value));
    EXPECT_EQ(value, 0x1234u);
    ASSERT_EQ(wide.log.size(), 3u);
    EXPECT_EQ(wide.log[0].bytes, (std::vector<uint8_t>{0x30, 0x40, 0x12, 0x34}));
    EXPECT_EQ(wide.log[1].bytes, (std::vector<uint8_t>{0x30, 0x40}));
    EXPECT_EQ(wide.log[2].kind, RecordingController::Kind::BusRead);

    RecordingController narrow(AptinaSensorKind::MT9P001, 0x90);
    auto p = MakeSensorMT9P001(&narrow, 0x90);
    ASSERT_TRUE(p->WriteRegister(0x35, 0xABCD));
    ASSERT_TRUE(p->ReadRegister(0x35, &value));
    EXPECT_EQ(value, 0xABCDu);
    EXPECT_EQ(narrow.log[0].bytes, (std::vector<uint8_t>{0x35, 0xAB, 0xCD}));
    EXPECT_EQ(narrow.log[1].bytes, (std::vector<uint8_t>{0x35}));
    EXPECT_EQ(narrow.log[1].address, 0x90u);

    // What a register cannot hold is refused before anything is sent.
    narrow.log.clear();
    EXPECT_FALSE(p->WriteRegister(0x100, 1));
    EXPECT_FALSE(p->WriteRegister(0x35, 0x10000));
    EXPECT_FALSE(j->WriteRegister(0x10000, 1));
    EXPECT_TRUE(narrow.log.empty());

    auto orphan = MakeSensorMT9F001(nullptr, 0x20);
    EXPECT_FALSE(orphan->WriteRegister(0x3040, 1));
    EXPECT_FALSE(orphan->ReadRegister(0x3040, &value));
    EXPECT_FALSE(orphan->Initialize());
}

// ---- MT9J001 ----

class MT9J001Test : public ::testing::Test {
protected:
    RecordingController bus{AptinaSensorKind::MT9J001, 0x20};
    std::unique_ptr<CSensorBase> sensor = MakeSensorMT9J001(&bus, 0x20);
};

TEST_F(MT9J001Test, DetectAcceptsOnlyItsChipVersion) {
    EXPECT_TRUE(sensor->Detect());
    bus.sensor.SetWord(0, 0x2C02);
    EXPECT_FALSE(sensor->Detect());
    bus.sensor.SetWord(0, 0x2C01);
    bus.failBus = true;
    EXPECT_FALSE(sensor->Detect());
}

TEST_F(MT9J001Test, FullWindowInModeZeroWritesTheWindowUnderParameterHold) {
    ASSERT_TRUE(sensor->SetArea(8, 3840, 8, 2752, 0));
    const Writes expected = {
        {0x0104, 1},    {0x0344, 40},   {0x0348, 3879},  {0x0346, 18},    {0x034A, 2769},
        {0x0400, 0},    {0x0404, 16},   {0x034C, 3840},  {0x034E, 2752},  {0x0400, 0},
        {0x0404, 16},   {0x0342, 4436}, {0x0340, 2988},  {0x3010, 256},   {0x3014, 1386},
        {0x3018, 0},    {0x301A, 0x10DE}, {0x3040, 0x0041}, {0x0104, 0},
        {0x0202, 3163},  // 175.4 ms at 0.5545 x 0.1 ms per line
    };
    EXPECT_EQ(bus.SensorWrites(), expected);
    int32_t x, w, y, h, mode;
    sensor->GetArea(&x, &w, &y, &h, &mode);
    EXPECT_EQ((std::array{x, w, y, h, mode}), (std::array{8, 3840, 8, 2752, 0}));
    EXPECT_EQ(Record(*sensor).totalWidth, 4436);
    EXPECT_EQ(Record(*sensor).totalHeight, 2988);
}

TEST_F(MT9J001Test, BinnedWindowHalvesTheOutputAndUsesTheMinimumLineLength) {
    ASSERT_TRUE(sensor->SetArea(64, 1920, 32, 1080, 1));
    const Writes expected = {
        {0x0104, 1},    {0x0344, 96},   {0x0348, 2015},  {0x0346, 42},    {0x034A, 1121},
        {0x0400, 0},    {0x0404, 16},   {0x034C, 960},   {0x034E, 540},   {0x0400, 0},
        {0x0404, 16},   {0x0342, 1816}, {0x0340, 776},   {0x3010, 256},   {0x3014, 1386},
        {0x3018, 0},    {0x301A, 0x10DE}, {0x3040, 0x04C3}, {0x0104, 0},
        {0x0202, 7726},  // the same 175.4 ms in the shorter lines
    };
    EXPECT_EQ(bus.SensorWrites(), expected);
    const SensorInfo info = Record(*sensor);
    EXPECT_EQ(info.areaWidth, 960);
    EXPECT_EQ(info.areaHeight, 540);
    EXPECT_EQ(info.areaMode, 1);
    EXPECT_EQ(info.totalWidth, 1816);
    EXPECT_EQ(info.totalHeight, 776);
    EXPECT_EQ(info.exposureTime.current, 1754);
}

TEST_F(MT9J001Test, RefusedWindowsSendNothingAndLeaveTheRecord) {
    const SensorInfo before = Record(*sensor);
    const std::array<int32_t, 5> bad[] = {
        {-2, 3840, 8, 2752, 0},  {8, 3840, -2, 2752, 0}, {8, 304, 8, 2752, 0},   {8, 3840, 8, 6, 0},
        {32, 3840, 8, 2752, 0},  {8, 3840, 16, 2752, 0}, {8, 3840, 8, 2752, 3},  {8, 3840, 8, 2752, -1},
        {1, 3840, 8, 2752, 0},   {8, 3832, 8, 2752, 0},  {8, 3840, 8, 2751, 0},  {2, 1920, 0, 1080, 1},
        {0, 1920, 0, 1084, 1},   {0, 1952, 0, 1088, 2},  {0, 1920, 0, 1080, 2},  {8, INT_MAX, 8, 2752, 0},
        {INT_MAX, 3840, 8, 2752, 0},
    };
    for (const auto& a : bad) {
        EXPECT_FALSE(sensor->SetArea(a[0], a[1], a[2], a[3], a[4])) << a[0] << "," << a[1] << "," << a[2] << ","
                                                                      << a[3] << " mode " << a[4];
    }
    EXPECT_TRUE(bus.log.empty());
    EXPECT_TRUE(SameRecord(before, Record(*sensor)));
    // The mode-1 height that MT9J001 refuses is on MT9F001's grid.
    RecordingController other(AptinaSensorKind::MT9F001, 0x20);
    EXPECT_TRUE(MakeSensorMT9F001(&other, 0x20)->SetArea(0, 1920, 0, 1084, 1));
}

TEST_F(MT9J001Test, GainCodesAreEncodedPerRegisterAndOutOfRangeCodesRefused) {
    ASSERT_TRUE(sensor->SetGain(100));
    ASSERT_TRUE(sensor->SetColorGainRed(1));
    ASSERT_TRUE(sensor->SetColorGainGreen1(2));
    ASSERT_TRUE(sensor->SetColorGainGreen2(3));
    ASSERT_TRUE(sensor->SetColorGainBlue(127));
    EXPECT_EQ(bus.SensorWrites(),
              (Writes{{0x305E, 0x10E4}, {0x305A, 0x1081}, {0x3056, 0x1082}, {0x305C, 0x1083}, {0x3058, 0x10FF}}));
    int32_t g = 0, r = 0, g1 = 0, g2 = 0, b = 0;
    sensor->GetGain(&g);
    sensor->GetColorGainRed(&r);
    sensor->GetColorGainGreen1(&g1);
    sensor->GetColorGainGreen2(&g2);
    sensor->GetColorGainBlue(&b);
    EXPECT_EQ((std::array{g, r, g1, g2, b}), (std::array{100, 1, 2, 3, 127}));

    bus.log.clear();
    EXPECT_FALSE(sensor->SetGain(128));
    EXPECT_FALSE(sensor->SetColorGainBlue(-1));
    EXPECT_TRUE(bus.log.empty());
    sensor->GetGain(&g);
    EXPECT_EQ(g, 100);

    RecordingController other(AptinaSensorKind::MT9F001, 0x20);
    ASSERT_TRUE(MakeSensorMT9F001(&other, 0x20)->SetGain(100));
    EXPECT_EQ(other.SensorWrites(), (Writes{{0x305E, 0x1164}}));
}

TEST_F(MT9J001Test, ClockModesProgramThePllAndReadBack) {
    const Writes pll[3] = {
        {{0x0300, 5}, {0x0302, 2}, {0x0304, 3}, {0x0306, 40}, {0x0308, 10}, {0x030A, 2}},
        {{0x0300, 5}, {0x0302, 4}, {0x0304, 3}, {0x0306, 40}, {0x0308, 10}, {0x030A, 4}},
        {{0x0300, 3}, {0x0302, 1}, {0x0304, 3}, {0x0306, 40}, {0x0308, 6}, {0x030A, 1}},
    };
    const int32_t clock[3] = {32000, 16000, 80000};
    for (int32_t mode : {0, 1, 2}) {
        bus.log.clear();
        ASSERT_TRUE(sensor->SetClockMode(mode));
        Writes expected = {{0x301A, 0}};
        expected.insert(expected.end(), pll[mode].begin(), pll[mode].end());
        expected.insert(expected.end(), {{0x301A, 0x10DC}, {0x3040, 0x0041}});
        EXPECT_EQ(bus.SensorWrites(), expected) << "mode " << mode;
        EXPECT_EQ(Record(*sensor).pixelClockKHz, clock[mode]);
        int32_t readBack = -1;
        ASSERT_TRUE(sensor->GetClockMode(&readBack));
        EXPECT_EQ(readBack, mode);
    }
    bus.log.clear();
    EXPECT_FALSE(sensor->SetClockMode(3));
    EXPECT_FALSE(sensor->SetClockMode(-1));
    EXPECT_EQ(bus.Count(RecordingController::Kind::BusWrite), 0u);
    EXPECT_EQ(Record(*sensor).pixelClockKHz, 80000);
    bus.sensor.SetWord(0x0302, 3);  // no mode uses this divider
    int32_t readBack = -1;
    EXPECT_FALSE(sensor->GetClockMode(&readBack));
}

TEST_F(MT9J001Test, ExposureTimeBecomesLinesOfTheCurrentLineTime) {
    // 4436 pixels at 80 MHz: 0.5545 (0.1 ms) per line.
    ASSERT_TRUE(sensor->SetExposureTime(100));
    int32_t lines = 0, time = 0;
    sensor->GetExposureLines(&lines);
    sensor->GetExposureTime(&time);
    EXPECT_EQ(lines, 180);
    EXPECT_EQ(time, 100);
    // Beyond the lines maximum: the maximum, and the time it really gives.
    ASSERT_TRUE(sensor->SetExposureTime(20000));
    sensor->GetExposureLines(&lines);
    sensor->GetExposureTime(&time);
    EXPECT_EQ(lines, 32767);
    EXPECT_EQ(time, 18169);
    EXPECT_EQ(bus.SensorWrites(), (Writes{{0x0202, 180}, {0x0202, 32767}}));

    // Shorter than a line: one line. At 16 MHz a line takes 2.7725.
    ASSERT_TRUE(sensor->SetClockMode(1));
    ASSERT_TRUE(sensor->SetExposureTime(2));
    sensor->GetExposureLines(&lines);
    EXPECT_EQ(lines, 1);

    bus.log.clear();
    EXPECT_FALSE(sensor->SetExposureTime(0));
    EXPECT_FALSE(sensor->SetExposureTime(-5));
    EXPECT_FALSE(sensor->SetExposureLines(-1));
    EXPECT_FALSE(sensor->SetExposureLines(0x10000));
    EXPECT_TRUE(bus.log.empty());
    sensor->GetExposureTime(&time);
    EXPECT_EQ(time, 2);
}

TEST_F(MT9J001Test, CameraRegisterFlagRoutesEveryTransferAndSkipsThePowerOnTable) {
    ASSERT_TRUE(sensor->SetControlFlags(CSensorMT9J001::kControlCameraRegisterPath));
    ASSERT_TRUE(sensor->SetGain(64));
    EXPECT_EQ(bus.cameraRegisters[0x305E], 0x10C0u);
    bus.cameraRegisters[0x3040] = 0xBEEF0041;
    uint32_t value = 0;
    ASSERT_TRUE(sensor->ReadRegister(0x3040, &value));
    EXPECT_EQ(value, 0x0041u);

    ASSERT_TRUE(sensor->Initialize());
    EXPECT_EQ(bus.Count(RecordingController::Kind::BusWrite), 0u);
    EXPECT_EQ(bus.Count(RecordingController::Kind::BusRead), 0u);
    EXPECT_EQ(bus.cameraRegisters.count(0x316C), 0u);  // first power-on setting
    EXPECT_EQ(bus.cameraRegisters[0x0302], 1u);        // clock mode 2
    EXPECT_EQ(bus.cameraRegisters[0x034C], 3840u);
}

TEST_F(MT9J001Test, InitializeSendsClocksThenPowerOnSettingsThenTheDefaults) {
    ASSERT_TRUE(sensor->Initialize());
    const Writes writes = bus.SensorWrites();
    ASSERT_GT(writes.size(), 30u);
    EXPECT_EQ(writes[0], (std::pair<uint32_t, uint32_t>{0x301A, 0}));
    EXPECT_EQ(writes[2], (std::pair<uint32_t, uint32_t>{0x0302, 1}));
    EXPECT_EQ(writes[9], (std::pair<uint32_t, uint32_t>{0x316C, 0x0429}));
    EXPECT_EQ(writes[25], (std::pair<uint32_t, uint32_t>{0x3070, 4}));
    EXPECT_EQ(writes[26], (std::pair<uint32_t, uint32_t>{0x305E, 0x10C0}));
    EXPECT_EQ(writes.back(), (std::pair<uint32_t, uint32_t>{0x0202, 3163}));
    EXPECT_EQ(bus.sensor.Word(0x034E), 2752);
    EXPECT_DOUBLE_EQ(bus.sensor.Brightness(), 1.0);
}

// ---- MT9F001 and MT9F002 ----

TEST(MT9F001, InitializeLoadsTheSequencerProgramBetweenPllAndTrim) {
    RecordingController bus(AptinaSensorKind::MT9F001, 0x20);
    auto sensor = MakeSensorMT9F001(&bus, 0x20);
    ASSERT_TRUE(sensor->Initialize());
    const Writes writes = bus.SensorWrites();
    ASSERT_EQ(writes.front(), (std::pair<uint32_t, uint32_t>{0x301A, 1}));
    size_t start = 0;
    while (start < writes.size() && writes[start].first != 0x3D00) ++start;
    ASSERT_LT(start + 230, writes.size());
    EXPECT_EQ(writes[start - 1], (std::pair<uint32_t, uint32_t>{0x3EE8, 70}));
    for (size_t i = 0; i < 230; ++i) EXPECT_EQ(writes[start + i].first, 0x3D00 + 2 * i);
    EXPECT_EQ(writes[start + 230], (std::pair<uint32_t, uint32_t>{0x3EDC, 21199}));
    // 175.4 ms in lines of 4920 pixels at 96 MHz, the full window programmed.
    EXPECT_EQ(bus.sensor.Word(0x3012), 3422);
    EXPECT_EQ(bus.sensor.Word(0x034C), 4608);
    EXPECT_EQ(bus.sensor.Word(0x3026), 0xFC7F);
    EXPECT_EQ(Record(*sensor).areaX, 24);
}

TEST(MT9F001, NarrowWindowKeepsTheMinimumLineLengthAndOffsetsColumns) {
    RecordingController bus(AptinaSensorKind::MT9F001, 0x20);
    auto sensor = MakeSensorMT9F001(&bus, 0x20);
    ASSERT_TRUE(sensor->SetArea(0, 1024, 16, 768, 0));
    EXPECT_EQ(bus.sensor.Word(0x0344), 24);
    EXPECT_EQ(bus.sensor.Word(0x0348), 1047);
    EXPECT_EQ(bus.sensor.Word(0x0346), 16);
    EXPECT_EQ(bus.sensor.Word(0x0342), 2760);
    EXPECT_EQ(bus.sensor.Word(0x0340), 914);
    EXPECT_EQ(bus.sensor.Word(0x0400), 2);
    EXPECT_EQ(bus.sensor.Word(0x3040), 0x0241);
    EXPECT_EQ(bus.sensor.Word(0x0104), 0);
    const SensorInfo info = Record(*sensor);
    EXPECT_EQ(info.areaX, 24);
    EXPECT_EQ(info.totalWidth, 2760);
}

TEST(MT9F002, WindowWritesOnlyChangedRegistersThenRestartsTheStream) {
    RecordingController bus(AptinaSensorKind::MT9F002, 0x20);
    auto sensor = MakeSensorMT9F002(&bus, 0x20);
    ASSERT_TRUE(sensor->SetArea(0, 4608, 0, 3288, 0));
    // Scaling, output size, line and frame length and the row start already
    // hold their power-on values.
    EXPECT_EQ(bus.SensorWrites(), (Writes{{0x0104, 1}, {0x0344, 24}, {0x0348, 4631}, {0x034A, 3287},
                                          {0x3010, 256}, {0x3014, 1386}, {0x0104, 0}, {0x3040, 0x0241},
                                          {0x301A, 68}, {0x3012, 3422}}));
    using Kind = RecordingController::Kind;
    std::vector<std::pair<uint32_t, uint8_t>> fpga;
    size_t abortAt = 0, armAt = 0;
    for (size_t i = 0; i < bus.log.size(); ++i) {
        if (bus.log[i].kind == Kind::FpgaWrite) fpga.emplace_back(bus.log[i].address, bus.log[i].bytes[0]);
        if (bus.log[i].kind == Kind::Abort) abortAt = i;
        if (bus.log[i].kind == Kind::FpgaWrite && bus.log[i].address == 16) armAt = i;
    }
    // Line length 4920 - 12 and height 3288, high bytes first.
    EXPECT_EQ(fpga, (std::vector<std::pair<uint32_t, uint8_t>>{{11, 19}, {12, 44}, {13, 12}, {14, 216}, {16, 128}}));
    EXPECT_EQ(bus.Count(Kind::Abort), 1u);
    EXPECT_LT(abortAt, armAt);

    bus.log.clear();
    sensor->ResetReadout();
    ASSERT_EQ(bus.log.size(), 1u);
    EXPECT_EQ(bus.log[0].kind, Kind::Abort);
}

// ---- MT9P001 ----

class MT9P001Test : public ::testing::Test {
protected:
    RecordingController bus{AptinaSensorKind::MT9P001, 0x90};
    std::unique_ptr<CSensorBase> sensor = MakeSensorMT9P001(&bus, 0x90);
};

TEST_F(MT9P001Test, WindowsSetSkipBitsAndBlankingAndTheSensorTimesThem) {
    ASSERT_TRUE(sensor->SetArea(64, 1280, 32, 960, 2));
    EXPECT_EQ(bus.SensorWrites(), (Writes{{0x22, 0x33}, {0x23, 0x33}, {0x01, 84}, {0x02, 80}, {0x03, 959},
                                          {0x04, 1279}, {0x05, 1528}, {0x06, 146}, {0x09, 7593}}));
    const SensorInfo info = Record(*sensor);
    EXPECT_EQ(info.areaWidth, 320);
    EXPECT_EQ(info.areaHeight, 240);
    EXPECT_EQ(info.totalWidth, 1848);
    // The personality reads the same line length back from the registers;
    // the exposure (7593 lines) stretches the frame.
    EXPECT_EQ(bus.sensor.LineLengthPixels(), 1848u);
    EXPECT_EQ(bus.sensor.FramePeriodUs(), uint64_t{1848} * 7594 * 1000 / 80000);

    bus.log.clear();
    ASSERT_TRUE(sensor->SetArea(0, 2592, 0, 1944, 0));
    EXPECT_EQ(bus.SensorWrites()[0], (std::pair<uint32_t, uint32_t>{0x22, 0}));
    EXPECT_EQ(bus.sensor.Word(0x04), 2591);
}

TEST_F(MT9P001Test, MirrorsTriggerAndGainClamp) {
    ASSERT_TRUE(sensor->SetMirrorH(1));
    ASSERT_TRUE(sensor->SetMirrorV(1));
    EXPECT_EQ(bus.SensorWrites(), (Writes{{0x20, 0x8040}, {0x01, 56}, {0x20, 0xC040}}));
    ASSERT_TRUE(sensor->SetArea(0, 2592, 8, 1936, 0));
    EXPECT_EQ(bus.sensor.Word(0x01), 64);  // 8 + 52 + 4
    ASSERT_TRUE(sensor->SetMirrorH(0));
    EXPECT_EQ(bus.sensor.Word(0x20), 0x4040);
    EXPECT_EQ(bus.sensor.Word(0x01), 60);
    int32_t on = -1;
    sensor->GetMirrorV(&on);
    EXPECT_EQ(on, 1);

    ASSERT_TRUE(sensor->SetTriggerMode(1));
    EXPECT_EQ(bus.sensor.Word(0x1E), 0x4316);
    ASSERT_TRUE(sensor->SetTriggerMode(0));
    EXPECT_EQ(bus.sensor.Word(0x1E), 0x4006);
    sensor->GetTriggerMode(&on);
    EXPECT_EQ(on, 0);

    ASSERT_TRUE(sensor->SetGain(200));
    EXPECT_EQ(bus.sensor.Word(0x35), 63);
    int32_t gain = 0;
    sensor->GetGain(&gain);
    EXPECT_EQ(gain, 63);
    EXPECT_FALSE(sensor->SetGain(-1));
    int32_t clock = -1;
    ASSERT_TRUE(sensor->GetClockMode(&clock));
    EXPECT_EQ(clock, 2);
}

TEST_F(MT9P001Test, AnalogSettingsOnlyOnTheRevisionThatNeedsThem) {
    EXPECT_TRUE(sensor->Detect());
    ASSERT_TRUE(sensor->Initialize());
    EXPECT_EQ(bus.SensorWrites()[0], (std::pair<uint32_t, uint32_t>{0x0D, 0}));
    EXPECT_EQ(bus.sensor.Word(0x10), 0x0053);  // PLL in use
    EXPECT_EQ(bus.sensor.Word(0x3E), 0x0080);

    RecordingController other(AptinaSensorKind::MT9P001, 0x90);
    other.sensor.SetWord(0xFD, 0x0100);
    ASSERT_TRUE(MakeSensorMT9P001(&other, 0x90)->Initialize());
    for (const auto& w : other.SensorWrites()) EXPECT_NE(w.first, 0x3Eu);

    other.sensor.SetWord(0, 0x2C01);
    EXPECT_FALSE(MakeSensorMT9P001(&other, 0x90)->Detect());
}

// ---- MT9J001 over a virtual camera ----

class AptinaOnVirtualCamera : public ::testing::Test {
protected:
    void Plug(uint16_t model) {
        InstallDeviceDrivers();
        emulator::Emulator::Instance().Reset();
        const std::string path = emulator::Emulator::Instance().Plug(model);
        camera_ = emulator::Emulator::Instance().Find(path);
        camera_->ReplaceSensor(emulator::MakeAptinaPersonality(model));
        controller_ = std::make_unique<CVtxCy3Cam>();
        controller_->EnumerateDevices();
        for (int32_t i = 0; i < ProcessDeviceTable().Count(); ++i) {
            if (ProcessDeviceTable().DevicePath(i) == path) {
                ASSERT_TRUE(controller_->SelectDeviceIndex(i));
            }
        }
        sensor_ = MakeSensorMT9J001(controller_.get(), 0x20);
    }
    void TearDown() override {
        SetUsbTraceFile("");
        sensor_.reset();
        controller_.reset();
        emulator::Emulator::Instance().Reset();
    }
    AptinaPersonality& Personality() { return static_cast<AptinaPersonality&>(camera_->Sensor()); }

    std::shared_ptr<emulator::VirtualCamera> camera_;
    std::unique_ptr<CVtxCy3Cam> controller_;
    std::unique_ptr<CSensorBase> sensor_;
};

TEST_F(AptinaOnVirtualCamera, RegistersTravelAsBusRequestsAndExposureAndGainReachThePicture) {
    Plug(0x3040);
    ASSERT_TRUE(sensor_->Detect());
    ASSERT_TRUE(sensor_->Initialize());
    EXPECT_EQ(Personality().Word(0x034C), 3840);
    EXPECT_DOUBLE_EQ(camera_->Sensor().Brightness(), 1.0);
    ASSERT_TRUE(sensor_->SetExposureTime(877));  // half the default time
    EXPECT_NEAR(camera_->Sensor().Brightness(), 0.5, 0.001);
    ASSERT_TRUE(sensor_->SetGain(128 / 4));
    EXPECT_NEAR(camera_->Sensor().Brightness(), 0.25, 0.001);

    const std::string trace = "/tmp/vantix-aptina-trace-" + std::to_string(getpid()) + ".txt";
    unlink(trace.c_str());
    SetUsbTraceFile(trace);
    uint32_t value = 0;
    ASSERT_TRUE(sensor_->WriteRegister(0x3040, 0x0041));
    ASSERT_TRUE(sensor_->ReadRegister(0x3040, &value));
    SetUsbTraceFile("");
    std::ifstream in(trace);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    unlink(trace.c_str());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "ep0 out req=0x30 value=0x0004 index=0x0020 returned=102 result=0");
    EXPECT_EQ(lines[1], "ep0 out req=0x30 value=0x0002 index=0x0020 returned=102 result=0");
    EXPECT_EQ(lines[2], "ep0 in req=0x31 value=0x0002 index=0x0021 returned=40 result=0");
    EXPECT_EQ(value, 0x0041u);
}

TEST_F(AptinaOnVirtualCamera, CameraRegisterPathOfModel3042) {
    Plug(0x3042);
    ASSERT_TRUE(sensor_->SetControlFlags(CSensorMT9J001::kControlCameraRegisterPath));
    ASSERT_TRUE(sensor_->SetGain(100));
    EXPECT_EQ(camera_->CameraRegister(0x305E), 0x10E4u);
    uint32_t value = 0;
    ASSERT_TRUE(sensor_->ReadRegister(0x305E, &value));
    EXPECT_EQ(value, 0x10E4u);
    // The camera hands its registers on to the sensor behind it.
    EXPECT_EQ(Personality().Word(0x305E), 0x10E4);
}

}  // namespace
}  // namespace vantix
