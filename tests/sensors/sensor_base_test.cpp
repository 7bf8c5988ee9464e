// CSensorBase against a scripted controller: the base's "not supported"
// answers, the record getters, the exposure conversions, and the register,
// strobe and bit-depth traffic it produces.
#include "sensors/sensor_base.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace vantix {
namespace {

using Bytes = std::vector<uint8_t>;
using FpgaWrites = std::vector<std::pair<uint8_t, uint8_t>>;

// A bus device with 16-bit register addresses behind a scripted FPGA whose
// register 2 (sensor bus busy) reads 1 for the first `busyReads` reads (-1: always).
class FakeController : public CControllerBase {
public:
    int32_t Release() override { return 1; }
    int32_t SelectDeviceIndex(int32_t) override { return 1; }
    int32_t ReadRegister16(uint16_t*) override { return 1; }
    int32_t BusWrite(uint8_t address, const uint8_t* data, size_t count, uint32_t timeoutMs) override {
        busWrites.push_back({address, Bytes(data, data + count), timeoutMs});
        if (count >= 2) pointer_ = static_cast<uint32_t>(data[0] << 8 | data[1]);
        if (count == 3 && storeWrites) device[pointer_] = data[2];
        return 1;
    }
    int32_t BusRead(uint8_t, uint8_t* data, size_t count, uint32_t) override {
        ++busReads;
        for (size_t i = 0; i < count; ++i) data[i] = device[pointer_];
        return 1;
    }
    int32_t WriteCameraRegister(uint16_t, uint32_t) override { return 1; }
    int32_t ReadCameraRegister(uint16_t, uint32_t*) override { return 1; }
    int32_t SendWordPair(uint16_t, uint16_t) override { return 1; }
    int32_t QueryWord(uint16_t, uint32_t*) override { return 1; }
    int32_t WriteFpgaRegister(uint8_t reg, uint8_t value) override {
        fpgaWrites.emplace_back(reg, value);
        return 1;
    }
    int32_t ReadFpgaRegister(uint8_t reg, uint8_t* value) override {
        const int n = ++fpgaReads[reg];
        *value = (reg == 2 && (busyReads < 0 || n <= busyReads)) ? 1 : fpga[reg];
        return 1;
    }
    int32_t WriteAuxRegister(uint8_t, uint8_t) override { return 1; }
    int32_t ReadAuxRegister(uint8_t, uint8_t*) override { return 1; }
    int32_t AbortStream() override { return 1; }

    struct BusWriteRecord {
        uint8_t address;
        Bytes bytes;
        uint32_t timeoutMs;
    };
    std::vector<BusWriteRecord> busWrites;
    int busReads = 0;
    FpgaWrites fpgaWrites;
    std::map<uint8_t, int> fpgaReads;
    std::map<uint8_t, uint8_t> fpga;
    std::map<uint32_t, uint8_t> device;
    bool storeWrites = true;
    int busyReads = 0;

private:
    uint32_t pointer_ = 0;
};

// A head whose register slots use the bus helpers and whose exposure
// conversion records what it is given.
class TestSensor : public CSensorBase {
public:
    using CSensorBase::CSensorBase;
    using CSensorBase::ApplyBitDepth;
    using CSensorBase::BusReadRegister8;
    using CSensorBase::BusWriteRegister8;
    using CSensorBase::ReadRegisterCheckedVia;
    using CSensorBase::SetExposureSecondsThroughMicroseconds;
    using CSensorBase::SetExposureTimeThroughMicroseconds;
    using CSensorBase::WriteRegisterCheckedVia;
    SensorInfo& Record() { return info_; }
    int32_t WriteRegister(uint32_t address, uint32_t value) override { return BusWriteRegister8(address, value); }
    int32_t ReadRegister(uint32_t address, uint32_t* value) override { return BusReadRegister8(address, value); }
    std::vector<uint64_t> micros;
    int32_t conversionResult = 1;

protected:
    int32_t SetExposureMicroseconds(uint64_t microseconds) override {
        micros.push_back(microseconds);
        return conversionResult;
    }
};

class SensorBaseTest : public ::testing::Test {
protected:
    static constexpr uint8_t kDevice = 0x48;
    FakeController controller_;
    TestSensor sensor_{&controller_, kDevice};
    TestSensor detached_{nullptr, kDevice};
};

TEST_F(SensorBaseTest, BaseOnlyOperationsReturnZeroAndChangeNothing) {
    SensorInfo& r = sensor_.Record();
    r.colorGainRed = {0, 63, 10, 8, 1};
    r.exposureTime = {1, 1000, 50, 100, 1};
    const SensorInfo before = r;
    int32_t value = -7;
    EXPECT_EQ(sensor_.SetArea(0, 320, 0, 240, 1), 0);
    EXPECT_EQ(sensor_.SetColorGainRed(40), 0);
    EXPECT_EQ(sensor_.GetColorGainRed(&value), 0);
    EXPECT_EQ(sensor_.SetChannelGain(0, 5), 0);
    EXPECT_EQ(sensor_.SetExposureTime(500), 0);
    EXPECT_EQ(sensor_.CSensorBase::WriteRegisterChecked(0x3000, 1), 0);
    EXPECT_EQ(value, -7);
    EXPECT_EQ(std::memcmp(&before, &r, sizeof(SensorInfo)), 0);
    EXPECT_TRUE(controller_.busWrites.empty() && controller_.fpgaWrites.empty() && controller_.fpgaReads.empty());
    EXPECT_EQ(sensor_.GetOutputMode(), -1);
    EXPECT_EQ(sensor_.GetScanMode(), -1);
}

TEST_F(SensorBaseTest, RecordGetters) {
    EXPECT_EQ(sensor_.GetSensorInfo(nullptr), 0);
    auto* bytes = reinterpret_cast<uint8_t*>(&sensor_.Record());
    for (size_t i = 0; i < sizeof(SensorInfo); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    SensorInfo copy{};
    ASSERT_EQ(sensor_.GetSensorInfo(&copy), 1);
    EXPECT_EQ(std::memcmp(&copy, bytes, 344), 0);

    SensorInfo& r = sensor_.Record();
    r.areaX = 8, r.areaY = 9, r.areaWidth = 10, r.areaHeight = 11, r.areaMode = 14;
    int32_t x = 0, w = 0, y = 0, h = 0, mode = 0;
    ASSERT_EQ(sensor_.GetArea(&x, &w, &y, &h, &mode), 1);
    EXPECT_EQ((std::vector<int32_t>{x, w, y, h, mode}), (std::vector<int32_t>{8, 10, 9, 11, 14}));
    EXPECT_EQ(sensor_.GetArea(nullptr, nullptr, nullptr, nullptr, nullptr), 1);

    // Without black-level support the stored word is written but the result is 0.
    r.blackLevel = {2, 200, 54, 55, 0};
    int32_t v = -1;
    EXPECT_EQ(sensor_.GetBlackLevel(&v), 0);
    EXPECT_EQ(v, 54);
    r.blackLevel.stepOrSupported = 1;
    EXPECT_EQ(sensor_.GetBlackLevelDefault(&v), 1);
    EXPECT_EQ(v, 55);
    EXPECT_EQ(sensor_.GetBlackLevel(nullptr), 1);
}

TEST_F(SensorBaseTest, ExposureTimeIsClampedAndMirroredInSeconds) {
    SensorInfo& r = sensor_.Record();
    r.exposureTime = {5, 20000, 100, 100, 1};
    ASSERT_EQ(sensor_.SetExposureTimeThroughMicroseconds(1), 1);
    EXPECT_EQ(r.exposureTime.current, 5);
    EXPECT_EQ(sensor_.micros.back(), 500u);
    EXPECT_DOUBLE_EQ(r.exposureSeconds, 0.0005);
    ASSERT_EQ(sensor_.SetExposureTimeThroughMicroseconds(999999), 1);
    EXPECT_EQ(r.exposureTime.current, 20000);
    EXPECT_DOUBLE_EQ(r.exposureSeconds, 2.0);
    // A failed conversion leaves the record as it was.
    sensor_.conversionResult = 0;
    EXPECT_EQ(sensor_.SetExposureTimeThroughMicroseconds(300), 0);
    EXPECT_EQ(r.exposureTime.current, 20000);
}

TEST_F(SensorBaseTest, ExposureSecondsAreClampedAndTruncated) {
    SensorInfo& r = sensor_.Record();
    r.exposureSecondsMin = 0.0001;
    r.exposureSecondsMax = 10.0;
    ASSERT_EQ(sensor_.SetExposureSecondsThroughMicroseconds(0.00001), 1);
    EXPECT_EQ(sensor_.micros.back(), 100u);
    EXPECT_EQ(r.exposureSeconds, 0.0001);
    ASSERT_EQ(sensor_.SetExposureSecondsThroughMicroseconds(0.00426622), 1);
    EXPECT_EQ(sensor_.micros.back(), 4266u);
    EXPECT_EQ(r.exposureTime.current, 42);
    EXPECT_EQ(r.exposureSeconds, 0.00426622);
    const size_t calls = sensor_.micros.size();
    EXPECT_EQ(sensor_.SetExposureSecondsThroughMicroseconds(std::nan("")), 0);
    EXPECT_EQ(sensor_.micros.size(), calls);
    EXPECT_EQ(r.exposureSeconds, 0.00426622);
}

TEST_F(SensorBaseTest, RegisterBytesGoToTheDeviceAddress) {
    ASSERT_EQ(sensor_.BusWriteRegister8(0x3012, 0x1AB), 1);
    ASSERT_EQ(controller_.busWrites.size(), 1u);
    EXPECT_EQ(controller_.busWrites[0].address, kDevice);
    EXPECT_EQ(controller_.busWrites[0].bytes, (Bytes{0x30, 0x12, 0xAB}));
    EXPECT_EQ(controller_.busWrites[0].timeoutMs, 3000u);
    controller_.device[0x0A05] = 0x5C;
    uint32_t value = 0;
    ASSERT_EQ(sensor_.BusReadRegister8(0x0A05, &value), 1);
    EXPECT_EQ(value, 0x5Cu);
    EXPECT_EQ(controller_.busWrites.back().bytes, (Bytes{0x0A, 0x05}));
    EXPECT_EQ(detached_.BusWriteRegister8(0x3012, 1), 0);
    EXPECT_EQ(detached_.WriteRegisterCheckedVia(0x3012, 1), 0);
}

TEST_F(SensorBaseTest, CheckedWriteWaitsForTheSensorBusAndVerifies) {
    controller_.busyReads = 3;
    ASSERT_EQ(sensor_.WriteRegisterCheckedVia(0x301A, 0x42), 1);
    EXPECT_EQ(controller_.device[0x301A], 0x42);
    EXPECT_EQ(controller_.fpgaReads[2], 5);  // 3 busy, then one each for write and read-back
    EXPECT_EQ(controller_.busWrites.front().bytes, (Bytes{0x30, 0x1A, 0x42}));
}

TEST_F(SensorBaseTest, CheckedAccessGivesUpAfterOneHundredAttempts) {
    controller_.busyReads = -1;
    EXPECT_EQ(sensor_.WriteRegisterCheckedVia(0x301A, 0x42), 0);
    EXPECT_EQ(controller_.fpgaReads[2], 100);
    EXPECT_TRUE(controller_.busWrites.empty());
    // A device that ignores writes never verifies.
    controller_.busyReads = 0;
    controller_.storeWrites = false;
    controller_.fpgaReads.clear();
    EXPECT_EQ(sensor_.WriteRegisterCheckedVia(0x301A, 0x42), 0);
    EXPECT_EQ(controller_.fpgaReads[2], 200);
}

TEST_F(SensorBaseTest, FpgaHelpers) {
    ASSERT_EQ(sensor_.SettingsStrobe(), 1);
    EXPECT_EQ(controller_.fpgaWrites, (FpgaWrites{{108, 1}, {108, 0}}));
    for (int32_t variant : {103, 115}) {
        controller_.fpgaWrites.clear();
        sensor_.SetModelVariant(variant);
        ASSERT_EQ(sensor_.SettingsStrobe(), 1);
        EXPECT_EQ(controller_.fpgaWrites, (FpgaWrites{{150, 1}, {150, 0}})) << variant;
    }
    EXPECT_EQ(detached_.SettingsStrobe(), 0);

    controller_.fpga[0x11] = 0x12;
    controller_.fpga[0x10] = 0x34;
    EXPECT_EQ(sensor_.FirmwareVersion(), 0x1234);
    EXPECT_EQ(sensor_.FirmwareVersion(), 0x1234);
    EXPECT_EQ(controller_.fpgaReads[0x10], 1);

    controller_.fpgaWrites.clear();
    sensor_.Record().areaWidth = 1280;
    sensor_.Record().areaHeight = 960;
    ASSERT_EQ(sensor_.ApplyBitDepth(1), 1);
    EXPECT_EQ(sensor_.Info().bitDepth, 16);
    EXPECT_EQ(controller_.fpgaWrites, (FpgaWrites{{68, 0x00}, {69, 0x05}, {64, 0xC0}, {65, 0x03}}));
    ASSERT_EQ(sensor_.ApplyBitDepth(0), 1);
    EXPECT_EQ(sensor_.Info().bitDepth, 8);
    EXPECT_EQ(detached_.ApplyBitDepth(1), 0);
}

}  // namespace
}  // namespace vantix
